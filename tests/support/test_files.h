// Files and folders for the Windows tests: scratch folders, exact byte reads and the small
// volumes that ctest mounts for them.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvane::test_files {

// A new empty folder under the temporary folder, removed with all it holds at the end.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    [[nodiscard]] bool exists() const;
    [[nodiscard]] const std::wstring& path() const { return path_; }
    [[nodiscard]] std::wstring file(const std::wstring& name) const { return path_ + L"\\" + name; }

private:
    std::wstring path_;
};

// The whole file, or nothing when it cannot be opened.
[[nodiscard]] std::optional<std::string> readFileBytes(const std::wstring& path);
[[nodiscard]] bool writeFileBytes(const std::wstring& path, const std::string& bytes);
// The names of the entries in `folder`, sorted, without "." and "..".
[[nodiscard]] std::vector<std::wstring> namesIn(const std::wstring& folder);
void removeTree(const std::wstring& folder);

// The Windows path of one of the volumes that test_volumes.sh mounts ("full", "readonly"), or
// nothing, with the reason in `whyNot`, when they are not mounted.
[[nodiscard]] std::optional<std::wstring> testVolume(const wchar_t* name, std::string& whyNot);

// A script text's bytes as the test spells them out for the OEM code page it runs with: code
// pages 437 and 850 agree on the letters the tests use, UTF-8 (65001) has its own form. Nothing
// under any other OEM code page; the test then skips.
[[nodiscard]] std::optional<std::string> inOemCodePage(std::string_view in437And850,
                                                       std::string_view inUtf8);

// Keeps a file open with no sharing, as another program that locks it would.
class FileLock {
public:
    explicit FileLock(const std::wstring& path);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    [[nodiscard]] bool held() const { return handle_ != INVALID_HANDLE_VALUE; }
    void release();

private:
    HANDLE handle_ = INVALID_HANDLE_VALUE;
};

// Sets the calling thread's locale, and with it CP_THREAD_ACP, until the end of the scope.
class ScopedThreadLocale {
public:
    explicit ScopedThreadLocale(LCID locale)
        : previous_(GetThreadLocale()), applied_(SetThreadLocale(locale) != FALSE) {}
    ~ScopedThreadLocale() { SetThreadLocale(previous_); }
    ScopedThreadLocale(const ScopedThreadLocale&) = delete;
    ScopedThreadLocale& operator=(const ScopedThreadLocale&) = delete;
    [[nodiscard]] bool applied() const { return applied_; }

private:
    LCID previous_;
    bool applied_;
};

inline constexpr LCID kEnglishUnitedStates = 0x0409; // ANSI code page 1252
inline constexpr LCID kJapanese = 0x0411;            // ANSI code page 932

} // namespace corvane::test_files

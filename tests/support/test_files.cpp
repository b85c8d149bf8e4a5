#include "tests/support/test_files.h"

#include "files/long_path_win.h"

#include <algorithm>
#include <atomic>
#include <utility>

namespace corvane::test_files {
namespace {

class SearchHandle {
public:
    explicit SearchHandle(HANDLE handle) : handle_(handle) {}
    ~SearchHandle() {
        if (handle_ != INVALID_HANDLE_VALUE) {
            FindClose(handle_);
        }
    }
    SearchHandle(const SearchHandle&) = delete;
    SearchHandle& operator=(const SearchHandle&) = delete;
    [[nodiscard]] bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
    [[nodiscard]] HANDLE get() const { return handle_; }

private:
    HANDLE handle_;
};

class OpenFile {
public:
    explicit OpenFile(HANDLE handle) : handle_(handle) {}
    ~OpenFile() {
        if (handle_ != INVALID_HANDLE_VALUE) {
            CloseHandle(handle_);
        }
    }
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;
    [[nodiscard]] bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
    [[nodiscard]] HANDLE get() const { return handle_; }

private:
    HANDLE handle_;
};

bool isDotEntry(const wchar_t* name) {
    return std::wstring(name) == L"." || std::wstring(name) == L"..";
}

std::wstring environmentVariable(const wchar_t* name) {
    const DWORD size = GetEnvironmentVariableW(name, nullptr, 0);
    if (size == 0) {
        return {};
    }
    std::wstring value(size, L'\0');
    const DWORD length = GetEnvironmentVariableW(name, value.data(), size);
    value.resize(length < size ? length : 0);
    return value;
}

} // namespace

ScratchFolder::ScratchFolder() {
    static std::atomic<unsigned> serial{0};
    wchar_t temp[MAX_PATH + 1] = {};
    const DWORD length = GetTempPathW(MAX_PATH + 1, temp);
    std::wstring base(temp, length);
    if (!base.empty() && base.back() == L'\\') {
        base.pop_back();
    }
    path_ = base + L"\\corvane-test-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
            std::to_wstring(serial.fetch_add(1));
    removeTree(path_);
    static_cast<void>(CreateDirectoryW(path_.c_str(), nullptr));
}

ScratchFolder::~ScratchFolder() {
    removeTree(path_);
}

bool ScratchFolder::exists() const {
    const DWORD attributes = GetFileAttributesW(path_.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::optional<std::string> readFileBytes(const std::wstring& path) {
    OpenFile file(CreateFileW(withLongPathPrefix(path).c_str(), GENERIC_READ, FILE_SHARE_READ,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) {
        return std::nullopt;
    }
    std::string bytes;
    char block[4096];
    DWORD got = 0;
    while (ReadFile(file.get(), block, sizeof(block), &got, nullptr) && got > 0) {
        bytes.append(block, got);
    }
    return bytes;
}

bool writeFileBytes(const std::wstring& path, const std::string& bytes) {
    OpenFile file(CreateFileW(withLongPathPrefix(path).c_str(), GENERIC_WRITE, 0, nullptr,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) {
        return false;
    }
    DWORD written = 0;
    return WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                     nullptr) &&
           written == bytes.size();
}

std::vector<std::wstring> namesIn(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW entry{};
    SearchHandle search(FindFirstFileW(withLongPathPrefix(folder + L"\\*").c_str(), &entry));
    if (!search.valid()) {
        return names;
    }
    do {
        if (!isDotEntry(entry.cFileName)) {
            names.emplace_back(entry.cFileName);
        }
    } while (FindNextFileW(search.get(), &entry));
    std::sort(names.begin(), names.end());
    return names;
}

void removeTree(const std::wstring& folder) {
    for (const std::wstring& name : namesIn(folder)) {
        const std::wstring child = withLongPathPrefix(folder + L"\\" + name);
        const DWORD attributes = GetFileAttributesW(child.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            removeTree(folder + L"\\" + name);
        } else {
            SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileW(child.c_str());
        }
    }
    RemoveDirectoryW(withLongPathPrefix(folder).c_str());
}

std::optional<std::wstring> testVolume(const wchar_t* name, std::string& whyNot) {
    const std::wstring unixRoot = environmentVariable(L"CORVANE_TEST_VOLUMES");
    if (unixRoot.empty()) {
        whyNot = "CORVANE_TEST_VOLUMES is not set: run this test through ctest, which mounts the "
                 "test volumes first";
        return std::nullopt;
    }
    // Wine shows the Unix root as drive Z:.
    std::wstring root = L"Z:" + unixRoot;
    std::replace(root.begin(), root.end(), L'/', L'\\');
    if (GetFileAttributesW((root + L"\\mounted").c_str()) == INVALID_FILE_ATTRIBUTES) {
        whyNot = "the test volumes are not mounted (mounting a tmpfs needs root)";
        return std::nullopt;
    }
    return root + L"\\" + name;
}

std::optional<std::string> inOemCodePage(std::string_view in437And850, std::string_view inUtf8) {
    switch (GetOEMCP()) {
    case 437:
    case 850:
        return std::string(in437And850);
    case CP_UTF8:
        return std::string(inUtf8);
    default:
        return std::nullopt;
    }
}

FileLock::FileLock(const std::wstring& path)
    : handle_(CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                          FILE_ATTRIBUTE_NORMAL, nullptr)) {}

FileLock::~FileLock() {
    release();
}

void FileLock::release() {
    if (handle_ != INVALID_HANDLE_VALUE) {
        CloseHandle(std::exchange(handle_, INVALID_HANDLE_VALUE));
    }
}

} // namespace corvane::test_files

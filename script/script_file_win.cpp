#include "script/script_file_win.h"

#include "script/script_encoding_win.h"
#include "script/script_file_name.h"

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cwchar>
#include <iterator>
#include <utility>
#include <vector>

namespace corvane {
namespace {

constexpr wchar_t kFailedToCreateMessage[] = L"Failed to create cmd file.";
constexpr wchar_t kUnrepresentableMessage[] =
    L"The script contains characters that the command prompt's code page cannot represent.";

// Description and pattern pairs, each text NUL-ended; the literal's own NUL ends the list.
constexpr wchar_t kScriptFilter[] = L"Windows Command Script\0*.cmd\0All Files\0*.*\0";
// Room for the longest path the file calls accept, so no chosen name is cut off.
constexpr std::size_t kFileNameCapacity = 32768;
constexpr std::size_t kFileTitleCapacity = 256;
constexpr DWORD kSaveDialogFlags =
    OFN_OVERWRITEPROMPT | OFN_EXPLORER | OFN_ENABLEHOOK | OFN_ENABLESIZING;

// Installed so the dialog has the hooked Explorer look; every message keeps its default handling.
UINT_PTR CALLBACK leaveToDefaultHandling(HWND, UINT, WPARAM, LPARAM) {
    return 0;
}

// The file-name request of the save dialog together with the buffers it points into.
class SaveDialogRequest {
public:
    SaveDialogRequest(const std::wstring& defaultName, HWND owner)
        : fileName_(kFileNameCapacity, L'\0'), fileTitle_(kFileTitleCapacity, L'\0') {
        const std::size_t nameLength = std::min(defaultName.size(), fileName_.size() - 1);
        std::copy_n(defaultName.begin(), nameLength, fileName_.begin());

        // Every Windows this program supports reports a dialog version of at least 4.90, so the
        // full record always applies; the shorter 4.00 size is never needed.
        record_.lStructSize = sizeof(OPENFILENAMEW);
        record_.hwndOwner = owner;
        record_.hInstance = GetModuleHandleW(nullptr);
        record_.lpstrFilter = kScriptFilter;
        record_.nFilterIndex = 0;
        record_.lpstrFile = fileName_.data();
        record_.nMaxFile = static_cast<DWORD>(fileName_.size());
        record_.lpstrFileTitle = fileTitle_.data();
        record_.nMaxFileTitle = static_cast<DWORD>(fileTitle_.size());
        record_.lpstrDefExt = L"cmd";
        record_.Flags = kSaveDialogFlags;
        record_.lpfnHook = leaveToDefaultHandling;
    }

    // The record points into this object.
    SaveDialogRequest(const SaveDialogRequest&) = delete;
    SaveDialogRequest& operator=(const SaveDialogRequest&) = delete;

    OPENFILENAMEW& record() { return record_; }

    std::wstring chosenPath() const {
        const auto end = std::find(fileName_.begin(), fileName_.end(), L'\0');
        return std::wstring(fileName_.begin(), end);
    }

private:
    std::vector<wchar_t> fileName_;
    std::vector<wchar_t> fileTitle_;
    OPENFILENAMEW record_{};
};

// Owns a file handle; INVALID_HANDLE_VALUE means none.
class UniqueFile {
public:
    UniqueFile() = default;
    explicit UniqueFile(HANDLE handle) : handle_(handle) {}
    UniqueFile(UniqueFile&& other) noexcept
        : handle_(std::exchange(other.handle_, INVALID_HANDLE_VALUE)) {}
    UniqueFile& operator=(UniqueFile&& other) noexcept {
        if (this != &other) {
            static_cast<void>(close());
            handle_ = std::exchange(other.handle_, INVALID_HANDLE_VALUE);
        }
        return *this;
    }
    UniqueFile(const UniqueFile&) = delete;
    UniqueFile& operator=(const UniqueFile&) = delete;
    ~UniqueFile() { static_cast<void>(close()); }

    [[nodiscard]] bool isOpen() const noexcept { return handle_ != INVALID_HANDLE_VALUE; }
    [[nodiscard]] HANDLE get() const noexcept { return handle_; }

    // A close can still report a write that the system had deferred.
    [[nodiscard]] bool close() noexcept {
        if (!isOpen()) {
            return true;
        }
        return CloseHandle(std::exchange(handle_, INVALID_HANDLE_VALUE)) != FALSE;
    }

private:
    HANDLE handle_ = INVALID_HANDLE_VALUE;
};

// The folder part of `path` with its separator, or nothing for a bare name.
std::wstring folderPrefix(const std::wstring& path) {
    const std::size_t end = path.find_last_of(L"\\/:");
    return end == std::wstring::npos ? std::wstring() : path.substr(0, end + 1);
}

[[nodiscard]] bool writeAll(HANDLE file, const std::string& bytes) noexcept {
    constexpr std::size_t kLargestWrite = 1u << 30;
    std::size_t written = 0;
    while (written < bytes.size()) {
        const auto chunk = static_cast<DWORD>(std::min(bytes.size() - written, kLargestWrite));
        DWORD done = 0;
        // A full disk can take part of a write and report success; the next call then fails.
        if (!WriteFile(file, bytes.data() + written, chunk, &done, nullptr) || done == 0) {
            return false;
        }
        written += done;
    }
    return true;
}

// A new file beside its destination that is removed again unless it was moved into place.
class PendingFile {
public:
    explicit PendingFile(const std::wstring& destination) {
        static std::atomic<unsigned> nextSerial{0};
        constexpr int kAttempts = 64;
        const std::wstring folder = folderPrefix(destination);
        for (int attempt = 0; attempt < kAttempts; ++attempt) {
            wchar_t name[32] = {};
            std::swprintf(name, std::size(name), L"~cvn%08lx%04x.tmp",
                          static_cast<unsigned long>(GetCurrentProcessId()),
                          nextSerial.fetch_add(1) & 0xFFFFu);
            const std::wstring candidate = folder + name;
            UniqueFile file(CreateFileW(withLongPathPrefix(candidate).c_str(), GENERIC_WRITE, 0,
                                        nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
            if (file.isOpen()) {
                file_ = std::move(file);
                path_ = candidate;
                return;
            }
            const DWORD error = GetLastError();
            if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) {
                return;
            }
        }
    }

    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;

    ~PendingFile() {
        static_cast<void>(file_.close());
        if (!path_.empty()) {
            static_cast<void>(DeleteFileW(withLongPathPrefix(path_).c_str()));
        }
    }

    [[nodiscard]] bool isOpen() const noexcept { return file_.isOpen(); }

    // Every byte on disk before the file may take the destination's place.
    [[nodiscard]] bool writeDurably(const std::string& bytes) noexcept {
        return writeAll(file_.get(), bytes) && FlushFileBuffers(file_.get()) != FALSE;
    }

    [[nodiscard]] bool moveOver(const std::wstring& destination) noexcept {
        if (!file_.close()) {
            return false;
        }
        if (!MoveFileExW(withLongPathPrefix(path_).c_str(), withLongPathPrefix(destination).c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            return false;
        }
        path_.clear();
        return true;
    }

private:
    UniqueFile file_;
    std::wstring path_;
};

} // namespace

std::wstring withLongPathPrefix(const std::wstring& path) {
    if (path.size() < MAX_PATH || path.rfind(L"\\\\?\\", 0) == 0 ||
        path.rfind(L"\\\\.\\", 0) == 0) {
        return path;
    }
    if (path.size() >= 3 && path[1] == L':' && path[2] == L'\\') {
        return L"\\\\?\\" + path;
    }
    if (path.rfind(L"\\\\", 0) == 0) {
        return L"\\\\?\\UNC\\" + path.substr(2);
    }
    return path;
}

bool writeFileReplacing(const std::wstring& path, const std::string& bytes) noexcept {
    if (path.empty()) {
        return false;
    }
    PendingFile pending(path);
    return pending.isOpen() && pending.writeDurably(bytes) && pending.moveOver(path);
}

void SaveCaptureScript(HWND owner, const std::wstring& scriptText, ScriptUi& ui) {
    // Checked before the dialog, so that nobody confirms replacing a file that is then not written.
    std::string bytes;
    if (toCodePage(scriptText, scriptCodePage(), bytes) != CodePageConversion::Ok) {
        ui.showMessage(owner, kUnrepresentableMessage);
        return;
    }

    // The time first, then the owner: one reading each, in this order.
    const std::wstring defaultName = DefaultScriptName(ui.localTime());
    SaveDialogRequest request(defaultName, ui.activeWindow());
    if (!ui.getSaveFileName(request.record())) {
        // A cancel is the user's choice; any other end loses the name the user meant to save.
        if (ui.commDlgExtendedError() != 0) {
            ui.showMessage(owner, kFailedToCreateMessage);
        }
        return;
    }
    if (!writeFileReplacing(request.chosenPath(), bytes)) {
        ui.showMessage(owner, kFailedToCreateMessage);
    }
}

} // namespace corvane

#include "script/script_file_win.h"

#include "script/script_encoding_win.h"
#include "script/script_file_name.h"
#include "script/script_messages.h"

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

// Errors that another program's brief hold on a file causes: virus scanners, the search indexer
// and sync clients open every new file for a moment. ReplaceFileW reports such a hold on either
// file with one of its own two codes.
constexpr DWORD kHeldErrors[] = {ERROR_ACCESS_DENIED, ERROR_SHARING_VIOLATION,
                                 ERROR_UNABLE_TO_REMOVE_REPLACED, ERROR_UNABLE_TO_MOVE_REPLACEMENT};
// The waits between attempts: about two seconds together.
constexpr unsigned kBackoffMs[] = {10, 20, 40, 80, 160, 320, 640, 730};

// ReplaceFileW carries these over to the new file on Windows; Wine's gives it none of them.
constexpr DWORD kKeptAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                  FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

[[nodiscard]] bool isHeld(DWORD error) noexcept {
    return std::find(std::begin(kHeldErrors), std::end(kHeldErrors), error) !=
           std::end(kHeldErrors);
}

// Runs `attempt` until it succeeds, fails for another reason or the waits are used up.
template <typename Attempt>
[[nodiscard]] DWORD retryWhileHeld(FilePlacement& placement, Attempt attempt) noexcept {
    DWORD error = attempt();
    for (const unsigned wait : kBackoffMs) {
        if (!isHeld(error)) {
            break;
        }
        placement.pause(wait);
        error = attempt();
    }
    return error;
}

[[nodiscard]] bool exists(const std::wstring& path) noexcept {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// What is at the chosen path: the file that is really written there and its attributes.
struct Destination {
    std::wstring path; // the chosen path, or the file a symbolic link there leads to
    bool exists = false;
    DWORD attributes = 0;
};

Destination examineDestination(const std::wstring& chosen) {
    Destination destination{chosen, false, 0};
    const std::wstring prefixed = withLongPathPrefix(chosen);
    // Opening follows symbolic links, so the handle names the file behind them.
    UniqueFile file(CreateFileW(prefixed.c_str(), FILE_READ_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.isOpen()) {
        destination.attributes = GetFileAttributesW(prefixed.c_str());
        destination.exists = destination.attributes != INVALID_FILE_ATTRIBUTES;
        return destination;
    }
    BY_HANDLE_FILE_INFORMATION information{};
    destination.exists = true;
    destination.attributes = GetFileInformationByHandle(file.get(), &information)
                                 ? information.dwFileAttributes
                                 : GetFileAttributesW(prefixed.c_str());
    constexpr DWORD kFinalPathForm = FILE_NAME_NORMALIZED | VOLUME_NAME_DOS;
    const DWORD size = GetFinalPathNameByHandleW(file.get(), nullptr, 0, kFinalPathForm);
    if (size > 0) {
        std::wstring target(size, L'\0');
        const DWORD length =
            GetFinalPathNameByHandleW(file.get(), target.data(), size, kFinalPathForm);
        if (length > 0 && length < size) {
            target.resize(length);
            destination.path = std::move(target);
        }
    }
    return destination;
}

// A read-only file or a folder: waiting would not change either.
[[nodiscard]] bool cannotBeReplaced(const Destination& destination) noexcept {
    constexpr DWORD kNotReplaceable = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY;
    return destination.exists && (destination.attributes & kNotReplaceable) != 0;
}

// For a folder that lets its user change a file but not create one. Truncating keeps the file's
// attributes, access rights and links, where CREATE_ALWAYS would refuse a hidden or system file.
[[nodiscard]] bool writeInPlace(const std::wstring& path, const std::string& bytes) noexcept {
    UniqueFile file(CreateFileW(withLongPathPrefix(path).c_str(), GENERIC_WRITE, 0, nullptr,
                                TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return file.isOpen() && writeAll(file.get(), bytes) && FlushFileBuffers(file.get()) != FALSE &&
           file.close();
}

// A new file beside its destination that is removed again unless it was put in its place.
class PendingFile {
public:
    PendingFile(const std::wstring& destination, FilePlacement& placement) : placement_(placement) {
        static std::atomic<unsigned> nextSerial{0};
        constexpr int kAttempts = 64;
        const std::wstring folder = folderPrefix(destination);
        for (int attempt = 0; attempt < kAttempts; ++attempt) {
            wchar_t name[32] = {};
            std::swprintf(name, std::size(name), L"~cvn%08lx%04x.tmp",
                          static_cast<unsigned long>(GetCurrentProcessId()),
                          nextSerial.fetch_add(1) & 0xFFFFu);
            const std::wstring candidate = withLongPathPrefix(folder + name);
            HANDLE handle = INVALID_HANDLE_VALUE;
            const DWORD error = placement_.createNew(candidate, handle);
            if (error == ERROR_SUCCESS && handle != INVALID_HANDLE_VALUE) {
                file_ = UniqueFile(handle);
                path_ = candidate;
                return;
            }
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
            static_cast<void>(
                retryWhileHeld(placement_, [this] { return placement_.remove(path_); }));
        }
    }

    [[nodiscard]] bool isOpen() const noexcept { return file_.isOpen(); }

    // Every byte on disk before the file may take the destination's place.
    [[nodiscard]] bool writeDurably(const std::string& bytes) noexcept {
        return writeAll(file_.get(), bytes) && FlushFileBuffers(file_.get()) != FALSE;
    }

    [[nodiscard]] bool placeAt(const Destination& destination) noexcept {
        if (!file_.close()) {
            return false;
        }
        if (destination.exists && (destination.attributes & kKeptAttributes) != 0) {
            static_cast<void>(
                SetFileAttributesW(path_.c_str(), destination.attributes & kKeptAttributes));
        }
        const std::wstring target = withLongPathPrefix(destination.path);
        const DWORD error = retryWhileHeld(placement_, [&] {
            // Asked on every attempt: a replace that failed half way may have moved the old file
            // away already.
            return exists(target) ? placement_.replace(target, path_)
                                  : placement_.move(path_, target);
        });
        if (error != ERROR_SUCCESS) {
            return false;
        }
        path_.clear();
        return true;
    }

private:
    FilePlacement& placement_;
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

unsigned long FilePlacement::createNew(const std::wstring& path, HANDLE& file) noexcept {
    file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                       nullptr);
    return file == INVALID_HANDLE_VALUE ? GetLastError() : ERROR_SUCCESS;
}

unsigned long FilePlacement::replace(const std::wstring& replaced,
                                     const std::wstring& replacement) noexcept {
    {
        // Wine's ReplaceFileW leaves a temporary file of its own behind when another program
        // holds the replaced file; asking first keeps that from happening.
        UniqueFile probe(CreateFileW(replaced.c_str(), DELETE,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!probe.isOpen()) {
            return GetLastError();
        }
    }
    if (ReplaceFileW(replaced.c_str(), replacement.c_str(), nullptr,
                     REPLACEFILE_WRITE_THROUGH | REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr,
                     nullptr)) {
        return ERROR_SUCCESS;
    }
    const DWORD error = GetLastError();
    // A failure must never read as success, whatever the last-error value says.
    return error != ERROR_SUCCESS ? error : ERROR_GEN_FAILURE;
}

unsigned long FilePlacement::move(const std::wstring& from, const std::wstring& to) noexcept {
    return MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)
               ? ERROR_SUCCESS
               : GetLastError();
}

unsigned long FilePlacement::remove(const std::wstring& path) noexcept {
    return DeleteFileW(path.c_str()) ? ERROR_SUCCESS : GetLastError();
}

void FilePlacement::pause(unsigned milliseconds) noexcept {
    Sleep(milliseconds);
}

FilePlacement& platformFilePlacement() {
    static FilePlacement placement;
    return placement;
}

bool writeFileReplacing(const std::wstring& path, const std::string& bytes) noexcept {
    return writeFileReplacing(path, bytes, platformFilePlacement());
}

bool writeFileReplacing(const std::wstring& path, const std::string& bytes,
                        FilePlacement& placement) noexcept {
    if (path.empty()) {
        return false;
    }
    const Destination destination = examineDestination(path);
    if (cannotBeReplaced(destination)) {
        return false;
    }
    PendingFile pending(destination.path, placement);
    if (!pending.isOpen()) {
        return destination.exists && writeInPlace(destination.path, bytes);
    }
    return pending.writeDurably(bytes) && pending.placeAt(destination);
}

void SaveCaptureScript(HWND owner, const std::wstring& scriptText, ScriptUi& ui) {
    SaveCaptureScript(owner, scriptText, ui, platformFilePlacement());
}

void SaveCaptureScript(HWND owner, const std::wstring& scriptText, ScriptUi& ui,
                       FilePlacement& placement) {
    // Checked before the dialog, so that nobody confirms replacing a file that is then not written.
    std::string bytes;
    if (toCodePage(scriptText, scriptCodePage(), bytes) != CodePageConversion::Ok) {
        ui.showMessage(owner, kUnrepresentableScriptMessage);
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
    if (!writeFileReplacing(request.chosenPath(), bytes, placement)) {
        ui.showMessage(owner, kFailedToCreateMessage);
    }
}

} // namespace corvane

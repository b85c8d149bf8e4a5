#include "script/script_file_win.h"

#include "script/script_encoding_win.h"
#include "script/script_file_name.h"
#include "script/script_messages.h"

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cwchar>
#include <cwctype>
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

// The last error of a call that reported failure; never 0, so that it cannot read as success.
[[nodiscard]] DWORD failedCallError() noexcept {
    const DWORD error = GetLastError();
    return error != ERROR_SUCCESS ? error : ERROR_GEN_FAILURE;
}

[[nodiscard]] DWORD writeAll(HANDLE file, const char* data, std::size_t size) noexcept {
    constexpr std::size_t kLargestWrite = 1u << 30;
    std::size_t written = 0;
    while (written < size) {
        const auto chunk = static_cast<DWORD>(std::min(size - written, kLargestWrite));
        DWORD done = 0;
        if (!WriteFile(file, data + written, chunk, &done, nullptr)) {
            return failedCallError();
        }
        // A full disk can take part of a write and report success; the next call then fails.
        if (done == 0) {
            return ERROR_DISK_FULL;
        }
        written += done;
    }
    return ERROR_SUCCESS;
}

[[nodiscard]] bool seek(HANDLE file, std::uint64_t offset) noexcept {
    LARGE_INTEGER position{};
    position.QuadPart = static_cast<LONGLONG>(offset);
    return SetFilePointerEx(file, position, nullptr, FILE_BEGIN) != FALSE;
}

[[nodiscard]] DWORD writeAt(HANDLE file, std::uint64_t offset, const char* data,
                            std::size_t size) noexcept {
    return seek(file, offset) ? writeAll(file, data, size) : failedCallError();
}

// Errors that another program's brief hold on a file causes: virus scanners, the search indexer
// and sync clients open every new file for a moment. ReplaceFileW reports such a hold on either
// file with one of its own three codes; after the last one the earlier file is at the backup
// name and the next attempt moves the new one in.
constexpr DWORD kHeldErrors[] = {ERROR_ACCESS_DENIED, ERROR_SHARING_VIOLATION,
                                 ERROR_UNABLE_TO_REMOVE_REPLACED, ERROR_UNABLE_TO_MOVE_REPLACEMENT,
                                 ERROR_UNABLE_TO_MOVE_REPLACEMENT_2};
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
    return !path.empty() && GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// A name of this program's own beside `path`: process id and a serial, so that two saves at the
// same time never meet.
std::wstring nameBeside(const std::wstring& path, const wchar_t* extension) {
    static std::atomic<unsigned> nextSerial{0};
    wchar_t name[32] = {};
    std::swprintf(name, std::size(name), L"~cvn%08lx%04x.%ls",
                  static_cast<unsigned long>(GetCurrentProcessId()),
                  nextSerial.fetch_add(1) & 0xFFFFu, extension);
    return withLongPathPrefix(folderPrefix(path) + name);
}

constexpr int kNameAttempts = 64;

[[nodiscard]] bool isNameTaken(DWORD error) noexcept {
    return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS;
}

// A new file of this program's own beside `path`, made in one step that fails where the name is
// taken, so that no other file is ever written over or deleted under one of these names. After
// kNameAttempts taken names the error is ERROR_FILE_EXISTS.
[[nodiscard]] DWORD createBeside(FilePlacement& placement, const std::wstring& path,
                                 const wchar_t* extension, std::wstring& created,
                                 UniqueFile& file) noexcept {
    DWORD error = ERROR_FILE_EXISTS;
    for (int attempt = 0; attempt < kNameAttempts && isNameTaken(error); ++attempt) {
        const std::wstring candidate = nameBeside(path, extension);
        HANDLE handle = INVALID_HANDLE_VALUE;
        error = placement.createNew(candidate, handle);
        if (error == ERROR_SUCCESS && handle == INVALID_HANDLE_VALUE) {
            error = ERROR_INVALID_HANDLE;
        }
        if (error == ERROR_SUCCESS) {
            file = UniqueFile(handle);
            created = candidate;
        }
    }
    return error;
}

// A name that no open finds and yet cannot be created is a symbolic link whose target is
// missing; Wine shows such a Unix link to no other call. A probe that is created goes again on
// closing.
[[nodiscard]] bool isDanglingLink(const std::wstring& path) noexcept {
    UniqueFile probe(CreateFileW(path.c_str(), DELETE, 0, nullptr, CREATE_NEW,
                                 FILE_FLAG_DELETE_ON_CLOSE | FILE_FLAG_OPEN_REPARSE_POINT,
                                 nullptr));
    if (probe.isOpen()) {
        return false;
    }
    const DWORD error = GetLastError();
    return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS;
}

// What is at the chosen path: the file that is really written there and its attributes.
struct Destination {
    std::wstring path; // full and prefixed; the file that a symbolic link there leads to
    bool exists = false;
    DWORD attributes = 0;
    WriteRefusal refusal = WriteRefusal::None;
};

// The path of the file behind an open handle, symbolic links resolved; empty if not known.
std::wstring finalPath(HANDLE file) {
    constexpr DWORD kFinalPathForm = FILE_NAME_NORMALIZED | VOLUME_NAME_DOS;
    const DWORD size = GetFinalPathNameByHandleW(file, nullptr, 0, kFinalPathForm);
    if (size == 0) {
        return std::wstring();
    }
    std::wstring target(size, L'\0');
    const DWORD length = GetFinalPathNameByHandleW(file, target.data(), size, kFinalPathForm);
    target.resize(length > 0 && length < size ? length : 0);
    return target;
}

// The part after \\.\ or \\?\, or nothing for a path outside those namespaces.
std::wstring namespaceRest(const std::wstring& full) {
    const bool inNamespace = full.rfind(L"\\\\.\\", 0) == 0 || full.rfind(L"\\\\?\\", 0) == 0;
    return inNamespace ? full.substr(4) : std::wstring();
}

// A whole volume, as a drive (\\.\C:, \\?\C:) or by its GUID (\\?\Volume{...}): opening it
// opens the disk, not a file, and the names beside it would land elsewhere.
[[nodiscard]] bool namesAVolume(const std::wstring& full) {
    const std::wstring rest = namespaceRest(full);
    if (rest.size() == 2 && rest[1] == L':') {
        return true;
    }
    return CompareStringOrdinal(rest.c_str(), std::min<int>(7, static_cast<int>(rest.size())),
                                L"Volume{", 7, TRUE) == CSTR_EQUAL &&
           rest.find(L'\\') == std::wstring::npos;
}

// A name in the device namespace that is no path on a drive: \\.\NUL, \\.\COM1, \\.\pipe\x.
// GetFullPathNameW turns every DOS device name (NUL, CON, LPT1, ...) into one, and Wine opens some
// of them as disk files.
[[nodiscard]] bool namesADevice(const std::wstring& full) {
    if (full.rfind(L"\\\\.\\", 0) != 0) {
        return false;
    }
    const std::wstring rest = full.substr(4);
    const bool onADrive = rest.size() >= 2 && rest[1] == L':';
    return !onADrive && rest.rfind(L"UNC\\", 0) != 0 && rest.rfind(L"Volume{", 0) != 0;
}

Destination examineDestination(const std::wstring& chosen) {
    Destination destination{withLongPathPrefix(chosen)};
    if (namesAVolume(destination.path)) {
        destination.refusal = WriteRefusal::Volume;
        return destination;
    }
    if (namesADevice(destination.path)) {
        destination.refusal = WriteRefusal::NotAFile;
        return destination;
    }
    // Opening follows symbolic links, so the handle names the file behind them.
    UniqueFile file(CreateFileW(destination.path.c_str(), FILE_READ_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.isOpen()) {
        destination.exists = true;
        if (GetFileType(file.get()) != FILE_TYPE_DISK) {
            destination.refusal = WriteRefusal::NotAFile;
            return destination;
        }
        BY_HANDLE_FILE_INFORMATION information{};
        destination.attributes = GetFileInformationByHandle(file.get(), &information)
                                     ? information.dwFileAttributes
                                     : GetFileAttributesW(destination.path.c_str());
        if (std::wstring target = finalPath(file.get()); !target.empty()) {
            destination.path = std::move(target);
        }
    } else {
        const DWORD openError = GetLastError();
        destination.attributes = GetFileAttributesW(destination.path.c_str());
        destination.exists = destination.attributes != INVALID_FILE_ATTRIBUTES;
        const bool notFound =
            openError == ERROR_FILE_NOT_FOUND || openError == ERROR_PATH_NOT_FOUND;
        if (notFound && isDanglingLink(destination.path)) {
            destination.refusal = WriteRefusal::DanglingLink;
            return destination;
        }
    }
    if (destination.exists && (destination.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        destination.refusal = WriteRefusal::Folder;
    } else if (destination.exists && (destination.attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        destination.refusal = WriteRefusal::ReadOnly;
    }
    return destination;
}

// For a folder that lets its user change a file but not create one. Rewriting in place keeps the
// file's attributes, access rights and links, where CREATE_ALWAYS would refuse a hidden or system
// file. The part of the script beyond the earlier end goes first, so that a disk without room for
// it fails before a byte of the earlier text has changed; the earlier size is then given back.
[[nodiscard]] DWORD writeInPlace(const std::wstring& path, const std::string& bytes,
                                 FilePlacement& placement) noexcept {
    UniqueFile file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (!file.isOpen() || !GetFileSizeEx(file.get(), &size)) {
        return failedCallError();
    }
    const auto earlierSize = static_cast<std::uint64_t>(size.QuadPart);
    const std::size_t overlap =
        static_cast<std::size_t>(std::min<std::uint64_t>(earlierSize, bytes.size()));
    if (overlap < bytes.size()) {
        const DWORD error =
            writeAt(file.get(), overlap, bytes.data() + overlap, bytes.size() - overlap);
        if (error != ERROR_SUCCESS) {
            static_cast<void>(seek(file.get(), earlierSize) && SetEndOfFile(file.get()));
            return error;
        }
    }
    if (const DWORD error = writeAt(file.get(), 0, bytes.data(), overlap); error != ERROR_SUCCESS) {
        return error;
    }
    if (!seek(file.get(), bytes.size()) || !SetEndOfFile(file.get())) {
        return failedCallError();
    }
    if (const DWORD error = placement.flush(file.get()); error != ERROR_SUCCESS) {
        return error;
    }
    return file.close() ? ERROR_SUCCESS : failedCallError();
}

// A new file beside its destination that is removed again unless it was put in its place or is
// the only copy left of the script.
class PendingFile {
public:
    PendingFile(const std::wstring& destination, FilePlacement& placement)
        : placement_(placement),
          error_(createBeside(placement, destination, L"tmp", path_, file_)) {}

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
    // Why the file could not be made.
    [[nodiscard]] DWORD error() const noexcept { return error_; }

    // Every byte on disk before the file may take the destination's place.
    [[nodiscard]] DWORD writeDurably(const std::string& bytes) noexcept {
        const DWORD error = writeAll(file_.get(), bytes.data(), bytes.size());
        return error != ERROR_SUCCESS ? error : placement_.flush(file_.get());
    }

    // A move never replaces: a name taken since the destination was examined stays taken.
    [[nodiscard]] DWORD placeAsNew(const std::wstring& target) {
        if (!file_.close()) {
            return failedCallError();
        }
        const DWORD error =
            retryWhileHeld(placement_, [&] { return placement_.move(path_, target); });
        if (error == ERROR_SUCCESS) {
            path_.clear();
        }
        return error;
    }

    // A destination that did not exist is only ever moved to, so that a file that took its name
    // meanwhile stays; an existing one is replaced, by way of a backup name reserved for it.
    [[nodiscard]] DWORD placeAt(const Destination& destination, WriteOutcome& outcome) {
        if (!file_.close()) {
            return failedCallError();
        }
        if (destination.exists && (destination.attributes & kKeptAttributes) != 0) {
            static_cast<void>(
                SetFileAttributesW(path_.c_str(), destination.attributes & kKeptAttributes));
        }
        const std::wstring& target = destination.path;
        std::wstring backup;
        if (destination.exists) {
            UniqueFile reserved;
            if (const DWORD error = createBeside(placement_, target, L"bak", backup, reserved);
                error != ERROR_SUCCESS) {
                return error;
            }
        }
        const DWORD error = retryWhileHeld(placement_, [&] {
            // Asked on every attempt: a replace that failed half way may have moved the old file
            // away already.
            return destination.exists && exists(target) ? placement_.replace(target, path_, backup)
                                                        : placement_.move(path_, target);
        });
        if (error == ERROR_SUCCESS) {
            path_.clear();
        } else if (destination.exists && !exists(target)) {
            // The earlier file has left the chosen name: this file may be the only new copy.
            outcome.scriptKeptAt = std::exchange(path_, std::wstring());
            outcome.earlierKeptAt = backup;
            return error;
        }
        // The earlier file, or the empty reservation that the replace never got to.
        if (!backup.empty() &&
            retryWhileHeld(placement_, [&] { return placement_.remove(backup); }) !=
                ERROR_SUCCESS &&
            error == ERROR_SUCCESS) {
            outcome.backupLeftAt = backup;
        }
        return error;
    }

private:
    FilePlacement& placement_;
    UniqueFile file_;
    std::wstring path_;
    DWORD error_ = ERROR_SUCCESS;
};

// A path as the user would write it, without the \\?\ form that the file calls were given.
std::wstring withoutLongPathPrefix(const std::wstring& path) {
    if (path.rfind(L"\\\\?\\UNC\\", 0) == 0) {
        return L"\\\\" + path.substr(8);
    }
    return path.rfind(L"\\\\?\\", 0) == 0 ? path.substr(4) : path;
}

// Turns a taken name, the error of the last step, into `refusal`; true when the write succeeded.
[[nodiscard]] bool settled(WriteOutcome& outcome, WriteRefusal refusal) noexcept {
    if (isNameTaken(outcome.error)) {
        outcome.refusal = refusal;
        outcome.error = ERROR_SUCCESS;
    }
    return outcome.error == ERROR_SUCCESS && outcome.refusal == WriteRefusal::None;
}

// `text` with its first letter a capital and a full stop at its end, as a line of a message box.
std::wstring asSentence(std::wstring text) {
    if (!text.empty()) {
        text[0] = static_cast<wchar_t>(std::towupper(text[0]));
        text += L'.';
    }
    return text;
}

} // namespace

std::wstring withLongPathPrefix(const std::wstring& path) {
    if (path.empty() || path.rfind(L"\\\\?\\", 0) == 0 || path.rfind(L"\\\\.\\", 0) == 0) {
        return path;
    }
    // Relative names are limited to MAX_PATH, and "\\?\" passes "." and ".." on unresolved.
    const DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (size == 0) {
        return path;
    }
    std::wstring full(size, L'\0');
    const DWORD length = GetFullPathNameW(path.c_str(), size, full.data(), nullptr);
    if (length == 0 || length >= size) {
        return path;
    }
    full.resize(length);
    if (full.size() < MAX_PATH) {
        return full;
    }
    if (full.size() >= 3 && full[1] == L':' && full[2] == L'\\') {
        return L"\\\\?\\" + full;
    }
    if (full.rfind(L"\\\\", 0) == 0 && full.rfind(L"\\\\.\\", 0) != 0) {
        return L"\\\\?\\UNC\\" + full.substr(2);
    }
    return full;
}

unsigned long FilePlacement::createNew(const std::wstring& path, HANDLE& file) noexcept {
    file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                       nullptr);
    return file == INVALID_HANDLE_VALUE ? failedCallError() : ERROR_SUCCESS;
}

unsigned long FilePlacement::flush(HANDLE file) noexcept {
    return FlushFileBuffers(file) ? ERROR_SUCCESS : failedCallError();
}

unsigned long FilePlacement::replace(const std::wstring& replaced, const std::wstring& replacement,
                                     const std::wstring& backup) noexcept {
    {
        // Wine's ReplaceFileW leaves a temporary file of its own behind when another program
        // holds the replaced file; asking first keeps that from happening.
        UniqueFile probe(CreateFileW(replaced.c_str(), DELETE,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!probe.isOpen()) {
            return failedCallError();
        }
    }
    // With a backup name the earlier file is never without one: a replace that stops half way
    // leaves it there instead of deleting it.
    if (ReplaceFileW(replaced.c_str(), replacement.c_str(), backup.c_str(),
                     REPLACEFILE_WRITE_THROUGH | REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr,
                     nullptr)) {
        return ERROR_SUCCESS;
    }
    return failedCallError();
}

unsigned long FilePlacement::move(const std::wstring& from, const std::wstring& to) noexcept {
    return MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH) ? ERROR_SUCCESS
                                                                         : failedCallError();
}

unsigned long FilePlacement::remove(const std::wstring& path) noexcept {
    return DeleteFileW(path.c_str()) ? ERROR_SUCCESS : failedCallError();
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
    WriteOutcome outcome;
    return writeFileReplacing(path, bytes, placement, outcome);
}

bool writeFileReplacing(const std::wstring& path, const std::string& bytes,
                        FilePlacement& placement, WriteOutcome& outcome) noexcept {
    outcome = WriteOutcome{};
    if (path.empty()) {
        outcome.error = ERROR_INVALID_NAME;
        return false;
    }
    const Destination destination = examineDestination(path);
    if (destination.refusal != WriteRefusal::None) {
        outcome.refusal = destination.refusal;
        return false;
    }
    PendingFile pending(destination.path, placement);
    if (!pending.isOpen()) {
        outcome.error =
            destination.exists ? writeInPlace(destination.path, bytes, placement) : pending.error();
        return settled(outcome, WriteRefusal::NoFreeName);
    }
    outcome.error = pending.writeDurably(bytes);
    if (outcome.error == ERROR_SUCCESS) {
        outcome.error = pending.placeAt(destination, outcome);
    }
    // A file that its user may change but not delete cannot be replaced, yet can be rewritten.
    if (outcome.error == ERROR_ACCESS_DENIED && destination.exists &&
        outcome.scriptKeptAt.empty() && exists(destination.path)) {
        outcome.error = writeInPlace(destination.path, bytes, placement);
    }
    return settled(outcome,
                   destination.exists ? WriteRefusal::NoFreeName : WriteRefusal::TakenMeanwhile);
}

bool writeNewFile(const std::wstring& path, const std::string& bytes, FilePlacement& placement,
                  WriteOutcome& outcome) noexcept {
    outcome = WriteOutcome{};
    if (path.empty()) {
        outcome.error = ERROR_INVALID_NAME;
        return false;
    }
    const Destination destination = examineDestination(path);
    // A file that is there is the user's to replace on purpose; what could never be replaced
    // says why.
    const bool aFile =
        destination.refusal == WriteRefusal::None || destination.refusal == WriteRefusal::ReadOnly;
    outcome.refusal = destination.exists && aFile ? WriteRefusal::NameTaken : destination.refusal;
    if (outcome.refusal != WriteRefusal::None) {
        return false;
    }
    PendingFile pending(destination.path, placement);
    if (!pending.isOpen()) {
        outcome.error = pending.error();
        return settled(outcome, WriteRefusal::NoFreeName);
    }
    outcome.error = pending.writeDurably(bytes);
    if (outcome.error == ERROR_SUCCESS) {
        outcome.error = pending.placeAsNew(destination.path);
    }
    return settled(outcome, WriteRefusal::NameTaken);
}

std::wstring refusalReason(WriteRefusal refusal) {
    switch (refusal) {
    case WriteRefusal::None:
        break;
    case WriteRefusal::ReadOnly:
        return kReadOnlyReason;
    case WriteRefusal::Folder:
        return kFolderReason;
    case WriteRefusal::NotAFile:
        return kDeviceReason;
    case WriteRefusal::Volume:
        return kVolumeReason;
    case WriteRefusal::TakenMeanwhile:
        return kTakenMeanwhileReason;
    case WriteRefusal::NoFreeName:
        return kNoFreeNameReason;
    case WriteRefusal::DanglingLink:
        return kDanglingLinkReason;
    case WriteRefusal::NameTaken:
        return L"something else has that name";
    }
    return std::wstring();
}

std::wstring keptFilesNote(const WriteOutcome& outcome) {
    std::wstring note;
    if (!outcome.scriptKeptAt.empty()) {
        note = L"the new script is in '" + withoutLongPathPrefix(outcome.scriptKeptAt) + L"'";
    }
    if (!outcome.earlierKeptAt.empty()) {
        note += (note.empty() ? L"" : L", ") + std::wstring(L"the earlier file is in '") +
                withoutLongPathPrefix(outcome.earlierKeptAt) + L"'";
    }
    return note;
}

std::wstring failureDetails(const WriteOutcome& outcome) {
    const std::wstring reason = refusalReason(outcome.refusal);
    const std::wstring kept = keptFilesNote(outcome);
    return reason + (reason.empty() || kept.empty() ? L"" : L"; ") + kept;
}

std::wstring leftBehindNote(const WriteOutcome& outcome) {
    if (outcome.backupLeftAt.empty()) {
        return std::wstring();
    }
    return L"the earlier file is still in '" + withoutLongPathPrefix(outcome.backupLeftAt) +
           L"', as another program holds it; delete it once that program lets it go";
}

void SaveCaptureScript(HWND owner, const std::wstring& scriptText, ScriptUi& ui) {
    SaveCaptureScript(owner, scriptText, ui, platformFilePlacement());
}

void SaveCaptureScript(HWND owner, const std::wstring& scriptText, ScriptUi& ui,
                       FilePlacement& placement) {
    // Checked before the dialog, so that nobody confirms replacing a file that is then not written.
    std::string bytes;
    if (const CodePageConversion conversion = toCodePage(scriptText, scriptCodePage(), bytes);
        conversion != CodePageConversion::Ok) {
        ui.showMessage(owner, conversion == CodePageConversion::ChangesAscii
                                  ? kAsciiChangedMessage
                                  : kUnrepresentableScriptMessage);
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
    WriteOutcome outcome;
    if (!writeFileReplacing(request.chosenPath(), bytes, placement, outcome)) {
        // The first line stays what it always was; what corvane-script would add follows.
        std::wstring message = kFailedToCreateMessage;
        const std::wstring refusal = refusalReason(outcome.refusal);
        const std::wstring kept = keptFilesNote(outcome);
        for (const std::wstring* detail : {&refusal, &kept}) {
            if (!detail->empty()) {
                message += L"\n" + asSentence(*detail);
            }
        }
        ui.showMessage(owner, message.c_str());
    } else if (const std::wstring left = leftBehindNote(outcome); !left.empty()) {
        ui.showMessage(owner, (L"The script is saved. " + asSentence(left)).c_str());
    }
}

} // namespace corvane

#include "files/safe_write_win.h"

#include "files/file_at_path_win.h"
#include "files/in_place_win.h"
#include "files/long_path_win.h"
#include "files/unique_file_win.h"

#include <algorithm>
#include <atomic>
#include <cwchar>
#include <iterator>
#include <utility>

namespace corvane {
namespace {

// The folder part of `path` with its separator, or nothing for a bare name.
std::wstring folderPrefix(const std::wstring& path) {
    const std::size_t end = path.find_last_of(L"\\/:");
    return end == std::wstring::npos ? std::wstring() : path.substr(0, end + 1);
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

// A name of this program's own beside `path`: process id and a serial, so that two saves at the
// same time seldom meet. A name can still be taken (by a copy kept from an earlier save, or by a
// process of the same id before), so names are only ever made with createBeside.
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
            return destination.exists && pathExists(target)
                       ? placement_.replace(target, path_, backup)
                       : placement_.move(path_, target);
        });
        if (error == ERROR_SUCCESS) {
            path_.clear();
        } else if (destination.exists && !pathExists(target)) {
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

// Turns a taken name, the error of the last step, into `refusal`; true when the write succeeded.
[[nodiscard]] bool settled(WriteOutcome& outcome, WriteRefusal refusal) noexcept {
    if (isNameTaken(outcome.error)) {
        outcome.refusal = refusal;
        outcome.error = ERROR_SUCCESS;
    }
    return outcome.error == ERROR_SUCCESS && outcome.refusal == WriteRefusal::None;
}

} // namespace

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
        outcome.scriptKeptAt.empty() && pathExists(destination.path)) {
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

} // namespace corvane

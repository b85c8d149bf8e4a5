#include "files/script_file_posix.h"

#include "script/script_messages.h"

#include <cerrno>
#include <climits>
#include <cstddef>
#include <cstdio> // renameat2
#include <string>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

namespace corvane {
namespace {

// Owns a file descriptor; -1 means none.
class UniqueDescriptor {
public:
    explicit UniqueDescriptor(int descriptor) noexcept : descriptor_(descriptor) {}
    ~UniqueDescriptor() { static_cast<void>(close()); }
    UniqueDescriptor(const UniqueDescriptor&) = delete;
    UniqueDescriptor& operator=(const UniqueDescriptor&) = delete;

    [[nodiscard]] int get() const noexcept { return descriptor_; }
    [[nodiscard]] bool isOpen() const noexcept { return descriptor_ >= 0; }
    [[nodiscard]] int release() noexcept {
        const int descriptor = descriptor_;
        descriptor_ = -1;
        return descriptor;
    }
    void reset(int descriptor) noexcept {
        static_cast<void>(close());
        descriptor_ = descriptor;
    }

    // A close can still report a write that the system had deferred.
    [[nodiscard]] bool close() noexcept {
        if (!isOpen()) {
            return true;
        }
        const int descriptor = descriptor_;
        descriptor_ = -1;
        return ::close(descriptor) == 0;
    }

private:
    int descriptor_;
};

bool writeAll(int descriptor, const std::string& bytes, int& error) noexcept {
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t done = ::write(descriptor, bytes.data() + written, bytes.size() - written);
        if (done < 0) {
            if (errno == EINTR) {
                continue;
            }
            error = errno;
            return false;
        }
        written += static_cast<std::size_t>(done);
    }
    return true;
}

// The kernel's own limit on links followed in one lookup.
constexpr int kMostLinks = 40;

// A path's folder and last name: "." for a bare name.
struct PathParts {
    std::string folder;
    std::string name;
};

PathParts splitPath(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return {".", path};
    }
    return {slash == 0 ? "/" : path.substr(0, slash), path.substr(slash + 1)};
}

// A folder to work in by descriptor, so that the name checked is the name written. A folder we
// may write to but not list can still be used through a path descriptor.
int openFolder(int base, const std::string& folder) noexcept {
    const int descriptor = openat(base, folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
#ifdef O_PATH
    if (descriptor < 0 && errno == EACCES) {
        return openat(base, folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    }
#endif
    return descriptor;
}

// The kernel's protected-symlinks rule, applied here because we resolve the last link ourselves:
// in a sticky folder that everyone may write to, a link is followed only when we or the folder's
// owner made it.
bool mayFollow(const struct stat& folder, const struct stat& link) noexcept {
    const bool shared = (folder.st_mode & S_ISVTX) != 0 && (folder.st_mode & S_IWOTH) != 0;
    return !shared || link.st_uid == geteuid() || link.st_uid == folder.st_uid;
}

ScriptFileOutcome refusalOfType(mode_t mode) noexcept {
    switch (mode & S_IFMT) {
    case S_IFDIR:
        return ScriptFileOutcome::Folder;
    case S_IFIFO:
        return ScriptFileOutcome::NamedPipe;
    case S_IFSOCK:
        return ScriptFileOutcome::Socket;
    default:
        return ScriptFileOutcome::Device;
    }
}

// Where the script goes: a name in an open folder, and what has that name now.
struct Destination {
    UniqueDescriptor folder{-1};
    std::string name;
    bool exists = false;
    struct stat status {};
};

bool readLink(int folder, const std::string& name, std::string& target, int& error) noexcept {
    char buffer[PATH_MAX];
    const ssize_t length = readlinkat(folder, name.c_str(), buffer, sizeof buffer);
    if (length < 0 || static_cast<std::size_t>(length) == sizeof buffer) {
        error = length < 0 ? errno : ENAMETOOLONG;
        return false;
    }
    target.assign(buffer, static_cast<std::size_t>(length));
    return true;
}

// Follows links at the last name of `path` to what will be replaced or created. Written means
// found; anything else is the outcome of the whole write.
ScriptFileOutcome findDestination(const std::string& path, Destination& found, int& error) {
    PathParts parts = splitPath(path);
    UniqueDescriptor folder(openFolder(AT_FDCWD, parts.folder));
    if (!folder.isOpen()) {
        error = errno;
        return ScriptFileOutcome::Failed;
    }
    for (int links = 0;; ++links) {
        if (parts.name.empty() || parts.name == "." || parts.name == "..") {
            return ScriptFileOutcome::Folder;
        }
        struct stat status {};
        if (fstatat(folder.get(), parts.name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno != ENOENT) {
                error = errno;
                return ScriptFileOutcome::Failed;
            }
            if (links > 0) {
                return ScriptFileOutcome::DanglingLink;
            }
            found.folder.reset(folder.release());
            found.name = parts.name;
            return ScriptFileOutcome::Written;
        }
        if (!S_ISLNK(status.st_mode)) {
            found.folder.reset(folder.release());
            found.name = parts.name;
            found.exists = true;
            found.status = status;
            return ScriptFileOutcome::Written;
        }
        struct stat folderStatus {};
        if (fstat(folder.get(), &folderStatus) != 0) {
            error = errno;
            return ScriptFileOutcome::Failed;
        }
        if (!mayFollow(folderStatus, status)) {
            return ScriptFileOutcome::StrangersLink;
        }
        std::string target;
        if (links == kMostLinks) {
            error = ELOOP;
            return ScriptFileOutcome::Failed;
        }
        if (!readLink(folder.get(), parts.name, target, error)) {
            return ScriptFileOutcome::Failed;
        }
        // A relative target starts in the link's folder.
        parts = splitPath(target);
        folder.reset(openFolder(folder.get(), parts.folder));
        if (!folder.isOpen()) {
            if (errno == ENOENT) {
                return ScriptFileOutcome::DanglingLink;
            }
            error = errno;
            return ScriptFileOutcome::Failed;
        }
    }
}

// What may not be written over, whatever `existing` says, and what needs Existing::Replace.
ScriptFileOutcome checkDestination(const Destination& destination, Existing existing) noexcept {
    if (!destination.exists) {
        return ScriptFileOutcome::Written;
    }
    if (!S_ISREG(destination.status.st_mode)) {
        return refusalOfType(destination.status.st_mode);
    }
    if (existing == Existing::Keep) {
        return ScriptFileOutcome::NameTaken;
    }
    // As Windows refuses a file with its read-only attribute.
    if ((destination.status.st_mode & S_IWUSR) == 0) {
        return ScriptFileOutcome::ReadOnly;
    }
    return ScriptFileOutcome::Written;
}

// A name for the temporary file that no other writer is likely to pick; O_EXCL makes sure.
std::string temporaryName(unsigned attempt) {
    static constexpr char kCharacters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    auto seed = static_cast<unsigned long long>(now.tv_nsec) ^
                (static_cast<unsigned long long>(getpid()) << 32) ^ (attempt * 0x9E3779B9ULL);
    std::string name = ".corvane-";
    for (int i = 0; i < 8; ++i) {
        name += kCharacters[seed % (sizeof kCharacters - 1)];
        seed /= sizeof kCharacters - 1;
    }
    return name;
}

// The temporary file's name in its folder, removed again unless it was renamed away.
class TemporaryName {
public:
    explicit TemporaryName(int folder) noexcept : folder_(folder) {}
    ~TemporaryName() {
        if (!name_.empty()) {
            static_cast<void>(unlinkat(folder_, name_.c_str(), 0));
        }
    }
    TemporaryName(const TemporaryName&) = delete;
    TemporaryName& operator=(const TemporaryName&) = delete;

    // A new file, open for writing; -1 with errno when none could be made.
    int create(mode_t mode) {
        for (unsigned attempt = 0; attempt < 100; ++attempt) {
            name_ = temporaryName(attempt);
            const int descriptor = openat(
                folder_, name_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
            if (descriptor >= 0 || errno != EEXIST) {
                if (descriptor < 0) {
                    name_.clear();
                }
                return descriptor;
            }
        }
        name_.clear();
        return -1;
    }
    [[nodiscard]] const char* name() const noexcept { return name_.c_str(); }
    void renamedAway() noexcept { name_.clear(); }

private:
    int folder_;
    std::string name_;
};

// Gives the new file the earlier one's owner, group and permissions; the owner first, since a
// change of owner clears the set-user-id bits.
ScriptFileOutcome takeOver(int file, const struct stat& earlier, int& error) noexcept {
    struct stat status {};
    if (fstat(file, &status) != 0) {
        error = errno;
        return ScriptFileOutcome::Failed;
    }
    if ((status.st_uid != earlier.st_uid || status.st_gid != earlier.st_gid) &&
        fchown(file, earlier.st_uid, earlier.st_gid) != 0) {
        error = errno;
        return ScriptFileOutcome::OwnerNotKept;
    }
    if (fchmod(file, earlier.st_mode & 0777) != 0) {
        error = errno;
        return ScriptFileOutcome::Failed;
    }
    return ScriptFileOutcome::Written;
}

// Puts the written file under the destination's name; 0 or an errno value.
int place(const Destination& destination, TemporaryName& temporary,
          PosixFilePlacement& placement) noexcept {
    const int folder = destination.folder.get();
    // Only what was checked is replaced: a name that was free must still be free.
    const int renamed =
        placement.rename(folder, temporary.name(), destination.name.c_str(), destination.exists);
    if (renamed == 0) {
        temporary.renamedAway();
        return 0;
    }
    if (destination.exists || (renamed != EINVAL && renamed != ENOSYS)) {
        return renamed;
    }
    // Where renaming cannot refuse to replace, a hard link can: it is made only on a free name.
    // The temporary name goes with the TemporaryName.
    return linkat(folder, temporary.name(), folder, destination.name.c_str(), 0) == 0 ? 0 : errno;
}
} // namespace

const wchar_t* refusalReason(ScriptFileOutcome outcome) noexcept {
    switch (outcome) {
    case ScriptFileOutcome::StrangersLink:
        return L"it is a symbolic link that another user made in a sticky folder that everyone may "
               L"write to, and such a link is not followed";
    case ScriptFileOutcome::DanglingLink:
        return kDanglingLinkReason;
    case ScriptFileOutcome::Folder:
        return kFolderReason;
    case ScriptFileOutcome::NamedPipe:
        return L"it is a named pipe, not a file";
    case ScriptFileOutcome::Device:
        return kDeviceReason;
    case ScriptFileOutcome::Socket:
        return L"it is a socket, not a file";
    case ScriptFileOutcome::ReadOnly:
        return kReadOnlyReason;
    case ScriptFileOutcome::OwnerNotKept:
        return L"it belongs to another user or group, which the new file could not keep";
    case ScriptFileOutcome::Written:
    case ScriptFileOutcome::NameTaken:
    case ScriptFileOutcome::Failed:
        break;
    }
    return L"";
}

int PosixFilePlacement::sync(int descriptor) noexcept {
    return fsync(descriptor) == 0 ? 0 : errno;
}

int PosixFilePlacement::rename(int folder, const char* from, const char* to,
                               bool replace) noexcept {
    if (replace) {
        return renameat(folder, from, folder, to) == 0 ? 0 : errno;
    }
#ifdef RENAME_NOREPLACE
    return renameat2(folder, from, folder, to, RENAME_NOREPLACE) == 0 ? 0 : errno;
#else
    return ENOSYS;
#endif
}

PosixFilePlacement& platformPosixFilePlacement() {
    static PosixFilePlacement placement;
    return placement;
}

ScriptFileOutcome writeScriptFile(const std::string& path, const std::string& bytes,
                                  Existing existing, int& error) noexcept {
    return writeScriptFile(path, bytes, existing, error, platformPosixFilePlacement());
}

ScriptFileOutcome writeScriptFile(const std::string& path, const std::string& bytes,
                                  Existing existing, int& error,
                                  PosixFilePlacement& placement) noexcept {
    error = 0;
    Destination destination;
    ScriptFileOutcome outcome = findDestination(path, destination, error);
    if (outcome == ScriptFileOutcome::Written) {
        outcome = checkDestination(destination, existing);
    }
    if (outcome != ScriptFileOutcome::Written) {
        return outcome;
    }

    TemporaryName temporary(destination.folder.get());
    // A new file gets 0666 less the umask, as any new file; one that replaces gets the earlier
    // file's permissions once its owner is settled.
    UniqueDescriptor file(temporary.create(destination.exists ? 0600 : 0666));
    if (!file.isOpen()) {
        error = errno;
        return ScriptFileOutcome::Failed;
    }
    if (destination.exists) {
        outcome = takeOver(file.get(), destination.status, error);
        if (outcome != ScriptFileOutcome::Written) {
            return outcome;
        }
    }
    if (!writeAll(file.get(), bytes, error)) {
        return ScriptFileOutcome::Failed;
    }
    // Every byte on disk before the name changes: a crash then leaves the earlier file whole.
    error = placement.sync(file.get());
    if (error != 0) {
        return ScriptFileOutcome::Failed;
    }
    // A close can still report a write that the system had deferred.
    if (!file.close()) {
        error = errno;
        return ScriptFileOutcome::Failed;
    }
    error = place(destination, temporary, placement);
    if (error == EEXIST && existing == Existing::Keep) {
        error = 0;
        return ScriptFileOutcome::NameTaken;
    }
    if (error != 0) {
        return ScriptFileOutcome::Failed;
    }
    // The rename itself reaches the disk with the folder; a failure here loses nothing written.
    static_cast<void>(placement.sync(destination.folder.get()));
    return ScriptFileOutcome::Written;
}

} // namespace corvane

#include "files/destination_posix.h"

#include "files/private_group_posix.h"

#include <cerrno>
#include <climits>
#include <cstddef>
#include <string>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

namespace corvane {
namespace {

// The kernel's own limit on links followed in one lookup.
constexpr int kMostLinks = 40;

// Holds a file without reading it: opening a device could already act.
#ifdef O_PATH
constexpr int kHoldFlags = O_PATH | O_NOFOLLOW | O_CLOEXEC;
#else
constexpr int kHoldFlags = O_RDONLY | O_NONBLOCK | O_NOCTTY | O_NOFOLLOW | O_CLOEXEC;
#endif

// A folder to work in by descriptor, so that the name checked is the name written; a link is not
// opened. A folder we may write to or pass through but not list is still usable through a path
// descriptor.
int openFolder(int base, const char* name) noexcept {
    constexpr int kFlags = O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
    const int descriptor = openat(base, name, O_RDONLY | kFlags);
#ifdef O_PATH
    if (descriptor < 0 && errno == EACCES) {
        return openat(base, name, O_PATH | kFlags);
    }
#endif
    return descriptor;
}

// The names of a path still to walk, the next one last. Empty names between slashes are dropped;
// a slash at the end leaves an empty last name, which only a folder can have.
void pushNames(const std::string& path, std::vector<std::string>& pending) {
    std::vector<std::string> names;
    std::size_t start = 0;
    for (;;) {
        const std::size_t slash = path.find('/', start);
        const std::string name = path.substr(start, slash - start);
        if (slash == std::string::npos) {
            names.push_back(name);
            break;
        }
        if (!name.empty()) {
            names.push_back(name);
        }
        start = slash + 1;
    }
    pending.insert(pending.end(), names.rbegin(), names.rend());
}

// A sticky folder that others may write to, such as /tmp. The kernel's protected-regular rule at
// its strictest (2) counts a folder that its group may write to as well, and so do we, for links
// too: a member of the group could plant either.
bool isShared(const struct stat& folder) noexcept {
    return (folder.st_mode & S_ISVTX) != 0 && (folder.st_mode & (S_IWGRP | S_IWOTH)) != 0;
}

// As sudo and ssh judge the folders of their files: a folder that another user owns, or that
// others may write to without the sticky bit, lets them put something else at a name in it. Its
// group counts as others unless the owner is that group's only member.
bool isTrusted(const struct stat& folder) noexcept {
    if (folder.st_uid != 0 && folder.st_uid != geteuid()) {
        return false;
    }
    if ((folder.st_mode & S_ISVTX) != 0 || (folder.st_mode & (S_IWGRP | S_IWOTH)) == 0) {
        return true;
    }
    return (folder.st_mode & S_IWOTH) == 0 &&
           ownerIsTheGroupsOnlyMember(folder.st_uid, folder.st_gid);
}

// The kernel's protected-symlinks rule, applied here because we resolve links ourselves: in a
// shared folder, a link is followed only when we or the folder's owner made it.
bool mayFollow(const struct stat& folder, const struct stat& link) noexcept {
    return !isShared(folder) || link.st_uid == geteuid() || link.st_uid == folder.st_uid;
}

std::string joined(const std::string& folder, const std::string& name) {
    if (folder == ".") {
        return name;
    }
    return folder == "/" ? folder + name : folder + "/" + name;
}

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

// The walk: the folder reached so far and the names still ahead.
class Walk {
public:
    explicit Walk(const std::string& path) { pushNames(path, pending_); }

    ScriptFileOutcome run(const std::string& path, Destination& found, int& error) {
        where_ = path.compare(0, 1, "/") == 0 ? "/" : ".";
        folder_.reset(openFolder(AT_FDCWD, where_.c_str()));
        if (!folder_.isOpen()) {
            error = errno;
            return ScriptFileOutcome::Failed;
        }
        while (!pending_.empty()) {
            const std::string name = pending_.back();
            pending_.pop_back();
            // Every folder in which a name is looked up.
            if (!name.empty() && name != ".") {
                if (fstat(folder_.get(), &folderStatus_) != 0) {
                    error = errno;
                    return ScriptFileOutcome::Failed;
                }
                if (!isTrusted(folderStatus_)) {
                    found.folderPath = where_;
                    found.folderStatus = folderStatus_;
                    return ScriptFileOutcome::StrangersFolder;
                }
            }
            const ScriptFileOutcome outcome =
                pending_.empty() ? last(name, found, error) : step(name, error);
            if (outcome != ScriptFileOutcome::Written || found.folder.isOpen()) {
                return outcome;
            }
        }
        return ScriptFileOutcome::Folder;
    }

private:
    // A name in the folder part: a folder to enter, or a link to follow to one.
    ScriptFileOutcome step(const std::string& name, int& error) {
        if (name.empty() || name == ".") { // a link to "folder/" leaves an empty name
            return ScriptFileOutcome::Written;
        }
        const int next = openFolder(folder_.get(), name.c_str());
        if (next >= 0) {
            folder_.reset(next);
            where_ = joined(where_, name);
            return ScriptFileOutcome::Written;
        }
        const int cause = errno;
        struct stat status {};
        if (fstatat(folder_.get(), name.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISLNK(status.st_mode)) {
            return follow(name, status, error);
        }
        if (cause == ENOENT && followingLastName_) {
            return ScriptFileOutcome::DanglingLink;
        }
        error = cause;
        return ScriptFileOutcome::Failed;
    }

    // The last name: what is there, or a link to follow further.
    ScriptFileOutcome last(const std::string& name, Destination& found, int& error) {
        if (name.empty() || name == "." || name == "..") {
            return ScriptFileOutcome::Folder;
        }
        struct stat status {};
        const bool exists = fstatat(folder_.get(), name.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0;
        if (!exists && errno != ENOENT) {
            error = errno;
            return ScriptFileOutcome::Failed;
        }
        if (!exists && followingLastName_) {
            return ScriptFileOutcome::DanglingLink;
        }
        if (exists && S_ISLNK(status.st_mode)) {
            followingLastName_ = true;
            return follow(name, status, error);
        }
        if (exists && S_ISREG(status.st_mode)) {
            found.file.reset(openat(folder_.get(), name.c_str(), kHoldFlags));
            if (!found.file.isOpen() || fstat(found.file.get(), &status) != 0) {
                error = errno;
                return ScriptFileOutcome::Failed;
            }
        }
        found.folder.reset(folder_.release());
        found.folderStatus = folderStatus_;
        found.folderPath = where_;
        found.name = name;
        found.exists = exists;
        found.status = status;
        return ScriptFileOutcome::Written;
    }

    // Puts the target's names ahead of the rest; a relative target starts in the link's folder.
    ScriptFileOutcome follow(const std::string& name, const struct stat& link, int& error) {
        if (!mayFollow(folderStatus_, link)) {
            return ScriptFileOutcome::StrangersLink;
        }
        std::string target;
        if (++links_ > kMostLinks) {
            error = ELOOP;
            return ScriptFileOutcome::Failed;
        }
        if (!readLink(folder_.get(), name, target, error)) {
            return ScriptFileOutcome::Failed;
        }
        if (target.compare(0, 1, "/") == 0) {
            where_ = "/";
            folder_.reset(openFolder(AT_FDCWD, "/"));
            if (!folder_.isOpen()) {
                error = errno;
                return ScriptFileOutcome::Failed;
            }
        }
        pushNames(target, pending_);
        return ScriptFileOutcome::Written;
    }

    UniqueDescriptor folder_{-1};
    struct stat folderStatus_ {};
    std::string where_; // the folder as reached, for messages
    std::vector<std::string> pending_;
    int links_ = 0;
    bool followingLastName_ = false;
};

} // namespace

ScriptFileOutcome findDestination(const std::string& path, Destination& found, int& error) {
    Walk walk(path);
    return walk.run(path, found, error);
}

ScriptFileOutcome refusalOfType(mode_t mode) noexcept {
    switch (mode & S_IFMT) {
    case S_IFDIR:
        return ScriptFileOutcome::Folder;
    case S_IFIFO:
        return ScriptFileOutcome::NamedPipe;
    case S_IFSOCK:
        return ScriptFileOutcome::Socket;
    case S_IFLNK:
        return ScriptFileOutcome::SymbolicLink;
    default:
        return ScriptFileOutcome::Device;
    }
}

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
    // The kernel's protected-regular rule: in a shared folder, a file that neither we nor the
    // folder's owner own was planted there, and its owner could change the script once it had
    // taken the file's place.
    const uid_t owner = destination.status.st_uid;
    if (isShared(destination.folderStatus) && owner != geteuid() &&
        owner != destination.folderStatus.st_uid) {
        return ScriptFileOutcome::StrangersFile;
    }
    // As Windows refuses a file with its read-only attribute.
    if ((destination.status.st_mode & S_IWUSR) == 0) {
        return ScriptFileOutcome::ReadOnly;
    }
    return ScriptFileOutcome::Written;
}

} // namespace corvane

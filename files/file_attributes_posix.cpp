#include "files/file_attributes_posix.h"

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace corvane {
namespace {

// The access control list beyond the permission bits; its mask is what the group bits show.
constexpr char kAccessList[] = "system.posix_acl_access";
constexpr char kUserPrefix[] = "user.";

bool passesOn(const char* name) noexcept {
    return std::strcmp(name, kAccessList) == 0 ||
           std::strncmp(name, kUserPrefix, sizeof kUserPrefix - 1) == 0;
}

// The earlier file, read by descriptor, or, where we may not read it, through the descriptor that
// holds it, in /proc.
class AttributeSource {
public:
    explicit AttributeSource(const Destination& earlier)
        : file_(openat(earlier.folder.get(), earlier.name.c_str(),
                       O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC)),
          held_(earlier.file.get()) {
        if (!file_.isOpen()) {
            path_ = "/proc/self/fd/" + std::to_string(held_);
        }
    }

    // Whether the file opened by name is the one held since the check.
    [[nodiscard]] bool isStill() const noexcept {
        struct stat now {};
        struct stat held {};
        return !file_.isOpen() || (fstat(file_.get(), &now) == 0 && fstat(held_, &held) == 0 &&
                                   now.st_dev == held.st_dev && now.st_ino == held.st_ino);
    }
    [[nodiscard]] ssize_t list(char* names, std::size_t size) const noexcept {
        return file_.isOpen() ? flistxattr(file_.get(), names, size)
                              : listxattr(path_.c_str(), names, size);
    }
    [[nodiscard]] ssize_t get(const char* name, void* value, std::size_t size) const noexcept {
        return file_.isOpen() ? fgetxattr(file_.get(), name, value, size)
                              : getxattr(path_.c_str(), name, value, size);
    }

private:
    UniqueDescriptor file_;
    int held_;
    std::string path_;
};

// Reads an attribute list or value whose size can change between the two calls.
template <typename Read>
bool readSized(Read read, std::vector<char>& bytes, int& error) {
    for (;;) {
        const ssize_t size = read(nullptr, 0);
        if (size >= 0) {
            bytes.resize(static_cast<std::size_t>(size));
            const ssize_t got = size == 0 ? 0 : read(bytes.data(), bytes.size());
            if (got >= 0) {
                bytes.resize(static_cast<std::size_t>(got));
                return true;
            }
        }
        if (errno == ENOTSUP) {
            bytes.clear();
            return true;
        }
        if (errno != ERANGE) {
            error = errno;
            return false;
        }
    }
}

bool copyAttributes(const AttributeSource& source, int file, int& error) {
    std::vector<char> names;
    if (!readSized([&](char* to, std::size_t size) { return source.list(to, size); }, names,
                   error)) {
        return false;
    }
    std::vector<char> value;
    bool listCopied = false;
    for (std::size_t at = 0; at < names.size(); at += std::strlen(names.data() + at) + 1) {
        const char* name = names.data() + at;
        if (!passesOn(name)) {
            continue;
        }
        if (!readSized([&](char* to, std::size_t size) { return source.get(name, to, size); },
                       value, error)) {
            return false;
        }
        if (fsetxattr(file, name, value.data(), value.size(), 0) != 0) {
            error = errno;
            return false;
        }
        listCopied = listCopied || std::strcmp(name, kAccessList) == 0;
    }
    // The new file took the folder's default list when it was made; the earlier file had none, so
    // neither may it.
    if (!listCopied && fremovexattr(file, kAccessList) != 0 && errno != ENODATA &&
        errno != ENOTSUP) {
        error = errno;
        return false;
    }
    return true;
}

} // namespace

ScriptFileOutcome takeOver(int file, const Destination& earlier, int& error) {
    const struct stat& checked = earlier.status;
    const AttributeSource source(earlier);
    if (!source.isStill()) {
        return ScriptFileOutcome::Changed;
    }
    struct stat status {};
    if (fstat(file, &status) != 0) {
        error = errno;
        return ScriptFileOutcome::Failed;
    }
    // The owner first, since a change of owner clears the set-user-id bits.
    if ((status.st_uid != checked.st_uid || status.st_gid != checked.st_gid) &&
        fchown(file, checked.st_uid, checked.st_gid) != 0) {
        error = errno;
        return ScriptFileOutcome::OwnerNotKept;
    }
    // The list before the permissions: setting it sets the group bits from its mask, and the
    // permissions then set the mask to the earlier file's group bits, which were its mask.
    if (!copyAttributes(source, file, error)) {
        return ScriptFileOutcome::Failed;
    }
    if (fchmod(file, checked.st_mode & 0777) != 0) {
        error = errno;
        return ScriptFileOutcome::Failed;
    }
    return ScriptFileOutcome::Written;
}

} // namespace corvane

// The POSIX counterpart of the script file's replacing write, for making scripts on a build
// machine.
#pragma once

#include <string>

#include <sys/types.h>

namespace corvane {

// What happens to a file that already has the name.
enum class Existing { Keep, Replace };

enum class ScriptFileOutcome {
    Written,
    NameTaken, // Existing::Keep, and something has the name
    Failed,    // a call failed; its errno is given
    // Refused before anything was written:
    StrangersLink, // a link that the kernel's protected-symlinks rule would not let us follow
    DanglingLink,  // a link to nothing
    Folder,
    NamedPipe,
    Device,
    Socket,
    SymbolicLink,  // swapped in at the name while the script was written
    ReadOnly,      // the owner may not write the file
    OwnerNotKept,  // the new file could not be given the earlier one's owner and group; errno given
    StrangersFile, // another user's file in a sticky folder that others may write to
    StrangersFolder, // a folder on the way that another user owns or others may write to unsticky
    Changed,         // something else took the name while the script was written; nothing replaced
};

// The folder that a StrangersFolder refusal names: as the path reached it, its owner and group,
// and whether it is refused for its group alone, which others may not write to it.
struct FolderOnTheWay {
    std::string path;
    uid_t owner = 0;
    gid_t group = 0;
    bool groupMayWrite = false;
};

// The reason of a refusal as the user reads it ("it is a folder"); empty for the other outcomes.
[[nodiscard]] const wchar_t* refusalReason(ScriptFileOutcome outcome) noexcept;

// The calls that make the written file durable and put it in place, behind a seam so that tests
// can see their order and fail them. Each returns 0 or an errno value.
class PosixFilePlacement {
public:
    virtual ~PosixFilePlacement() = default;
    [[nodiscard]] virtual int sync(int descriptor) noexcept;
    // `from` takes the name `to` in `folder`. Without `replace` only where the name is free, in
    // one step; EINVAL or ENOSYS where the file system or the kernel cannot do that.
    [[nodiscard]] virtual int rename(int folder, const char* from, const char* to,
                                     bool replace) noexcept;
    // The two names swap what they hold, in one step; EINVAL or ENOSYS where the file system or
    // the kernel cannot do that.
    [[nodiscard]] virtual int exchange(int folder, const char* first, const char* second) noexcept;
};

PosixFilePlacement& platformPosixFilePlacement();

// Writes a new file in the destination's folder, syncs it to disk and only then renames it over
// `path`, so that a failed write never leaves a damaged script. On failure or refusal the
// temporary file is gone and whatever was at `path` is untouched.
// - Every folder on the way belongs to root or to us, and others may write to it only where it
//   is sticky (as /tmp is); another folder is refused, since others could change what it holds.
//   One that its group may write to passes where its owner is the group's only member.
// - Only a regular file is replaced, and only with Existing::Replace; with Existing::Keep the
//   check and the creation are one step. A read-only file is refused, and so is, as the kernel's
//   protected-regular rule has it at its strictest, a file in a sticky folder that others may
//   write to that neither we nor the folder's owner own.
// - A replaced file keeps its permissions, owner, group, access control list and user extended
//   attributes, and takes no access from the folder's default list, or is refused where the
//   owner cannot be kept. Its hard links keep the earlier text: the new file is another file. A
//   new file gets what any new file in the folder gets: the umask or the default list.
// - The earlier file is held open from the check, and it and the new one swap names in one step;
//   should anything but the file held come back (a named pipe or a link put there meanwhile), it
//   is swapped back and left as it is. Where the file system cannot swap, the rename replaces
//   whatever is there by then.
// - Every symbolic link on the way, in the folders as at the last name, is followed only where
//   the kernel's protected-symlinks rule would follow it: not in a sticky folder that others may
//   write to when neither we nor the folder's owner made it. A link at the last name stays, and
//   the file it names is replaced; a link to nothing is refused.
// `error` holds the errno where the outcome gives one, `folder` the folder a StrangersFolder names.
[[nodiscard]] ScriptFileOutcome writeScriptFile(const std::string& path, const std::string& bytes,
                                                Existing existing, int& error) noexcept;
[[nodiscard]] ScriptFileOutcome writeScriptFile(const std::string& path, const std::string& bytes,
                                                Existing existing, int& error,
                                                PosixFilePlacement& placement) noexcept;
[[nodiscard]] ScriptFileOutcome writeScriptFile(const std::string& path, const std::string& bytes,
                                                Existing existing, int& error,
                                                FolderOnTheWay& folder,
                                                PosixFilePlacement& placement) noexcept;

} // namespace corvane

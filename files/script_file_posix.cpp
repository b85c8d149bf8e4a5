#include "files/script_file_posix.h"

#include "files/descriptor_posix.h"
#include "files/destination_posix.h"
#include "files/file_attributes_posix.h"
#include "files/temporary_file_posix.h"
#include "script/script_messages.h"

#include <cerrno>
#include <cstddef>
#include <cstdio> // renameat2
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace corvane {
namespace {

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

// Swaps the written file with the checked one and removes that, unless something else came back:
// that is swapped back and refused. 0 or an errno value; `outcome` says what the name holds.
int exchange(const Destination& destination, TemporaryName& temporary,
             PosixFilePlacement& placement, ScriptFileOutcome& outcome) noexcept {
    const int folder = destination.folder.get();
    const int swapped = placement.exchange(folder, temporary.name(), destination.name.c_str());
    if (swapped == EINVAL || swapped == ENOSYS) {
        const int renamed =
            placement.rename(folder, temporary.name(), destination.name.c_str(), true);
        if (renamed == 0) {
            temporary.renamedAway();
        }
        return renamed;
    }
    if (swapped == ENOENT) {
        outcome = ScriptFileOutcome::Changed;
        return 0;
    }
    if (swapped != 0) {
        return swapped;
    }
    // The earlier file is still held open, so no file put there meanwhile can have its number.
    struct stat held {};
    struct stat back {};
    if (fstat(destination.file.get(), &held) == 0 &&
        fstatat(folder, temporary.name(), &back, AT_SYMLINK_NOFOLLOW) == 0 &&
        back.st_dev == held.st_dev && back.st_ino == held.st_ino) {
        return 0; // the earlier file now has the temporary name and goes with it
    }
    const int swappedBack = placement.exchange(folder, temporary.name(), destination.name.c_str());
    if (swappedBack != 0) {
        // Both stay where they are now, the new script at the chosen name.
        temporary.renamedAway();
        return swappedBack;
    }
    outcome = S_ISREG(back.st_mode) ? ScriptFileOutcome::Changed : refusalOfType(back.st_mode);
    return 0;
}

// Puts the written file under the destination's name; 0 or an errno value.
int place(const Destination& destination, TemporaryName& temporary, PosixFilePlacement& placement,
          ScriptFileOutcome& outcome) noexcept {
    if (destination.exists) {
        return exchange(destination, temporary, placement, outcome);
    }
    const int folder = destination.folder.get();
    // Only what was checked is replaced: a name that was free must still be free.
    const int renamed = placement.rename(folder, temporary.name(), destination.name.c_str(), false);
    if (renamed == 0) {
        temporary.renamedAway();
        return 0;
    }
    if (renamed != EINVAL && renamed != ENOSYS) {
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
        return L"it is a symbolic link that another user made in a sticky folder that others may "
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
    case ScriptFileOutcome::SymbolicLink:
        return kLinkMeanwhileReason;
    case ScriptFileOutcome::ReadOnly:
        return kReadOnlyReason;
    case ScriptFileOutcome::OwnerNotKept:
        return L"it belongs to another user or group, which the new file could not keep";
    case ScriptFileOutcome::StrangersFile:
        return L"it belongs to another user and lies in a sticky folder that others may write "
               L"to, and such a file is not replaced";
    case ScriptFileOutcome::StrangersFolder:
        return L"a folder on the way may be changed by another user";
    case ScriptFileOutcome::Changed:
        return kTakenMeanwhileReason;
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

int PosixFilePlacement::exchange(int folder, const char* first, const char* second) noexcept {
#ifdef RENAME_EXCHANGE
    return renameat2(folder, first, folder, second, RENAME_EXCHANGE) == 0 ? 0 : errno;
#else
    return ENOSYS;
#endif
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
    FolderOnTheWay folder;
    return writeScriptFile(path, bytes, existing, error, folder, placement);
}

ScriptFileOutcome writeScriptFile(const std::string& path, const std::string& bytes,
                                  Existing existing, int& error, FolderOnTheWay& folder,
                                  PosixFilePlacement& placement) noexcept {
    error = 0;
    Destination destination;
    ScriptFileOutcome outcome = findDestination(path, destination, error);
    if (outcome == ScriptFileOutcome::StrangersFolder) {
        const struct stat& refused = destination.folderStatus;
        folder = FolderOnTheWay{destination.folderPath, refused.st_uid, refused.st_gid,
                                (refused.st_mode & (S_IWGRP | S_IWOTH)) == S_IWGRP};
    }
    if (outcome == ScriptFileOutcome::Written) {
        outcome = checkDestination(destination, existing);
    }
    if (outcome != ScriptFileOutcome::Written) {
        return outcome;
    }

    TemporaryName temporary(destination.folder.get());
    // A new file gets 0666 less the umask, or the folder's default access list, as any new file
    // does: the folder is ours or root's, and so is that choice. One that replaces gets the
    // earlier file's permissions and list once its owner is settled.
    UniqueDescriptor file(temporary.create(destination.exists ? 0600 : 0666));
    if (!file.isOpen()) {
        error = errno;
        return ScriptFileOutcome::Failed;
    }
    if (destination.exists) {
        outcome = takeOver(file.get(), destination, error);
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
    // A file made without a name gets one only now, just before it takes the script's place.
    error = temporary.giveName(file.get());
    if (error != 0) {
        return ScriptFileOutcome::Failed;
    }
    // A close can still report a write that the system had deferred.
    if (!file.close()) {
        error = errno;
        return ScriptFileOutcome::Failed;
    }
    error = place(destination, temporary, placement, outcome);
    if (error == EEXIST && existing == Existing::Keep) {
        error = 0;
        return ScriptFileOutcome::NameTaken;
    }
    if (error != 0) {
        return ScriptFileOutcome::Failed;
    }
    if (outcome != ScriptFileOutcome::Written) {
        return outcome;
    }
    // The earlier script, now under the temporary name, goes before the folder's sync, the slow
    // step: a kill during it then leaves no hidden copy behind.
    temporary.remove();
    // The rename itself reaches the disk with the folder; a failure here loses nothing written.
    static_cast<void>(placement.sync(destination.folder.get()));
    return ScriptFileOutcome::Written;
}

} // namespace corvane

// Where a script file goes: the chosen path walked one name at a time, with the kernel's rules
// for links and for files of other users in shared folders, and what may be written over.
#pragma once

#include "files/descriptor_posix.h"
#include "files/script_file_posix.h"

#include <string>

#include <sys/stat.h>

namespace corvane {

// A name in an open folder, and what has that name now.
struct Destination {
    UniqueDescriptor folder{-1};
    struct stat folderStatus {};
    std::string folderPath; // as the walk reached it; for a StrangersFolder, the folder refused
    std::string name;
    bool exists = false;
    // A regular file at the name, held open from the check until it has been replaced, so that
    // no other file can be given its inode number meanwhile; `status` is what fstat gave.
    UniqueDescriptor file{-1};
    struct stat status {};
};

// Follows the links on the way to what will be replaced or created, through folders that only we
// and root may change. Written means found; anything else is the outcome of the whole write, with
// `error` set where it gives an errno.
[[nodiscard]] ScriptFileOutcome findDestination(const std::string& path, Destination& found,
                                                int& error);

// What may not be written over, whatever `existing` says, and what needs Existing::Replace.
[[nodiscard]] ScriptFileOutcome checkDestination(const Destination& destination,
                                                 Existing existing) noexcept;

// The refusal for something at the name that is not a regular file.
[[nodiscard]] ScriptFileOutcome refusalOfType(mode_t mode) noexcept;

} // namespace corvane

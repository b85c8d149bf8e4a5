// Writing a script to a file so that it never leaves a damaged file at the chosen path: a new file
// beside it, flushed, then put in its place, with waits for the programs that hold files briefly.
#pragma once

#include "files/file_placement_win.h"
#include "files/write_outcome_win.h"

#include <string>

namespace corvane {

// Writes to a new file beside the destination, flushes it and only then puts it in the
// destination's place, the earlier file going by way of a backup name that is removed after.
// On failure the temporary file is gone and whatever was at `path` is untouched, except when a
// replace stopped half way: then `outcome` says where the new script and the earlier file are.
// A symbolic link at `path` has its target replaced; one whose target does not exist, a
// read-only file, a folder, a device and a whole volume are refused. An existing file keeps its
// attributes and access rights. A file with several hard links is replaced under the chosen name
// only: its other names keep the earlier text. Calls that another program's open handle makes fail
// are retried for about two seconds. Where no new file can be made beside an existing destination,
// or the destination may be changed but not replaced, it is rewritten in place, and left as it was
// when the disk has no room for the script. A name that was free when examined is never replaced.
[[nodiscard]] bool writeFileReplacing(const std::wstring& path, const std::string& bytes) noexcept;
[[nodiscard]] bool writeFileReplacing(const std::wstring& path, const std::string& bytes,
                                      FilePlacement& placement) noexcept;
[[nodiscard]] bool writeFileReplacing(const std::wstring& path, const std::string& bytes,
                                      FilePlacement& placement, WriteOutcome& outcome) noexcept;

// The same write where nothing may have the name yet: the new file takes it in one step that
// fails when something else has it meanwhile, which is then WriteRefusal::NameTaken and is left
// as it is.
[[nodiscard]] bool writeNewFile(const std::wstring& path, const std::string& bytes,
                                FilePlacement& placement, WriteOutcome& outcome) noexcept;

} // namespace corvane

// Puts a capture script on disk: the save dialog with its timestamped default name, the
// conversion to the command prompt's code page without best fit, and a write that never leaves a
// damaged file at the chosen path.
#pragma once

#include "script/script_ui.h"

#include <windows.h>

#include <string>

namespace corvane {

class FilePlacement;

// Asks for a file name and writes the script there. A script that the command prompt's code page
// cannot hold is refused before the dialog opens. Failures are shown in messages owned by
// `owner`; a cancelled dialog and success are silent.
void SaveCaptureScript(HWND owner, const std::wstring& scriptText, ScriptUi& ui);
void SaveCaptureScript(HWND owner, const std::wstring& scriptText, ScriptUi& ui,
                       FilePlacement& placement);

// Lower layers, tested on their own:

// The file calls that put a written script in place, behind a seam so that tests can fail them as
// a virus scanner, an indexer, a full disk or a locked-down folder does. Each returns 0 or the
// platform's error code; paths come in the form the plain file calls accept.
class FilePlacement {
public:
    virtual ~FilePlacement() = default;
    // A file that did not exist before, open for writing and shared with nobody.
    [[nodiscard]] virtual unsigned long createNew(const std::wstring& path, HANDLE& file) noexcept;
    // Every byte written to `file` on the disk.
    [[nodiscard]] virtual unsigned long flush(HANDLE file) noexcept;
    // `replacement` takes the name of the existing `replaced`, which keeps its access rights;
    // `replaced` leaves by way of the name `backup`.
    [[nodiscard]] virtual unsigned long replace(const std::wstring& replaced,
                                                const std::wstring& replacement,
                                                const std::wstring& backup) noexcept;
    // `from` takes the name `to`, where there is no file.
    [[nodiscard]] virtual unsigned long move(const std::wstring& from,
                                             const std::wstring& to) noexcept;
    [[nodiscard]] virtual unsigned long remove(const std::wstring& path) noexcept;
    virtual void pause(unsigned milliseconds) noexcept;
};

FilePlacement& platformFilePlacement();

// What is at the chosen path when this program will not write there. TakenMeanwhile: the name
// was free when the path was examined and something else had it when the script was put there.
// NoFreeName: every name tried beside it for the new or the earlier file was taken.
enum class WriteRefusal {
    None,
    ReadOnly,
    Folder,
    NotAFile,
    Volume,
    DanglingLink,
    NameTaken,
    TakenMeanwhile,
    NoFreeName,
};

// Why a script was not written, and where its parts are when a replace stopped half way.
struct WriteOutcome {
    WriteRefusal refusal = WriteRefusal::None;
    unsigned long error = 0; // the failing call's error code when nothing was refused
    // Set when the earlier file had already left the chosen name: neither copy is deleted then.
    std::wstring scriptKeptAt;
    std::wstring earlierKeptAt;
    // After a success: the backup of the earlier file that another program held past every wait.
    std::wstring backupLeftAt;
};

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

// A refusal in words, for corvane-script's messages; empty for WriteRefusal::None.
[[nodiscard]] std::wstring refusalReason(WriteRefusal refusal);
// Where a half-way replace left the new script and the earlier file, in words; empty when it
// left neither.
[[nodiscard]] std::wstring keptFilesNote(const WriteOutcome& outcome);
// The refusal and the kept-files note of a failed write, joined; empty when it has neither.
[[nodiscard]] std::wstring failureDetails(const WriteOutcome& outcome);
// The backup left beside a written script, in words; empty when none was left.
[[nodiscard]] std::wstring leftBehindNote(const WriteOutcome& outcome);

// `path` made full (relative names and "." and ".." resolved), in the \\?\ form when it is too
// long for the plain file calls.
[[nodiscard]] std::wstring withLongPathPrefix(const std::wstring& path);

} // namespace corvane

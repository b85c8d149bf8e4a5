// What became of a script that was to be written, and that in words.
#pragma once

#include <string>

namespace corvane {

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

// A refusal in words, for corvane-script's messages; empty for WriteRefusal::None.
[[nodiscard]] std::wstring refusalReason(WriteRefusal refusal);
// Where a half-way replace left the new script and the earlier file, in words; empty when it
// left neither.
[[nodiscard]] std::wstring keptFilesNote(const WriteOutcome& outcome);
// The refusal and the kept-files note of a failed write, joined; empty when it has neither.
[[nodiscard]] std::wstring failureDetails(const WriteOutcome& outcome);
// The backup left beside a written script, in words; empty when none was left.
[[nodiscard]] std::wstring leftBehindNote(const WriteOutcome& outcome);

} // namespace corvane

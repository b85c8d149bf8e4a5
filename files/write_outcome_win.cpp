#include "files/write_outcome_win.h"

#include "files/long_path_win.h"
#include "script/script_messages.h"

namespace corvane {

std::wstring refusalReason(WriteRefusal refusal) {
    switch (refusal) {
    case WriteRefusal::None:
        break;
    case WriteRefusal::ReadOnly:
        return kReadOnlyReason;
    case WriteRefusal::Folder:
        return kFolderReason;
    case WriteRefusal::NotAFile:
        return kDeviceReason;
    case WriteRefusal::Volume:
        return kVolumeReason;
    case WriteRefusal::TakenMeanwhile:
        return kTakenMeanwhileReason;
    case WriteRefusal::NoFreeName:
        return kNoFreeNameReason;
    case WriteRefusal::DanglingLink:
        return kDanglingLinkReason;
    case WriteRefusal::NameTaken:
        return L"something else has that name";
    }
    return std::wstring();
}

std::wstring keptFilesNote(const WriteOutcome& outcome) {
    std::wstring note;
    if (!outcome.scriptKeptAt.empty()) {
        note = L"the new script is in '" + withoutLongPathPrefix(outcome.scriptKeptAt) + L"'";
    }
    if (!outcome.earlierKeptAt.empty()) {
        note += (note.empty() ? L"" : L", ") + std::wstring(L"the earlier file is in '") +
                withoutLongPathPrefix(outcome.earlierKeptAt) + L"'";
    }
    return note;
}

std::wstring failureDetails(const WriteOutcome& outcome) {
    const std::wstring reason = refusalReason(outcome.refusal);
    const std::wstring kept = keptFilesNote(outcome);
    return reason + (reason.empty() || kept.empty() ? L"" : L"; ") + kept;
}

std::wstring leftBehindNote(const WriteOutcome& outcome) {
    if (outcome.backupLeftAt.empty()) {
        return std::wstring();
    }
    return L"the earlier file is still in '" + withoutLongPathPrefix(outcome.backupLeftAt) +
           L"', as another program holds it; delete it once that program lets it go";
}

} // namespace corvane

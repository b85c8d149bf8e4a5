#include "ui/save_for_wpr_win.h"

#include "encoding/script_encoding_win.h"
#include "jobs/system_services_win.h"
#include "jobs/wpr_pair.h"
#include "profile/profile.h"
#include "ui/save_dialog_win.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace corvane {
namespace {

// The file name that follows the last separator.
std::wstring fileNameOf(const std::wstring& path) {
    return path.substr(path.find_last_of(L"\\/") + 1);
}

} // namespace

void SaveForWpr(HWND owner, const TraceSettings& settings, ScriptUi& ui) {
    // The reader names where a refused value came from. OK's checks have already passed these
    // values in the dialog's words, and the job repeats the same ones, so its names are never
    // shown: one that has read nothing serves, with no profile text written only to be read back.
    const LocalTime now = ui.localTime();
    const ProfileSettings profile{L"", ProfileReader(settings), settings, now};
    const unsigned codePage = scriptCodePage();
    // Backups left behind are said with the files written, once the pair is written.
    std::vector<std::wstring> leftBehind;
    WindowsJobSystem system(
        [&leftBehind](std::wstring note) { leftBehind.push_back(std::move(note)); });

    // A run that stops where the job would start writing: whatever WPR refuses is said before the
    // save dialog, so that nobody names a file that is then not written.
    const WarningsHandOver stopBeforeWriting = [](const std::vector<std::wstring>&) {
        return std::optional<std::wstring>(std::wstring());
    };
    const JobOutcome checked = writeWprPair(profile, {std::nullopt, false, codePage}, system,
                                            system, system, stopBeforeWriting);
    if (!checked.message.empty()) {
        ui.showMessage(owner, asSentence(checked.message).c_str());
        return;
    }

    const std::optional<std::wstring> scriptPath = AskForScriptPath(owner, ui);
    if (!scriptPath) {
        return;
    }
    std::vector<std::wstring> warnings;
    const WarningsHandOver keepWarnings = [&warnings](const std::vector<std::wstring>& given) {
        warnings = given;
        return std::optional<std::wstring>();
    };
    // The save dialog has asked before replacing NAME.cmd; the .wprp beside it belongs to the same
    // save, so both may be replaced.
    const JobOutcome written =
        writeWprPair(profile, {scriptPath, true, codePage}, system, system, system, keepWarnings);
    if (!written.done()) {
        ui.showMessage(owner, asSentence(written.message).c_str());
        return;
    }
    // Two files appear where the user named one, so the message says which.
    std::wstring message = L"Wrote " + fileNameOf(*scriptPath) + L" and " +
                           fileNameOf(profilePathBeside(*scriptPath)) + L".";
    warnings.insert(warnings.end(), leftBehind.begin(), leftBehind.end());
    for (const std::wstring& note : warnings) {
        message += L"\n\n" + asSentence(note);
    }
    ui.showMessage(owner, message.c_str());
}

} // namespace corvane

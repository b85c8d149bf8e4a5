#include "ui/ok_tip_warnings_win.h"

#include "jobs/script_advice.h"
#include "settings/exchange_win.h"
#include "ui/ok_command_win.h"
#include "ui/save_dialog_win.h"

#include <cstddef>
#include <vector>

namespace corvane {
namespace {

// The tooltip copies at most 1,024 characters of a callback's text, its NUL included.
constexpr std::size_t kTipTextLimit = 1023;
// Room kept for the line that counts the warnings left out.
constexpr std::size_t kCountLineRoom = 40;

} // namespace

void appendOkWarnings(HWND dialog, const TraceSettings& choices, std::wstring& tip) {
    TraceSettings now = choices;
    // A field that OK would refuse keeps the record's value: its warnings wait for a good one.
    static_cast<void>(readControlsQuietly(dialog, now));
    // The warnings look at how many providers there are, not at how the script spells them.
    readSelections(dialog, ProviderGuids(), now);
    const std::vector<std::wstring> warnings = recordingWarningTexts(now);
    if (warnings.empty()) {
        return;
    }
    tip += L"\n\nWarnings:";
    std::size_t shown = 0;
    for (const std::wstring& warning : warnings) {
        const std::wstring line = L"\n" + asSentence(warning);
        const bool last = shown + 1 == warnings.size();
        if (tip.size() + line.size() + (last ? 0 : kCountLineRoom) > kTipTextLimit) {
            break;
        }
        tip += line;
        ++shown;
    }
    if (shown < warnings.size()) {
        const std::size_t more = warnings.size() - shown;
        tip += L"\n" + std::to_wstring(more) + (more == 1 ? L" more warning." : L" more warnings.");
    }
}

} // namespace corvane

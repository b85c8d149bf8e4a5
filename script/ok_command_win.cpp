#include "script/ok_command_win.h"

#include "encoding/script_encoding_win.h"
#include "res/resource.h"
#include "script/capture_script.h"
#include "script/script_checks.h"
#include "settings/exchange_win.h"
#include "ui/save_dialog_win.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace corvane {

std::vector<std::wstring> selectedEntries(HWND dialog, int listId) {
    std::vector<std::wstring> entries;
    const HWND list = GetDlgItem(dialog, listId);
    const LRESULT selectedCount = SendMessageW(list, LB_GETSELCOUNT, 0, 0);
    if (selectedCount <= 0) {
        return entries;
    }
    std::vector<int> indices(static_cast<std::size_t>(selectedCount));
    const LRESULT filled = SendMessageW(list, LB_GETSELITEMS, static_cast<WPARAM>(selectedCount),
                                        reinterpret_cast<LPARAM>(indices.data()));
    if (filled <= 0) {
        return entries;
    }
    indices.resize(static_cast<std::size_t>(filled));
    entries.reserve(indices.size());
    for (const int index : indices) {
        const LRESULT length = SendMessageW(list, LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
        if (length == LB_ERR) {
            continue;
        }
        std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
        const LRESULT copied = SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(index),
                                            reinterpret_cast<LPARAM>(text.data()));
        text.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
        entries.push_back(std::move(text));
    }
    return entries;
}

namespace {

// The chosen file mode, or an empty text when nothing is chosen.
std::wstring chosenFileMode(HWND dialog) {
    const HWND comboBox = GetDlgItem(dialog, IDC_FILE_MODE);
    const LRESULT index = SendMessageW(comboBox, CB_GETCURSEL, 0, 0);
    if (index == CB_ERR) {
        return {};
    }
    const LRESULT length = SendMessageW(comboBox, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length == CB_ERR) {
        return {};
    }
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const LRESULT copied = SendMessageW(comboBox, CB_GETLBTEXT, static_cast<WPARAM>(index),
                                        reinterpret_cast<LPARAM>(text.data()));
    text.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
    return text;
}

void readSelections(HWND dialog, TraceSettings& settings) {
    settings.fileMode = chosenFileMode(dialog);
    settings.kernelFlags = selectedEntries(dialog, IDC_KERNEL_FLAGS);
    // Stack walks ride on the kernel logger; without a kernel flag they are not even read.
    settings.stackwalkEvents.clear();
    if (!settings.kernelFlags.empty()) {
        settings.stackwalkEvents = selectedEntries(dialog, IDC_STACKWALK);
    }
    settings.providers = selectedEntries(dialog, IDC_PROVIDERS);
}

} // namespace

void runOkCommand(HWND dialog, TraceSettings& settings, ScriptUi& ui) {
    if (!exchangeFromControls(dialog, settings)) {
        ui.showMessage(dialog, L"Please input valid data.");
        return;
    }
    readSelections(dialog, settings);
    const std::optional<std::wstring> script = BuildCaptureScript(settings);
    if (!script) {
        ui.showMessage(dialog, L"Please input parameters.");
        return;
    }
    // The prompt's line limit counts the bytes of the code page the script is saved in.
    const unsigned codePage = scriptCodePage();
    const ScriptEncoder encoder = [codePage](std::wstring_view text) -> std::optional<std::string> {
        std::string bytes;
        if (toCodePage(std::wstring(text), codePage, bytes) != CodePageConversion::Ok) {
            return std::nullopt;
        }
        return bytes;
    };
    if (const std::optional<std::wstring> refusal = scriptRefusal(settings, *script, encoder)) {
        ui.showMessage(dialog, refusal->c_str());
        return;
    }
    SaveCaptureScript(dialog, *script, ui);
}

} // namespace corvane

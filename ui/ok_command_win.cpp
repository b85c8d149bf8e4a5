#include "ui/ok_command_win.h"

#include "encoding/script_encoding_win.h"
#include "res/resource.h"
#include "script/capture_script.h"
#include "script/provider_entries.h"
#include "script/script_checks.h"
#include "settings/exchange_win.h"
#include "ui/save_dialog_win.h"

#include <algorithm>
#include <iterator>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace corvane {

namespace {

// The indices of a list's selected entries, top to bottom.
std::vector<int> selectedIndices(HWND list) {
    const LRESULT selectedCount = SendMessageW(list, LB_GETSELCOUNT, 0, 0);
    if (selectedCount <= 0) {
        return {};
    }
    std::vector<int> indices(static_cast<std::size_t>(selectedCount));
    const LRESULT filled = SendMessageW(list, LB_GETSELITEMS, static_cast<WPARAM>(selectedCount),
                                        reinterpret_cast<LPARAM>(indices.data()));
    indices.resize(filled > 0 ? static_cast<std::size_t>(filled) : 0);
    return indices;
}

std::optional<std::wstring> entryText(HWND list, int index) {
    const LRESULT length = SendMessageW(list, LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length == LB_ERR) {
        return std::nullopt;
    }
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const LRESULT copied = SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(index),
                                        reinterpret_cast<LPARAM>(text.data()));
    text.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
    return text;
}

} // namespace

std::vector<std::wstring> selectedEntries(HWND dialog, int listId) {
    std::vector<std::wstring> entries;
    const HWND list = GetDlgItem(dialog, listId);
    for (const int index : selectedIndices(list)) {
        if (std::optional<std::wstring> text = entryText(list, index)) {
            entries.push_back(std::move(*text));
        }
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

// The selected providers as the script names them: each by its name, or by the GUID that the list
// keeps beside a name that xperf would split.
std::vector<std::wstring> selectedProviders(HWND dialog, const ProviderGuids& guids) {
    std::vector<std::wstring> providers;
    const HWND list = GetDlgItem(dialog, IDC_PROVIDERS);
    for (const int index : selectedIndices(list)) {
        std::optional<std::wstring> name = entryText(list, index);
        if (!name) {
            continue;
        }
        const auto position = static_cast<std::size_t>(
            SendMessageW(list, LB_GETITEMDATA, static_cast<WPARAM>(index), 0));
        const bool known = position != 0 && position <= guids.size();
        providers.push_back(
            providerAsWritten(std::move(*name), known ? guids[position - 1] : std::wstring()));
    }
    return providers;
}

} // namespace

void readSelections(HWND dialog, const ProviderGuids& guids, TraceSettings& settings) {
    settings.fileMode = chosenFileMode(dialog);
    settings.kernelFlags = selectedEntries(dialog, IDC_KERNEL_FLAGS);
    // Stack walks ride on the kernel logger; without a kernel flag they are not even read.
    settings.stackwalkEvents.clear();
    if (!settings.kernelFlags.empty()) {
        settings.stackwalkEvents = selectedEntries(dialog, IDC_STACKWALK);
    }
    settings.providers = selectedProviders(dialog, guids);
    // A provider the user deselected takes what the opened file chose for it along.
    for (auto option = settings.providerOptions.begin();
         option != settings.providerOptions.end();) {
        const bool selected = std::find(settings.providers.begin(), settings.providers.end(),
                                        option->first) != settings.providers.end();
        option = selected ? std::next(option) : settings.providerOptions.erase(option);
    }
}

std::optional<std::wstring> checkedCaptureScript(HWND dialog, TraceSettings& settings,
                                                 const ProviderGuids& guids, ScriptUi& ui) {
    if (!exchangeFromControls(dialog, settings)) {
        ui.showMessage(dialog, L"Please input valid data.");
        return std::nullopt;
    }
    readSelections(dialog, guids, settings);
    std::optional<std::wstring> script = BuildCaptureScript(settings);
    if (!script) {
        ui.showMessage(dialog, L"Please input parameters.");
        return std::nullopt;
    }
    // Values and lines are checked as the bytes of the code page the script is saved in: the
    // prompt's line limit counts them, and another code page may read them otherwise.
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
        return std::nullopt;
    }
    return script;
}

void runOkCommand(HWND dialog, TraceSettings& settings, const ProviderGuids& guids, ScriptUi& ui) {
    if (const std::optional<std::wstring> script =
            checkedCaptureScript(dialog, settings, guids, ui)) {
        SaveCaptureScript(dialog, *script, ui);
    }
}

} // namespace corvane

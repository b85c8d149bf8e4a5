#include "ui/main_dlg_entry_tips.h"

#include "providers/provider_enumeration.h"
#include "res/resource.h"
#include "settings/descriptions.h"
#include "settings/number_text.h"
#include "settings/stackwalk_events.h"
#include "ui/ok_command_win.h"

namespace corvane {

std::wstring entryText(HWND box, UINT lengthMessage, UINT textMessage, LRESULT index) {
    const auto at = static_cast<WPARAM>(index);
    const LRESULT length = ::SendMessageW(box, lengthMessage, at, 0);
    if (length <= 0) {
        return {};
    }
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const LRESULT copied = ::SendMessageW(box, textMessage, at, reinterpret_cast<LPARAM>(&text[0]));
    text.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
    return text;
}

std::wstring kernelEntryTip(std::wstring_view entry) {
    const KernelEntryDescription* description = describeKernelEntry(entry);
    if (description == nullptr) {
        return {};
    }
    std::wstring text(description->description);
    if (!description->members.empty()) {
        // Blanks after the joins let a long list wrap.
        text.append(L"\nMembers: ");
        for (const wchar_t unit : description->members) {
            text.append(unit == L'+' ? std::wstring_view(L", ") : std::wstring_view(&unit, 1));
        }
    }
    return text;
}

std::wstring stackwalkEntryTip(HWND dialog, std::wstring_view name) {
    const StackwalkEventSource* event = describeStackwalkEvent(name);
    if (event == nullptr) {
        return {};
    }
    std::wstring text(event->description);
    text.append(L"\n");
    if (event->flag.empty()) {
        return text.append(L"Which kernel flag records it is not documented.");
    }
    // The selection as it is now: a group that holds the flag counts.
    text.append(L"Recorded only with ").append(event->flag);
    const bool selected =
        selectionIncludesFlag(selectedEntries(dialog, IDC_KERNEL_FLAGS), event->flag);
    return text.append(selected ? L"." : L", which is not selected.");
}

std::wstring providerEntryTip(HWND list, LRESULT index, const TraceSettings& choices) {
    std::wstring text;
    const auto options =
        choices.providerOptions.find(entryText(list, LB_GETTEXTLEN, LB_GETTEXT, index));
    if (options != choices.providerOptions.end()) {
        const ProviderOptions& chosen = options->second;
        if (chosen.keywords) {
            text.append(L" keywords=0x");
            appendHexDigits(text, *chosen.keywords);
        }
        if (chosen.level) {
            text.append(L" level=");
            appendDecimal(text, *chosen.level);
        }
        if (chosen.stack) {
            text.append(*chosen.stack ? L" stack=yes" : L" stack=no");
        }
        text.erase(0, text.empty() ? 0 : 1);
    }
    if (::SendMessageW(list, LB_GETITEMDATA, static_cast<WPARAM>(index), 0) == kNotRegisteredHere) {
        text.append(text.empty() ? L"" : L"\n").append(L"Not registered on this machine.");
    }
    return text;
}

} // namespace corvane

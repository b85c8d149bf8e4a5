#include "settings/dialog_sequences_win.h"

#include "providers/provider_enumeration.h"
#include "res/resource.h"
#include "settings/catalogues.h"
#include "settings/exchange_win.h"
#include "settings/redraw_suspended_win.h"

#include <array>
#include <cstddef>
#include <utility>

namespace corvane {
namespace {

// The kernel lists and the file-mode box are filled by one table, in this order.
struct CatalogueFill {
    int controlId;
    UINT addMessage;
    const wchar_t* const* names;
    std::size_t count;
};

const std::array<CatalogueFill, 2> kKernelLists{{
    {IDC_KERNEL_FLAGS, LB_ADDSTRING, KernelFlagCatalogue.data(), KernelFlagCatalogue.size()},
    {IDC_STACKWALK, LB_ADDSTRING, StackwalkCatalogue.data(), StackwalkCatalogue.size()},
}};

const CatalogueFill kFileModes{IDC_FILE_MODE, CB_ADDSTRING, FileModeCatalogue.data(),
                               FileModeCatalogue.size()};

void addNames(HWND dialog, const CatalogueFill& fill) {
    const HWND control = GetDlgItem(dialog, fill.controlId);
    for (std::size_t index = 0; index < fill.count; ++index) {
        SendMessageW(control, fill.addMessage, 0, reinterpret_cast<LPARAM>(fill.names[index]));
    }
}

void selectFirstFileMode(HWND dialog) {
    SendDlgItemMessageW(dialog, IDC_FILE_MODE, CB_SETCURSEL, 0, 0);
}

// A failed enumeration leaves the list as it is and says nothing.
void addRegisteredProviders(HWND dialog, ProviderGuids& guids) {
    guids.clear();
    ProviderBuffer buffer;
    if (enumerateProviders(buffer) == 0) {
        fillProviderList(GetDlgItem(dialog, IDC_PROVIDERS), std::move(buffer), guids);
    }
}

} // namespace

void applyOpeningDefaults(TraceSettings& settings, const DefaultsEnvironment& environment) {
    settings.heapEnabled = 0;
    defaultTraceSettings(settings, environment);
}

void runDialogOpenSequence(HWND dialog, TraceSettings& settings, ProviderGuids& guids) {
    // A refused value has been signalled on its control; opening goes on regardless.
    (void)exchangeToControls(dialog, settings);
    for (const CatalogueFill& list : kKernelLists) {
        addNames(dialog, list);
    }
    addNames(dialog, kFileModes);
    selectFirstFileMode(dialog);
    addRegisteredProviders(dialog, guids);
}

void resetSettings(HWND dialog, TraceSettings& settings, const DefaultsEnvironment& environment,
                   ProviderGuids& guids) {
    defaultTraceSettings(settings, environment);
    // As when opening, a refused value does not stop the lists from being refilled.
    (void)exchangeToControls(dialog, settings);
    // The dialog is shown by now: each control is changed with its painting held.
    for (const CatalogueFill& list : kKernelLists) {
        const RedrawSuspended held(GetDlgItem(dialog, list.controlId));
        SendDlgItemMessageW(dialog, list.controlId, LB_RESETCONTENT, 0, 0);
        addNames(dialog, list);
    }
    {
        // The four file modes never change, so only the selection goes back.
        const RedrawSuspended held(GetDlgItem(dialog, IDC_FILE_MODE));
        selectFirstFileMode(dialog);
    }
    const RedrawSuspended held(GetDlgItem(dialog, IDC_PROVIDERS));
    SendDlgItemMessageW(dialog, IDC_PROVIDERS, LB_RESETCONTENT, 0, 0);
    addRegisteredProviders(dialog, guids);
}

} // namespace corvane

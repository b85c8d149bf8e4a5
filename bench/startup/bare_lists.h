// The least a program does to fill the main dialog's lists: the catalogues, the file modes and the
// registered providers, added one by one. The bare dialog fills them so before it is shown; the
// Reset benchmark refills them so in a shown dialog, with each list's painting held as Reset holds
// it.
#pragma once

#include "providers/provider_enumeration.h"
#include "res/resource.h"
#include "settings/catalogues.h"

#include <windows.h>

#include <utility>

namespace corvane::bench {

template <typename Catalogue>
void addAll(HWND control, UINT addMessage, const Catalogue& names) {
    for (const wchar_t* name : names) {
        SendMessageW(control, addMessage, 0, reinterpret_cast<LPARAM>(name));
    }
}

inline void addProviders(HWND list) {
    ProviderBuffer buffer;
    ProviderGuids guids;
    if (enumerateProviders(buffer) == 0) {
        fillProviderList(list, std::move(buffer), guids);
    }
}

inline void fillBareLists(HWND dialog) {
    addAll(GetDlgItem(dialog, IDC_KERNEL_FLAGS), LB_ADDSTRING, KernelFlagCatalogue);
    addAll(GetDlgItem(dialog, IDC_STACKWALK), LB_ADDSTRING, StackwalkCatalogue);
    addAll(GetDlgItem(dialog, IDC_FILE_MODE), CB_ADDSTRING, FileModeCatalogue);
    SendDlgItemMessageW(dialog, IDC_FILE_MODE, CB_SETCURSEL, 0, 0);
    addProviders(GetDlgItem(dialog, IDC_PROVIDERS));
}

// Empties a shown list and fills it again with its painting held, then asks for one repaint.
template <typename Fill>
void refillShown(HWND list, Fill fill) {
    SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    SendMessageW(list, LB_RESETCONTENT, 0, 0);
    fill(list);
    SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    RedrawWindow(list, nullptr, nullptr, RDW_ERASE | RDW_FRAME | RDW_INVALIDATE);
}

inline void refillBareLists(HWND dialog) {
    refillShown(GetDlgItem(dialog, IDC_KERNEL_FLAGS),
                [](HWND list) { addAll(list, LB_ADDSTRING, KernelFlagCatalogue); });
    refillShown(GetDlgItem(dialog, IDC_STACKWALK),
                [](HWND list) { addAll(list, LB_ADDSTRING, StackwalkCatalogue); });
    SendDlgItemMessageW(dialog, IDC_FILE_MODE, CB_SETCURSEL, 0, 0);
    refillShown(GetDlgItem(dialog, IDC_PROVIDERS), addProviders);
}

} // namespace corvane::bench

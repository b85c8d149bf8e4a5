#include "ui/show_choices_win.h"

#include "providers/provider_enumeration.h"
#include "res/resource.h"
#include "settings/catalogues.h"
#include "settings/exchange_win.h"
#include "settings/redraw_suspended_win.h"
#include "ui/main_dlg_entry_tips.h"

#include <string>
#include <vector>

namespace corvane {
namespace {

// The entry with exactly this text. The list's own search ignores letter case, and the script
// must name a provider as the file spelled it.
LRESULT findEntry(HWND list, const std::wstring& name) {
    LRESULT after = -1;
    for (;;) {
        const LRESULT found = SendMessageW(list, LB_FINDSTRINGEXACT, static_cast<WPARAM>(after),
                                           reinterpret_cast<LPARAM>(name.c_str()));
        // The search goes round to the top: an index not past the last one means it has.
        if (found == LB_ERR || found <= after) {
            return LB_ERR;
        }
        if (entryText(list, LB_GETTEXTLEN, LB_GETTEXT, found) == name) {
            return found;
        }
        after = found;
    }
}

void select(HWND list, LRESULT index) {
    SendMessageW(list, LB_SETSEL, TRUE, index);
}

void showSelection(HWND dialog, int listId, const std::vector<std::wstring>& names) {
    const HWND list = GetDlgItem(dialog, listId);
    const RedrawSuspended held(list);
    SendMessageW(list, LB_SETSEL, FALSE, -1);
    for (const std::wstring& name : names) {
        const LRESULT index = findEntry(list, name);
        if (index != LB_ERR) {
            select(list, index);
        }
    }
}

void showProviders(HWND dialog, const std::vector<std::wstring>& names) {
    const HWND list = GetDlgItem(dialog, IDC_PROVIDERS);
    const RedrawSuspended held(list);
    SendMessageW(list, LB_SETSEL, FALSE, -1);
    for (LRESULT index = SendMessageW(list, LB_GETCOUNT, 0, 0) - 1; index >= 0; --index) {
        if (SendMessageW(list, LB_GETITEMDATA, static_cast<WPARAM>(index), 0) ==
            kNotRegisteredHere) {
            SendMessageW(list, LB_DELETESTRING, static_cast<WPARAM>(index), 0);
        }
    }
    for (const std::wstring& name : names) {
        LRESULT index = findEntry(list, name);
        if (index == LB_ERR) {
            index = SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
            if (index < 0) {
                continue; // the list is full: the provider cannot be shown or chosen
            }
            SendMessageW(list, LB_SETITEMDATA, static_cast<WPARAM>(index), kNotRegisteredHere);
        }
        select(list, index);
    }
}

void showFileMode(HWND dialog, const std::wstring& fileMode) {
    WPARAM chosen = 0;
    for (std::size_t index = 0; index < FileModeCatalogue.size(); ++index) {
        if (fileMode == FileModeCatalogue[index]) {
            chosen = index;
        }
    }
    SendDlgItemMessageW(dialog, IDC_FILE_MODE, CB_SETCURSEL, chosen, 0);
}

} // namespace

void showChoices(HWND dialog, TraceSettings& settings) {
    // A refused value has been signalled on its control, as when opening; the lists go on.
    (void)exchangeToControls(dialog, settings);
    showFileMode(dialog, settings.fileMode);
    showSelection(dialog, IDC_KERNEL_FLAGS, settings.kernelFlags);
    showSelection(dialog, IDC_STACKWALK, settings.stackwalkEvents);
    showProviders(dialog, settings.providers);
}

} // namespace corvane

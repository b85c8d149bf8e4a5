#include "ui/about_dlg.h"

#include "ui/centering_win.h"

namespace corvane {

bool CAboutDlg::ProcessWindowMessage(HWND /*window*/, UINT message, WPARAM wParam,
                                     LPARAM /*lParam*/, LRESULT& result) {
    switch (message) {
    case WM_INITDIALOG:
        result = onInitDialog();
        return true;
    case WM_COMMAND: {
        const int commandId = LOWORD(wParam);
        if (commandId == IDOK || commandId == IDCANCEL) {
            result = onCloseCommand(commandId);
            return true;
        }
        return false;
    }
    default:
        return false;
    }
}

LRESULT CAboutDlg::onInitDialog() {
    // For this popup GetParent gives the owner.
    static_cast<void>(CenterOverWindow(hwnd_, ::GetParent(hwnd_)));
    return TRUE; // the platform focuses the first tab stop, OK
}

LRESULT CAboutDlg::onCloseCommand(int commandId) {
    ::EndDialog(hwnd_, commandId);
    return 0;
}

void ShowAbout() noexcept {
    CAboutDlg about;
    static_cast<void>(about.RunModal(::GetActiveWindow()));
}

} // namespace corvane

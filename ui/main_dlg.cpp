#include "ui/main_dlg.h"

#include "settings/dialog_sequences_win.h"
#include "settings/platform_environment_win.h"
#include "ui/about_dlg.h"
#include "ui/centering_win.h"
#include "ui/ok_command_win.h"

#include <utility>

namespace corvane {

namespace {

// Enabled exactly while heap tracing is chosen.
constexpr int kHeapFieldIds[] = {IDC_HEAP_PROCESS, IDC_HEAP_SESSION_NAME, IDC_HEAP_PATH};

HICON loadAppIcon(int widthMetric, int heightMetric) noexcept {
    // The one 128 x 128 image is scaled by the platform to the size asked for.
    return static_cast<HICON>(::LoadImageW(
        appModule.GetResourceInstance(), MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON,
        ::GetSystemMetrics(widthMetric), ::GetSystemMetrics(heightMetric), LR_DEFAULTCOLOR));
}

} // namespace

CMainDlg::CMainDlg() : CMainDlg(platformDefaultsEnvironment(), platformScriptUi()) {}

CMainDlg::CMainDlg(DefaultsEnvironment environment, ScriptUi& scriptUi)
    : environment_(std::move(environment)), scriptUi_(scriptUi) {}

bool CMainDlg::ProcessWindowMessage(HWND /*window*/, UINT message, WPARAM wParam, LPARAM /*lParam*/,
                                    LRESULT& result) {
    switch (message) {
    case WM_INITDIALOG:
        result = onInitDialog();
        return true;
    case WM_DESTROY:
        result = onDestroy();
        return true;
    case WM_COMMAND:
        if (!onCommand(LOWORD(wParam), HIWORD(wParam))) {
            return false;
        }
        result = 0;
        return true;
    default:
        return false;
    }
}

bool CMainDlg::FilterMessage(MSG& message) {
    return ::IsDialogMessageW(hwnd_, &message) != FALSE;
}

bool CMainDlg::DoIdle() {
    return false;
}

LRESULT CMainDlg::onInitDialog() {
    applyDefaultsOnOpen();
    static_cast<void>(CenterOverWindow(hwnd_));
    setIcons();
    if (CMessageLoop* loop = appModule.FindLoop(::GetCurrentThreadId())) {
        static_cast<void>(loop->AttachFilter(this));
        static_cast<void>(loop->AttachIdleHandler(this));
    }
    fillControlsOnOpen();
    // Without them the dialog works on, only without help under the pointer.
    static_cast<void>(tips_.Attach(hwnd_));
    return TRUE; // the platform focuses the first tab stop, OK
}

LRESULT CMainDlg::onDestroy() {
    tips_.Destroy();
    if (CMessageLoop* loop = appModule.FindLoop(::GetCurrentThreadId())) {
        static_cast<void>(loop->DetachFilter(this));
        static_cast<void>(loop->DetachIdleHandler(this));
    }
    return 0;
}

const CMainDlg::CommandRoute CMainDlg::kCommandRoutes[] = {
    {IDOK, false, &CMainDlg::onOk},
    {IDCANCEL, false, &CMainDlg::onCancel},
    {IDC_RESET, true, &CMainDlg::onReset},
    {IDC_HEAP, true, &CMainDlg::onHeapToggled},
    {ID_APP_ABOUT, false, &CMainDlg::onAbout},
};

bool CMainDlg::onCommand(int commandId, int notificationCode) {
    for (const CommandRoute& route : kCommandRoutes) {
        if (route.commandId == commandId) {
            if (route.clickOnly && notificationCode != BN_CLICKED) {
                return false;
            }
            (this->*route.handler)();
            return true;
        }
    }
    return false;
}

void CMainDlg::applyDefaultsOnOpen() {
    applyOpeningDefaults(settings_, environment_);
}

void CMainDlg::fillControlsOnOpen() {
    runDialogOpenSequence(hwnd_, settings_, providerGuids_);
}

void CMainDlg::setIcons() {
    // The icons are not released: they last as long as the process.
    ::SendMessageW(hwnd_, WM_SETICON, ICON_BIG,
                   reinterpret_cast<LPARAM>(loadAppIcon(SM_CXICON, SM_CYICON)));
    ::SendMessageW(hwnd_, WM_SETICON, ICON_SMALL,
                   reinterpret_cast<LPARAM>(loadAppIcon(SM_CXSMICON, SM_CYSMICON)));
}

void CMainDlg::onOk() {
    runOkCommand(hwnd_, settings_, providerGuids_, scriptUi_);
}

void CMainDlg::onCancel() {
    // WM_DESTROY detaches the dialog from the loop before the quit message is posted.
    ::DestroyWindow(hwnd_);
    ::PostQuitMessage(IDCANCEL);
}

void CMainDlg::onReset() {
    resetSettings(hwnd_, settings_, environment_, providerGuids_);
}

void CMainDlg::onHeapToggled() {
    // The automatic box has already flipped itself; the record follows it by toggling.
    settings_.heapEnabled = settings_.heapEnabled == 0 ? 1 : 0;
    for (const int id : kHeapFieldIds) {
        ::EnableWindow(::GetDlgItem(hwnd_, id), settings_.heapEnabled);
    }
}

void CMainDlg::onAbout() {
    ShowAbout();
}

} // namespace corvane

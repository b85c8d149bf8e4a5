#include "ui/main_dlg.h"

#include "profile/profile.h"
#include "settings/dialog_sequences_win.h"
#include "settings/platform_environment_win.h"
#include "ui/about_dlg.h"
#include "ui/centering_win.h"
#include "ui/ok_command_win.h"
#include "ui/open_choices_win.h"
#include "ui/save_dialog_win.h"
#include "ui/save_for_wpr_win.h"
#include "ui/show_choices_win.h"

#include <optional>
#include <utility>
#include <vector>

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

constexpr wchar_t kXperfRecorder[] = L"xperf";
constexpr wchar_t kOneDropAtATime[] =
    L"Drop one file at a time: a profile or a capture script that Corvane saved.";

// Finishes the drop whatever became of it, which frees what the shell handed over.
class DropFinisher {
public:
    explicit DropFinisher(HDROP drop) noexcept : drop_(drop) {}
    ~DropFinisher() { ::DragFinish(drop_); }
    DropFinisher(const DropFinisher&) = delete;
    DropFinisher& operator=(const DropFinisher&) = delete;

private:
    HDROP drop_;
};

} // namespace

CMainDlg::CMainDlg() : CMainDlg(platformDefaultsEnvironment(), platformScriptUi()) {}

CMainDlg::CMainDlg(DefaultsEnvironment environment, ScriptUi& scriptUi)
    : environment_(std::move(environment)), scriptUi_(scriptUi), recorder_(kXperfRecorder) {}

bool CMainDlg::ProcessWindowMessage(HWND /*window*/, UINT message, WPARAM wParam, LPARAM /*lParam*/,
                                    LRESULT& result) {
    // The platform keeps the low four bits of a window-menu command for itself.
    constexpr WPARAM kSysCommandMask = 0xFFF0;
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
    case WM_SYSCOMMAND:
        if (!onWindowMenuCommand(static_cast<UINT>(wParam & kSysCommandMask))) {
            return false;
        }
        result = 0;
        return true;
    case WM_DROPFILES:
        onDropFiles(reinterpret_cast<HDROP>(wParam));
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
    addWindowMenuItems();
    ::DragAcceptFiles(hwnd_, TRUE);
    // Without them the dialog works on, only without help under the pointer.
    static_cast<void>(tips_.Attach(hwnd_, settings_));
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

// Where Windows dialogs put commands beyond their buttons, so the template stays as it is. Each
// has a mnemonic and no shortcut key, as no accelerator table is loaded.
const CMainDlg::WindowMenuItem CMainDlg::kWindowMenuItems[] = {
    {0x0100, L"&Open profile or script\u2026", &CMainDlg::onOpenChoices},
    {0x0110, L"Save as &profile\u2026", &CMainDlg::onSaveAsProfile},
    {0x0120, L"Save for &WPR\u2026", &CMainDlg::onSaveForWpr},
};

void CMainDlg::addWindowMenuItems() {
    const HMENU menu = ::GetSystemMenu(hwnd_, FALSE);
    if (menu == nullptr) {
        return; // the commands stay out of reach there; a drop still opens a file
    }
    // Above Close, each inserted before it in turn, then a separator between them and Close.
    for (const WindowMenuItem& item : kWindowMenuItems) {
        ::InsertMenuW(menu, SC_CLOSE, MF_BYCOMMAND | MF_STRING, item.command, item.text);
    }
    ::InsertMenuW(menu, SC_CLOSE, MF_BYCOMMAND | MF_SEPARATOR, 0, nullptr);
}

bool CMainDlg::onWindowMenuCommand(UINT command) {
    for (const WindowMenuItem& item : kWindowMenuItems) {
        if (item.command == command) {
            (this->*item.handler)();
            return true;
        }
    }
    return false;
}

void CMainDlg::onDropFiles(HDROP drop) {
    const DropFinisher finisher(drop);
    if (::DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0) != 1) {
        scriptUi_.showMessage(hwnd_, kOneDropAtATime);
        return;
    }
    std::vector<wchar_t> path(::DragQueryFileW(drop, 0, nullptr, 0) + 1, L'\0');
    const UINT length = ::DragQueryFileW(drop, 0, path.data(), static_cast<UINT>(path.size()));
    OpenChoicesFile(std::wstring(path.data(), length));
}

void CMainDlg::onOpenChoices() {
    if (const std::optional<std::wstring> path = askForChoicesFile(hwnd_, scriptUi_)) {
        OpenChoicesFile(*path);
    }
}

void CMainDlg::OpenChoicesFile(const std::wstring& path) {
    // Everything is read and checked before the first control changes.
    OpenedChoices choices;
    std::wstring refusal;
    if (!readChoicesFile(path, environment_, choices, refusal)) {
        scriptUi_.showMessage(hwnd_, refusal.c_str());
        return;
    }
    settings_ = std::move(choices.settings);
    recorder_ = std::move(choices.recorder);
    showChoices(hwnd_, settings_);
    enableHeapFields();
}

void CMainDlg::onSaveAsProfile() {
    // The checks of OK, so that the profile makes the script OK would write.
    if (!checkedCaptureScript(hwnd_, settings_, providerGuids_, scriptUi_)) {
        return;
    }
    SaveProfile(hwnd_, profileOfChoices(settings_, profileDefaults(environment_), recorder_),
                scriptUi_);
}

void CMainDlg::onSaveForWpr() {
    // OK's checks first, in the dialog's words; then those of the WPR pair.
    if (checkedCaptureScript(hwnd_, settings_, providerGuids_, scriptUi_)) {
        SaveForWpr(hwnd_, settings_, scriptUi_);
    }
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
    // What an opened file chose beyond the controls goes with it.
    settings_.providerOptions.clear();
    settings_.captureState = 0;
    settings_.wprLogging = TraceSettings{}.wprLogging;
    recorder_ = kXperfRecorder;
    resetSettings(hwnd_, settings_, environment_, providerGuids_);
}

void CMainDlg::onHeapToggled() {
    // The automatic box has already flipped itself; the record follows it by toggling.
    settings_.heapEnabled = settings_.heapEnabled == 0 ? 1 : 0;
    enableHeapFields();
}

void CMainDlg::enableHeapFields() {
    for (const int id : kHeapFieldIds) {
        ::EnableWindow(::GetDlgItem(hwnd_, id), settings_.heapEnabled);
    }
}

void CMainDlg::onAbout() {
    ShowAbout();
}

} // namespace corvane

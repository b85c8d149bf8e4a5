// The main dialog: every trace setting as a control, and the five commands OK, Cancel, Reset,
// Heap and About; in its window menu, and for a file dropped on it, the opening of a profile or a
// saved script, the saving of a profile and the saving for WPR. It takes part in the thread's
// message loop as filter and idle handler.
#pragma once

#include "app/dialog_impl.h"
#include "app/message_loop.h"
#include "providers/provider_enumeration.h"
#include "res/resource.h"
#include "settings/trace_settings.h"
#include "ui/main_dlg_tips.h"
#include "ui/script_ui.h"

#include <shellapi.h>

#include <string>

namespace corvane {

class CMainDlg : public CDialogImpl<CMainDlg>, public CMessageFilter, public CIdleHandler {
public:
    static constexpr int IDD = IDD_MAINDLG;

    // The platform's desktop folder, clock, message boxes and save dialog, unless a test
    // supplies its own.
    CMainDlg();
    CMainDlg(DefaultsEnvironment environment, ScriptUi& scriptUi);

    bool ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                              LRESULT& result) override;

    bool FilterMessage(MSG& message) override;
    bool DoIdle() override;

    [[nodiscard]] const TraceSettings& Settings() const noexcept { return settings_; }
    // The opened profile's recorder, kept for saving it again: "xperf" unless it chose another.
    [[nodiscard]] const std::wstring& Recorder() const noexcept { return recorder_; }

    // Reads the profile or saved script and shows its choices; otherwise shows why not, with every
    // control left as it was. What Open and a drop do once they have a file.
    void OpenChoicesFile(const std::wstring& path);

private:
    LRESULT onInitDialog();
    LRESULT onDestroy();
    // True when the command is one of the dialog's five (and its notification code fits).
    bool onCommand(int commandId, int notificationCode);
    // True when the command is one of the items the dialog adds to its window menu.
    bool onWindowMenuCommand(UINT command);
    void onDropFiles(HDROP drop);

    void applyDefaultsOnOpen();
    void fillControlsOnOpen();
    void setIcons();
    void onOk();
    void onCancel();
    void onReset();
    void onHeapToggled();
    void onAbout();
    void onOpenChoices();
    void onSaveAsProfile();
    void onSaveForWpr();
    void addWindowMenuItems();
    void enableHeapFields();

    struct CommandRoute {
        int commandId;
        bool clickOnly; // BN_CLICKED only; other codes go to the default processing
        void (CMainDlg::*handler)();
    };
    static const CommandRoute kCommandRoutes[];

    struct WindowMenuItem {
        UINT command; // below 0xF000 with the low four bits clear, as WM_SYSCOMMAND needs
        const wchar_t* text;
        void (CMainDlg::*handler)();
    };
    static const WindowMenuItem kWindowMenuItems[];

    DefaultsEnvironment environment_;
    ScriptUi& scriptUi_;
    TraceSettings settings_;
    std::wstring recorder_;       // a profile key without a control, kept for Save as profile
    ProviderGuids providerGuids_; // of the Providers list's entries, for names xperf would split
    CMainDlgTips tips_;
};

} // namespace corvane

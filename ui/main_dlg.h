// The main dialog: every trace setting as a control, and the five commands OK, Cancel, Reset,
// Heap and About. It takes part in the thread's message loop as filter and idle handler.
#pragma once

#include "app/dialog_impl.h"
#include "app/message_loop.h"
#include "providers/provider_enumeration.h"
#include "res/resource.h"
#include "settings/trace_settings.h"
#include "ui/main_dlg_tips.h"
#include "ui/script_ui.h"

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

private:
    LRESULT onInitDialog();
    LRESULT onDestroy();
    // True when the command is one of the dialog's five (and its notification code fits).
    bool onCommand(int commandId, int notificationCode);

    void applyDefaultsOnOpen();
    void fillControlsOnOpen();
    void setIcons();
    void onOk();
    void onCancel();
    void onReset();
    void onHeapToggled();
    void onAbout();

    struct CommandRoute {
        int commandId;
        bool clickOnly; // BN_CLICKED only; other codes go to the default processing
        void (CMainDlg::*handler)();
    };
    static const CommandRoute kCommandRoutes[];

    DefaultsEnvironment environment_;
    ScriptUi& scriptUi_;
    TraceSettings settings_;
    ProviderGuids providerGuids_; // of the Providers list's entries, for names xperf would split
    CMainDlgTips tips_;
};

} // namespace corvane

#include "app/run_main_dialog.h"

#include "app/app_module.h"
#include "app/message_loop.h"
#include "ui/main_dlg.h"

namespace corvane {

int RunMainDialog(const wchar_t* /*commandLine*/, int showCommand) noexcept {
    CMessageLoop loop;
    // Must come before creation: WM_INITDIALOG attaches the dialog to this loop.
    static_cast<void>(appModule.RegisterLoop(&loop));

    CMainDlg dialog;
    const HWND window = dialog.Create(nullptr);
    if (window == nullptr) {
        static_cast<void>(appModule.UnregisterLoop());
        return 0;
    }
    ::ShowWindow(window, showCommand);

    const int exitCode = loop.Run();
    static_cast<void>(appModule.UnregisterLoop());
    return exitCode;
}

} // namespace corvane

// Entry point of corvane.exe: prepares the thread, runs the main dialog, tears down in order.
#include "app/app_module.h"
#include "app/run_main_dialog.h"

#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

namespace {

// The launcher's show command when it gave one, otherwise SW_SHOWDEFAULT.
int startupShowCommand() noexcept {
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    ::GetStartupInfoW(&startup);
    return (startup.dwFlags & STARTF_USESHOWWINDOW) != 0 ? startup.wShowWindow : SW_SHOWDEFAULT;
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE /*previous*/, PWSTR commandLine,
                    int /*showCommand*/) {
    const int showCommand = startupShowCommand();

    // Failures of these three are ignored: the dialog works without them.
    static_cast<void>(::CoInitialize(nullptr));
    ::DefWindowProcW(nullptr, 0, 0, 0);
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof(controls);
    controls.dwICC = ICC_BAR_CLASSES;
    static_cast<void>(::InitCommonControlsEx(&controls));

    int exitCode = 0;
    if (corvane::appModule.Init(instance)) {
        exitCode = corvane::RunMainDialog(commandLine, showCommand);
    }
    corvane::appModule.Term();
    ::CoUninitialize();
    return exitCode;
}

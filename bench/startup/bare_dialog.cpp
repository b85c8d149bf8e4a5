// The yardstick for corvane.exe's start-up: the least a program can do to show the same main
// dialog template with the same lists filled the same way (catalogues, file modes and the
// registered providers, added one by one before the window is shown). No module, no message
// filters, no settings; closing ends it. Built a second time with CORVANE_BARE_WITH_COM, it also
// prepares the thread as corvane.exe does (COM apartment, common-control classes), which shows how
// much of the difference that preparation is.
#include "bench/startup/bare_lists.h"

#include <windows.h>
#ifdef CORVANE_BARE_WITH_COM
#include <commctrl.h>
#include <objbase.h>
#endif

namespace {

INT_PTR CALLBACK dialogProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        corvane::bench::fillBareLists(dialog);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDCANCEL) {
            DestroyWindow(dialog);
        }
        return TRUE;
    case WM_CLOSE:
        DestroyWindow(dialog);
        return TRUE;
    case WM_DESTROY:
        PostQuitMessage(2);
        return TRUE;
    default:
        return FALSE;
    }
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
#ifdef CORVANE_BARE_WITH_COM
    static_cast<void>(CoInitialize(nullptr));
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof(controls);
    controls.dwICC = ICC_BAR_CLASSES;
    static_cast<void>(InitCommonControlsEx(&controls));
#endif
    const HWND dialog =
        CreateDialogParamW(instance, MAKEINTRESOURCEW(IDD_MAINDLG), nullptr, dialogProcedure, 0);
    if (dialog == nullptr) {
        return 0;
    }
    ShowWindow(dialog, showCommand);
    MSG message{};
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (!IsDialogMessageW(dialog, &message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
#ifdef CORVANE_BARE_WITH_COM
    CoUninitialize();
#endif
    return static_cast<int>(message.wParam);
}

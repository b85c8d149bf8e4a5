// RunMainDialog in a program whose resources lack the main dialog's template.
#include "app/app_module.h"
#include "app/run_main_dialog.h"
#include "tests/shell/shell_support.h"

#include <gtest/gtest.h>
#include <windows.h>

namespace corvane {
namespace {

int windowsCreated = 0;

LRESULT CALLBACK countCreations(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND) {
        ++windowsCreated;
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

TEST(RunMainDialogWithoutTemplate, ReturnsZeroCreatesNoWindowAndUnregistersItsLoop) {
    testing::ensureAppModule();
    const HHOOK hook =
        ::SetWindowsHookExW(WH_CBT, &countCreations, nullptr, ::GetCurrentThreadId());
    ASSERT_NE(hook, nullptr);
    windowsCreated = 0;
    const int result = RunMainDialog(L"", SW_SHOWNORMAL);
    ::UnhookWindowsHookEx(hook);

    EXPECT_EQ(result, 0);
    EXPECT_EQ(windowsCreated, 0);
    EXPECT_EQ(appModule.FindLoop(::GetCurrentThreadId()), nullptr);
}

} // namespace
} // namespace corvane

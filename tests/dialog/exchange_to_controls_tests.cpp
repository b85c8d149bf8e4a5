// exchangeToControls with records the main dialog itself never holds: values other than the
// defaults, and check states outside 0 to 2. The dialog only ever writes its defaults into its
// controls, so these cases run on template 129 with a procedure that handles nothing.
#include "res/resource.h"
#include "settings/exchange_win.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <utility>
#include <vector>

namespace corvane::testing {
namespace {

INT_PTR CALLBACK handleNothing(HWND, UINT message, WPARAM, LPARAM) {
    return message == WM_INITDIALOG ? TRUE : FALSE;
}

class ExchangeToControls : public ::testing::Test {
protected:
    void SetUp() override {
        window = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_MAINDLG),
                                    nullptr, handleNothing, 0);
        ASSERT_NE(window, nullptr) << "template " << IDD_MAINDLG << ", error " << GetLastError();
    }
    void TearDown() override {
        if (window != nullptr) {
            DestroyWindow(window);
        }
    }

    [[nodiscard]] std::wstring text(int id) const {
        wchar_t buffer[64] = {};
        const UINT length = GetDlgItemTextW(window, id, buffer, 64);
        return std::wstring(buffer, length);
    }

    HWND window = nullptr;
    TraceSettings settings;
};

TEST_F(ExchangeToControls, WritesEveryHeldFieldIntoItsOwnControl) {
    // No two values alike, so any swapped binding shows (Max Buffers 1008 before Min Buffers 1007).
    settings.maxFileSizeMb = 0;
    settings.bufferSizeKb = 1024;
    settings.maxBuffers = 4294967295u;
    settings.minBuffers = 7;
    settings.kernelPath = L"k";
    settings.userPath = L"u";
    settings.etlOutPath = L"e";
    settings.sessionName = L"s";
    settings.heapProcess = L"p";
    settings.heapSessionName = L"hs";
    settings.heapPath = L"hp";
    settings.logStack = 1;
    settings.heapEnabled = 0;

    ASSERT_TRUE(exchangeToControls(window, settings));

    const std::vector<std::pair<int, std::wstring>> expected{
        {IDC_MAX_FILE_SIZE, L"0"},        {IDC_BUFFER_SIZE, L"1024"},
        {IDC_MAX_BUFFERS, L"4294967295"}, {IDC_MIN_BUFFERS, L"7"},
        {IDC_KERNEL_PATH, L"k"},          {IDC_USER_PATH, L"u"},
        {IDC_ETL_OUT_PATH, L"e"},         {IDC_SESSION_NAME, L"s"},
        {IDC_HEAP_PROCESS, L"p"},         {IDC_HEAP_SESSION_NAME, L"hs"},
        {IDC_HEAP_PATH, L"hp"},
    };
    for (const auto& [id, value] : expected) {
        EXPECT_EQ(text(id), value) << "control " << id;
    }
    EXPECT_EQ(IsDlgButtonChecked(window, IDC_LOG_STACK), BST_CHECKED);
    EXPECT_EQ(IsDlgButtonChecked(window, IDC_HEAP), BST_UNCHECKED);
}

TEST_F(ExchangeToControls, ClearsCheckStatesOutsideZeroToTwoInTheRecordToo) {
    CheckDlgButton(window, IDC_LOG_STACK, BST_CHECKED);
    CheckDlgButton(window, IDC_HEAP, BST_CHECKED);
    settings.bufferSizeKb = 64;
    settings.logStack = 7;
    settings.heapEnabled = -1;

    ASSERT_TRUE(exchangeToControls(window, settings));

    EXPECT_EQ(settings.logStack, 0);
    EXPECT_EQ(settings.heapEnabled, 0);
    EXPECT_EQ(IsDlgButtonChecked(window, IDC_LOG_STACK), BST_UNCHECKED);
    EXPECT_EQ(IsDlgButtonChecked(window, IDC_HEAP), BST_UNCHECKED);

    settings.logStack = BST_INDETERMINATE;
    ASSERT_TRUE(exchangeToControls(window, settings));
    EXPECT_EQ(settings.logStack, BST_INDETERMINATE) << "2 is a valid state and stays";
}

} // namespace
} // namespace corvane::testing

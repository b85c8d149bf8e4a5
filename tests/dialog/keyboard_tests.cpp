// Keys reach the main dialog through the thread's message loop, whose filter hands them to the
// platform's dialog keyboard handling: Enter sends OK, Escape closes the dialog.
#include "tests/dialog/main_dialog_driver.h"

#include "res/resource.h"

#include <gtest/gtest.h>

#include <string>

namespace corvane::testing {
namespace {

// The quit value that the fake save dialog posts once the OK command has asked it.
constexpr int kOkCommandRan = 41;

// Key messages as the keyboard would queue them: repeat count 1, and for the key release the
// previous-state and transition bits.
constexpr LPARAM kKeyPressed = 0x00000001;
constexpr LPARAM kKeyReleased = static_cast<LPARAM>(0xC0000001u);

void postKey(HWND target, WPARAM key) {
    PostMessageW(target, WM_KEYDOWN, key, kKeyPressed);
    PostMessageW(target, WM_KEYUP, key, kKeyReleased);
}

class EnterKey : public MainDialogTest, public ::testing::WithParamInterface<int> {};

TEST_P(EnterKey, RunsTheOkCommandThroughTheLoopAndTheDialogStaysOpen) {
    session.select(IDC_KERNEL_FLAGS, L"PROC_THREAD");
    ui.chosenPath = scratch.file(L"enter.cmd");
    ui.afterAnswer = [] { PostQuitMessage(kOkCommandRan); };
    const HWND target = session.control(GetParam());
    SetFocus(target);
    ASSERT_EQ(session.focusedId(), GetParam());

    postKey(target, VK_RETURN);

    ASSERT_EQ(session.runLoop(), kOkCommandRan) << "the loop ended without the OK command";
    EXPECT_EQ(ui.offeredNames, std::vector<std::wstring>{L"20240105_093115.cmd"});
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_TRUE(fileExists(*ui.chosenPath));
    EXPECT_TRUE(IsWindow(session.window()));
    EXPECT_EQ(session.loop().FilterCount(), 1u) << "still the loop's filter";
}

// An edit and a list: neither wants Enter for itself.
INSTANTIATE_TEST_SUITE_P(Controls, EnterKey, ::testing::Values(IDC_KERNEL_PATH, IDC_PROVIDERS),
                         [](const auto& testInfo) {
                             return testInfo.param == IDC_KERNEL_PATH ? std::string("InAnEdit")
                                                                      : std::string("InAList");
                         });

using EscapeKey = MainDialogTest;

TEST_F(EscapeKey, DestroysTheDialogAndEndsTheLoopWithTwo) {
    const HWND edit = session.control(IDC_SESSION_NAME);
    SetFocus(edit);

    postKey(edit, VK_ESCAPE);

    EXPECT_EQ(session.runLoop(), IDCANCEL);
    EXPECT_FALSE(IsWindow(session.window()));
    EXPECT_EQ(session.dialog().Handle(), nullptr);
    EXPECT_EQ(session.loop().FilterCount(), 0u) << "WM_DESTROY detached the dialog";
    EXPECT_EQ(session.loop().IdleHandlerCount(), 0u);
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_TRUE(ui.offeredNames.empty());
}

} // namespace
} // namespace corvane::testing

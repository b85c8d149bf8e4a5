// Drives the real main dialog the way the program runs it: a registered message loop for the
// thread, CMainDlg created through its own creation path (hidden), and input through its controls.
// The fixed clock and desktop folder, the fake save dialog and the fixture Tdh.dll stand in for
// the platform.
#pragma once

#include "app/message_loop.h"
#include "settings/trace_settings.h"
#include "tests/dialog/fake_script_ui.h"
#include "tests/providers/tdh_fixture_control.h"
#include "tests/support/test_files.h"
#include "ui/main_dlg.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvane::testing {

// What CMessageLoop::Run returns when the guard timer had to end it: the awaited quit never came.
inline constexpr int kLoopTimedOut = -7;

// Desktop folder and clock that change only when the test says so. The environment handed to the
// dialog reads them at the moment of asking, so a test can move the clock while the dialog runs.
struct FixedEnvironment {
    std::optional<std::wstring> folder = std::wstring(L"D:\\traces");
    LocalTime time{2024, 1, 5, 9, 30, 0};

    [[nodiscard]] DefaultsEnvironment environment();
};

// One main dialog with its own loop, set up as RunMainDialog sets them up but driven by the test.
// The loop is registered for the thread from construction to destruction.
class MainDialogSession {
public:
    MainDialogSession(DefaultsEnvironment environment, ScriptUi& ui);
    ~MainDialogSession();
    MainDialogSession(const MainDialogSession&) = delete;
    MainDialogSession& operator=(const MainDialogSession&) = delete;

    // Creates the hidden window; WM_INITDIALOG runs the whole opening.
    [[nodiscard]] bool open();
    // Runs the loop until a quit arrives, or posts kLoopTimedOut after a few seconds.
    [[nodiscard]] int runLoop();

    [[nodiscard]] HWND window() const { return window_; }
    [[nodiscard]] HWND control(int id) const { return GetDlgItem(window_, id); }
    [[nodiscard]] CMainDlg& dialog() { return dialog_; }
    [[nodiscard]] CMessageLoop& loop() { return loop_; }
    [[nodiscard]] const TraceSettings& settings() const { return dialog_.Settings(); }

    // BM_CLICK: the button (or check box) behaves as under a mouse click.
    void click(int id) const;
    void type(int id, const std::wstring& text) const;
    [[nodiscard]] std::wstring text(int id) const;
    [[nodiscard]] UINT checkState(int id) const;
    [[nodiscard]] bool isEnabled(int id) const;
    // Control id of the window with the keyboard focus, or 0 when it is not one of the dialog's.
    [[nodiscard]] int focusedId() const;

    [[nodiscard]] std::vector<std::wstring> entries(int listId) const;
    [[nodiscard]] int selectedCount(int listId) const;
    // LB_SETSEL on the entry with exactly this text; the test fails when there is none.
    void select(int listId, const std::wstring& entry, bool selected = true) const;

    [[nodiscard]] std::vector<std::wstring> fileModes() const;
    [[nodiscard]] int fileModeSelection() const;
    void chooseFileMode(int index) const;

private:
    CMessageLoop loop_;
    CMainDlg dialog_;
    HWND window_ = nullptr;
};

// A text edit that misbehaves like a control the platform cannot serve: it announces more text
// than it hands over, or refuses new text. Installed on an existing edit, or on the edit with a
// given id as soon as the thread creates it (before the dialog's WM_INITDIALOG).
class MisbehavingEdit {
public:
    enum class Fault { ShortRead, RefuseText };
    MisbehavingEdit(HWND edit, Fault fault);
    MisbehavingEdit(int controlIdAtCreation, Fault fault);
    ~MisbehavingEdit();
    MisbehavingEdit(const MisbehavingEdit&) = delete;
    MisbehavingEdit& operator=(const MisbehavingEdit&) = delete;

private:
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK watchCreation(int code, WPARAM wParam, LPARAM lParam);
    void install(HWND edit);

    Fault fault_;
    int awaitedId_ = 0;
    HHOOK creationHook_ = nullptr;
    HWND edit_ = nullptr;
    WNDPROC previous_ = nullptr;
};

[[nodiscard]] bool fileExists(const std::wstring& path);
// The whole file; an empty text, and a test failure, when it cannot be read.
[[nodiscard]] std::string readFileBytes(const std::wstring& path);
// Lines split at CR LF; the final CR LF ends the last line (text after it shows as one more).
[[nodiscard]] std::vector<std::string> splitCrLfLines(const std::string& bytes);

// The two providers the fixture reports unless a test says otherwise, out of their sorted order.
inline constexpr std::string_view kTwoProviders = "provider Microsoft-Windows-Win32k\n"
                                                  "provider Microsoft-Windows-Shell-Core\n";

// Everything a main-dialog test needs; the dialog is opened by the test (see MainDialogTest).
class MainDialogFixture : public ::testing::Test {
protected:
    // Writes the fixture Tdh.dll's script, then opens the dialog.
    [[nodiscard]] ::testing::AssertionResult openWithProviders(std::string_view fixtureScript);
    // Sets the save dialog's answer to a file in the scratch folder and clicks OK. The written
    // file's lines, or none when nothing was written.
    std::vector<std::string> pressOkSavingAs(const std::wstring& name);
    // Exactly one message, with this text, owned by the main dialog; no save dialog was asked.
    void expectOnlyMessage(const wchar_t* text) const;

    tdh_fixture::ScriptFile providers;
    FixedEnvironment clock;
    FakeScriptUi ui;
    test_files::ScratchFolder scratch;
    MainDialogSession session{clock.environment(), ui};
};

// The main dialog opened with the fixed clock while the fixture reports kTwoProviders.
class MainDialogTest : public MainDialogFixture {
protected:
    void SetUp() override { ASSERT_TRUE(openWithProviders(kTwoProviders)); }
};

} // namespace corvane::testing

// The real main dialog (template 129) with a procedure that handles nothing, so the tests drive
// the settings code through the dialog's own controls; plus the fixed clock, desktop folder and
// provider list the tests run against.
#pragma once

#include "settings/trace_settings.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace corvane::testing {

class TestDialog {
public:
    TestDialog();
    ~TestDialog();
    TestDialog(const TestDialog&) = delete;
    TestDialog& operator=(const TestDialog&) = delete;

    [[nodiscard]] HWND window() const { return window_; }
    [[nodiscard]] HWND control(int id) const;

    [[nodiscard]] std::wstring text(int id) const;
    void setText(int id, const std::wstring& text) const;
    [[nodiscard]] UINT checkState(int id) const;
    void setCheck(int id, UINT state) const;
    // What the main dialog's Heap handler does to the three heap edits.
    void enableHeapEdits(bool enabled) const;
    [[nodiscard]] bool isEnabled(int id) const;
    // Control id of the window with the keyboard focus, or 0.
    [[nodiscard]] int focusedControlId() const;
    void focus(int id) const;

    [[nodiscard]] int entryCount(int listId) const;
    [[nodiscard]] std::vector<std::wstring> entries(int listId) const;
    [[nodiscard]] int selectedCount(int listId) const;
    // Selects (or deselects) the entry with exactly this text; the test fails when it is missing.
    void select(int listId, const std::wstring& entry, bool selected = true) const;
    void addEntry(int listId, const std::wstring& entry) const;

    [[nodiscard]] int fileModeCount() const;
    [[nodiscard]] int fileModeSelection() const;
    [[nodiscard]] std::wstring fileModeText(int index) const;
    void selectFileMode(int index) const;

private:
    HWND window_ = nullptr;
};

// An edit that announces more text than it hands over, or refuses new text, like a control the
// platform cannot serve. Installed on one control of a dialog for the test's lifetime.
class MisbehavingEdit {
public:
    enum class Fault { ShortRead, RefuseText };
    MisbehavingEdit(HWND edit, Fault fault);
    ~MisbehavingEdit();
    MisbehavingEdit(const MisbehavingEdit&) = delete;
    MisbehavingEdit& operator=(const MisbehavingEdit&) = delete;

private:
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    HWND edit_;
};

// Desktop folder and clock that never change unless the test says so.
struct FixedEnvironment {
    std::optional<std::wstring> folder = std::wstring(L"D:\\traces");
    LocalTime time{2024, 1, 5, 9, 30, 0};

    [[nodiscard]] DefaultsEnvironment environment();
};

// What the test Tdh.dll beside the test program reports to the next enumerations.
void reportProviders(const std::vector<std::wstring>& names);
void reportProviderFailure(unsigned long status);

// The text of a written script file, and its lines split at CR LF (the final CR LF ends the last
// line; text after it would show as one more line).
[[nodiscard]] std::string readFileBytes(const std::wstring& path);
[[nodiscard]] std::vector<std::string> splitCrLfLines(const std::string& bytes);

// A fresh empty folder under the temporary folder, removed with its files at the end.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    [[nodiscard]] std::wstring file(const std::wstring& name) const;

private:
    std::wstring path_;
};

// A main dialog that has just been opened with the fixed environment; the test Tdh.dll reports two
// providers, out of their sorted order.
class OpenedDialogTest : public ::testing::Test {
protected:
    void SetUp() override;

    FixedEnvironment clock;
    TraceSettings settings;
    TestDialog dialog;
};

} // namespace corvane::testing

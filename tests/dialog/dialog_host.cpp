#include "tests/dialog/dialog_host.h"

#include "res/resource.h"
#include "settings/dialog_sequences_win.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <map>

namespace corvane::testing {
namespace {

// The settings code under test is called directly; the dialog itself handles nothing.
INT_PTR CALLBACK handleNothing(HWND, UINT message, WPARAM, LPARAM) {
    return message == WM_INITDIALOG ? TRUE : FALSE;
}

std::map<HWND, std::pair<MisbehavingEdit::Fault, WNDPROC>>& misbehavingEdits() {
    static std::map<HWND, std::pair<MisbehavingEdit::Fault, WNDPROC>> edits;
    return edits;
}

using ReportFunction = void (*)(const wchar_t* const*, unsigned, unsigned long);

ReportFunction testTdhReport() {
    // The test Tdh.dll sits beside the program, so it is found before the system's.
    static const HMODULE library = LoadLibraryW(L"Tdh.dll");
    if (library == nullptr) {
        return nullptr;
    }
    return reinterpret_cast<ReportFunction>(
        reinterpret_cast<void*>(GetProcAddress(library, "fakeTdhReport")));
}

} // namespace

TestDialog::TestDialog() {
    window_ = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_MAINDLG), nullptr,
                                 handleNothing, 0);
    if (window_ == nullptr) {
        ADD_FAILURE() << "dialog template " << IDD_MAINDLG << " could not be created, error "
                      << GetLastError();
    }
}

TestDialog::~TestDialog() {
    if (window_ != nullptr) {
        DestroyWindow(window_);
    }
}

HWND TestDialog::control(int id) const {
    return GetDlgItem(window_, id);
}

std::wstring TestDialog::text(int id) const {
    const int length = GetWindowTextLengthW(control(id));
    std::wstring result(static_cast<std::size_t>(length) + 1, L'\0');
    const int copied = GetWindowTextW(control(id), result.data(), length + 1);
    result.resize(static_cast<std::size_t>(copied));
    return result;
}

void TestDialog::setText(int id, const std::wstring& text) const {
    EXPECT_TRUE(SetDlgItemTextW(window_, id, text.c_str())) << "control " << id;
}

UINT TestDialog::checkState(int id) const {
    return IsDlgButtonChecked(window_, id);
}

void TestDialog::setCheck(int id, UINT state) const {
    CheckDlgButton(window_, id, state);
}

void TestDialog::enableHeapEdits(bool enabled) const {
    for (const int id : {IDC_HEAP_PROCESS, IDC_HEAP_SESSION_NAME, IDC_HEAP_PATH}) {
        EnableWindow(control(id), enabled ? TRUE : FALSE);
    }
}

bool TestDialog::isEnabled(int id) const {
    return IsWindowEnabled(control(id)) != FALSE;
}

int TestDialog::focusedControlId() const {
    const HWND focused = GetFocus();
    return focused == nullptr ? 0 : GetDlgCtrlID(focused);
}

void TestDialog::focus(int id) const {
    SetFocus(control(id));
}

int TestDialog::entryCount(int listId) const {
    return static_cast<int>(SendDlgItemMessageW(window_, listId, LB_GETCOUNT, 0, 0));
}

std::vector<std::wstring> TestDialog::entries(int listId) const {
    std::vector<std::wstring> result;
    const int count = entryCount(listId);
    for (int index = 0; index < count; ++index) {
        const auto length =
            SendDlgItemMessageW(window_, listId, LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
        std::wstring entry(static_cast<std::size_t>(length) + 1, L'\0');
        SendDlgItemMessageW(window_, listId, LB_GETTEXT, static_cast<WPARAM>(index),
                            reinterpret_cast<LPARAM>(entry.data()));
        entry.resize(static_cast<std::size_t>(length));
        result.push_back(std::move(entry));
    }
    return result;
}

int TestDialog::selectedCount(int listId) const {
    return static_cast<int>(SendDlgItemMessageW(window_, listId, LB_GETSELCOUNT, 0, 0));
}

void TestDialog::select(int listId, const std::wstring& entry, bool selected) const {
    const auto index =
        SendDlgItemMessageW(window_, listId, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                            reinterpret_cast<LPARAM>(entry.c_str()));
    ASSERT_NE(index, LB_ERR) << "no entry " << ::testing::PrintToString(entry) << " in list "
                             << listId;
    EXPECT_NE(SendDlgItemMessageW(window_, listId, LB_SETSEL, selected ? TRUE : FALSE, index),
              LB_ERR);
}

void TestDialog::addEntry(int listId, const std::wstring& entry) const {
    SendDlgItemMessageW(window_, listId, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.c_str()));
}

int TestDialog::fileModeCount() const {
    return static_cast<int>(SendDlgItemMessageW(window_, IDC_FILE_MODE, CB_GETCOUNT, 0, 0));
}

int TestDialog::fileModeSelection() const {
    return static_cast<int>(SendDlgItemMessageW(window_, IDC_FILE_MODE, CB_GETCURSEL, 0, 0));
}

std::wstring TestDialog::fileModeText(int index) const {
    const auto length =
        SendDlgItemMessageW(window_, IDC_FILE_MODE, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length == CB_ERR) {
        return L"<none>";
    }
    std::wstring entry(static_cast<std::size_t>(length) + 1, L'\0');
    SendDlgItemMessageW(window_, IDC_FILE_MODE, CB_GETLBTEXT, static_cast<WPARAM>(index),
                        reinterpret_cast<LPARAM>(entry.data()));
    entry.resize(static_cast<std::size_t>(length));
    return entry;
}

void TestDialog::selectFileMode(int index) const {
    SendDlgItemMessageW(window_, IDC_FILE_MODE, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

MisbehavingEdit::MisbehavingEdit(HWND edit, Fault fault) : edit_(edit) {
    const auto previous = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(
        edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&MisbehavingEdit::procedure)));
    misbehavingEdits()[edit] = {fault, previous};
}

MisbehavingEdit::~MisbehavingEdit() {
    const auto found = misbehavingEdits().find(edit_);
    if (found != misbehavingEdits().end()) {
        SetWindowLongPtrW(edit_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(found->second.second));
        misbehavingEdits().erase(found);
    }
}

LRESULT CALLBACK MisbehavingEdit::procedure(HWND window, UINT message, WPARAM wParam,
                                            LPARAM lParam) {
    const auto& [fault, previous] = misbehavingEdits().at(window);
    if (fault == Fault::RefuseText && message == WM_SETTEXT) {
        return FALSE;
    }
    if (fault == Fault::ShortRead && message == WM_GETTEXTLENGTH) {
        // Announce more than WM_GETTEXT will deliver.
        return CallWindowProcW(previous, window, message, wParam, lParam) + 5;
    }
    return CallWindowProcW(previous, window, message, wParam, lParam);
}

DefaultsEnvironment FixedEnvironment::environment() {
    return DefaultsEnvironment{[this] { return folder; }, [this] { return time; }};
}

void reportProviders(const std::vector<std::wstring>& names) {
    const ReportFunction report = testTdhReport();
    ASSERT_NE(report, nullptr) << "the test Tdh.dll is not beside the test program";
    std::vector<const wchar_t*> pointers;
    for (const std::wstring& name : names) {
        pointers.push_back(name.c_str());
    }
    report(pointers.data(), static_cast<unsigned>(pointers.size()), 0);
}

void reportProviderFailure(unsigned long status) {
    const ReportFunction report = testTdhReport();
    ASSERT_NE(report, nullptr) << "the test Tdh.dll is not beside the test program";
    report(nullptr, 0, status);
}

std::string readFileBytes(const std::wstring& path) {
    std::string bytes;
    FILE* file = _wfopen(path.c_str(), L"rb");
    if (file == nullptr) {
        ADD_FAILURE() << "cannot open " << ::testing::PrintToString(path);
        return bytes;
    }
    char chunk[4096];
    std::size_t got = 0;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
        bytes.append(chunk, got);
    }
    std::fclose(file);
    return bytes;
}

std::vector<std::string> splitCrLfLines(const std::string& bytes) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < bytes.size()) {
        const std::size_t end = bytes.find("\r\n", start);
        if (end == std::string::npos) {
            lines.push_back(bytes.substr(start));
            break;
        }
        lines.push_back(bytes.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

ScratchFolder::ScratchFolder() {
    wchar_t temporary[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH + 1, temporary);
    for (unsigned attempt = 0; attempt < 1000 && path_.empty(); ++attempt) {
        std::wstring candidate = std::wstring(temporary) + L"corvane-dialog-" +
                                 std::to_wstring(GetCurrentProcessId()) + L"-" +
                                 std::to_wstring(GetTickCount()) + L"-" + std::to_wstring(attempt);
        if (CreateDirectoryW(candidate.c_str(), nullptr)) {
            path_ = std::move(candidate);
        }
    }
    EXPECT_FALSE(path_.empty()) << "no scratch folder";
}

ScratchFolder::~ScratchFolder() {
    if (path_.empty()) {
        return;
    }
    WIN32_FIND_DATAW found{};
    const HANDLE search = FindFirstFileW((path_ + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
                DeleteFileW(file(found.cFileName).c_str());
            }
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(path_.c_str());
}

std::wstring ScratchFolder::file(const std::wstring& name) const {
    return path_ + L"\\" + name;
}

void OpenedDialogTest::SetUp() {
    reportProviders({L"Microsoft-Windows-Win32k", L"Microsoft-Windows-Shell-Core"});
    applyOpeningDefaults(settings, clock.environment());
    runDialogOpenSequence(dialog.window(), settings);
}

} // namespace corvane::testing

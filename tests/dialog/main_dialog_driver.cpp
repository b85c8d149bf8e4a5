#include "tests/dialog/main_dialog_driver.h"

#include "app/app_module.h"
#include "res/resource.h"

#include <utility>

namespace corvane::testing {
namespace {

// Long enough for any dialog command under Wine, short enough that a lost quit fails quickly.
constexpr UINT kLoopGuardMs = 10000;

constexpr wchar_t kMisbehavingEditProperty[] = L"corvane.test.misbehaving-edit";

// The edit that a MisbehavingEdit waits to see created (one at a time on the test thread).
MisbehavingEdit* awaitingCreation = nullptr;

void ensureAppModule() {
    // The templates, the icon and the About box come from this test program's own resources.
    static const bool initialised = appModule.Init(GetModuleHandleW(nullptr));
    EXPECT_TRUE(initialised) << "the application module could not be initialised";
}

void CALLBACK endLoopAfterTimeout(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    PostQuitMessage(kLoopTimedOut);
}

std::wstring listEntry(HWND control, UINT lengthMessage, UINT textMessage, int index) {
    const LRESULT length = SendMessageW(control, lengthMessage, static_cast<WPARAM>(index), 0);
    if (length < 0) {
        return L"<no entry>";
    }
    std::wstring entry(static_cast<std::size_t>(length) + 1, L'\0');
    SendMessageW(control, textMessage, static_cast<WPARAM>(index),
                 reinterpret_cast<LPARAM>(entry.data()));
    entry.resize(static_cast<std::size_t>(length));
    return entry;
}

} // namespace

DefaultsEnvironment FixedEnvironment::environment() {
    return DefaultsEnvironment{[this] { return folder; }, [this] { return time; }};
}

MainDialogSession::MainDialogSession(DefaultsEnvironment environment, ScriptUi& ui)
    : dialog_(std::move(environment), ui) {
    ensureAppModule();
    // As at start-up: the dialog finds this loop while it handles WM_INITDIALOG.
    EXPECT_TRUE(appModule.RegisterLoop(&loop_));
}

MainDialogSession::~MainDialogSession() {
    if (window_ != nullptr && IsWindow(window_)) {
        DestroyWindow(window_);
    }
    EXPECT_TRUE(appModule.UnregisterLoop());
    // Nothing of this test may reach the next one's loop, a quit message least of all.
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    }
}

bool MainDialogSession::open() {
    window_ = dialog_.Create(nullptr);
    return window_ != nullptr;
}

int MainDialogSession::runLoop() {
    const UINT_PTR guard = SetTimer(nullptr, 0, kLoopGuardMs, &endLoopAfterTimeout);
    const int result = loop_.Run();
    KillTimer(nullptr, guard);
    return result;
}

void MainDialogSession::click(int id) const {
    SendMessageW(control(id), BM_CLICK, 0, 0);
}

void MainDialogSession::type(int id, const std::wstring& text) const {
    EXPECT_TRUE(SetDlgItemTextW(window_, id, text.c_str())) << "control " << id;
}

std::wstring MainDialogSession::text(int id) const {
    const int length = GetWindowTextLengthW(control(id));
    std::wstring result(static_cast<std::size_t>(length) + 1, L'\0');
    const int copied = GetWindowTextW(control(id), result.data(), length + 1);
    result.resize(static_cast<std::size_t>(copied));
    return result;
}

UINT MainDialogSession::checkState(int id) const {
    return IsDlgButtonChecked(window_, id);
}

bool MainDialogSession::isEnabled(int id) const {
    return IsWindowEnabled(control(id)) != FALSE;
}

int MainDialogSession::focusedId() const {
    const HWND focused = GetFocus();
    return focused != nullptr && IsChild(window_, focused) ? GetDlgCtrlID(focused) : 0;
}

std::vector<std::wstring> MainDialogSession::entries(int listId) const {
    const HWND list = control(listId);
    const auto count = static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0));
    std::vector<std::wstring> result;
    for (int index = 0; index < count; ++index) {
        result.push_back(listEntry(list, LB_GETTEXTLEN, LB_GETTEXT, index));
    }
    return result;
}

int MainDialogSession::selectedCount(int listId) const {
    return static_cast<int>(SendDlgItemMessageW(window_, listId, LB_GETSELCOUNT, 0, 0));
}

void MainDialogSession::select(int listId, const std::wstring& entry, bool selected) const {
    const LRESULT index =
        SendDlgItemMessageW(window_, listId, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                            reinterpret_cast<LPARAM>(entry.c_str()));
    ASSERT_NE(index, LB_ERR) << "no entry " << ::testing::PrintToString(entry) << " in list "
                             << listId;
    EXPECT_NE(SendDlgItemMessageW(window_, listId, LB_SETSEL, selected ? TRUE : FALSE, index),
              LB_ERR);
}

std::vector<std::wstring> MainDialogSession::fileModes() const {
    const HWND comboBox = control(IDC_FILE_MODE);
    const auto count = static_cast<int>(SendMessageW(comboBox, CB_GETCOUNT, 0, 0));
    std::vector<std::wstring> result;
    for (int index = 0; index < count; ++index) {
        result.push_back(listEntry(comboBox, CB_GETLBTEXTLEN, CB_GETLBTEXT, index));
    }
    return result;
}

int MainDialogSession::fileModeSelection() const {
    return static_cast<int>(SendDlgItemMessageW(window_, IDC_FILE_MODE, CB_GETCURSEL, 0, 0));
}

void MainDialogSession::chooseFileMode(int index) const {
    SendDlgItemMessageW(window_, IDC_FILE_MODE, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

MisbehavingEdit::MisbehavingEdit(HWND edit, Fault fault) : fault_(fault) {
    install(edit);
}

MisbehavingEdit::MisbehavingEdit(int controlIdAtCreation, Fault fault)
    : fault_(fault), awaitedId_(controlIdAtCreation) {
    EXPECT_EQ(awaitingCreation, nullptr) << "one edit awaited at a time";
    awaitingCreation = this;
    creationHook_ =
        SetWindowsHookExW(WH_CBT, &MisbehavingEdit::watchCreation, nullptr, GetCurrentThreadId());
    EXPECT_NE(creationHook_, nullptr);
}

MisbehavingEdit::~MisbehavingEdit() {
    if (creationHook_ != nullptr) {
        UnhookWindowsHookEx(creationHook_);
    }
    if (awaitingCreation == this) {
        awaitingCreation = nullptr;
    }
    if (edit_ != nullptr && IsWindow(edit_)) {
        SetWindowLongPtrW(edit_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous_));
        RemovePropW(edit_, kMisbehavingEditProperty);
    }
}

void MisbehavingEdit::install(HWND edit) {
    edit_ = edit;
    SetPropW(edit, kMisbehavingEditProperty, this);
    previous_ = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(
        edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&MisbehavingEdit::procedure)));
}

LRESULT CALLBACK MisbehavingEdit::procedure(HWND window, UINT message, WPARAM wParam,
                                            LPARAM lParam) {
    const auto* self =
        static_cast<const MisbehavingEdit*>(GetPropW(window, kMisbehavingEditProperty));
    if (self->fault_ == Fault::RefuseText && message == WM_SETTEXT) {
        return FALSE;
    }
    if (self->fault_ == Fault::ShortRead && message == WM_GETTEXTLENGTH) {
        // Announce more than WM_GETTEXT will deliver.
        return CallWindowProcW(self->previous_, window, message, wParam, lParam) + 5;
    }
    return CallWindowProcW(self->previous_, window, message, wParam, lParam);
}

LRESULT CALLBACK MisbehavingEdit::watchCreation(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND && awaitingCreation != nullptr) {
        const auto* creation = reinterpret_cast<const CBT_CREATEWNDW*>(lParam);
        const auto window = reinterpret_cast<HWND>(wParam);
        const bool child = (creation->lpcs->style & WS_CHILD) != 0;
        // A child's id arrives in the menu field.
        if (child &&
            reinterpret_cast<INT_PTR>(creation->lpcs->hMenu) == awaitingCreation->awaitedId_) {
            MisbehavingEdit* const edit = std::exchange(awaitingCreation, nullptr);
            edit->install(window);
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

bool fileExists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string readFileBytes(const std::wstring& path) {
    std::optional<std::string> bytes = test_files::readFileBytes(path);
    if (!bytes) {
        ADD_FAILURE() << "cannot open " << ::testing::PrintToString(path);
        return {};
    }
    return std::move(*bytes);
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

::testing::AssertionResult MainDialogFixture::openWithProviders(std::string_view fixtureScript) {
    if (!providers.write(fixtureScript)) {
        return ::testing::AssertionFailure() << "the fixture Tdh.dll's script cannot be written";
    }
    if (!session.open()) {
        return ::testing::AssertionFailure()
               << "the main dialog could not be created, error " << GetLastError();
    }
    return ::testing::AssertionSuccess();
}

std::vector<std::string> MainDialogFixture::pressOkSavingAs(const std::wstring& name) {
    ui.chosenPath = scratch.file(name);
    session.click(IDOK);
    if (!fileExists(*ui.chosenPath)) {
        return {};
    }
    return splitCrLfLines(readFileBytes(*ui.chosenPath));
}

void MainDialogFixture::expectOnlyMessage(const wchar_t* text) const {
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, text);
    EXPECT_EQ(ui.messages[0].owner, session.window());
    EXPECT_TRUE(ui.offeredNames.empty()) << "no save dialog";
    EXPECT_TRUE(IsWindow(session.window())) << "the dialog stays open";
}

} // namespace corvane::testing

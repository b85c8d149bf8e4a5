#include "ui/main_dlg_tips.h"

#include "app/app_module.h"
#include "res/resource.h"
#include "settings/descriptions.h"
#include "ui/main_dlg_entry_tips.h"
#include "ui/ok_tip_warnings_win.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <iterator>
#include <string_view>

namespace corvane {

namespace {

// Where a control's help comes from: a key of the descriptions catalogue, or for a button that
// sets nothing, a text of the dialog's own. The order is also the one in which the dialog's own
// hover areas are tried.
struct ControlHelp {
    int controlId;
    std::wstring_view helpKey;
    std::wstring_view ownText;
};

constexpr ControlHelp kControlHelps[] = {
    {IDOK,
     {},
     L"Writes a capture script from these settings to a file you name. The dialog stays open, so "
     L"you can write another."},
    {IDCANCEL, {}, L"Closes Corvane. Nothing is written."},
    {IDC_RESET,
     {},
     L"Puts every field back to its default, clears the selections and lists the providers "
     L"again. Heap keeps its state."},
    {ID_APP_ABOUT, {}, L"Shows Corvane's version."},
    {IDC_KERNEL_FLAGS, L"kernel-flag", {}},
    {IDC_STACKWALK, L"stackwalk", {}},
    {IDC_PROVIDERS, L"provider", {}},
    {IDC_FILE_MODE, L"file-mode", {}},
    {IDC_MAX_FILE_SIZE, L"max-file-size-mb", {}},
    {IDC_BUFFER_SIZE, L"buffer-size-kb", {}},
    {IDC_MAX_BUFFERS, L"max-buffers", {}},
    {IDC_MIN_BUFFERS, L"min-buffers", {}},
    {IDC_LOG_STACK, L"log-stack", {}},
    {IDC_HEAP, L"heap", {}},
    {IDC_KERNEL_PATH, L"kernel-path", {}},
    {IDC_USER_PATH, L"user-path", {}},
    {IDC_ETL_OUT_PATH, L"etl-out-path", {}},
    {IDC_SESSION_NAME, L"session-name", {}},
    {IDC_HEAP_PROCESS, L"process-name-or-pid", {}},
    {IDC_HEAP_SESSION_NAME, L"heap-session-name", {}},
    {IDC_HEAP_PATH, L"heap-path", {}},
};

// Long help wraps at this width, in dialog units, so that it grows with the dialog's font.
constexpr int kTipWidthDialogUnits = 200;
// Long enough to read a few sentences; the platform's default is 5 s.
constexpr int kTipShowMs = 30000;
constexpr UINT_PTR kHoverToolId = 1;

TTTOOLINFOW toolInfo(HWND window, UINT_PTR id, UINT flags) noexcept {
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    // Transparent: on Windows a click on a tip reaches the control beneath it (Wine's tip still
    // takes it).
    tool.uFlags = flags | TTF_TRANSPARENT;
    tool.hwnd = window;
    tool.uId = id;
    tool.lpszText = LPSTR_TEXTCALLBACKW;
    return tool;
}

// The window's rectangle in the client coordinates of `parent`.
RECT rectIn(HWND window, HWND parent) noexcept {
    RECT rect{};
    ::GetWindowRect(window, &rect);
    ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

std::wstring windowText(HWND window) {
    std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        ::GetWindowTextW(window, &text[0], static_cast<int>(text.size()))));
    return text;
}

// The mouse messages that the tooltip is told of.
bool isMouseMessage(UINT message) noexcept {
    switch (message) {
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
        return true;
    default:
        return false;
    }
}

} // namespace

CMainDlgTips::~CMainDlgTips() {
    Destroy();
}

bool CMainDlgTips::Attach(HWND dialog, const TraceSettings& choices) noexcept {
    dialog_ = dialog;
    choices_ = &choices;
    fieldAreas_.window = dialog;
    return watch_.Watch(dialog, &CMainDlgTips::watchProc, this);
}

void CMainDlgTips::createTooltip() noexcept {
    static_assert(std::size(kControlHelps) == kControlHelpCount);
    tooltipTried_ = true;
    tooltip_ =
        ::CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                          CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, dialog_,
                          nullptr, appModule.GetResourceInstance(), nullptr);
    if (tooltip_ == nullptr) {
        return;
    }
    setTipWidth();
    ::SendMessageW(tooltip_, TTM_SETDELAYTIME, TTDT_AUTOPOP, MAKELPARAM(kTipShowMs, 0));

    for (const ControlHelp& help : kControlHelps) {
        if (help.controlId != IDC_KERNEL_FLAGS && help.controlId != IDC_STACKWALK &&
            help.controlId != IDC_PROVIDERS) {
            addControlTool(::GetDlgItem(dialog_, help.controlId));
        }
    }
    findLabels();
    addHoverTool(fieldAreas_);
    kernelEntries_.window = ::GetDlgItem(dialog_, IDC_KERNEL_FLAGS);
    addHoverTool(kernelEntries_);
    stackwalkEntries_.window = ::GetDlgItem(dialog_, IDC_STACKWALK);
    addHoverTool(stackwalkEntries_);
    providerEntries_.window = ::GetDlgItem(dialog_, IDC_PROVIDERS);
    addHoverTool(providerEntries_);
}

void CMainDlgTips::Destroy() noexcept {
    watch_.UnwatchAll();
    for (HoverTool* tool : {&kernelEntries_, &stackwalkEntries_, &providerEntries_, &fieldAreas_}) {
        *tool = HoverTool{};
    }
    if (tooltip_ != nullptr) {
        ::DestroyWindow(tooltip_);
        tooltip_ = nullptr;
    }
    tooltipTried_ = true;
}

void CMainDlgTips::addControlTool(HWND control) noexcept {
    // Not TTF_SUBCLASS: that would put comctl32's subclass chain in front of every message of the
    // control (see ui/window_watch.h). The watch relays the mouse instead; the loop stays as it is.
    TTTOOLINFOW tool = toolInfo(dialog_, reinterpret_cast<UINT_PTR>(control), TTF_IDISHWND);
    ::SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    static_cast<void>(watch_.Watch(control, &CMainDlgTips::watchProc, this));
}

void CMainDlgTips::addHoverTool(HoverTool& tool) noexcept {
    // An empty rectangle until the pointer is over a part; the watch relays the mouse. The dialog
    // is watched from the start.
    TTTOOLINFOW info = toolInfo(tool.window, kHoverToolId, 0);
    ::SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
    if (tool.window != dialog_) {
        static_cast<void>(watch_.Watch(tool.window, &CMainDlgTips::watchProc, this));
    }
}

void CMainDlgTips::findLabels() noexcept {
    // The labels have no ids; each one's text is the label its field's help names.
    for (HWND child = ::GetWindow(dialog_, GW_CHILD); child != nullptr;
         child = ::GetWindow(child, GW_HWNDNEXT)) {
        if (::GetDlgCtrlID(child) != IDC_STATIC) {
            continue;
        }
        const std::wstring text = windowText(child);
        for (std::size_t index = 0; index < kControlHelpCount; ++index) {
            const FieldHelp* help = fieldHelp(kControlHelps[index].helpKey);
            if (help != nullptr && help->label == text) {
                labels_[index] = child;
            }
        }
    }
}

LRESULT CALLBACK CMainDlgTips::watchProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* const tips = static_cast<CMainDlgTips*>(CWindowWatch::OwnerOf(window));
    if (tips == nullptr) {
        return ::DefWindowProcW(window, message, wParam, lParam);
    }
    if (window == tips->dialog_ || &tips->toolOf(window) != &tips->fieldAreas_) {
        if (tips->watchHoverWindow(window, message, wParam, lParam)) {
            return 0;
        }
    } else if (isMouseMessage(message)) {
        tips->relay(window, message, wParam, lParam);
    }
    const LRESULT result = tips->watch_.CallPrevious(window, message, wParam, lParam);
    if (message == WM_MOUSEWHEEL || message == WM_KEYDOWN || message == WM_VSCROLL) {
        // The handling may have ended the dialog and its watch.
        if (auto* const still = static_cast<CMainDlgTips*>(CWindowWatch::OwnerOf(window))) {
            still->followScroll(still->toolOf(window));
        }
    }
    return result;
}

bool CMainDlgTips::watchHoverWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    HoverTool& tool = toolOf(window);
    if (message == WM_SETCURSOR && !tooltipTried_) {
        // Every control passes it to the dialog before its first mouse move arrives.
        createTooltip();
    } else if (isMouseMessage(message)) {
        follow(tool, message, wParam, lParam);
    } else if (message == WM_NOTIFY) {
        // The tooltip asks the window of the tool for its text; the dialog's message map never
        // sees these requests.
        return answerTextRequest(tool, *reinterpret_cast<NMHDR*>(lParam));
    }
    return false;
}

void CMainDlgTips::relay(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    if (tooltip_ != nullptr) {
        MSG relayed{window, message, wParam, lParam, 0, {}};
        ::SendMessageW(tooltip_, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&relayed));
    }
}

void CMainDlgTips::follow(HoverTool& tool, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    if (tooltip_ == nullptr) {
        return;
    }
    if (message == WM_MOUSEMOVE) {
        const POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        RECT area{};
        const int part = &tool == &fieldAreas_ ? fieldPartAt(point, area)
                                               : entryPartAt(tool.window, point, area);
        if (part != tool.part) {
            // Away from the old part first, so the tooltip takes the new one as a new tool: it
            // hides the old text and shows the new one after its usual delay.
            tool.part = part;
            setToolRect(tool, RECT{});
            relay(tool.window, message, wParam, lParam);
            setToolRect(tool, area);
        }
    }
    relay(tool.window, message, wParam, lParam);
}

void CMainDlgTips::followScroll(HoverTool& tool) noexcept {
    // The entries moved under a pointer that stayed where it was: the tip follows the entry that
    // is under it now, as if the pointer had moved there.
    POINT point{};
    if (tooltip_ != nullptr && &tool != &fieldAreas_ && pointerOver(tool.window, point)) {
        follow(tool, WM_MOUSEMOVE, 0, MAKELPARAM(point.x, point.y));
    }
}

void CMainDlgTips::setTipWidth() noexcept {
    // In dialog units, so that it follows the dialog's font to a screen of another DPI.
    RECT width{0, 0, kTipWidthDialogUnits, 0};
    ::MapDialogRect(dialog_, &width);
    ::SendMessageW(tooltip_, TTM_SETMAXTIPWIDTH, 0, width.right);
}

void CMainDlgTips::setToolRect(const HoverTool& tool, const RECT& area) noexcept {
    TTTOOLINFOW info = toolInfo(tool.window, kHoverToolId, 0);
    info.rect = area;
    ::SendMessageW(tooltip_, TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&info));
}

CMainDlgTips::HoverTool& CMainDlgTips::toolOf(HWND window) noexcept {
    for (HoverTool* list : {&kernelEntries_, &stackwalkEntries_, &providerEntries_}) {
        if (window == list->window) {
            return *list;
        }
    }
    return fieldAreas_;
}

bool CMainDlgTips::pointerOver(HWND window, POINT& point) noexcept {
    // The point comes back in the window's client coordinates.
    return ::GetCursorPos(&point) != FALSE && ::WindowFromPoint(point) == window &&
           ::ScreenToClient(window, &point) != FALSE;
}

int CMainDlgTips::entryPartAt(HWND list, POINT point, RECT& area) noexcept {
    // The high word is set where the point is outside every entry, as below the last one.
    const LRESULT hit = ::SendMessageW(list, LB_ITEMFROMPOINT, 0, MAKELPARAM(point.x, point.y));
    if (HIWORD(hit) == 0 && ::SendMessageW(list, LB_GETITEMRECT, LOWORD(hit),
                                           reinterpret_cast<LPARAM>(&area)) != LB_ERR) {
        return LOWORD(hit);
    }
    ::GetClientRect(list, &area);
    return kWholeList;
}

int CMainDlgTips::fieldPartAt(POINT point, RECT& area) const noexcept {
    // A field's area spans its label too; the dialog sees the mouse there and over a disabled
    // field, while an enabled control has a tool of its own.
    for (std::size_t index = 0; index < kControlHelpCount; ++index) {
        RECT field = rectIn(::GetDlgItem(dialog_, kControlHelps[index].controlId), dialog_);
        if (labels_[index] != nullptr) {
            const RECT label = rectIn(labels_[index], dialog_);
            ::UnionRect(&field, &field, &label);
        }
        if (::PtInRect(&field, point)) {
            area = field;
            return static_cast<int>(index);
        }
    }
    return kNoPart;
}

bool CMainDlgTips::answerTextRequest(HoverTool& tool, NMHDR& header) {
    if (header.hwndFrom != tooltip_ || header.code != TTN_GETDISPINFOW) {
        return false;
    }
    // Asked before each show: the dialog may have moved to a screen of another DPI since.
    setTipWidth();
    POINT point{};
    RECT area{};
    if (&tool != &fieldAreas_ && pointerOver(tool.window, point)) {
        // The list may have scrolled since the pointer last moved.
        const int part = entryPartAt(tool.window, point, area);
        if (part != tool.part) {
            tool.part = part;
            setToolRect(tool, area);
        }
    }
    text_.clear();
    if (header.idFrom != kHoverToolId) {
        composeControlText(::GetDlgCtrlID(reinterpret_cast<HWND>(header.idFrom)));
    } else if (&tool == &fieldAreas_ && tool.part != kNoPart) {
        composeControlText(kControlHelps[tool.part].controlId);
    } else if (&tool == &kernelEntries_ && tool.part != kWholeList) {
        text_ = kernelEntryTip(entryText(tool.window, LB_GETTEXTLEN, LB_GETTEXT, tool.part));
    } else if (&tool == &stackwalkEntries_ && tool.part != kWholeList) {
        text_ = stackwalkEntryTip(dialog_,
                                  entryText(tool.window, LB_GETTEXTLEN, LB_GETTEXT, tool.part));
    } else if (&tool == &providerEntries_ && tool.part != kWholeList) {
        text_ = providerEntryTip(tool.window, tool.part, *choices_);
    }
    // Away from the entries, and over a provider with nothing chosen for it, the list's own help.
    if (text_.empty() && header.idFrom == kHoverToolId &&
        (tool.part == kWholeList || &tool == &providerEntries_)) {
        composeControlText(::GetDlgCtrlID(tool.window));
    }
    auto& request = reinterpret_cast<NMTTDISPINFOW&>(header);
    request.lpszText = text_.data();
    request.hinst = nullptr;
    return true;
}

void CMainDlgTips::composeControlText(int controlId) {
    const auto help =
        std::find_if(std::begin(kControlHelps), std::end(kControlHelps),
                     [&](const ControlHelp& entry) { return entry.controlId == controlId; });
    if (help == std::end(kControlHelps)) {
        return;
    }
    const FieldHelp* field = fieldHelp(help->helpKey);
    text_ = field != nullptr ? field->text : help->ownText;
    if (controlId == IDOK) {
        appendOkWarnings(dialog_, *choices_, text_);
    } else if (controlId == IDC_FILE_MODE) {
        // The rules of the mode chosen now, not of the one chosen when the dialog opened.
        const HWND box = ::GetDlgItem(dialog_, IDC_FILE_MODE);
        const LRESULT chosen = ::SendMessageW(box, CB_GETCURSEL, 0, 0);
        const std::wstring_view rules =
            chosen < 0 ? std::wstring_view()
                       : fileModeHelp(entryText(box, CB_GETLBTEXTLEN, CB_GETLBTEXT, chosen));
        if (!rules.empty()) {
            text_.append(L"\n\n").append(rules);
        }
    }
}

} // namespace corvane

// Help under the pointer in the main dialog: one tooltip control, owned by the dialog, that shows
// what a field, box or button means, what an entry of Kernel Flags/Groups records, and what an
// entry of Kernel Stackwalk is and which flag it needs.
#pragma once

#include "settings/trace_settings.h"
#include "ui/window_watch.h"

#include <windows.h>

#include <array>
#include <cstddef>
#include <string>

namespace corvane {

class CMainDlgTips {
public:
    CMainDlgTips() noexcept = default;
    ~CMainDlgTips();
    CMainDlgTips(const CMainDlgTips&) = delete;
    CMainDlgTips& operator=(const CMainDlgTips&) = delete;

    // Watches the dialog once its controls exist. The tooltip control and its tools are made when
    // the pointer first comes over the dialog, which keeps them out of the start-up. False when
    // the dialog cannot be watched; it then works on without tips, as it does when the platform
    // refuses the tooltip control.
    // `choices` are the dialog's, whose provider options the Providers list's entries show.
    [[nodiscard]] bool Attach(HWND dialog, const TraceSettings& choices) noexcept;
    // Before the dialog's window goes; also done by the destructor.
    void Destroy() noexcept;

private:
    static constexpr std::size_t kControlHelpCount = 21; // controls with help

    // A window whose tip depends on the part of it under the pointer: the kernel and stack-walk
    // lists' entries, and on the dialog itself the labels and disabled fields, which leave the
    // mouse to it. The tooltip knows one tool per such window and sees its rectangle moved to the
    // part hovered.
    struct HoverTool {
        HWND window = nullptr;
        int part = kNoPart;
    };
    static constexpr int kNoPart = -1;
    static constexpr int kWholeList = -2; // a list away from its entries

    static LRESULT CALLBACK watchProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    // True when it answered the message, which then goes no further.
    [[nodiscard]] bool watchHoverWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void createTooltip() noexcept;
    void addControlTool(HWND control) noexcept;
    void addHoverTool(HoverTool& tool) noexcept;
    void findLabels() noexcept;
    void relay(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    void follow(HoverTool& tool, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    void followScroll(HoverTool& tool) noexcept;
    void setTipWidth() noexcept;
    void setToolRect(const HoverTool& tool, const RECT& area) noexcept;
    [[nodiscard]] HoverTool& toolOf(HWND window) noexcept;
    [[nodiscard]] static bool pointerOver(HWND window, POINT& point) noexcept;
    [[nodiscard]] static int entryPartAt(HWND list, POINT point, RECT& area) noexcept;
    [[nodiscard]] int fieldPartAt(POINT point, RECT& area) const noexcept;
    [[nodiscard]] bool answerTextRequest(HoverTool& tool, NMHDR& header);
    void composeControlText(int controlId);

    CWindowWatch watch_; // the dialog, and once the tooltip is made each control with help
    HWND dialog_ = nullptr;
    HWND tooltip_ = nullptr; // owned: destroyed by Destroy
    bool tooltipTried_ = false;
    HoverTool kernelEntries_;
    HoverTool stackwalkEntries_;
    HoverTool providerEntries_;
    const TraceSettings* choices_ = nullptr;
    HoverTool fieldAreas_;
    std::array<HWND, kControlHelpCount> labels_{}; // each field's label, where it has one
    std::wstring text_;                            // the text last handed to the tooltip
};

} // namespace corvane

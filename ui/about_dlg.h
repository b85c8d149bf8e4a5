// The About box: the program's icon, name and version, closed with OK or Escape.
#pragma once

#include "app/dialog_impl.h"
#include "res/resource.h"

namespace corvane {

class CAboutDlg : public CDialogImpl<CAboutDlg> {
public:
    static constexpr int IDD = IDD_ABOUTBOX;

    bool ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                              LRESULT& result) override;

private:
    LRESULT onInitDialog();
    LRESULT onCloseCommand(int commandId);
};

// Runs the About box modally, owned by the thread's active window. The box's result is ignored.
void ShowAbout() noexcept;

} // namespace corvane

// The user-facing platform calls of saving a capture script and opening a profile, behind one seam
// so that tests can answer the file dialogs and read the messages without a screen.
#pragma once

#include "settings/trace_settings.h"

#include <windows.h>
#include <commdlg.h>

namespace corvane {

// The user-facing calls of saving and of the OK command, behind one seam so tests can answer them.
class ScriptUi {
public:
    virtual ~ScriptUi() = default;
    // A message box owned by `owner`: empty caption, OK only, no icon.
    virtual void showMessage(HWND owner, const wchar_t* text) = 0;
    // The platform's save dialog; false when it ends without a file name.
    virtual bool getSaveFileName(OPENFILENAMEW& request) = 0;
    // The platform's open dialog; false when it ends without a file name.
    virtual bool getOpenFileName(OPENFILENAMEW& request) = 0;
    // Why the last dialog ended without a file name: 0 when the user cancelled.
    virtual unsigned long commDlgExtendedError() = 0;
    virtual LocalTime localTime() = 0;
    virtual HWND activeWindow() = 0;
};

// The real calls.
ScriptUi& platformScriptUi();

} // namespace corvane

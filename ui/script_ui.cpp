#include "ui/script_ui.h"

namespace corvane {
namespace {

class PlatformScriptUi final : public ScriptUi {
public:
    void showMessage(HWND owner, const wchar_t* text) override {
        // The only answer is OK, so the result says nothing.
        static_cast<void>(MessageBoxW(owner, text, L"", MB_OK));
    }

    bool getSaveFileName(OPENFILENAMEW& request) override {
        return GetSaveFileNameW(&request) != FALSE;
    }

    bool getOpenFileName(OPENFILENAMEW& request) override {
        return GetOpenFileNameW(&request) != FALSE;
    }

    unsigned long commDlgExtendedError() override { return CommDlgExtendedError(); }

    LocalTime localTime() override {
        SYSTEMTIME now{};
        GetLocalTime(&now);
        LocalTime time;
        time.year = now.wYear;
        time.month = now.wMonth;
        time.day = now.wDay;
        time.hour = now.wHour;
        time.minute = now.wMinute;
        time.second = now.wSecond;
        return time;
    }

    HWND activeWindow() override { return GetActiveWindow(); }
};

} // namespace

ScriptUi& platformScriptUi() {
    static PlatformScriptUi ui;
    return ui;
}

} // namespace corvane

// Answers the OK command's messages and save dialog without a screen, and records what it was
// asked.
#pragma once

#include "ui/script_ui.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace corvane::testing {

class FakeScriptUi final : public ScriptUi {
public:
    struct Message {
        HWND owner;
        std::wstring text;
        int focusedId; // the control that had the keyboard focus when the message came up
    };

    // The path the save dialog answers with; nothing means the user cancels it.
    std::optional<std::wstring> chosenPath;
    LocalTime clock{2024, 1, 5, 9, 31, 15};
    // Called after every message and save dialog, e.g. to end a running loop.
    std::function<void()> afterAnswer;

    std::vector<Message> messages;
    std::vector<std::wstring> offeredNames; // the default file name of each save dialog

    void showMessage(HWND owner, const wchar_t* text) override {
        const HWND focused = GetFocus();
        messages.push_back({owner, text, focused == nullptr ? 0 : GetDlgCtrlID(focused)});
        answered();
    }

    bool getSaveFileName(OPENFILENAMEW& request) override {
        offeredNames.emplace_back(request.lpstrFile);
        const bool chosen = chosenPath && chosenPath->size() < request.nMaxFile;
        if (chosen) {
            chosenPath->copy(request.lpstrFile, chosenPath->size());
            request.lpstrFile[chosenPath->size()] = L'\0';
        }
        answered();
        return chosen;
    }

    unsigned long commDlgExtendedError() override { return 0; }
    LocalTime localTime() override { return clock; }
    HWND activeWindow() override { return GetActiveWindow(); }

private:
    void answered() {
        if (afterAnswer) {
            afterAnswer();
        }
    }
};

} // namespace corvane::testing

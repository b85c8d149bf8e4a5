// Answers the OK command's messages, the save dialog and the open dialog without a screen, and
// records what it was asked.
#pragma once

#include "ui/script_ui.h"

#include <functional>
#include <optional>
#include <cwchar>
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
    // The path the open dialog answers with; nothing means the user cancels it.
    std::optional<std::wstring> openedPath;
    LocalTime clock{2024, 1, 5, 9, 31, 15};
    // Called after every message and save dialog, e.g. to end a running loop.
    std::function<void()> afterAnswer;

    std::vector<Message> messages;
    std::vector<std::wstring> offeredNames; // the default file name of each save dialog
    std::vector<std::wstring> openFilters;  // the filter list of each open dialog, NULs as '|'

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

    bool getOpenFileName(OPENFILENAMEW& request) override {
        std::wstring filters;
        for (const wchar_t* text = request.lpstrFilter; text != nullptr && *text != L'\0';
             text += wcslen(text) + 1) {
            filters.append(text).push_back(L'|');
        }
        openFilters.push_back(filters);
        const bool chosen = openedPath && openedPath->size() < request.nMaxFile;
        if (chosen) {
            openedPath->copy(request.lpstrFile, openedPath->size());
            request.lpstrFile[openedPath->size()] = L'\0';
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

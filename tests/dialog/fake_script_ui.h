// Answers the OK command's messages and save dialog without a screen, and records what it was
// asked.
#pragma once

#include "script/script_ui.h"

#include <optional>
#include <string>
#include <vector>

namespace corvane::testing {

class FakeScriptUi final : public ScriptUi {
public:
    struct Message {
        HWND owner;
        std::wstring text;
    };

    // The path the save dialog answers with; nothing means the user cancels it.
    std::optional<std::wstring> chosenPath;
    LocalTime clock{2024, 1, 5, 9, 31, 15};
    HWND active = nullptr;

    std::vector<Message> messages;
    std::vector<std::wstring> offeredNames; // the default file name of each save dialog

    void showMessage(HWND owner, const wchar_t* text) override {
        messages.push_back({owner, text});
    }

    bool getSaveFileName(OPENFILENAMEW& request) override {
        offeredNames.emplace_back(request.lpstrFile);
        if (!chosenPath || chosenPath->size() >= request.nMaxFile) {
            return false;
        }
        chosenPath->copy(request.lpstrFile, chosenPath->size());
        request.lpstrFile[chosenPath->size()] = L'\0';
        return true;
    }

    unsigned long commDlgExtendedError() override { return 0; }
    LocalTime localTime() override { return clock; }
    HWND activeWindow() override { return active; }
};

} // namespace corvane::testing

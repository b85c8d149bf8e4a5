#include "settings/exchange_win.h"

#include "res/resource.h"

#include <array>
#include <cstdint>
#include <limits>
#include <string>
#include <utility>
#include <variant>

namespace corvane {
namespace {

struct NumberField {
    std::uint32_t TraceSettings::*member;
    std::uint32_t lowest;
    std::uint32_t highest;
};

struct TextField {
    std::wstring TraceSettings::*member;
};

struct CheckField {
    std::int32_t TraceSettings::*member;
};

struct FieldBinding {
    int controlId;
    std::variant<NumberField, TextField, CheckField> field;
};

constexpr std::uint32_t kNoLimit = std::numeric_limits<std::uint32_t>::max();

// Both directions walk this table from top to bottom, and the final empty-text check walks its
// text fields in the same order. Max Buffers comes before Min Buffers here, unlike on screen.
const std::array<FieldBinding, 13> kFieldBindings{{
    {IDC_MAX_FILE_SIZE, NumberField{&TraceSettings::maxFileSizeMb, 0, kNoLimit}},
    {IDC_BUFFER_SIZE, NumberField{&TraceSettings::bufferSizeKb, 4, 1024}},
    {IDC_MAX_BUFFERS, NumberField{&TraceSettings::maxBuffers, 0, kNoLimit}},
    {IDC_MIN_BUFFERS, NumberField{&TraceSettings::minBuffers, 0, kNoLimit}},
    {IDC_KERNEL_PATH, TextField{&TraceSettings::kernelPath}},
    {IDC_USER_PATH, TextField{&TraceSettings::userPath}},
    {IDC_ETL_OUT_PATH, TextField{&TraceSettings::etlOutPath}},
    {IDC_SESSION_NAME, TextField{&TraceSettings::sessionName}},
    {IDC_HEAP_PROCESS, TextField{&TraceSettings::heapProcess}},
    {IDC_HEAP_SESSION_NAME, TextField{&TraceSettings::heapSessionName}},
    {IDC_HEAP_PATH, TextField{&TraceSettings::heapPath}},
    {IDC_LOG_STACK, CheckField{&TraceSettings::logStack}},
    {IDC_HEAP, CheckField{&TraceSettings::heapEnabled}},
}};

[[nodiscard]] bool writeToControl(HWND dialog, int controlId, const NumberField& field,
                                  TraceSettings& settings) {
    return SetDlgItemInt(dialog, controlId, settings.*field.member, FALSE) != FALSE;
}

[[nodiscard]] bool writeToControl(HWND dialog, int controlId, const TextField& field,
                                  TraceSettings& settings) {
    return SetDlgItemTextW(dialog, controlId, (settings.*field.member).c_str()) != FALSE;
}

[[nodiscard]] bool writeToControl(HWND dialog, int controlId, const CheckField& field,
                                  TraceSettings& settings) {
    std::int32_t& state = settings.*field.member;
    if (state < BST_UNCHECKED || state > BST_INDETERMINATE) {
        state = BST_UNCHECKED;
    }
    // A check box takes any of the three states; there is nothing to refuse.
    CheckDlgButton(dialog, controlId, static_cast<UINT>(state));
    return true;
}

[[nodiscard]] bool readFromControl(HWND dialog, int controlId, const NumberField& field,
                                   TraceSettings& settings) {
    BOOL converted = FALSE;
    std::uint32_t& value = settings.*field.member;
    // The field takes the result even when it is rejected: nothing is rolled back.
    value = GetDlgItemInt(dialog, controlId, &converted, FALSE);
    return converted != FALSE && value >= field.lowest && value <= field.highest;
}

[[nodiscard]] bool readFromControl(HWND dialog, int controlId, const TextField& field,
                                   TraceSettings& settings) {
    const HWND control = GetDlgItem(dialog, controlId);
    const int announced = GetWindowTextLengthW(control);
    const int capacity = announced > 0 ? announced + 1 : 1;
    std::wstring text(static_cast<std::size_t>(capacity), L'\0');
    const int copied = GetWindowTextW(control, text.data(), capacity);
    text.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
    settings.*field.member = std::move(text);
    return copied >= announced;
}

[[nodiscard]] bool readFromControl(HWND dialog, int controlId, const CheckField& field,
                                   TraceSettings& settings) {
    settings.*field.member = static_cast<std::int32_t>(IsDlgButtonChecked(dialog, controlId));
    return true;
}

// OK refuses an empty text too, once everything is read.
bool holdsValue(const TextField& field, const TraceSettings& settings) {
    return !(settings.*field.member).empty();
}

template <typename Field>
bool holdsValue(const Field& /*field*/, const TraceSettings& /*settings*/) {
    return true;
}

} // namespace

bool exchangeToControls(HWND dialog, TraceSettings& settings) {
    for (const FieldBinding& binding : kFieldBindings) {
        const bool written = std::visit(
            [&](const auto& field) {
                return writeToControl(dialog, binding.controlId, field, settings);
            },
            binding.field);
        if (!written) {
            signalFieldError(dialog, binding.controlId);
            return false;
        }
    }
    return true;
}

bool exchangeFromControls(HWND dialog, TraceSettings& settings) {
    for (const FieldBinding& binding : kFieldBindings) {
        const bool read = std::visit(
            [&](const auto& field) {
                return readFromControl(dialog, binding.controlId, field, settings);
            },
            binding.field);
        if (!read) {
            signalFieldError(dialog, binding.controlId);
            return false;
        }
    }
    // Empty texts are refused only once everything has been read, first one in table order.
    for (const FieldBinding& binding : kFieldBindings) {
        const auto* text = std::get_if<TextField>(&binding.field);
        if (text != nullptr && (settings.*text->member).empty()) {
            signalFieldError(dialog, binding.controlId);
            return false;
        }
    }
    return true;
}

bool readControlsQuietly(HWND dialog, TraceSettings& settings) {
    bool allGood = true;
    for (const FieldBinding& binding : kFieldBindings) {
        allGood = std::visit(
                      [&](const auto& field) {
                          // A number field takes even a refused value, so the old one is kept.
                          auto kept = settings.*field.member;
                          if (readFromControl(dialog, binding.controlId, field, settings) &&
                              holdsValue(field, settings)) {
                              return true;
                          }
                          settings.*field.member = std::move(kept);
                          return false;
                      },
                      binding.field) &&
                  allGood;
    }
    return allGood;
}

void signalFieldError(HWND dialog, int controlId) {
    MessageBeep(0xFFFFFFFF);
    // SetFocus rather than WM_NEXTDLGCTL: the dialog manager would select an edit's whole text.
    SetFocus(GetDlgItem(dialog, controlId));
}

} // namespace corvane

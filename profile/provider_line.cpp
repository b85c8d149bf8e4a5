#include "profile/provider_line.h"

#include "profile/profile.h"
#include "profile/profile_keys.h"

#include <cstddef>
#include <cstdint>
#include <limits>

namespace corvane {
namespace {

// ETW's level names, 1 to 5 (TRACE_LEVEL_CRITICAL to TRACE_LEVEL_VERBOSE).
constexpr const wchar_t* kLevelNames[] = {L"critical", L"error", L"warning", L"information",
                                          L"verbose"};

struct Switch {
    const wchar_t* word;
    bool on;
};
constexpr Switch kStackWords[] = {{L"on", true}, {L"off", false}, {L"yes", true}, {L"no", false}};

int digitValue(wchar_t c, unsigned base) noexcept {
    int value = 16;
    if (c >= L'0' && c <= L'9') {
        value = c - L'0';
    } else if (c >= L'a' && c <= L'f') {
        value = c - L'a' + 10;
    } else if (c >= L'A' && c <= L'F') {
        value = c - L'A' + 10;
    }
    return value < static_cast<int>(base) ? value : -1;
}

// Hex after "0x", or decimal; at most 64 bits, no sign.
bool parseMask(std::wstring_view text, std::uint64_t& mask) {
    unsigned base = 10;
    if (text.size() > 2 && text[0] == L'0' && (text[1] == L'x' || text[1] == L'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    if (text.empty()) {
        return false;
    }
    constexpr std::uint64_t kLargest = std::numeric_limits<std::uint64_t>::max();
    std::uint64_t value = 0;
    for (const wchar_t c : text) {
        const int digit = digitValue(c, base);
        if (digit < 0 || value > (kLargest - static_cast<std::uint64_t>(digit)) / base) {
            return false;
        }
        value = value * base + static_cast<std::uint64_t>(digit);
    }
    mask = value;
    return true;
}

bool parseLevel(std::wstring_view text, std::uint8_t& level) {
    for (std::size_t i = 0; i < std::size(kLevelNames); ++i) {
        if (equalsFolded(text, kLevelNames[i])) {
            level = static_cast<std::uint8_t>(i + 1);
            return true;
        }
    }
    unsigned value = 0;
    for (const wchar_t c : text) {
        const int digit = digitValue(c, 10);
        if (digit < 0 || value > 25) {
            return false;
        }
        value = value * 10U + static_cast<unsigned>(digit);
    }
    if (text.empty() || value > 255) {
        return false;
    }
    level = static_cast<std::uint8_t>(value);
    return true;
}

bool parseStack(std::wstring_view text, bool& stack) {
    for (const Switch& entry : kStackWords) {
        if (equalsFolded(text, entry.word)) {
            stack = entry.on;
            return true;
        }
    }
    return false;
}

enum class OptionRead { Taken, GivenTwice, Unreadable };

// Reads a value into its field of the options, which it may fill once.
template <typename T, std::optional<T> ProviderOptions::*field,
          bool (*parse)(std::wstring_view, T&)>
OptionRead readInto(std::wstring_view text, ProviderOptions& options) {
    T value{};
    if ((options.*field).has_value()) {
        return OptionRead::GivenTwice;
    }
    if (!parse(text, value)) {
        return OptionRead::Unreadable;
    }
    options.*field = value;
    return OptionRead::Taken;
}

// The options that may follow the quoted name: the name before the '=', how its value is read,
// and what the value must be.
struct OptionReader {
    std::wstring_view name;
    OptionRead (*read)(std::wstring_view text, ProviderOptions& options);
    std::wstring_view expected;
};

constexpr OptionReader kOptionReaders[] = {
    {L"keywords", readInto<std::uint64_t, &ProviderOptions::keywords, parseMask>,
     L"a 64-bit mask in hex (0x...) or decimal"},
    {L"level", readInto<std::uint8_t, &ProviderOptions::level, parseLevel>,
     L"a whole number from 0 to 255 or critical, error, warning, information or verbose"},
    {L"stack", readInto<bool, &ProviderOptions::stack, parseStack>, L"on or off"},
};

// One "name=value" after the quoted name; each name once.
bool readOption(std::wstring_view option, ProviderOptions& options, std::wstring& error) {
    const std::size_t equals = option.find(L'=');
    for (const OptionReader& reader : kOptionReaders) {
        if (equals == std::wstring_view::npos || option.substr(0, equals) != reader.name) {
            continue;
        }
        const std::wstring_view value = option.substr(equals + 1);
        switch (reader.read(value, options)) {
        case OptionRead::Taken:
            return true;
        case OptionRead::GivenTwice:
            error = std::wstring(reader.name) + L" is given twice";
            return false;
        case OptionRead::Unreadable:
            break;
        }
        error = std::wstring(reader.name) + L" must be " + std::wstring(reader.expected) +
                L", not " + quoted(value);
        return false;
    }
    error = L"after a provider's quoted name come keywords=MASK, level=LEVEL and stack=on|off, "
            L"not " +
            quoted(option);
    return false;
}

// Where the options end a name without quotes ("Microsoft-Windows-Win32k level=5"): the length
// of the name before them, or npos. Such a line names a provider that is all of its text, which
// is never what was meant.
std::size_t nameBeforeOptions(std::wstring_view value) {
    ProviderOptions options;
    std::size_t end = value.size();
    std::size_t nameEnd = std::wstring_view::npos;
    for (;;) {
        std::size_t start = end;
        while (start > 0 && !profile_keys::isBlank(value[start - 1])) {
            --start;
        }
        std::wstring ignored;
        if (start == 0 || start == end ||
            !readOption(value.substr(start, end - start), options, ignored)) {
            return nameEnd;
        }
        end = start;
        while (end > 0 && profile_keys::isBlank(value[end - 1])) {
            --end;
        }
        nameEnd = end == 0 ? std::wstring_view::npos : end;
    }
}

} // namespace

bool readProviderLine(std::wstring_view value, ProviderLine& line, std::wstring& error) {
    const std::size_t closing =
        value.empty() || value.front() != L'"' ? std::wstring_view::npos : value.find(L'"', 1);
    if (closing == std::wstring_view::npos) {
        if (const std::size_t nameEnd = nameBeforeOptions(value);
            nameEnd != std::wstring_view::npos) {
            error = L"options follow a provider's name only in quotes; without them " +
                    quoted(value) + L" is all one name: type provider = \"" +
                    shortened(value.substr(0, nameEnd)) + L"\"" + shortened(value.substr(nameEnd));
            return false;
        }
    }
    // A name as it stands, or all of the value in quotes: the forms every profile had before.
    if (closing == std::wstring_view::npos || closing + 1 == value.size()) {
        line.name = closing == std::wstring_view::npos ? value : value.substr(1, closing - 1);
        line.options.reset();
        return true;
    }
    line.name = value.substr(1, closing - 1);
    std::wstring_view rest = value.substr(closing + 1);
    if (!profile_keys::isBlank(rest.front())) {
        error = L"a blank must follow the provider's closing quote, not " + quoted(rest);
        return false;
    }
    ProviderOptions options;
    while (!rest.empty()) {
        while (!rest.empty() && profile_keys::isBlank(rest.front())) {
            rest.remove_prefix(1);
        }
        std::size_t end = 0;
        while (end < rest.size() && !profile_keys::isBlank(rest[end])) {
            ++end;
        }
        if (end != 0 && !readOption(rest.substr(0, end), options, error)) {
            return false;
        }
        rest.remove_prefix(end);
    }
    line.options = options;
    return true;
}

const wchar_t* providerLineHelp() noexcept {
    return L"A provider's name in double quotes may be followed by what to enable of it: "
           L"keywords= (its 64-bit keyword mask, in hex 0x... or decimal), level= (0 to 255, or "
           L"critical, error, warning, information or verbose for 1 to 5) and stack=on or off "
           L"(whether its events record a call stack, whatever log-stack says). Left out, each "
           L"is xperf's default, and log-stack's for stack.";
}

} // namespace corvane

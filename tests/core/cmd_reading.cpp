#include "tests/core/cmd_reading.h"

#include "script/capture_script.h"

#include <cwchar>

namespace corvane::testing {
namespace {

bool isDigit(wchar_t c) {
    return c >= L'0' && c <= L'9';
}

} // namespace

std::optional<std::wstring> expandPercents(std::wstring_view line) {
    std::wstring out;
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] != L'%') {
            out += line[i];
        } else if (i + 1 < line.size() && line[i + 1] == L'%') {
            out += line[++i];
        } else if (i + 1 < line.size() && line[i + 1] == L'~') {
            // A path operator: modifier letters, then the argument's digit.
            i = line.find_first_not_of(L"fdpnxsatz", i + 2);
            if (i == std::wstring_view::npos || !isDigit(line[i])) {
                return std::nullopt;
            }
        } else if (i + 1 < line.size() && (isDigit(line[i + 1]) || line[i + 1] == L'*')) {
            ++i;
        } else if (const std::size_t close = line.find(L'%', i + 1);
                   close != std::wstring_view::npos) {
            const std::size_t colon = line.substr(0, close).find(L':', i + 1);
            i = colon == std::wstring_view::npos ? close : colon;
        }
    }
    return out;
}

std::optional<std::wstring> singleCommand(std::wstring_view expandedLine) {
    std::wstring out;
    bool quoted = false;
    for (std::size_t i = 0; i < expandedLine.size(); ++i) {
        const wchar_t c = expandedLine[i];
        quoted = quoted != (c == L'"');
        if (quoted || c == L'"') {
            out += c;
        } else if (c == L'^') {
            if (++i == expandedLine.size()) {
                return std::nullopt;
            }
            out += expandedLine[i];
        } else if (std::wcschr(L"&|<>", c) != nullptr) {
            return std::nullopt;
        } else {
            out += c;
        }
    }
    return out;
}

std::vector<std::wstring> splitArguments(std::wstring_view commandLine) {
    std::vector<std::wstring> arguments;
    std::wstring argument;
    bool inArgument = false;
    bool quoted = false;
    for (std::size_t i = 0; i < commandLine.size(); ++i) {
        const wchar_t c = commandLine[i];
        if (!quoted && (c == L' ' || c == L'\t')) {
            if (inArgument) {
                arguments.push_back(std::move(argument));
                argument.clear();
            }
            inArgument = false;
            continue;
        }
        inArgument = true;
        if (c == L'\\') {
            // 2n backslashes before a quote give n and leave the quote to delimit; 2n+1 give n
            // and a literal quote. Backslashes before anything else are literal.
            std::size_t end = commandLine.find_first_not_of(L'\\', i);
            end = end == std::wstring_view::npos ? commandLine.size() : end;
            const bool beforeQuote = end < commandLine.size() && commandLine[end] == L'"';
            const std::size_t count = end - i;
            argument.append(beforeQuote ? count / 2 : count, L'\\');
            if (beforeQuote && count % 2 == 1) {
                argument += L'"';
                i = end;
            } else {
                i = end - 1;
            }
        } else if (c == L'"' && quoted && i + 1 < commandLine.size() &&
                   commandLine[i + 1] == L'"') {
            argument += L'"'; // "" inside quotes: one literal quote, and the quotes end
            quoted = false;
            ++i;
        } else if (c == L'"') {
            quoted = !quoted;
        } else {
            argument += c;
        }
    }
    if (inArgument) {
        arguments.push_back(std::move(argument));
    }
    return arguments;
}

namespace {

struct Value {
    std::wstring token;
    const std::wstring* text;
    bool bare; // written without quotes, so a blank splits it and nothing of it is no argument
};

// The argument of the plain script with every token replaced by what cmd makes of its value.
void appendMeaning(std::wstring argument, const std::vector<Value>& values,
                   std::vector<std::wstring>& meaning, ScriptReading& reading) {
    for (const Value& value : values) {
        std::size_t at = argument.find(value.token);
        if (at == std::wstring::npos) {
            continue;
        }
        const std::optional<std::wstring> expanded = expandPercents(*value.text);
        if (!expanded) {
            reading.reading = Reading::StopsScript;
        }
        if (argument == value.token && value.bare) {
            const std::vector<std::wstring> split = splitArguments(expanded.value_or(L""));
            reading.bareValueEmptied = reading.bareValueEmptied || split.empty();
            meaning.insert(meaning.end(), split.begin(), split.end());
            return;
        }
        for (; at != std::wstring::npos; at = argument.find(value.token, at)) {
            argument.replace(at, value.token.size(), expanded.value_or(L""));
        }
    }
    meaning.push_back(argument);
}

std::vector<std::wstring_view> lines(std::wstring_view script) {
    std::vector<std::wstring_view> lines;
    for (std::size_t start = 0, end = 0; start < script.size(); start = end + 2) {
        end = script.find(L"\r\n", start);
        lines.push_back(script.substr(start, end - start));
    }
    return lines;
}

} // namespace

ScriptReading readScript(const TraceSettings& settings, std::wstring_view script) {
    // The same settings with each value a plain token, kept in its heap target form: the script
    // made of them has the arguments of every line, and the tokens where the values go.
    TraceSettings plain = settings;
    std::vector<Value> values;
    // U+0001 marks a token: no accepted value holds a control character.
    const auto replace = [&values](std::wstring& field, const std::wstring& text, bool bare,
                                   const wchar_t* start = L"\x01") {
        values.push_back({start + std::to_wstring(values.size()) + L"\x01", &text, bare});
        field = values.back().token;
    };
    const bool pidForm = heapTargetForm(settings.heapProcess) == HeapTargetForm::Pid;
    replace(plain.heapProcess, settings.heapProcess, true, pidForm ? L"0\x01" : L"\x01");
    for (auto field : {&TraceSettings::sessionName, &TraceSettings::heapSessionName}) {
        replace(plain.*field, settings.*field, true);
    }
    for (auto field : {&TraceSettings::kernelPath, &TraceSettings::userPath,
                       &TraceSettings::heapPath, &TraceSettings::etlOutPath}) {
        replace(plain.*field, settings.*field, false);
    }
    for (std::size_t i = 0; i < settings.providers.size(); ++i) {
        replace(plain.providers[i], settings.providers[i], false);
    }

    ScriptReading worst;
    const std::wstring plainScript = BuildCaptureScript(plain).value_or(L"");
    const std::vector<std::wstring_view> plainLines = lines(plainScript);
    const std::vector<std::wstring_view> scriptLines = lines(script);
    for (std::size_t n = 0; n < plainLines.size(); ++n) {
        if (plainLines[n].rfind(L"xperf.exe", 0) != 0 && plainLines[n].rfind(L"reg ", 0) != 0) {
            continue;
        }
        ScriptReading reading;
        std::vector<std::wstring> meaning;
        for (const std::wstring& argument : splitArguments(plainLines[n])) {
            appendMeaning(argument, values, meaning, reading);
        }
        const std::optional<std::wstring> expanded = expandPercents(scriptLines[n]);
        const std::optional<std::wstring> command =
            expanded ? singleCommand(*expanded) : std::nullopt;
        if (reading.reading == Reading::StopsScript && !expanded) {
            // cmd stops at the line, as the value itself would make it
        } else if (!command) {
            reading.reading = Reading::SplitsCommand;
        } else if (splitArguments(*command) != meaning) {
            reading.reading = Reading::OtherArguments;
        }
        worst.bareValueEmptied = worst.bareValueEmptied || reading.bareValueEmptied;
        if (reading.reading > worst.reading) {
            worst.reading = reading.reading;
            worst.line = scriptLines[n];
        }
    }
    return worst;
}

} // namespace corvane::testing

#include "tests/core/cmd_reading.h"

#include "script/capture_script.h"

#include <algorithm>
#include <cwchar>

#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>

#include <map>
#include <memory>
#endif

namespace corvane::testing {
namespace {

bool isDigit(wchar_t c) {
    return c >= L'0' && c <= L'9';
}

std::wstring upper(std::wstring text) {
    std::transform(text.begin(), text.end(), text.begin(), [](wchar_t c) {
        return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c;
    });
    return text;
}

const wchar_t* variable(const Prompt& prompt, std::wstring_view name) {
    for (const std::wstring& entry : prompt.variables) {
        if (!name.empty() && entry.rfind(upper(std::wstring(name)) + L'=', 0) == 0) {
            return entry.c_str() + name.size() + 1;
        }
    }
    return nullptr;
}

// "%~<modifiers>0": the attributes first, as dir shows them; then the drive, the folder and the
// name, each as asked for.
std::wstring scriptPathParts(std::wstring_view modifiers, const std::wstring& path) {
    if (path.empty()) {
        return path;
    }
    const std::size_t folder = path.rfind(L'\\') + 1;
    std::wstring parts = modifiers.find(L'a') != std::wstring_view::npos ? L"--a------ " : L"";
    const std::pair<wchar_t, std::wstring> kParts[] = {
        {L'd', path.substr(0, 2)}, {L'p', path.substr(2, folder - 2)}, {L'n', path.substr(folder)}};
    for (const auto& [modifier, part] : kParts) {
        parts += modifiers.find(modifier) != std::wstring_view::npos ? part : L"";
    }
    return parts;
}

} // namespace

Prompt hostilePrompt(bool delayedExpansion, unsigned written, unsigned read) {
    return {{L"Q=\"", L"TEMP=C:\\x\" & calc.exe & rem \"", L"E=!Q! ^& calc"},
            L"C:\\R&D (1)\\-trace.cmd",
            delayedExpansion,
            written,
            read};
}

#ifdef _WIN32
std::optional<std::string> encodeIn(std::wstring_view text, unsigned codePage) {
    BOOL lossy = FALSE;
    const auto convert = [&](char* bytes, int size) {
        return WideCharToMultiByte(codePage, codePage == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS,
                                   text.data(), static_cast<int>(text.size()), bytes, size, nullptr,
                                   codePage == CP_UTF8 ? nullptr : &lossy);
    };
    std::string bytes(static_cast<std::size_t>(convert(nullptr, 0)), '\0');
    convert(bytes.data(), static_cast<int>(bytes.size()));
    return lossy ? std::nullopt : std::optional(bytes);
}

std::wstring decodeIn(std::string_view bytes, unsigned codePage) {
    const auto convert = [&](wchar_t* text, int size) {
        return MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), text,
                                   size);
    };
    std::wstring text(static_cast<std::size_t>(convert(nullptr, 0)), L'\0');
    convert(text.data(), static_cast<int>(text.size()));
    return text;
}
#else
namespace {

// The first byte of a double-byte character in the code pages that have them.
bool isLeadByte(unsigned char byte, unsigned codePage) {
    return codePage == 932 ? (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC)
                           : (codePage == 936 || codePage == 950) && byte >= 0x81 && byte < 0xFF;
}

// Converts between wchar_t and a code page; at a sequence iconv refuses, gives `refused` and goes
// on after the sequence as Windows reads it, or stops when `refused` is empty.
std::optional<std::string> recode(std::string_view in, unsigned codePage, bool toCodePage,
                                  std::string_view refused) {
    // Opening a converter costs far more than a line: each is opened once, and closed at exit.
    static std::map<std::pair<unsigned, bool>, std::unique_ptr<void, int (*)(iconv_t)>> open;
    auto& cd = open.try_emplace({codePage, toCodePage}, nullptr, iconv_close).first->second;
    if (!cd) {
        const std::string name = codePage == 65001 ? "UTF-8" : "CP" + std::to_string(codePage);
        cd.reset(toCodePage ? iconv_open(name.c_str(), "WCHAR_T")
                            : iconv_open("WCHAR_T", name.c_str()));
    }
    iconv(cd.get(), nullptr, nullptr, nullptr, nullptr);
    std::string out(in.size() * 4 + 8, '\0');
    char* from = const_cast<char*>(in.data());
    char* to = out.data();
    std::size_t fromLeft = in.size();
    std::size_t toLeft = out.size();
    while (iconv(cd.get(), &from, &fromLeft, &to, &toLeft) == static_cast<std::size_t>(-1)) {
        if (refused.empty()) {
            return std::nullopt;
        }
        const std::size_t skip =
            fromLeft > 1 && from[1] != 0 && isLeadByte(static_cast<unsigned char>(*from), codePage);
        to = std::copy(refused.begin(), refused.end(), to);
        toLeft -= refused.size();
        from += 1 + skip;
        fromLeft -= 1 + skip;
    }
    out.resize(out.size() - toLeft);
    return out;
}

} // namespace

std::optional<std::string> encodeIn(std::wstring_view text, unsigned codePage) {
    return recode({reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t)},
                  codePage, true, {});
}

std::wstring decodeIn(std::string_view bytes, unsigned codePage) {
    const wchar_t replacement = 0xFFFD;
    const std::string wide =
        recode(bytes, codePage, false,
               {reinterpret_cast<const char*>(&replacement), sizeof replacement})
            .value_or(std::string());
    return {reinterpret_cast<const wchar_t*>(wide.data()), wide.size() / sizeof(wchar_t)};
}
#endif

std::optional<std::wstring> expandPercents(std::wstring_view line, const Prompt& prompt) {
    std::wstring out;
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] != L'%') {
            out += line[i];
        } else if (i + 1 < line.size() && line[i + 1] == L'%') {
            out += line[++i];
        } else if (i + 1 < line.size() && line[i + 1] == L'~') {
            // A path operator: modifier letters, then the argument's digit.
            const std::size_t modifiers = i + 2;
            i = line.find_first_not_of(L"fdpnxsatz", modifiers);
            if (i == std::wstring_view::npos || !isDigit(line[i])) {
                return std::nullopt;
            }
            if (line[i] == L'0') {
                out += scriptPathParts(line.substr(modifiers, i - modifiers), prompt.scriptPath);
            }
        } else if (i + 1 < line.size() && (isDigit(line[i + 1]) || line[i + 1] == L'*')) {
            ++i;
        } else if (const std::size_t close = line.find(L'%', i + 1);
                   close != std::wstring_view::npos) {
            const std::size_t colon = line.substr(0, close).find(L':', i + 1);
            // A variable cut or edited with ':' is taken whole: only its quotes matter here.
            const wchar_t* text =
                variable(prompt, line.substr(i + 1, std::min(colon, close) - i - 1));
            out += text != nullptr ? text : L"";
            i = colon == std::wstring_view::npos || text != nullptr ? close : colon;
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

// Delayed expansion, after the split into commands: where the command holds a '!', "!NAME!" gives
// the variable's text, a lone '!' goes, and a caret escapes the next character, quoted or not.
std::wstring expandDelayed(std::wstring_view command, const Prompt& prompt) {
    if (!prompt.delayedExpansion || command.find(L'!') == std::wstring_view::npos) {
        return std::wstring(command);
    }
    std::wstring out;
    for (std::size_t i = 0; i < command.size(); ++i) {
        if (command[i] == L'^') {
            out += ++i < command.size() ? std::wstring(1, command[i]) : L"";
        } else if (command[i] != L'!') {
            out += command[i];
        } else if (const std::size_t close = command.find(L'!', i + 1);
                   close != std::wstring_view::npos) {
            const wchar_t* text = variable(prompt, command.substr(i + 1, close - i - 1));
            out += text != nullptr ? text : L"";
            i = close;
        }
    }
    return out;
}

// A text as its bytes in the script's code page, read back in the prompt's. A blank follows it,
// as something does in its line: at the very end of the bytes Wine reads a bad sequence otherwise.
std::wstring throughCodePages(const std::wstring& text, const Prompt& prompt) {
    if (prompt.written == 0) {
        return text;
    }
    std::wstring read =
        decodeIn(encodeIn(text + L' ', prompt.written).value_or(std::string()), prompt.read);
    return read.empty() || read.back() != L' ' ? read : read.substr(0, read.size() - 1);
}

// Whether xperf finds each intended provider in its list, two spellings of one name not as two.
bool providersAsMeant(const std::wstring& list, const TraceSettings& settings,
                      const Prompt& prompt) {
    std::vector<std::wstring> names;
    for (std::size_t begin = 0, end = 0; end != std::wstring::npos; begin = end + 1) {
        end = list.find(L'+', begin);
        names.push_back(upper(list.substr(begin, std::min(end, list.find(L':', begin)) - begin)));
        const std::size_t i = names.size() - 1;
        // Each name is read with the closing quote that follows it in the script.
        if (i >= settings.providers.size() ||
            names[i] + L'"' !=
                upper(throughCodePages(
                    expandPercents(settings.providers[i], prompt).value_or(L"") + L'"', prompt))) {
            return false;
        }
        for (std::size_t j = 0; j < i; ++j) {
            if (names[j] == names[i] && settings.providers[j] != settings.providers[i]) {
                return false;
            }
        }
    }
    return names.size() == settings.providers.size();
}

struct Value {
    std::wstring token;
    const std::wstring* text;
    bool bare; // written without quotes, so a blank splits it and nothing of it is no argument
};

// The argument of the plain script with every token replaced by what cmd makes of its value.
// An argument that starts with a value must not start with '-': xperf would take it for an option.
void appendMeaning(std::wstring argument, const std::vector<Value>& values, const Prompt& prompt,
                   std::vector<std::wstring>& meaning, ScriptReading& reading) {
    const bool startsWithValue = argument[0] == L'\x01' || argument.rfind(L"\"\x01", 0) == 0;
    for (const Value& value : values) {
        std::size_t at = argument.find(value.token);
        if (at == std::wstring::npos) {
            continue;
        }
        const std::optional<std::wstring> expanded = expandPercents(*value.text, prompt);
        if (!expanded) {
            reading.reading = Reading::StopsScript;
        }
        if (argument == value.token && value.bare) {
            const std::vector<std::wstring> split = splitArguments(expanded.value_or(L""));
            reading.bareValueEmptied = reading.bareValueEmptied || split.empty();
            for (const std::wstring& part : split) {
                meaning.push_back(throughCodePages(part, prompt));
                reading.optionFromValue = reading.optionFromValue || part[0] == L'-';
            }
            return;
        }
        for (; at != std::wstring::npos; at = argument.find(value.token, at)) {
            argument.replace(at, value.token.size(), expanded.value_or(L""));
        }
    }
    meaning.push_back(throughCodePages(argument, prompt));
    reading.optionFromValue = reading.optionFromValue || (startsWithValue && argument[0] == L'-');
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

ScriptReading readScript(const TraceSettings& settings, std::wstring_view script,
                         const Prompt& prompt) {
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
            appendMeaning(argument, values, prompt, meaning, reading);
        }
        const std::optional<std::wstring> expanded =
            expandPercents(throughCodePages(std::wstring(scriptLines[n]), prompt), prompt);
        const std::optional<std::wstring> command =
            expanded ? singleCommand(*expanded) : std::nullopt;
        if (reading.reading == Reading::StopsScript && !expanded) {
            // cmd stops at the line, as the value itself would make it
        } else if (!command) {
            reading.reading = Reading::SplitsCommand;
        } else if (splitArguments(expandDelayed(*command, prompt)) != meaning ||
                   reading.optionFromValue) {
            reading.reading = Reading::OtherArguments;
        } else if (const auto on = std::find(meaning.begin(), meaning.end(), L"-on");
                   (plainLines[n].find(L"-on \"") != std::wstring_view::npos &&
                    on + 1 < meaning.end() && !providersAsMeant(*(on + 1), settings, prompt)) ||
                   (plainLines[n].find(L"-capturestate") != std::wstring_view::npos &&
                    (meaning.size() < 4 || !providersAsMeant(meaning[3], settings, prompt)))) {
            reading.reading = Reading::OtherProviders;
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

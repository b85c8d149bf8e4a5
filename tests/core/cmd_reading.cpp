#include "tests/core/cmd_reading.h"

#include "script/capture_script.h"

#include <algorithm>
#include <cwchar>

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <iconv.h>
#include <map>
#endif

namespace corvane::testing {
namespace {

bool isDigit(wchar_t c) {
    return c >= L'0' && c <= L'9';
}

wchar_t upper(wchar_t c) {
    return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c;
}

const std::wstring* variable(const Prompt& prompt, std::wstring_view name) {
    for (const auto& [known, text] : prompt.variables) {
        if (known.size() == name.size() &&
            std::equal(known.begin(), known.end(), name.begin(),
                       [](wchar_t a, wchar_t b) { return upper(a) == upper(b); })) {
            return &text;
        }
    }
    return nullptr;
}

// What "%~<modifiers>0" gives for the script's path: attributes, time and size first, as dir
// shows them, then the path or the parts asked for.
std::wstring scriptPathParts(std::wstring_view modifiers, std::wstring_view path) {
    if (path.empty()) {
        return {};
    }
    const auto has = [&](wchar_t m) { return modifiers.find(m) != std::wstring_view::npos; };
    const std::size_t folderEnd = path.rfind(L'\\') + 1;
    const std::size_t dot = path.rfind(L'.');
    const std::size_t nameEnd =
        dot == std::wstring_view::npos || dot < folderEnd ? path.size() : dot;
    std::wstring parts;
    for (const auto& [m, text] : {std::pair{L'a', L"--a------"},
                                  std::pair{L't', L"12/08/2026 01:25"}, std::pair{L'z', L"1042"}}) {
        if (has(m)) {
            parts += text;
            parts += L' ';
        }
    }
    if (has(L'f') || modifiers.find_first_of(L"dpnx") == std::wstring_view::npos) {
        return parts + std::wstring(path);
    }
    parts += has(L'd') ? path.substr(0, 2) : std::wstring_view();
    parts += has(L'p') ? path.substr(2, folderEnd - 2) : std::wstring_view();
    parts += has(L'n') ? path.substr(folderEnd, nameEnd - folderEnd) : std::wstring_view();
    parts += has(L'x') ? path.substr(nameEnd) : std::wstring_view();
    return parts;
}

// The first byte of a double-byte character in the code pages that have them.
bool isLeadByte(unsigned char byte, unsigned codePage) {
    if (codePage == 932) {
        return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
    }
    return (codePage == 936 || codePage == 949 || codePage == 950) && byte >= 0x81 && byte <= 0xFE;
}

} // namespace

Prompt hostilePrompt(bool delayedExpansion) {
    return Prompt{{{L"Q", L"\""},
                   {L"TEMP", L"C:\\x\" & calc.exe & rem \""},
                   {L"CMDCMDLINE", L"\"C:\\Windows\\system32\\cmd.exe\" "},
                   {L"E", L"!Q! ^& calc"}},
                  L"C:\\R&D (1)\\-trace.cmd",
                  delayedExpansion};
}

#ifdef _WIN32

std::optional<std::string> encodeIn(std::wstring_view text, unsigned codePage) {
    if (codePage == 0 || text.empty()) {
        return codePage == 0 ? std::nullopt : std::optional<std::string>(std::string());
    }
    const bool utf8 = codePage == CP_UTF8;
    BOOL usedDefault = FALSE;
    const DWORD flags = utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
    const int length = static_cast<int>(text.size());
    const int size = WideCharToMultiByte(codePage, flags, text.data(), length, nullptr, 0, nullptr,
                                         utf8 ? nullptr : &usedDefault);
    std::string bytes(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
    if (size <= 0 ||
        WideCharToMultiByte(codePage, flags, text.data(), length, bytes.data(), size, nullptr,
                            utf8 ? nullptr : &usedDefault) != size ||
        usedDefault) {
        return std::nullopt;
    }
    return bytes;
}

std::wstring decodeIn(std::string_view bytes, unsigned codePage) {
    if (bytes.empty()) {
        return {};
    }
    const int length = static_cast<int>(bytes.size());
    const int size = MultiByteToWideChar(codePage, 0, bytes.data(), length, nullptr, 0);
    std::wstring text(static_cast<std::size_t>(size > 0 ? size : 0), L'\0');
    MultiByteToWideChar(codePage, 0, bytes.data(), length, text.data(), size);
    return text;
}

#else

namespace {

// One converter per direction and code page, opened once: opening one costs far more than a line.
struct Converters {
    std::map<std::pair<unsigned, bool>, iconv_t> open;
    ~Converters() {
        for (const auto& entry : open) {
            if (entry.second != reinterpret_cast<iconv_t>(-1)) {
                iconv_close(entry.second);
            }
        }
    }
};

iconv_t converter(unsigned codePage, bool toCodePage) {
    static Converters converters;
    std::map<std::pair<unsigned, bool>, iconv_t>& open = converters.open;
    const auto found = open.find({codePage, toCodePage});
    if (found != open.end()) {
        if (found->second != reinterpret_cast<iconv_t>(-1)) {
            iconv(found->second, nullptr, nullptr, nullptr, nullptr);
        }
        return found->second;
    }
    const std::string name = codePage == 65001 ? "UTF-8" : "CP" + std::to_string(codePage);
    const iconv_t cd =
        toCodePage ? iconv_open(name.c_str(), "WCHAR_T") : iconv_open("WCHAR_T", name.c_str());
    open[{codePage, toCodePage}] = cd;
    return cd;
}

// Converts as far as it can; `in` then points at the first byte it could not take.
void convert(iconv_t cd, const char*& in, std::size_t& inLeft, std::string& out) {
    char buffer[256];
    while (inLeft != 0) {
        char* to = buffer;
        std::size_t toLeft = sizeof buffer;
        const std::size_t result = iconv(cd, const_cast<char**>(&in), &inLeft, &to, &toLeft);
        out.append(buffer, static_cast<std::size_t>(to - buffer));
        if (result == static_cast<std::size_t>(-1) && errno != E2BIG) {
            return;
        }
    }
}

} // namespace

std::optional<std::string> encodeIn(std::wstring_view text, unsigned codePage) {
    if (codePage == 0) {
        return std::nullopt;
    }
    const iconv_t cd = converter(codePage, true);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        return std::nullopt;
    }
    const char* in = reinterpret_cast<const char*>(text.data());
    std::size_t inLeft = text.size() * sizeof(wchar_t);
    std::string bytes;
    convert(cd, in, inLeft, bytes);
    if (inLeft != 0) {
        return std::nullopt;
    }
    return bytes;
}

std::wstring decodeIn(std::string_view bytes, unsigned codePage) {
    const iconv_t cd = converter(codePage, false);
    const char* in = bytes.data();
    std::size_t inLeft = bytes.size();
    std::string wide;
    while (cd != reinterpret_cast<iconv_t>(-1) && inLeft != 0) {
        convert(cd, in, inLeft, wide);
        if (inLeft == 0) {
            break;
        }
        // What Windows makes of a sequence iconv refuses: one replacement character, which in a
        // double-byte code page takes the byte after a first byte along.
        const auto first = static_cast<unsigned char>(*in);
        const std::size_t skip = inLeft > 1 && in[1] != '\0' && isLeadByte(first, codePage) ? 2 : 1;
        const wchar_t replacement = 0xFFFD;
        wide.append(reinterpret_cast<const char*>(&replacement), sizeof replacement);
        in += skip;
        inLeft -= skip;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    return std::wstring(reinterpret_cast<const wchar_t*>(wide.data()),
                        wide.size() / sizeof(wchar_t));
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
            const std::size_t start = i + 2;
            i = line.find_first_not_of(L"fdpnxsatz", start);
            if (i == std::wstring_view::npos || !isDigit(line[i])) {
                return std::nullopt;
            }
            if (line[i] == L'0') {
                out += scriptPathParts(line.substr(start, i - start), prompt.scriptPath);
            }
        } else if (i + 1 < line.size() && (isDigit(line[i + 1]) || line[i + 1] == L'*')) {
            ++i;
        } else if (const std::size_t close = line.find(L'%', i + 1);
                   close != std::wstring_view::npos) {
            const std::size_t colon = line.substr(0, close).find(L':', i + 1);
            const std::size_t nameEnd = colon == std::wstring_view::npos ? close : colon;
            // A variable cut or edited with ':' is taken whole: only its quotes matter here.
            if (const std::wstring* text = variable(prompt, line.substr(i + 1, nameEnd - i - 1))) {
                out += *text;
                i = close;
            } else {
                i = nameEnd;
            }
        }
    }
    return out;
}

std::wstring expandDelayed(std::wstring_view command, const Prompt& prompt) {
    if (!prompt.delayedExpansion || command.find(L'!') == std::wstring_view::npos) {
        return std::wstring(command);
    }
    std::wstring out;
    for (std::size_t i = 0; i < command.size(); ++i) {
        if (command[i] == L'^') {
            if (++i < command.size()) {
                out += command[i];
            }
        } else if (command[i] != L'!') {
            out += command[i];
        } else if (const std::size_t close = command.find(L'!', i + 1);
                   close != std::wstring_view::npos) {
            if (const std::wstring* text = variable(prompt, command.substr(i + 1, close - i - 1))) {
                out += *text;
            }
            i = close;
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

// A text as its bytes in the written code page, read back in the prompt's.
std::wstring throughCodePages(const std::wstring& text, CodePages pages) {
    if (pages.written == 0) {
        return text;
    }
    return decodeIn(encodeIn(text, pages.written).value_or(std::string()), pages.read);
}

// The argument of the plain script with every token replaced by what cmd makes of its value.
void appendMeaning(std::wstring argument, const std::vector<Value>& values, const Prompt& prompt,
                   CodePages pages, std::vector<std::wstring>& meaning, ScriptReading& reading) {
    // xperf takes an argument that starts with '-' for an option, whatever a value meant by it.
    const auto push = [&](const std::wstring& text, bool value) {
        meaning.push_back(throughCodePages(text, pages));
        reading.optionFromValue = reading.optionFromValue || (value && text.rfind(L'-', 0) == 0);
    };
    bool holdsValue = false;
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
                push(part, true);
            }
            return;
        }
        holdsValue = holdsValue || argument.rfind(value.token, 0) == 0;
        for (; at != std::wstring::npos; at = argument.find(value.token, at)) {
            argument.replace(at, value.token.size(), expanded.value_or(L""));
        }
    }
    push(argument, holdsValue);
}

// Whether xperf finds the intended providers, each once, in the list it is given.
bool providersAsMeant(const std::vector<std::wstring>& arguments, const TraceSettings& settings,
                      const Prompt& prompt, CodePages pages) {
    const auto on = std::find(arguments.begin(), arguments.end(), L"-on");
    const bool start = arguments.size() > 1 && arguments[1] == L"-start";
    if (start ? on == arguments.end() || on + 1 == arguments.end() : arguments.size() < 4) {
        return false;
    }
    const std::wstring& list = start ? *(on + 1) : arguments[3];
    std::vector<std::wstring> names;
    for (std::size_t begin = 0, end = 0; end != std::wstring::npos; begin = end + 1) {
        end = list.find(L'+', begin);
        const std::wstring entry = list.substr(begin, end - begin);
        std::wstring name = entry.substr(0, entry.find(L':'));
        for (wchar_t& c : name) {
            c = upper(c);
        }
        names.push_back(std::move(name));
    }
    if (names.size() != settings.providers.size()) {
        return false;
    }
    // The same name twice is one provider named twice; two spellings of it are two entries that
    // xperf takes for one.
    for (std::size_t i = 0; i < names.size(); ++i) {
        std::wstring meant =
            throughCodePages(expandPercents(settings.providers[i], prompt).value_or(L""), pages);
        for (wchar_t& c : meant) {
            c = upper(c);
        }
        if (names[i] != meant) {
            return false;
        }
        for (std::size_t j = 0; j < i; ++j) {
            if (names[j] == names[i] && settings.providers[j] != settings.providers[i]) {
                return false;
            }
        }
    }
    return true;
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
                         const Prompt& prompt, CodePages pages) {
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
            appendMeaning(argument, values, prompt, pages, meaning, reading);
        }
        const std::optional<std::wstring> expanded =
            expandPercents(throughCodePages(std::wstring(scriptLines[n]), pages), prompt);
        const std::optional<std::wstring> command =
            expanded ? singleCommand(*expanded) : std::nullopt;
        if (reading.reading == Reading::StopsScript && !expanded) {
            // cmd stops at the line, as the value itself would make it
        } else if (!command) {
            reading.reading = Reading::SplitsCommand;
        } else if (splitArguments(expandDelayed(*command, prompt)) != meaning ||
                   reading.optionFromValue) {
            reading.reading = Reading::OtherArguments;
        } else if ((plainLines[n].rfind(L"xperf.exe -start", 0) == 0 &&
                    plainLines[n].find(L" -on ") != std::wstring_view::npos) ||
                   plainLines[n].rfind(L"xperf.exe -capturestate", 0) == 0) {
            if (!providersAsMeant(meaning, settings, prompt, pages)) {
                reading.reading = Reading::OtherProviders;
            }
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

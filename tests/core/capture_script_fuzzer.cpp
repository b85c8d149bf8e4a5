// libFuzzer target for script assembly: arbitrary settings (any texts, check states, numbers and
// selections) must give a script of the documented shape, or the nothing-selected outcome exactly
// when nothing would be traced. The script is walked from its first character to its last against
// the frame, so every selected name is found in its place and in list order. A script that the
// checks accept must reach xperf and reg as meant when cmd reads it; one they refuse, for a reason.
// Such a script reads back into a profile that makes it again; changed in one place, it is refused
// or read as the changed script. The counts are printed at the end of the run.
#include "encoding/utf8.h"
#include "profile/profile.h"
#include "script/capture_script.h"
#include "script/capture_script_reader.h"
#include "script/script_checks.h"
#include "settings/catalogues.h"
#include "tests/core/cmd_reading.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <optional>
#include <string>
#include <string_view>
#include <map>
#include <vector>

namespace {

using corvane::TraceSettings;

// Characters that mean something to the script, to cmd.exe, to the "%u" scan or to a converter
// (ソ, ポ, 乗 and ヤ end in '\\' or '|' in a double-byte code page), drawn more often than the
// rest of the 16-bit range.
constexpr wchar_t kInteresting[] = {
    L' ',   L'\t',  L'\r',  L'\n',  L'\v',  L'\f',  L'"',   L'%',   L'^',   L'+',
    L'-',   L'0',   L'4',   L'9',   L':',   L'\'',  L'\\',  L'.',   L'e',   L'x',
    L'&',   L'|',   L'\0',  0x00A0, 0x00E9, 0x3000, 0xFF02, 0xD83D, 0xDE00, 0xFFFD,
    0x0085, 0x2028, 0x001C, L'E',   L'/',   L'!',   L'<',   L'>',   L'~',   L'*',
    L'\\',  L'%',   L'"',   L'&',   L' ',   0x30BD, 0x30DD, 0x4E57, 0x30E4,
};

constexpr std::size_t kInterestingCount = sizeof kInteresting / sizeof kInteresting[0];

// Mostly one input byte per character, so that short inputs already make rich settings.
std::wstring consumeText(FuzzedDataProvider& input, std::size_t maxLength) {
    const std::size_t length = input.ConsumeIntegralInRange<std::size_t>(0, maxLength);
    std::wstring text;
    while (text.size() < length && input.remaining_bytes() != 0) {
        const auto choice = input.ConsumeIntegral<std::uint8_t>();
        if (choice < kInterestingCount) {
            text.push_back(kInteresting[choice]);
        } else if (choice < 0xC0) {
            text.push_back(static_cast<wchar_t>(choice - kInterestingCount + 0x21));
        } else {
            text.push_back(static_cast<wchar_t>(input.ConsumeIntegral<std::uint16_t>()));
        }
    }
    return text;
}

std::vector<std::wstring> consumeNames(FuzzedDataProvider& input, std::size_t maxCount) {
    std::vector<std::wstring> names(input.ConsumeIntegralInRange<std::size_t>(0, maxCount));
    for (std::wstring& name : names) {
        name = consumeText(input, 12);
    }
    return names;
}

// Mostly the states a check box has, sometimes any value a caller could pass.
std::int32_t consumeCheckState(FuzzedDataProvider& input) {
    return input.ConsumeBool() ? input.ConsumeIntegralInRange<std::int32_t>(0, 2)
                               : input.ConsumeIntegral<std::int32_t>();
}

// What decides the script's shape is read first, the values copied into it after.
TraceSettings consumeSettings(FuzzedDataProvider& input) {
    TraceSettings s;
    s.heapEnabled = consumeCheckState(input);
    s.heapProcess = consumeText(input, 8);
    s.logStack = consumeCheckState(input);
    s.kernelFlags = consumeNames(input, 5);
    s.stackwalkEvents = consumeNames(input, 5);
    s.providers = consumeNames(input, 5);
    s.maxFileSizeMb = input.ConsumeIntegral<std::uint32_t>();
    s.bufferSizeKb = input.ConsumeIntegral<std::uint32_t>();
    s.maxBuffers = input.ConsumeIntegral<std::uint32_t>();
    s.minBuffers = input.ConsumeIntegral<std::uint32_t>();
    for (std::wstring* text : {&s.sessionName, &s.heapSessionName, &s.etlOutPath, &s.fileMode,
                               &s.kernelPath, &s.userPath, &s.heapPath}) {
        *text = consumeText(input, 12);
    }
    return s;
}

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "capture script property broken: %s\n", what);
    std::abort();
}

void require(bool holds, const char* what) {
    if (!holds) {
        fail(what);
    }
}

// The C library's own "%u" scan is the definition of the PID form. It stops at a NUL, which is
// what the scan of the typed text would see as its end.
bool scansAsPid(const std::wstring& heapProcess) {
    unsigned int pid = 0;
    return std::swscanf(heapProcess.c_str(), L"%u", &pid) == 1;
}

// Walks the script from its start; every step must find exactly the expected text at the cursor.
class ScriptWalk {
public:
    explicit ScriptWalk(std::wstring_view script) : script_(script) {}

    void text(std::wstring_view expected, const char* what) {
        require(script_.substr(at_, expected.size()) == expected, what);
        at_ += expected.size();
    }
    void quoted(std::wstring_view value, const char* what) {
        text(L"\"", what);
        text(value, what);
        text(L"\"", what);
    }
    void number(std::uint32_t value, const char* what) { text(std::to_wstring(value), what); }
    // A line end of the frame, as opposed to a line break inside a copied value.
    void lineEnd(const char* what) {
        text(L"\r\n", what);
        ++frameLines_;
    }
    [[nodiscard]] bool startsWith(std::wstring_view text) const {
        return script_.substr(at_, text.size()) == text;
    }
    [[nodiscard]] bool holds(std::wstring_view text) const {
        return script_.find(text) != std::wstring_view::npos;
    }
    void line(std::wstring_view expected, const char* what) {
        text(expected, what);
        lineEnd(what);
    }
    // A comment line of the implementer's choice: "rem " and no line break before its end.
    void remarkLine() {
        text(L"rem ", "a further comment line starts with rem");
        const std::size_t end = script_.find(L"\r\n", at_);
        require(end != std::wstring_view::npos, "comment line ends");
        require(script_.substr(at_, end - at_).find_first_of(L"\r\n") == std::wstring_view::npos,
                "comment line is one line");
        at_ = end;
        lineEnd("comment line ends");
    }
    // "+" goes before a name once the text gathered for the list is not empty, so empty names
    // leave no doubled or leading separator.
    void joined(const std::vector<std::wstring>& names, const char* what) {
        bool gathered = false;
        for (const std::wstring& name : names) {
            if (gathered) {
                text(L"+", what);
            }
            text(name, what);
            gathered = gathered || !name.empty();
        }
    }

    [[nodiscard]] bool atEnd() const { return at_ == script_.size(); }
    [[nodiscard]] int frameLines() const { return frameLines_; }

private:
    std::wstring_view script_;
    std::size_t at_ = 0;
    int frameLines_ = 0;
};

void walkLogFileOptions(ScriptWalk& walk, const TraceSettings& s, std::wstring_view path) {
    walk.text(L" -f ", "log options");
    walk.quoted(path, "log path quoted");
    walk.text(L" -BufferSize ", "log options order");
    walk.number(s.bufferSizeKb, "buffer size");
    walk.text(L" -MinBuffers ", "log options order");
    walk.number(s.minBuffers, "min buffers");
    walk.text(L" -MaxBuffers ", "log options order");
    walk.number(s.maxBuffers, "max buffers");
    walk.text(L" -MaxFile ", "log options order");
    walk.number(s.maxFileSizeMb, "max file size");
    walk.text(L" -FileMode ", "log options order");
    walk.text(s.fileMode, "file mode");
}

constexpr std::wstring_view kImageOptionsKey =
    L"\"HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options\\";

// ".exe" is added to an image name unless it ends in it already, in any case.
std::wstring imageFileName(const std::wstring& name) {
    std::wstring end = name.substr(name.size() < 4 ? 0 : name.size() - 4);
    for (wchar_t& c : end) {
        c = c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c;
    }
    return end == L".exe" ? name : name + L".exe";
}

void walkScript(ScriptWalk& walk, const TraceSettings& s, bool nameForm) {
    const bool kernel = !s.kernelFlags.empty();
    const bool user = !s.providers.empty();
    const bool heap = s.heapEnabled != 0;

    walk.line(L"@echo off", "first line");
    walk.line(L"rem Generated by the Corvane", "second line");
    walk.remarkLine();
    walk.remarkLine();
    // Turned off only by a script that takes in its own path, which none does without "%~".
    const bool guarded = walk.startsWith(L"setlocal");
    require(!guarded || walk.holds(L"%~"), "delayed expansion turned off without a script path");
    walk.line(guarded ? L"setlocal DisableDelayedExpansion" : L"",
              "line 5: empty, or delayed expansion turned off");
    walk.line(L"echo Press a key when ready to start...", "line 6");
    walk.line(L"pause", "line 7");
    walk.line(L"echo .", "line 8");
    walk.line(L"echo ...Capturing...", "line 9");
    walk.line(L"echo .", "line 10");

    if (nameForm) {
        walk.text(L"reg add ", "registry value set in name form");
        walk.text(kImageOptionsKey, "registry key");
        walk.text(imageFileName(s.heapProcess), "image name in the set line");
        walk.text(L"\" /v TracingFlags /t REG_DWORD /d 1 /f", "set line tail");
    } else {
        walk.text(L" ", "empty slot 1 unless name form");
    }
    walk.lineEnd("slot 1 ends");
    walk.line(L"", "empty line 12");

    if (kernel) {
        walk.text(L"xperf.exe -on ", "kernel start");
        walk.joined(s.kernelFlags, "kernel flags in list order");
        if (!s.stackwalkEvents.empty()) {
            walk.text(L" -stackwalk ", "stack walks follow the flags");
            walk.joined(s.stackwalkEvents, "stack-walk events in list order");
        }
        walkLogFileOptions(walk, s, s.kernelPath);
    } else {
        walk.text(L" ", "empty slot 2 without kernel flags, stack walks or not");
    }
    walk.lineEnd("slot 2 ends");
    walk.line(L"", "empty line 14");

    if (user) {
        walk.text(L"xperf.exe -start ", "user start");
        walk.text(s.sessionName, "session name bare");
        walk.text(L" -on ", "user start");
        for (std::size_t i = 0; i < s.providers.size(); ++i) {
            if (i != 0) {
                walk.text(L"+", "providers joined by +");
            }
            walk.quoted(s.providers[i], "providers in list order, quoted");
            if (s.logStack != 0) {
                walk.text(L":::'stack'", "stack suffix on every provider");
            }
        }
        walkLogFileOptions(walk, s, s.userPath);
    } else {
        walk.text(L" ", "empty slot 3 without providers");
    }
    walk.lineEnd("slot 3 ends");
    walk.line(L"", "empty line 16");

    if (heap) {
        walk.text(L"xperf.exe -start ", "heap start");
        walk.text(s.heapSessionName, "heap session name bare");
        walk.text(L" -heap -pids ", "heap options");
        walk.text(nameForm ? std::wstring_view(L"0") : std::wstring_view(s.heapProcess),
                  "pid form carries the text as typed, name form 0");
        walk.text(L" -stackwalk HeapCreate+HeapAlloc+HeapRealloc+HeapFree+HeapDestroy",
                  "heap stack walks");
        walkLogFileOptions(walk, s, s.heapPath);
    } else {
        walk.text(L" ", "empty slot 4 without heap");
    }
    walk.lineEnd("slot 4 ends");
    walk.line(L"", "empty line 18");
    walk.line(L"echo Press a key when you want to stop...", "line 19");
    walk.line(L"pause", "line 20");
    walk.line(L"echo .", "line 21");
    walk.line(L"echo ...Stopping...", "line 22");
    walk.line(L"echo .", "line 23");
    walk.line(L"", "empty line 24");

    walk.text(L"xperf.exe", "stop command");
    if (user) {
        walk.text(L" -stop ", "user session stopped first");
        walk.text(s.sessionName, "user session stopped first");
    }
    if (heap) {
        walk.text(L" -stop ", "heap session stopped second");
        walk.text(s.heapSessionName, "heap session stopped second");
    }
    if (kernel) {
        walk.text(L" -stop", "kernel logger stopped last");
    }
    walk.text(L" -d ", "merge option");
    walk.quoted(s.etlOutPath, "output path quoted");
    walk.lineEnd("stop command ends");
    walk.line(L"", "empty line after the stop command");
    walk.text(L"xperf.exe ", "viewer command");
    walk.quoted(s.etlOutPath, "viewer opens the output");
    walk.lineEnd("viewer command ends");
    if (nameForm) {
        walk.text(L"reg delete ", "registry value removed in name form");
        walk.text(kImageOptionsKey, "registry key");
        walk.text(imageFileName(s.heapProcess), "image name in the clear line");
        walk.text(L"\" /v TracingFlags /f", "clear line tail");
        walk.lineEnd("clear line ends");
    }
}

bool hasLineBreakCharacter(const TraceSettings& s) {
    const auto breaks = [](const std::wstring& text) {
        return text.find_first_of(L"\r\n") != std::wstring::npos;
    };
    for (const std::wstring* text :
         {&s.kernelPath, &s.userPath, &s.etlOutPath, &s.sessionName, &s.heapProcess,
          &s.heapSessionName, &s.heapPath, &s.fileMode}) {
        if (breaks(*text)) {
            return true;
        }
    }
    for (const std::vector<std::wstring>* names :
         {&s.kernelFlags, &s.stackwalkEvents, &s.providers}) {
        for (const std::wstring& name : *names) {
            if (breaks(name)) {
                return true;
            }
        }
    }
    return false;
}

std::size_t countCrLf(std::wstring_view text) {
    std::size_t count = 0;
    for (std::size_t at = text.find(L"\r\n"); at != std::wstring_view::npos;
         at = text.find(L"\r\n", at + 2)) {
        ++count;
    }
    return count;
}

template <std::size_t N>
std::vector<std::wstring> inListOrder(const std::array<const wchar_t*, N>& catalogue,
                                      const std::vector<std::wstring>& names) {
    std::vector<std::wstring> ordered;
    for (const wchar_t* name : catalogue) {
        if (std::find(names.begin(), names.end(), name) != names.end()) {
            ordered.emplace_back(name);
        }
    }
    return ordered;
}

template <std::size_t N>
void takeFrom(const std::array<const wchar_t*, N>& catalogue, std::vector<std::wstring>& names) {
    for (std::wstring& name : names) {
        name = catalogue[name.size() % N];
    }
}

std::map<std::string, long> roundTrips;

void printRoundTrips() {
    std::printf("settings -> script -> profile -> script, and one change in the script:\n");
    for (const auto& [what, count] : roundTrips) {
        std::printf("  %-40s %8ld\n", what.c_str(), count);
    }
}

// The profile of a script read back, made into a script again; nothing when either is refused.
std::optional<std::wstring> remade(const std::wstring& script) {
    const TraceSettings defaults = corvane::profileDefaults(
        {[] { return std::optional<std::wstring>(); }, [] { return corvane::LocalTime{}; }});
    TraceSettings read;
    corvane::ScriptFormError error;
    if (!corvane::readCaptureScript(script, defaults, corvane::wordSortLess, read, error)) {
        require(error.line != 0 && !error.expected.empty(), "a refusal names its line");
        return std::nullopt;
    }
    corvane::ProfileReader reader(defaults);
    std::wstring message;
    if (!reader.readProfile(corvane::toUtf8(corvane::profileOfScript(read, defaults, L"f.cmd")),
                            message)) {
        return std::nullopt;
    }
    const TraceSettings again = reader.settings(corvane::wordSortLess);
    const std::optional<std::wstring> text = corvane::BuildCaptureScript(again);
    return text && !corvane::scriptRefusal(again, *text) ? text : std::nullopt;
}

// A script on disk is bytes in a code page, and no code page decodes to a lone surrogate: neither
// program saves such text, and the reader is never given any.
bool couldBeReadFromAFile(const std::wstring& text) {
    std::wstring decoded;
    return corvane::fromUtf8(corvane::toUtf8(text), decoded) && decoded == text;
}

// What the dialog gives: lists in their order, each name once, numbers in its limits; and what a
// profile chooses beyond it, from bits of the numbers.
void requireReadBack(TraceSettings s, std::wstring_view change) {
    s.kernelFlags = inListOrder(corvane::KernelFlagCatalogue, s.kernelFlags);
    s.stackwalkEvents = inListOrder(corvane::StackwalkCatalogue, s.stackwalkEvents);
    s.providers.erase(std::remove(s.providers.begin(), s.providers.end(), L""), s.providers.end());
    std::sort(s.providers.begin(), s.providers.end(), corvane::wordSortLess);
    s.providers.erase(std::unique(s.providers.begin(), s.providers.end()), s.providers.end());
    s.bufferSizeKb = 4 + s.bufferSizeKb % 1021;
    s.captureState = static_cast<std::int32_t>(s.minBuffers & 1U);
    for (std::size_t i = 0; i < s.providers.size(); ++i) {
        const std::uint32_t bits = s.maxBuffers >> (3 * i);
        corvane::ProviderOptions options;
        if ((bits & 1U) != 0) {
            options.keywords = std::uint64_t{s.maxFileSizeMb} << (bits % 33);
        }
        if ((bits & 2U) != 0) {
            options.level = static_cast<std::uint8_t>(s.minBuffers);
        }
        if ((bits & 4U) != 0) {
            options.stack = (bits & 8U) != 0;
        }
        s.providerOptions[s.providers[i]] = options;
    }
    s.logStack = s.logStack != 0 ? 1 : 0;
    s.heapEnabled = s.heapEnabled != 0 ? 1 : 0;
    const std::optional<std::wstring> script = corvane::BuildCaptureScript(s);
    if (!script || corvane::scriptRefusal(s, *script) || !couldBeReadFromAFile(*script)) {
        return;
    }
    require(remade(*script) == script, "a saved script's profile makes it again");
    ++roundTrips["same script again"];
    if (change.size() < 2) {
        return;
    }
    // One character of the change replaces, or with an odd first one, is added at, a place the
    // other chooses.
    std::wstring changed = *script;
    const std::size_t at = static_cast<std::size_t>(change[0]) % changed.size();
    if ((change[0] & 1) != 0) {
        changed.insert(at, 1, change[1]);
    } else {
        changed[at] = change[1];
    }
    // A change that splits a surrogate pair or adds half of one makes text that no file gives.
    if (changed == *script || !couldBeReadFromAFile(changed)) {
        return;
    }
    const std::optional<std::wstring> again = remade(changed);
    require(!again || *again == changed, "a changed script is refused or read as changed");
    ++roundTrips[again ? "changed, read as changed" : "changed, refused"];
}

// The code pages a script may be written in (0: none given, so ASCII only) and read in.
constexpr unsigned kWritten[] = {0, 437, 65001, 932, 936, 950};
constexpr unsigned kRead[] = {437, 65001, 932, 936, 950};

// Both programs take flags, stack walks and the file mode from the catalogues and refuse an empty
// text before any script, so only such settings are read the way cmd reads them: in a prompt
// that reads the bytes in `read`, with a hostile environment and perhaps delayed expansion.
void requireReadAsMeant(TraceSettings s, unsigned written, unsigned read, bool delayed,
                        std::wstring_view change) {
    takeFrom(corvane::KernelFlagCatalogue, s.kernelFlags);
    takeFrom(corvane::StackwalkCatalogue, s.stackwalkEvents);
    s.fileMode = corvane::FileModeCatalogue[s.fileMode.size() % corvane::FileModeCatalogue.size()];
    for (const std::wstring* text : {&s.kernelPath, &s.userPath, &s.etlOutPath, &s.sessionName,
                                     &s.heapProcess, &s.heapSessionName, &s.heapPath}) {
        if (text->empty()) {
            return;
        }
    }
    const std::optional<std::wstring> script = corvane::BuildCaptureScript(s);
    if (!script) {
        return;
    }
    const auto encoder = written == 0 ? corvane::ScriptEncoder() : [written](std::wstring_view t) {
        return corvane::testing::encodeIn(t, written);
    };
    if (corvane::scriptRefusal(s, *script, encoder)) {
        require(corvane::findControlCharacter(s) || corvane::findUnsafeValue(s, encoder) ||
                    corvane::findOverlongLine(*script, s, encoder),
                "a refusal has its reason");
    } else if (written == 0 ? corvane::testing::encodeIn(*script, 437) ==
                                  corvane::testing::encodeIn(*script, 65001)
                            : encoder(*script).has_value()) {
        const auto prompt = corvane::testing::hostilePrompt(delayed, written, read);
        require(corvane::testing::readScript(s, *script, prompt).reading <=
                    corvane::testing::Reading::StopsScript,
                "an accepted script that its code page holds reaches xperf and reg as meant");
    }
    requireReadBack(s, change);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const TraceSettings settings = consumeSettings(input);

    const std::optional<std::wstring> script = corvane::BuildCaptureScript(settings);
    const bool nothingSelected =
        settings.kernelFlags.empty() && settings.providers.empty() && settings.heapEnabled == 0;
    require(script.has_value() != nothingSelected,
            "nothing-selected exactly without kernel flags, providers and heap");
    if (!script) {
        return 0;
    }
    require(corvane::BuildCaptureScript(settings) == script, "same settings, same text");

    const bool pidForm = scansAsPid(settings.heapProcess);
    require((corvane::heapTargetForm(settings.heapProcess) == corvane::HeapTargetForm::Pid) ==
                pidForm,
            "heap target form follows the %u scan");
    const bool nameForm = settings.heapEnabled != 0 && !pidForm;

    ScriptWalk walk(*script);
    walkScript(walk, settings, nameForm);
    require(walk.atEnd(), "nothing after the last line");
    const int frameLines = nameForm ? 28 : 27;
    require(walk.frameLines() == frameLines, "27 lines, 28 in name form");
    // Without line breaks in the values, the frame's line ends are the only ones in the text.
    if (!hasLineBreakCharacter(settings)) {
        require(countCrLf(*script) == static_cast<std::size_t>(frameLines),
                "27 or 28 CR LF pairs when no value breaks a line");
        const auto breakCharacters = std::count_if(
            script->begin(), script->end(), [](wchar_t c) { return c == L'\r' || c == L'\n'; });
        require(static_cast<std::size_t>(breakCharacters) == 2 * countCrLf(*script),
                "no lone CR or LF");
    }
    const unsigned written = kWritten[input.ConsumeIntegralInRange<std::size_t>(0, 5)];
    const unsigned read = kRead[input.ConsumeIntegralInRange<std::size_t>(0, 4)];
    const bool delayed = input.ConsumeBool();
    requireReadAsMeant(settings, written, read, delayed, consumeText(input, 2));
    return 0;
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    static_cast<void>(std::atexit(printRoundTrips));
    return 0;
}

// Stands in for xperf.exe or reg.exe when a capture script runs: appends how it was called to the
// log file named by CORVANE_STANDIN_LOG, one JSON object a line. Every UTF-16 unit outside
// printable ASCII is written as \uXXXX, so the log is ASCII and keeps even lone surrogates exactly
// as the program received them. As xperf it reads its arguments by xperf's grammar and fails,
// with an "error" in its record, on anything else; as wpr likewise. As wpr it also keeps wpr's one
// recording as a file beside the log and fails as wpr does, with an HRESULT: -start while one
// runs, -stop and -cancel while none does, and -start or -stop with the code in
// CORVANE_WPR_START_FAILS or CORVANE_WPR_STOP_FAILS where that is set. As fltmc, the elevation
// probe, it takes no arguments and is refused access where CORVANE_STANDIN_NOT_ELEVATED is set.
#include "tests/support/console_tool.h"

#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <regex>
#include <string>

namespace {

using corvane::testing::CommandLineArguments;
using corvane::testing::OwnedHandle;

constexpr wchar_t kLogVariable[] = L"CORVANE_STANDIN_LOG";

void appendJsonString(std::string& out, const wchar_t* text) {
    out.push_back('"');
    for (; *text != L'\0'; ++text) {
        const auto unit = static_cast<unsigned>(*text);
        if (unit == '"' || unit == '\\') {
            out.push_back('\\');
            out.push_back(static_cast<char>(unit));
        } else if (unit >= 0x20 && unit < 0x7F) {
            out.push_back(static_cast<char>(unit));
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", unit);
            out += escaped;
        }
    }
    out.push_back('"');
}

std::wstring environmentValue(const wchar_t* name) {
    wchar_t value[MAX_PATH * 4];
    const DWORD length = GetEnvironmentVariableW(name, value, MAX_PATH * 4);
    return length > 0 && length < MAX_PATH * 4 ? std::wstring(value, length) : std::wstring();
}

std::wstring modulePath() {
    wchar_t path[MAX_PATH * 4];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH * 4);
    return std::wstring(path, length);
}

// One entry of -on: a name, bare or followed by xperf's :KEYWORDS[:LEVEL[:'stack']], the keywords
// 0x and hex digits, the level 0 to 255, each left empty only before a later field. A colon in
// the name ("IIS: WWW Server") is followed by neither a digit nor a colon, so it starts no field.
std::wstring onEntry() {
    const std::wstring keywords = L"0x[0-9a-fA-F]{1,16}";
    const std::wstring level = L"(25[0-5]|2[0-4][0-9]|1[0-9][0-9]|[1-9]?[0-9])";
    return LR"([^+\x01':]+(:[^+\x01':0-9][^+\x01':]*)*)" +
           (L"(:(" + keywords + L")?:" + level + L"?:'stack'|:(" + keywords + L")?:" + level +
            L"|:" + keywords + L")?");
}

// The calls of xperf that a capture script makes, over the arguments each led by U+0001 (which no
// value holds): the viewer, the kernel logger, a user or heap session, the capture of the user
// session's state, and the stop with merge.
bool isXperfCall(const std::wstring& arguments) {
    const std::wstring value = LR"(\x01[^-\x01][^\x01]*)";
    const std::wstring number = LR"(\x01[0-9]+)";
    const std::wstring list = L"\\x01" + onEntry() + L"(\\+" + onEntry() + L")*";
    // The log options in any order, -f and -FileMode among them.
    const std::wstring log = L"(?=.*\\x01-f\\x01)(?=.*\\x01-FileMode\\x01)(\\x01-f" + value +
                             L"|\\x01-(BufferSize|MinBuffers|MaxBuffers|MaxFile)" + number +
                             L"|\\x01-FileMode" + value + L")+";
    const std::wregex calls(value + L"|\\x01-on" + list + L"(\\x01-stackwalk" + list + L")?" + log +
                            L"|\\x01-start" + value + L"(\\x01-on" + list +
                            L"|\\x01-heap\\x01-pids(" + number + L")+\\x01-stackwalk" + list +
                            L")" + log + L"|\\x01-capturestate" + value + list + L"|(\\x01-stop(" +
                            value + L")?)+\\x01-d" + value);
    return std::regex_match(arguments, calls);
}

// wpr's calls in a capture script: -start FILE!NAME [-filemode], -stop FILE, -heaptracingconfig
// NAME enable|disable and -cancel, over the arguments led by U+0001.
bool isWprCall(const std::wstring& arguments) {
    const std::wregex calls(LR"(\x01-start\x01[^\x01]+![A-Za-z0-9_]+(\x01-filemode)?)"
                            LR"(|\x01-stop\x01[^-\x01][^\x01]*|\x01-cancel)"
                            LR"(|\x01-heaptracingconfig\x01[^-\x01][^\x01]*\x01(enable|disable))");
    return std::regex_match(arguments, calls);
}

// Whether the file of `FILE!NAME` exists and defines the version of the profile NAME that the start
// picks, named NAME with the Id NAME.DetailLevel.LoggingMode: File with -filemode, else Memory.
// WPR takes a file without the other version (Microsoft's WSL profile has File versions alone).
// The grammar takes NAME in ASCII letters, digits and '_' only.
bool definesProfile(const std::wstring& fileAndName, bool fileMode) {
    const std::size_t bang = fileAndName.rfind(L'!');
    std::FILE* const file = _wfopen(fileAndName.substr(0, bang).c_str(), L"rb");
    if (file == nullptr) {
        return false;
    }
    std::string text(1U << 20, '\0');
    text.resize(std::fread(&text[0], 1, text.size(), file));
    std::fclose(file);
    std::string name;
    for (const wchar_t c : fileAndName.substr(bang + 1)) {
        name.push_back(static_cast<char>(c));
    }
    const auto defines = [&](const std::string& mode) {
        return std::regex_search(text, std::regex("<Profile (?=[^>]*\\bName=\"" + name +
                                                  "\")[^>]*\\bId=\"" + name +
                                                  "\\.(Verbose|Light)\\." + mode + "\""));
    };
    return defines(fileMode ? "File" : "Memory");
}

// HRESULTs as wpr.exe returns them, which cmd shows as negative numbers.
constexpr int kAccessDenied = static_cast<int>(0x80070005U);
constexpr int kAlreadyRecording = static_cast<int>(0xC5583001U);
constexpr int kNotRecording = static_cast<int>(0xC5583000U);

int failure(int code) {
    std::fprintf(stderr, "\tError code: 0x%08x\n", static_cast<unsigned>(code));
    return code;
}

// What wpr answers to a call, its one recording kept as the file `recording`.
int wprOutcome(const std::wstring& led, const std::wstring& recording) {
    const bool running = GetFileAttributesW(recording.c_str()) != INVALID_FILE_ATTRIBUTES;
    const auto forced = [](const wchar_t* variable) {
        const std::wstring code = environmentValue(variable);
        return code.empty() ? 0 : static_cast<int>(wcstoul(code.c_str(), nullptr, 0));
    };
    if (led.rfind(L"\x01-start", 0) == 0) {
        if (running) {
            return failure(kAlreadyRecording);
        }
        if (const int code = forced(L"CORVANE_WPR_START_FAILS"); code != 0) {
            return failure(code);
        }
        const OwnedHandle made(CreateFileW(recording.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                           FILE_ATTRIBUTE_NORMAL, nullptr));
        return made.isOpen() ? 0 : 8;
    }
    const bool stop = led.rfind(L"\x01-stop", 0) == 0;
    if (stop || led == L"\x01-cancel") {
        if (const int code = stop ? forced(L"CORVANE_WPR_STOP_FAILS") : 0; code != 0) {
            return failure(code); // the recording may still run
        }
        return running && DeleteFileW(recording.c_str()) ? 0 : failure(kNotRecording);
    }
    return 0;
}

} // namespace

int main() {
    const std::wstring logPath = environmentValue(kLogVariable);
    if (logPath.empty()) {
        std::fprintf(stderr, "stand-in: CORVANE_STANDIN_LOG is not set\n");
        return 3;
    }

    const wchar_t* const commandLine = GetCommandLineW();
    const CommandLineArguments arguments;
    if (arguments.count() == 0) {
        return 4;
    }

    const std::wstring image = modulePath();
    std::string record = "{\"image\":";
    appendJsonString(record, image.c_str());
    record += ",\"line\":";
    appendJsonString(record, commandLine);
    record += ",\"argv\":[";
    for (int index = 0; index < arguments.count(); ++index) {
        if (index > 0) {
            record.push_back(',');
        }
        appendJsonString(record, arguments[index]);
    }
    record += "]";
    std::wstring led;
    for (int index = 1; index < arguments.count(); ++index) {
        led += L'\x01' + std::wstring(arguments[index]);
    }
    const bool asXperf =
        image.size() >= 9 && _wcsicmp(image.c_str() + image.size() - 9, L"xperf.exe") == 0;
    const bool asWpr =
        image.size() >= 8 && _wcsicmp(image.c_str() + image.size() - 8, L"\\wpr.exe") == 0;
    const bool error =
        (asXperf && !isXperfCall(led)) || (asWpr && !isWprCall(led)) ||
        (asWpr && led.rfind(L"\x01-start", 0) == 0 &&
         !definesProfile(arguments[2], led.find(L"\x01-filemode") != std::wstring::npos));
    if (error) {
        record += ",\"error\":\"the arguments make none of the program's calls\"";
    }
    const bool asFltmc =
        image.size() >= 10 && _wcsicmp(image.c_str() + image.size() - 10, L"\\fltmc.exe") == 0;
    if (asFltmc && !led.empty()) {
        record += ",\"error\":\"fltmc is only asked to list its filters\"";
    }
    record += "}\n";

    // Appending: every call of one script run lands in the same log, in call order.
    const OwnedHandle log(CreateFileW(logPath.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                                      OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!log.isOpen()) {
        return 5;
    }
    DWORD written = 0;
    const BOOL ok =
        WriteFile(log.get(), record.data(), static_cast<DWORD>(record.size()), &written, nullptr);
    if (!ok || written != record.size()) {
        return 6;
    }
    if (error || (asFltmc && !led.empty())) {
        std::fprintf(stderr, "stand-in: the arguments make none of the program's calls\n");
        return 7;
    }
    if (asFltmc) {
        return environmentValue(L"CORVANE_STANDIN_NOT_ELEVATED").empty() ? 0 : kAccessDenied;
    }
    return asWpr ? wprOutcome(led, logPath + L".recording") : 0;
}

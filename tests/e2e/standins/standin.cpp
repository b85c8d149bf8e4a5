// Stands in for xperf.exe or reg.exe when a capture script runs: appends how it was called to the
// log file named by CORVANE_STANDIN_LOG, one JSON object a line. Every UTF-16 unit outside
// printable ASCII is written as \uXXXX, so the log is ASCII and keeps even lone surrogates exactly
// as the program received them. As xperf it reads its arguments by xperf's grammar and fails,
// with an "error" in its record, on anything else.
#include "tests/support/console_tool.h"

#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <string_view>

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

// One entry of -on: a name, bare or followed by xperf's :KEYWORDS:LEVEL:'stack' with the keywords
// and level left empty.
bool isOnEntry(std::wstring_view entry) {
    constexpr std::wstring_view kStack = L":::'stack'";
    if (entry.size() > kStack.size() && entry.substr(entry.size() - kStack.size()) == kStack) {
        entry.remove_suffix(kStack.size());
    }
    return !entry.empty() && entry.find(L'\'') == std::wstring_view::npos;
}

bool isNumber(const wchar_t* text) {
    return *text != L'\0' && std::wcsspn(text, L"0123456789") == std::wcslen(text);
}

bool isValue(const wchar_t* text) {
    return *text != L'\0' && *text != L'-';
}

// Reads xperf's arguments from the first on; each step says what it expected when it fails.
class XperfGrammar {
public:
    explicit XperfGrammar(const CommandLineArguments& arguments) : arguments_(arguments) {}

    const char* check() {
        if (arguments_.count() == 2 && value()) {
            return nullptr; // the viewer: xperf FILE
        }
        if (option(L"-stop")) {
            do {
                value(); // the kernel logger's clause names no session
            } while (option(L"-stop"));
            return option(L"-d") && value() && at_ == arguments_.count()
                       ? nullptr
                       : "-stop [NAME]... -d FILE";
        }
        if (option(L"-start")) {
            if (!value()) {
                return "-start NAME";
            }
            if (option(L"-heap")) {
                if (!option(L"-pids") || !value(isNumber)) {
                    return "-heap -pids PID...";
                }
                while (value(isNumber)) {
                }
                if (!option(L"-stackwalk") || !list()) {
                    return "-stackwalk EVENT+EVENT after the PIDs";
                }
            } else if (!option(L"-on") || !list()) {
                return "-on NAME+NAME after the session";
            }
        } else if (!option(L"-on") || !list() || (option(L"-stackwalk") && !list())) {
            return "-on FLAG+FLAG [-stackwalk EVENT+EVENT], -start or -stop";
        }
        return logOptions();
    }

private:
    const wchar_t* next() const { return at_ < arguments_.count() ? arguments_[at_] : nullptr; }
    bool option(const wchar_t* name) {
        const bool found = next() != nullptr && std::wcscmp(next(), name) == 0;
        at_ += found ? 1 : 0;
        return found;
    }
    bool value(bool (*is)(const wchar_t*) = isValue) {
        const bool found = next() != nullptr && is(next());
        at_ += found ? 1 : 0;
        return found;
    }
    bool list() {
        if (next() == nullptr) {
            return false;
        }
        const std::wstring_view names = arguments_[at_++];
        for (std::size_t start = 0, end = 0; end != std::wstring_view::npos; start = end + 1) {
            end = names.find(L'+', start);
            if (!isOnEntry(names.substr(start, end - start))) {
                return false;
            }
        }
        return true;
    }
    // Each log option once, in any order, and nothing after them.
    const char* logOptions() {
        const wchar_t* const kOptions[] = {L"-f",          L"-BufferSize", L"-MinBuffers",
                                           L"-MaxBuffers", L"-MaxFile",    L"-FileMode"};
        bool seen[6] = {};
        while (next() != nullptr) {
            int found = 0;
            while (found < 6 && (seen[found] || !option(kOptions[found]))) {
                ++found;
            }
            if (found == 6 || !value(found == 0 || found == 5 ? isValue : isNumber)) {
                return "-f FILE -BufferSize N -MinBuffers N -MaxBuffers N -MaxFile N -FileMode "
                       "MODE";
            }
            seen[found] = true;
        }
        return seen[0] && seen[5] ? nullptr : "-f FILE and -FileMode MODE";
    }

    const CommandLineArguments& arguments_;
    int at_ = 1;
};

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
    const bool asXperf =
        image.size() >= 9 && _wcsicmp(image.c_str() + image.size() - 9, L"xperf.exe") == 0;
    const char* const error = asXperf ? XperfGrammar(arguments).check() : nullptr;
    if (error != nullptr) {
        record += ",\"error\":\"expected ";
        record += error;
        record += "\"";
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
    if (error != nullptr) {
        std::fprintf(stderr, "xperf stand-in: expected %s\n", error);
        return 7;
    }
    return 0;
}

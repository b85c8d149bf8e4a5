// Stands in for xperf.exe or reg.exe when a capture script runs: appends how it was called to the
// log file named by CORVANE_STANDIN_LOG, one JSON object a line, and succeeds. Every UTF-16 unit
// outside printable ASCII is written as \uXXXX, so the log is ASCII and keeps even lone
// surrogates exactly as the program received them.
#include "tests/support/console_tool.h"

#include <windows.h>

#include <cstdio>
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

    std::string record = "{\"image\":";
    appendJsonString(record, modulePath().c_str());
    record += ",\"line\":";
    appendJsonString(record, commandLine);
    record += ",\"argv\":[";
    for (int index = 0; index < arguments.count(); ++index) {
        if (index > 0) {
            record.push_back(',');
        }
        appendJsonString(record, arguments[index]);
    }
    record += "]}\n";

    // Appending: every call of one script run lands in the same log, in call order.
    const OwnedHandle log(CreateFileW(logPath.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                                      OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!log.isOpen()) {
        return 5;
    }
    DWORD written = 0;
    const BOOL ok =
        WriteFile(log.get(), record.data(), static_cast<DWORD>(record.size()), &written, nullptr);
    return ok && written == record.size() ? 0 : 6;
}

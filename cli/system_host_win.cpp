#include "cli/system_host.h"

#include "encoding/script_encoding_win.h"
#include "encoding/utf8.h"
#include "files/read_file_win.h"
#include "jobs/system_services_win.h"
#include "providers/provider_buffer.h"
#include "providers/provider_enumeration.h"
#include "settings/platform_environment_win.h"

#include <windows.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace corvane {
namespace {

bool writeHandle(HANDLE handle, std::string_view bytes) {
    while (!bytes.empty()) {
        const auto chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 20));
        DWORD done = 0;
        if (!WriteFile(handle, bytes.data(), chunk, &done, nullptr) || done == 0) {
            return false;
        }
        bytes.remove_prefix(done);
    }
    return true;
}

// A console shows the text as it is; a file or pipe gets UTF-8, which a profile is read in.
bool writeText(DWORD standardHandle, std::wstring_view text) {
    const HANDLE handle = GetStdHandle(standardHandle);
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) {
        return false;
    }
    DWORD mode = 0;
    if (GetConsoleMode(handle, &mode)) {
        while (!text.empty()) {
            const auto chunk = static_cast<DWORD>(std::min<std::size_t>(text.size(), 8192));
            DWORD done = 0;
            if (!WriteConsoleW(handle, text.data(), chunk, &done, nullptr) || done == 0) {
                return false;
            }
            text.remove_prefix(done);
        }
        return true;
    }
    return writeHandle(handle, toUtf8(text));
}

// The files and code pages as the dialog has them; a backup left behind is said at once.
WindowsJobSystem jobSystemOf(SystemScriptToolHost& host) {
    return WindowsJobSystem([&host](std::wstring note) {
        host.writeError(L"corvane-script: the script is written; " + note + L"\n");
    });
}

} // namespace

bool SystemScriptToolHost::readFile(const std::wstring& path, std::size_t limit, std::string& bytes,
                                    std::wstring& why) {
    return jobSystemOf(*this).readFile(path, limit, bytes, why);
}

FileWrite SystemScriptToolHost::writeFile(const std::wstring& path, const std::string& bytes,
                                          bool replaceExisting, std::wstring& why) {
    return jobSystemOf(*this).writeFile(path, bytes, replaceExisting, why);
}

bool SystemScriptToolHost::removeFile(const std::wstring& path, std::wstring& why) {
    return jobSystemOf(*this).removeFile(path, why);
}

DefaultsEnvironment SystemScriptToolHost::defaultsEnvironment() {
    return platformDefaultsEnvironment();
}

unsigned SystemScriptToolHost::scriptCodePage() {
    // What a console opened by the user reads batch files in, as the dialog writes them.
    return corvane::scriptCodePage();
}

Encoding SystemScriptToolHost::encode(const std::wstring& text, unsigned codePage,
                                      std::string& bytes) {
    return jobSystemOf(*this).encode(text, codePage, bytes);
}

Encoding SystemScriptToolHost::decode(const std::string& bytes, unsigned codePage,
                                      std::wstring& text) {
    return jobSystemOf(*this).decode(bytes, codePage, text);
}

bool SystemScriptToolHost::listProviders(std::vector<std::wstring>& names, std::wstring& why) {
    ProviderBuffer buffer;
    const std::uint32_t status = enumerateProviders(buffer);
    if (status != ERROR_SUCCESS) {
        why = L"the trace-data library (Tdh.dll) gave no list: " + systemReason(status) +
              L" (status " + std::to_wstring(status) + L")";
        return false;
    }
    names = providerNamesFromBuffer(buffer.data(), buffer.size());
    return true;
}

ProviderOrder SystemScriptToolHost::providerOrder() {
    return sortedListBoxOrder();
}

bool SystemScriptToolHost::writeOutput(std::string_view bytes) {
    const HANDLE handle = GetStdHandle(STD_OUTPUT_HANDLE);
    return handle != nullptr && handle != INVALID_HANDLE_VALUE && writeHandle(handle, bytes);
}

bool SystemScriptToolHost::writeOutputText(std::wstring_view text) {
    return writeText(STD_OUTPUT_HANDLE, text);
}

void SystemScriptToolHost::writeError(std::wstring_view text) {
    static_cast<void>(writeText(STD_ERROR_HANDLE, text));
}

} // namespace corvane

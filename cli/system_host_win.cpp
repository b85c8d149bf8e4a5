#include "cli/system_host.h"

#include "encoding/utf8.h"
#include "encoding/script_encoding_win.h"
#include "files/long_path_win.h"
#include "files/safe_write_win.h"
#include "providers/provider_buffer.h"
#include "providers/provider_enumeration.h"
#include "settings/platform_environment_win.h"

#include <windows.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <optional>
#include <utility>

namespace corvane {
namespace {

// Owns a file handle; INVALID_HANDLE_VALUE means none.
class ReadHandle {
public:
    explicit ReadHandle(HANDLE handle) noexcept : handle_(handle) {}
    ~ReadHandle() {
        if (handle_ != INVALID_HANDLE_VALUE) {
            CloseHandle(handle_);
        }
    }
    ReadHandle(const ReadHandle&) = delete;
    ReadHandle& operator=(const ReadHandle&) = delete;
    [[nodiscard]] HANDLE get() const noexcept { return handle_; }

private:
    HANDLE handle_;
};

std::wstring systemReason(DWORD error) {
    if (error == ERROR_SUCCESS) {
        return std::wstring();
    }
    wchar_t text[512] = {};
    const DWORD length =
        FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error,
                       0, text, static_cast<DWORD>(std::size(text)), nullptr);
    std::wstring reason(text, length);
    while (!reason.empty() && (reason.back() == L'\n' || reason.back() == L'\r' ||
                               reason.back() == L' ' || reason.back() == L'.')) {
        reason.pop_back();
    }
    return reason.empty() ? L"error " + std::to_wstring(error) : reason;
}

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

// The system says only that it cannot find the path, for a file whose folder is missing, which
// reads as if the file were meant to exist already.
std::optional<std::wstring> missingFolderReason(const std::wstring& path) {
    const std::size_t separator = path.find_last_of(L"\\/");
    if (separator == std::wstring::npos || separator == 0) {
        return std::nullopt;
    }
    const std::wstring folder = path.substr(0, separator + 1);
    if (GetFileAttributesW(withLongPathPrefix(folder).c_str()) != INVALID_FILE_ATTRIBUTES) {
        return std::nullopt;
    }
    const DWORD error = GetLastError();
    if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) {
        return std::nullopt;
    }
    return L"the folder " + quoted(path.substr(0, separator), kShownPathLength) +
           L" does not exist";
}

// The comparison of a sorted list box: the user's locale, letter case ignored.
bool listBoxLess(const std::wstring& left, const std::wstring& right) {
    const int order = CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, left.c_str(),
                                     static_cast<int>(left.size()), right.c_str(),
                                     static_cast<int>(right.size()));
    if (order == CSTR_EQUAL) {
        return left < right; // the same place in the list; any fixed order will do
    }
    return order == CSTR_LESS_THAN;
}

} // namespace

bool SystemScriptToolHost::readFile(const std::wstring& path, std::size_t limit, std::string& bytes,
                                    std::wstring& why) {
    bytes.clear();
    const std::wstring longPath = withLongPathPrefix(path);
    const ReadHandle file(CreateFileW(longPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        // A folder cannot be opened this way, and the system calls that "Access is denied".
        const DWORD attributes = GetFileAttributesW(longPath.c_str());
        why = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0
                  ? L"it is a folder"
                  : systemReason(error);
        return false;
    }
    char block[65536];
    while (bytes.size() <= limit) {
        DWORD count = 0;
        if (!ReadFile(file.get(), block, sizeof block, &count, nullptr)) {
            why = systemReason(GetLastError());
            return false;
        }
        if (count == 0) {
            return true;
        }
        bytes.append(block, count);
    }
    return true;
}

FileWrite SystemScriptToolHost::writeFile(const std::wstring& path, const std::string& bytes,
                                          bool replaceExisting, std::wstring& why) {
    WriteOutcome outcome;
    const bool written =
        replaceExisting ? corvane::writeFileReplacing(path, bytes, platformFilePlacement(), outcome)
                        : corvane::writeNewFile(path, bytes, platformFilePlacement(), outcome);
    if (written) {
        if (const std::wstring left = leftBehindNote(outcome); !left.empty()) {
            writeError(L"corvane-script: the script is written; " + left + L"\n");
        }
        return FileWrite::Written;
    }
    if (outcome.refusal == WriteRefusal::NameTaken) {
        return FileWrite::NameTaken;
    }
    if (std::optional<std::wstring> missing = missingFolderReason(path)) {
        why = std::move(*missing);
        return FileWrite::Failed;
    }
    why = failureDetails(outcome);
    if (outcome.refusal == WriteRefusal::None) {
        why = systemReason(outcome.error) + (why.empty() ? L"" : L"; ") + why;
    }
    return FileWrite::Failed;
}

bool SystemScriptToolHost::removeFile(const std::wstring& path, std::wstring& why) {
    if (!DeleteFileW(withLongPathPrefix(path).c_str())) {
        why = systemReason(GetLastError());
        return false;
    }
    return true;
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
    if (!IsValidCodePage(codePage)) {
        return Encoding::UnknownCodePage;
    }
    switch (toCodePage(text, codePage, bytes)) {
    case CodePageConversion::Ok:
        return Encoding::Ok;
    case CodePageConversion::Unrepresentable:
        return Encoding::Unrepresentable;
    case CodePageConversion::ChangesAscii:
        return Encoding::ChangesAscii;
    case CodePageConversion::Unsupported:
        break;
    }
    return Encoding::UnknownCodePage;
}

Encoding SystemScriptToolHost::decode(const std::string& bytes, unsigned codePage,
                                      std::wstring& text) {
    if (!IsValidCodePage(codePage)) {
        return Encoding::UnknownCodePage;
    }
    switch (fromCodePage(bytes, codePage, text)) {
    case CodePageConversion::Ok:
        return Encoding::Ok;
    case CodePageConversion::Unsupported:
        return Encoding::UnknownCodePage;
    default:
        break;
    }
    return Encoding::Unrepresentable;
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
    return listBoxLess;
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

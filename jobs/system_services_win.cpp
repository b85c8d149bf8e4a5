#include "jobs/system_services_win.h"

#include "encoding/script_encoding_win.h"
#include "files/file_placement_win.h"
#include "files/long_path_win.h"
#include "files/read_file_win.h"
#include "files/safe_write_win.h"

#include <windows.h>

#include <optional>
#include <utility>

namespace corvane {
namespace {

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

Encoding asEncoding(CodePageConversion conversion) noexcept {
    switch (conversion) {
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

bool WindowsJobSystem::readFile(const std::wstring& path, std::size_t limit, std::string& bytes,
                                std::wstring& why) {
    return readWholeFile(path, limit, bytes, why);
}

FileWrite WindowsJobSystem::writeFile(const std::wstring& path, const std::string& bytes,
                                      bool replaceExisting, std::wstring& why) {
    WriteOutcome outcome;
    const bool written = replaceExisting
                             ? writeFileReplacing(path, bytes, platformFilePlacement(), outcome)
                             : writeNewFile(path, bytes, platformFilePlacement(), outcome);
    if (written) {
        if (std::wstring left = leftBehindNote(outcome); !left.empty() && leftBehind_) {
            leftBehind_(std::move(left));
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

bool WindowsJobSystem::removeFile(const std::wstring& path, std::wstring& why) {
    if (!DeleteFileW(withLongPathPrefix(path).c_str())) {
        why = systemReason(GetLastError());
        return false;
    }
    return true;
}

Encoding WindowsJobSystem::encode(const std::wstring& text, unsigned codePage, std::string& bytes) {
    return IsValidCodePage(codePage) ? asEncoding(toCodePage(text, codePage, bytes))
                                     : Encoding::UnknownCodePage;
}

Encoding WindowsJobSystem::decode(const std::string& bytes, unsigned codePage, std::wstring& text) {
    if (!IsValidCodePage(codePage)) {
        return Encoding::UnknownCodePage;
    }
    const CodePageConversion conversion = fromCodePage(bytes, codePage, text);
    return conversion == CodePageConversion::ChangesAscii ? Encoding::Unrepresentable
                                                          : asEncoding(conversion);
}

ProviderOrder sortedListBoxOrder() {
    return listBoxLess;
}

} // namespace corvane

#include "ui/dialog_job_system_win.h"

#include "encoding/script_encoding_win.h"
#include "files/file_placement_win.h"
#include "files/long_path_win.h"
#include "files/read_file_win.h"
#include "files/safe_write_win.h"

#include <windows.h>

namespace corvane {
namespace {

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

} // namespace

bool DialogJobSystem::readFile(const std::wstring& path, std::size_t limit, std::string& bytes,
                               std::wstring& why) {
    return readWholeFile(path, limit, bytes, why);
}

FileWrite DialogJobSystem::writeFile(const std::wstring& path, const std::string& bytes,
                                     bool replaceExisting, std::wstring& why) {
    WriteOutcome outcome;
    const bool written = replaceExisting
                             ? writeFileReplacing(path, bytes, platformFilePlacement(), outcome)
                             : writeNewFile(path, bytes, platformFilePlacement(), outcome);
    if (written) {
        if (std::wstring left = leftBehindNote(outcome); !left.empty()) {
            leftBehind_.push_back(std::move(left));
        }
        return FileWrite::Written;
    }
    if (outcome.refusal == WriteRefusal::NameTaken) {
        return FileWrite::NameTaken;
    }
    why = failureDetails(outcome);
    if (outcome.refusal == WriteRefusal::None) {
        why = systemReason(outcome.error) + (why.empty() ? L"" : L"; ") + why;
    }
    return FileWrite::Failed;
}

bool DialogJobSystem::removeFile(const std::wstring& path, std::wstring& why) {
    if (!DeleteFileW(withLongPathPrefix(path).c_str())) {
        why = systemReason(GetLastError());
        return false;
    }
    return true;
}

Encoding DialogJobSystem::encode(const std::wstring& text, unsigned codePage, std::string& bytes) {
    return asEncoding(toCodePage(text, codePage, bytes));
}

Encoding DialogJobSystem::decode(const std::string& bytes, unsigned codePage, std::wstring& text) {
    const CodePageConversion conversion = fromCodePage(bytes, codePage, text);
    return conversion == CodePageConversion::ChangesAscii ? Encoding::Unrepresentable
                                                          : asEncoding(conversion);
}

} // namespace corvane

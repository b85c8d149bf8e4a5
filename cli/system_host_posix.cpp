#include "cli/system_host.h"

#include "encoding/utf8.h"
#include "encoding/iconv_encoding_posix.h"
#include "files/script_file_posix.h"
#include "settings/visible_text.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <optional>
#include <utility>

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace corvane {
namespace {

std::wstring systemReason(int error) {
    std::wstring reason;
    if (!fromUtf8(std::strerror(error), reason)) {
        reason = L"error " + std::to_wstring(error);
    }
    return reason;
}

LocalTime localTimeNow() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    if (localtime_r(&now, &local) == nullptr) {
        return LocalTime{};
    }
    return LocalTime{static_cast<unsigned>(local.tm_year + 1900),
                     static_cast<unsigned>(local.tm_mon + 1), static_cast<unsigned>(local.tm_mday),
                     static_cast<unsigned>(local.tm_hour), static_cast<unsigned>(local.tm_min),
                     // A leap second is shown as the last ordinary one, as Windows would.
                     static_cast<unsigned>(local.tm_sec > 59 ? 59 : local.tm_sec)};
}

// Owns a C stream; closed with its owner.
class UniqueStream {
public:
    explicit UniqueStream(std::FILE* stream) noexcept : stream_(stream) {}
    ~UniqueStream() {
        if (stream_ != nullptr) {
            std::fclose(stream_);
        }
    }
    UniqueStream(const UniqueStream&) = delete;
    UniqueStream& operator=(const UniqueStream&) = delete;
    [[nodiscard]] std::FILE* get() const noexcept { return stream_; }

private:
    std::FILE* stream_;
};

// Bytes that are not UTF-8, as in a link's target, are shown one character each.
std::wstring shown(const std::string& bytes) {
    std::wstring text;
    if (!fromUtf8(bytes, text)) {
        text.assign(bytes.begin(), bytes.end());
    }
    return visibleText(text);
}

// The system says only "No such file or directory" for a file whose folder is missing, which reads
// as if the file were meant to exist already.
std::optional<std::wstring> missingFolderReason(const std::wstring& path) {
    const std::size_t slash = path.rfind(L'/');
    struct stat status {};
    if (slash == std::wstring::npos || slash == 0 ||
        ::stat(toUtf8(path.substr(0, slash + 1)).c_str(), &status) == 0 || errno != ENOENT) {
        return std::nullopt;
    }
    return L"the folder " + quoted(path.substr(0, slash), kShownPathLength) + L" does not exist";
}

// Names the folder and its owner, by the name the system knows for them where it knows one.
std::wstring strangersFolderReason(const FolderOnTheWay& folder) {
    std::wstring owner = L"user " + std::to_wstring(folder.owner);
    char names[4096];
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(folder.owner, &entry, names, sizeof names, &found) == 0 && found != nullptr) {
        owner = shown(found->pw_name);
    }
    const std::wstring named = L"the folder '" + shown(folder.path) + L"' on the way belongs to ";
    if (folder.owner != 0 && folder.owner != geteuid()) {
        return named + owner + L", who could change what the path leads to";
    }
    if (folder.groupMayWrite) {
        std::wstring group = std::to_wstring(folder.group);
        struct group groupEntry {};
        struct group* foundGroup = nullptr;
        if (getgrgid_r(folder.group, &groupEntry, names, sizeof names, &foundGroup) == 0 &&
            foundGroup != nullptr) {
            group = shown(foundGroup->gr_name);
        }
        return named + owner + L", but it may be written by members of group '" + group +
               L"' and is not sticky, so they could change what the path leads to";
    }
    return named + owner +
           L", but others may write to it and it is not sticky, so they could "
           L"change what the path leads to";
}

bool writeStream(std::FILE* stream, std::string_view bytes) {
    return std::fwrite(bytes.data(), 1, bytes.size(), stream) == bytes.size() &&
           std::fflush(stream) == 0;
}

} // namespace

bool SystemScriptToolHost::readFile(const std::wstring& path, std::size_t limit, std::string& bytes,
                                    std::wstring& why) {
    bytes.clear();
    UniqueStream file(std::fopen(toUtf8(path).c_str(), "rb"));
    if (file.get() == nullptr) {
        why = systemReason(errno);
        return false;
    }
    char block[65536];
    std::size_t count = 0;
    errno = 0;
    while (bytes.size() <= limit && (count = std::fread(block, 1, sizeof block, file.get())) > 0) {
        bytes.append(block, count);
    }
    if (std::ferror(file.get()) != 0) {
        // A folder opens, and its first read says why it cannot be read.
        why = systemReason(errno != 0 ? errno : EIO);
        return false;
    }
    return true;
}

FileWrite SystemScriptToolHost::writeFile(const std::wstring& path, const std::string& bytes,
                                          bool replaceExisting, std::wstring& why) {
    int error = 0;
    FolderOnTheWay folder;
    const ScriptFileOutcome outcome =
        writeScriptFile(toUtf8(path), bytes, replaceExisting ? Existing::Replace : Existing::Keep,
                        error, folder, platformPosixFilePlacement());
    if (outcome != ScriptFileOutcome::Written && outcome != ScriptFileOutcome::NameTaken) {
        if (std::optional<std::wstring> missing = missingFolderReason(path)) {
            why = std::move(*missing);
            return FileWrite::Failed;
        }
    }
    switch (outcome) {
    case ScriptFileOutcome::Written:
        return FileWrite::Written;
    case ScriptFileOutcome::NameTaken:
        return FileWrite::NameTaken;
    case ScriptFileOutcome::Failed:
        why = systemReason(error);
        return FileWrite::Failed;
    case ScriptFileOutcome::StrangersFolder:
        why = strangersFolderReason(folder);
        return FileWrite::Failed;
    default:
        break;
    }
    const std::wstring refusal = refusalReason(outcome);
    why = error != 0 ? refusal + L" (" + systemReason(error) + L")" : refusal;
    return FileWrite::Failed;
}

bool SystemScriptToolHost::removeFile(const std::wstring& path, std::wstring& why) {
    if (::unlink(toUtf8(path).c_str()) != 0) {
        why = systemReason(errno);
        return false;
    }
    return true;
}

DefaultsEnvironment SystemScriptToolHost::defaultsEnvironment() {
    // No desktop folder here: a profile names its output path itself.
    return DefaultsEnvironment{[] { return std::optional<std::wstring>(); }, localTimeNow};
}

unsigned SystemScriptToolHost::scriptCodePage() {
    return 0;
}

Encoding SystemScriptToolHost::encode(const std::wstring& text, unsigned codePage,
                                      std::string& bytes) {
    switch (utf8ToCodePage(toUtf8(text), codePage, bytes)) {
    case IconvConversion::Ok:
        return Encoding::Ok;
    case IconvConversion::Unrepresentable:
        return Encoding::Unrepresentable;
    case IconvConversion::AsciiChanged:
        return Encoding::ChangesAscii;
    case IconvConversion::UnknownCodePage:
        break;
    }
    return Encoding::UnknownCodePage;
}

Encoding SystemScriptToolHost::decode(const std::string& bytes, unsigned codePage,
                                      std::wstring& text) {
    std::string utf8;
    switch (codePageToUtf8(bytes, codePage, utf8)) {
    case IconvConversion::Ok:
        return fromUtf8(utf8, text) ? Encoding::Ok : Encoding::Unrepresentable;
    case IconvConversion::UnknownCodePage:
        return Encoding::UnknownCodePage;
    default:
        break;
    }
    return Encoding::Unrepresentable;
}

bool SystemScriptToolHost::listProviders(std::vector<std::wstring>& names, std::wstring& why) {
    names.clear();
    why = L"providers are registered with Windows' trace-data library; list them on Windows";
    return false;
}

ProviderOrder SystemScriptToolHost::providerOrder() {
    return wordSortLess;
}

bool SystemScriptToolHost::writeOutput(std::string_view bytes) {
    return writeStream(stdout, bytes);
}

bool SystemScriptToolHost::writeOutputText(std::wstring_view text) {
    return writeStream(stdout, toUtf8(text));
}

void SystemScriptToolHost::writeError(std::wstring_view text) {
    static_cast<void>(writeStream(stderr, toUtf8(text)));
}

} // namespace corvane

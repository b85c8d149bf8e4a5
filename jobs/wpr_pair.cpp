#include "jobs/wpr_pair.h"

#include "encoding/utf8.h"
#include "jobs/make_script.h"
#include "jobs/script_advice.h"
#include "jobs/script_refusal.h"
#include "script/script_checks.h"
#include "script/script_file_name.h"
#include "wpr/wpr_profile.h"
#include "wpr/wpr_script.h"

#include <cstddef>
#include <utility>
#include <vector>

namespace corvane {
namespace {

// Where the file name starts in a path: after the last separator of either system.
std::size_t fileNameStart(const std::wstring& path) {
    const std::size_t separator = path.find_last_of(L"\\/");
    return separator == std::wstring::npos ? 0 : separator + 1;
}

// The longest line of the WPR script against the prompt's limit. The values that reach its lines
// are the ETL Out Path, the image name and the profile's file name.
std::optional<std::wstring> overlongWprLine(const std::wstring& script,
                                            const ScriptEncoder& encoder, unsigned codePage) {
    std::size_t number = 0;
    for (std::size_t start = 0; start < script.size(); ++number) {
        const std::size_t end = script.find(L"\r\n", start);
        const std::wstring_view text(script.data() + start, end - start);
        start = end + 2;
        std::size_t length = utf16Length(text);
        bool bytes = false;
        if (length <= kCommandPromptLineLimit && encoder) {
            const std::optional<std::string> encoded = encoder(text);
            bytes = encoded && encoded->size() > kCommandPromptLineLimit;
            length = bytes ? encoded->size() : length;
        }
        if (length > kCommandPromptLineLimit) {
            return L"line " + std::to_wstring(number + 1) + L" of the script would be " +
                   groupedNumber(length) +
                   (bytes ? L" bytes long in code page " + std::to_wstring(codePage)
                          : std::wstring(L" characters long")) +
                   L", " + groupedNumber(length - kCommandPromptLineLimit) + L" more than the " +
                   groupedNumber(kCommandPromptLineLimit) +
                   L" that the command prompt reads. Use a shorter etl-out-path, "
                   L"process-name-or-pid or file name.";
        }
    }
    return std::nullopt;
}

// Writes the first file, keeping what it replaces so that it can be put back. `created` tells
// whether the name was free.
struct KeptEarlier {
    bool created = false;
    std::string earlier;
};

// The largest earlier .wprp that is kept to be put back; a real one is a few kilobytes.
constexpr std::size_t kLargestKeptFile = 64U << 20;

FileWrite writeUndoably(FileReader& reader, FileWriter& writer, const std::wstring& path,
                        const std::string& bytes, bool force, KeptEarlier& kept,
                        std::wstring& why) {
    const FileWrite fresh = writer.writeFile(path, bytes, false, why);
    if (fresh != FileWrite::NameTaken || !force) {
        kept.created = fresh == FileWrite::Written;
        return fresh;
    }
    std::wstring readWhy;
    if (!reader.readFile(path, kLargestKeptFile, kept.earlier, readWhy) ||
        kept.earlier.size() > kLargestKeptFile) {
        why = L"the earlier file cannot be kept to be put back should the script not be written" +
              (readWhy.empty() ? std::wstring() : L" (" + readWhy + L")");
        return FileWrite::Failed;
    }
    return writer.writeFile(path, bytes, true, why);
}

// Takes the first file of a pair back: removed where it was new, the earlier text put back.
std::wstring undoWrite(FileWriter& writer, const std::wstring& path, const KeptEarlier& kept) {
    std::wstring why;
    const bool undone = kept.created
                            ? writer.removeFile(path, why)
                            : writer.writeFile(path, kept.earlier, true, why) == FileWrite::Written;
    if (undone) {
        return L"; " + quoted(path, kShownPathLength) +
               (kept.created ? L", written before it, is removed again"
                             : L" holds its earlier text again");
    }
    return L"; " + quoted(path, kShownPathLength) + L", written before it, could not be " +
           (kept.created ? L"removed" : L"given its earlier text back") +
           (why.empty() ? L"" : L": " + why);
}

} // namespace

std::wstring profilePathBeside(const std::wstring& scriptPath) {
    const std::size_t nameStart = fileNameStart(scriptPath);
    const std::size_t dot = scriptPath.rfind(L'.');
    const bool extension = dot != std::wstring::npos && dot > nameStart;
    return scriptPath.substr(0, extension ? dot : scriptPath.size()) + L".wprp";
}

std::optional<std::wstring> profileFileNameProblem(std::wstring_view name) {
    for (const wchar_t c : name) {
        if (isRefusedControlCharacter(c)) {
            return controlCharacterProblem(c);
        }
        if (c == L'"' || c == L'%' || c == L'!') {
            return std::wstring(L"holds '") + c +
                   (c == L'!' ? L"', which wpr takes for the end of the profile's file name"
                              : L"', which the command prompt would read as syntax in the script");
        }
    }
    return std::nullopt;
}

JobOutcome writeWprPair(const ProfileSettings& source, const WprPairRequest& request,
                        CodePageCodec& codec, FileReader& reader, FileWriter& writer,
                        const WarningsHandOver& handOver) {
    const TraceSettings& settings = source.settings;
    if (settings.kernelFlags.empty() && settings.providers.empty() && settings.heapEnabled == 0) {
        return JobOutcome::badInput(kNothingToTrace);
    }
    // Every value passes the checks of the xperf script, also those only the profile carries, and
    // first, so that a refusal names the profile line as it does for xperf.
    const ScriptEncoder encoder = scriptEncoder(codec, request.codePage);
    if (const std::optional<std::wstring> unsafe =
            unsafeValueMessage(settings, source.reader, source.name, encoder)) {
        return JobOutcome::badInput(*unsafe);
    }
    WprProfile profile;
    std::wstring refusal;
    if (!BuildWprProfile(settings, profile, refusal)) {
        return JobOutcome::badInput(refusal);
    }
    const std::wstring scriptPath =
        request.scriptPath ? *request.scriptPath : DefaultScriptName(source.now);
    const std::wstring profilePath = profilePathBeside(scriptPath);
    if (equalsFolded(profilePath, scriptPath)) {
        return JobOutcome::badInput(L"-o names the script, and its profile is written beside it "
                                    L"with the extension .wprp: give a name that does not end in "
                                    L".wprp");
    }
    const std::wstring profileName = profilePath.substr(fileNameStart(profilePath));
    if (const std::optional<std::wstring> problem = profileFileNameProblem(profileName)) {
        return JobOutcome::badInput(L"the profile's file name " + quoted(profileName) + L" " +
                                    *problem);
    }
    const std::optional<std::wstring> script = BuildWprScript(settings, profile, profileName);
    if (!script) {
        return JobOutcome::badInput(kNothingToTrace);
    }
    if (const std::optional<std::wstring> overlong =
            overlongWprLine(*script, encoder, request.codePage)) {
        return JobOutcome::badInput(*overlong);
    }
    std::string scriptBytes;
    if (JobOutcome encoded = encodeScript(*script, request.codePage, codec, scriptBytes);
        !encoded.done()) {
        return encoded;
    }
    // The file says it is UTF-8, so it is; a character UTF-8 cannot hold would come back changed.
    const std::string profileBytes = toUtf8(profile.xml);
    std::wstring readBack;
    if (!fromUtf8(profileBytes, readBack) || readBack != profile.xml) {
        return JobOutcome::badInput(L"the WPR profile holds a character that UTF-8 cannot hold "
                                    L"(a lone surrogate)");
    }
    std::vector<std::wstring> warnings = recordingWarningTexts(settings, true);
    warnings.insert(warnings.end(), profile.warnings.begin(), profile.warnings.end());
    if (handOver) {
        if (std::optional<std::wstring> refused = handOver(warnings)) {
            return JobOutcome::badInput(std::move(*refused));
        }
    }

    KeptEarlier kept;
    std::wstring why;
    const FileWrite first =
        writeUndoably(reader, writer, profilePath, profileBytes, request.force, kept, why);
    if (first != FileWrite::Written) {
        return JobOutcome::notWritten(notWrittenMessage(profilePath, first, why) +
                                      L"; the script is not written either");
    }
    const FileWrite second = writer.writeFile(scriptPath, scriptBytes, request.force, why);
    if (second != FileWrite::Written) {
        return JobOutcome::notWritten(notWrittenMessage(scriptPath, second, why) +
                                      undoWrite(writer, profilePath, kept));
    }
    return {};
}

} // namespace corvane

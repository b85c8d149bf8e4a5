#include "jobs/script_refusal.h"

namespace corvane {
namespace {

std::wstring valueOrigin(const TraceSettings& settings, const ScriptTextValue* value,
                         std::size_t provider, const ProfileReader& reader,
                         const std::wstring& profileName) {
    return value != nullptr ? reader.origin(value->field, profileName)
                            : reader.providerOrigin(settings.providers[provider], profileName);
}

// xperf's own form "Name:Keywords:Level" is what a ':' in a profile's provider most often is: the
// profile's line for the same, from the parts given; for a name that holds ':', the GUID's line.
std::wstring colonAdvice(const std::wstring& provider) {
    const std::size_t first = provider.find(L':');
    const std::size_t second = provider.find(L':', first + 1);
    const std::wstring keywords = provider.substr(first + 1, second - first - 1);
    const std::wstring level =
        second == std::wstring::npos
            ? L""
            : provider.substr(second + 1, provider.find(L':', second + 1) - second - 1);
    const bool xperfForm = first != 0 && !keywords.empty() &&
                           (keywords + level).find_first_of(L" \t") == std::wstring::npos;
    return L". The keywords and level follow the name or GUID in quotes: provider = \"" +
           (xperfForm ? shortened(provider.substr(0, first))
                      : L"{22fb2cd6-0e7b-422b-a0c7-2fad1fd0e716}") +
           L"\" keywords=" + (xperfForm ? shortened(keywords) : L"MASK") + L" level=" +
           (xperfForm && !level.empty() ? shortened(level) : L"LEVEL");
}

} // namespace

std::optional<std::wstring> unsafeValueMessage(const TraceSettings& settings,
                                               const ProfileReader& reader,
                                               const std::wstring& profileName,
                                               const ScriptEncoder& encoder) {
    if (const std::optional<ControlCharacterFinding> found = findControlCharacter(settings)) {
        return valueOrigin(settings, found->value, found->provider, reader, profileName) + L" " +
               controlCharacterProblem(found->character);
    }
    if (const std::optional<UnsafeValueFinding> found = findUnsafeValue(settings, encoder)) {
        std::wstring message =
            valueOrigin(settings, found->value, found->provider, reader, profileName) + L" " +
            unsafeValueProblem(*found);
        if (found->rule == UnsafeValueRule::ProviderColon && found->value == nullptr) {
            message += colonAdvice(settings.providers[found->provider]);
        }
        return message;
    }
    return std::nullopt;
}

std::optional<std::wstring>
unrunnableScriptMessage(const TraceSettings& settings, const std::wstring& script,
                        const ProfileReader& reader, const std::wstring& profileName,
                        const ScriptEncoder& encoder, unsigned codePage) {
    if (std::optional<std::wstring> unsafe =
            unsafeValueMessage(settings, reader, profileName, encoder)) {
        return unsafe;
    }
    const std::optional<OverlongLine> overlong = findOverlongLine(script, settings, encoder);
    if (!overlong) {
        return std::nullopt;
    }
    const bool bytes = overlong->measure == LineMeasure::Bytes;
    std::wstring message =
        std::wstring(scriptLineName(overlong->line)) + L" (line " +
        std::to_wstring(overlong->number) + L" of the script) would be " +
        groupedNumber(overlong->length) +
        (bytes ? L" bytes long in code page " + std::to_wstring(codePage) : L" characters long") +
        L", " + groupedNumber(overlong->length - kCommandPromptLineLimit) + L" more than the " +
        groupedNumber(kCommandPromptLineLimit) + L" that the command prompt reads";
    if (overlong->line != ScriptLine::UserStart) {
        return message + L". " + scriptLineRemedy(overlong->line);
    }
    const std::size_t fitting = providersThatFit(settings, encoder);
    if (fitting == 0) {
        // Fewer providers would not help: name the value that leaves no room.
        const CrowdingValue crowding = userLineCrowdingValue(settings);
        const std::wstring origin = crowding.value != nullptr
                                        ? reader.origin(crowding.value->field, profileName)
                                        : reader.providerOrigin(settings.providers[0], profileName);
        return message + L"; not even one provider fits, as " + origin + L" alone is " +
               groupedNumber(crowding.length) + L" characters long. " +
               (crowding.value != nullptr ? L"Shorten it." : L"Leave that provider out.");
    }
    return message + L"; about " + groupedNumber(fitting) + L" of the " +
           groupedNumber(settings.providers.size()) + L" selected providers would fit. " +
           scriptLineRemedy(overlong->line);
}

} // namespace corvane

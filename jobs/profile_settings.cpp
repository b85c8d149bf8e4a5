#include "jobs/profile_settings.h"

#include <string>
#include <utility>

namespace corvane {

JobOutcome readProfileFile(FileReader& files, const std::wstring& path,
                           const std::vector<std::wstring>& assignments,
                           SettingsEnvironment& environment, std::optional<ProfileSettings>& read) {
    std::string text;
    std::wstring why;
    if (!files.readFile(path, kLargestProfile, text, why)) {
        return JobOutcome::badInput(L"cannot read the profile " + quoted(path, kShownPathLength) +
                                    (why.empty() ? L"" : L": " + why));
    }
    return readProfileText(text, path, assignments, environment, read);
}

JobOutcome readProfileText(std::string_view text, const std::wstring& name,
                           const std::vector<std::wstring>& assignments,
                           SettingsEnvironment& environment, std::optional<ProfileSettings>& read) {
    if (text.size() > kLargestProfile) {
        return JobOutcome::badInput(L"the profile " + quoted(name, kShownPathLength) +
                                    L" is larger than " + std::to_wstring(kLargestProfile >> 20) +
                                    L" MiB, the most it may hold");
    }

    // One reading of the clock for the default output path and the default file name.
    const DefaultsEnvironment platform = environment.defaultsEnvironment();
    const LocalTime now = platform.localTime ? platform.localTime() : LocalTime{};
    const DefaultsEnvironment frozen{platform.desktopFolder, [now] { return now; }};

    ProfileReader reader(profileDefaults(frozen));
    std::wstring error;
    if (!reader.readProfile(text, error)) {
        return JobOutcome::badInput(shortened(name, kShownPathLength) + L": " + error);
    }
    for (const std::wstring& assignment : assignments) {
        if (!reader.readAssignment(assignment, error)) {
            return JobOutcome::badInput(error);
        }
    }
    TraceSettings settings = reader.settings(environment.providerOrder());
    if (settings.etlOutPath.empty()) {
        return JobOutcome::badInput(
            L"the profile sets no etl-out-path, and there is no desktop folder for its default "
            L"(there is one only on Windows): add 'etl-out-path = FILE'");
    }
    read.emplace(ProfileSettings{name, std::move(reader), std::move(settings), now});
    return {};
}

} // namespace corvane

// Reading a profile, and the assignments given beside it, into the settings a script is made
// from, keeping where each value came from so that refusals can name its line.
#pragma once

#include "jobs/job_outcome.h"
#include "jobs/system_services.h"
#include "profile/profile.h"
#include "settings/trace_settings.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvane {

struct ProfileSettings {
    std::wstring name;    // the profile's path as given, which messages name
    ProfileReader reader; // where each value came from, for messages
    TraceSettings settings;
    LocalTime now; // the one reading of the clock, for the defaults and the default file name
};

// The profile file at `path`, then `assignments` ("key=value", each winning over the profile),
// with the defaults of `environment`. `read` is filled when the outcome is done.
[[nodiscard]] JobOutcome readProfileFile(FileReader& files, const std::wstring& path,
                                         const std::vector<std::wstring>& assignments,
                                         SettingsEnvironment& environment,
                                         std::optional<ProfileSettings>& read);

// The same for a profile's UTF-8 text already in memory, named `name` in messages.
[[nodiscard]] JobOutcome readProfileText(std::string_view text, const std::wstring& name,
                                         const std::vector<std::wstring>& assignments,
                                         SettingsEnvironment& environment,
                                         std::optional<ProfileSettings>& read);

} // namespace corvane

// Writing the WPR pair: the .wprp profile and the script that runs it with wpr.exe, both files
// or neither, after the checks of the xperf script.
#pragma once

#include "jobs/job_outcome.h"
#include "jobs/profile_settings.h"
#include "jobs/system_services.h"

#include <optional>
#include <string>
#include <string_view>

namespace corvane {

inline constexpr wchar_t kWprNoStandardOutput[] =
    L"--recorder wpr writes two files, a .wprp profile and the script that runs it, so it takes "
    L"-o NAME.cmd, not --stdout";

// NAME.wprp beside NAME.cmd: the script's extension, or none, gives way to .wprp.
[[nodiscard]] std::wstring profilePathBeside(const std::wstring& scriptPath);

// What keeps `name` from being the profile's file name in the script, or nothing: it is written
// between quotes after %~dp0 and before the '!' that wpr takes for the end of the file's name.
[[nodiscard]] std::optional<std::wstring> profileFileNameProblem(std::wstring_view name);

struct WprPairRequest {
    std::optional<std::wstring> scriptPath; // a name of the clock's time here when not given
    bool force = false;                     // replace existing files
    unsigned codePage = 0;                  // the script's; 0: none known, ASCII alone
};

// Checks the profile's settings, makes both files, hands the warnings over, then writes the
// profile and the script beside it; where the script fails, the profile is taken back.
[[nodiscard]] JobOutcome writeWprPair(const ProfileSettings& profile, const WprPairRequest& request,
                                      CodePageCodec& codec, FileReader& reader, FileWriter& writer,
                                      const WarningsHandOver& handOver);

} // namespace corvane

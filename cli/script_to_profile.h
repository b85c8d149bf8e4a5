// corvane-script --profile-from: the profile of a script that Corvane saved, which makes that
// script again byte for byte.
#pragma once

#include "cli/script_tool.h"

#include <optional>
#include <string>

namespace corvane {

struct ProfileFromScript {
    std::wstring script;
    std::optional<std::wstring> output; // the script's name with .profile when not given
    bool toStandardOutput = false;
    std::optional<unsigned> codePage; // the script's; the command prompt's when not given
    bool force = false;
};

// Returns the exit status; problems go to standard error.
[[nodiscard]] int writeProfileOfScript(const ProfileFromScript& request, ScriptToolHost& host);

} // namespace corvane

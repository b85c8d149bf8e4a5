// Making the xperf capture script's bytes from settings: its checks, in words that name the
// profile's lines, and its encoding into the code page of the prompt that will run it.
#pragma once

#include "jobs/job_outcome.h"
#include "jobs/profile_settings.h"
#include "jobs/system_services.h"
#include "script/script_checks.h"

#include <string>
#include <vector>

namespace corvane {

inline constexpr wchar_t kNothingToTrace[] =
    L"nothing to trace: select at least one kernel-flag or provider, or set heap = yes";

// Writes text in `codePage` through `codec`, for the checks that measure lines in bytes; empty
// for code page 0 (none known: the script must then be ASCII).
[[nodiscard]] ScriptEncoder scriptEncoder(CodePageCodec& codec, unsigned codePage);

// The script's text as bytes in `codePage`, or the refusal: a character the code page lacks, or
// non-ASCII text with no code page to write it in.
[[nodiscard]] JobOutcome encodeScript(const std::wstring& script, unsigned codePage,
                                      CodePageCodec& codec, std::string& bytes);

struct MadeScript {
    std::string bytes;                  // in the code page, as the file will hold them
    std::vector<std::wstring> warnings; // choices that record nothing, in the profile's words
};

// The xperf script for the profile's settings in `codePage`, or the refusal of the first check
// it fails. The warnings are the caller's to show, or to refuse for.
[[nodiscard]] JobOutcome makeXperfScript(const ProfileSettings& profile, unsigned codePage,
                                         CodePageCodec& codec, MadeScript& made);

} // namespace corvane

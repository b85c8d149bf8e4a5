// The profile of a script that Corvane saved, which makes that script again byte for byte.
#pragma once

#include "jobs/job_outcome.h"
#include "jobs/system_services.h"
#include "script/capture_script_reader.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace corvane {

// The saved script's bytes, refused where they cannot be read or are far more than a script.
[[nodiscard]] JobOutcome readSavedScript(FileReader& files, const std::wstring& path,
                                         std::string& bytes);

// SCRIPT.cmd gives SCRIPT.profile, beside it.
[[nodiscard]] std::wstring defaultProfileName(const std::wstring& scriptPath);

// Whether the bytes are a WPR runner, which holds no choices of its own to read back.
[[nodiscard]] bool isWprRunner(std::string_view bytes);

// "SCRIPT: line N is not as Corvane writes it: expected ..., not ...", for a refused reading.
[[nodiscard]] std::wstring scriptFormMessage(const std::wstring& shownScript,
                                             const ScriptFormError& error);

// The number (1 first) of the first line in which a saved script and the one made again differ.
[[nodiscard]] std::size_t firstDifferentLine(std::string_view saved, std::string_view again);

struct SavedScript {
    std::wstring path;        // named in messages and in the profile's first line
    unsigned codePage = 0;    // the one it was written in; 0: none known, ASCII alone
    std::wstring profileName; // what the profile will be called, for the words of its check
};

// The profile's UTF-8 text for the script's `bytes`, refused where the script is not as Corvane
// writes it or the profile would not make the same bytes in the same code page.
[[nodiscard]] JobOutcome profileOfSavedScript(const std::string& bytes, const SavedScript& script,
                                              CodePageCodec& codec,
                                              SettingsEnvironment& environment,
                                              std::string& profile);

} // namespace corvane

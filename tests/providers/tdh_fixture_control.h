// Drives the test Tdh.dll that the program loaded: writes its script and reads its call records.
#pragma once

#include "tests/providers/tdh_fixture_protocol.h"

#include <string>
#include <string_view>
#include <vector>

namespace corvane::tdh_fixture {

// A script file of its own, named to the library through kScriptVariable while it lives.
class ScriptFile {
public:
    ScriptFile();
    ~ScriptFile();
    ScriptFile(const ScriptFile&) = delete;
    ScriptFile& operator=(const ScriptFile&) = delete;

    // Replaces the script with these UTF-8 lines.
    [[nodiscard]] bool write(std::string_view utf8Text) const;

private:
    std::wstring path_;
};

// The calls recorded since the library was loaded (none while it is not loaded). Never loads it,
// so that the program's first enumeration is the one that does.
[[nodiscard]] std::vector<CallRecord> recordedCalls();

// The directory the running program was started from, with a trailing backslash.
[[nodiscard]] std::wstring programDirectory();

// The directory a loaded module came from, and the system folder, each with a trailing
// backslash and in lower case, so that the two compare as the file system does.
[[nodiscard]] std::wstring moduleDirectory(HMODULE module);
[[nodiscard]] std::wstring systemDirectory();

} // namespace corvane::tdh_fixture

// corvane-script: makes the dialog's capture script from a profile, from the command line. The
// run itself is Win32-free; what differs between systems comes through ScriptToolHost.
#pragma once

#include "jobs/system_services.h"
#include "profile/profile.h"

#include <string>
#include <string_view>
#include <vector>

namespace corvane {

// The services of the system the program runs on: those the jobs take, and the console's own.
class ScriptToolHost : public FileReader,
                       public FileWriter,
                       public CodePageCodec,
                       public SettingsEnvironment {
public:
    // The code page the command prompt reads scripts in, or 0 where there is no such prompt.
    [[nodiscard]] virtual unsigned scriptCodePage() = 0;

    // The registered providers, or false with the reason when there is no list to be had.
    [[nodiscard]] virtual bool listProviders(std::vector<std::wstring>& names,
                                             std::wstring& why) = 0;

    // Standard output: the script's bytes as they are, or text for a reader.
    [[nodiscard]] virtual bool writeOutput(std::string_view bytes) = 0;
    [[nodiscard]] virtual bool writeOutputText(std::wstring_view text) = 0;
    // Standard error; best effort.
    virtual void writeError(std::wstring_view text) = 0;
};

// Exit statuses.
inline constexpr int kExitDone = 0;
inline constexpr int kExitBadInput = 1; // bad profile or arguments
inline constexpr int kExitNotWritten = 2;
inline constexpr int kExitOutOfMemory = 4; // 3 is what an abort gives on Windows

// Written by each system's entry point, without allocating, when memory runs out.
inline constexpr char kOutOfMemoryMessage[] = "corvane-script: out of memory\n";

// Runs one command line (without the program name) and returns the exit status.
[[nodiscard]] int runScriptTool(const std::vector<std::wstring>& arguments, ScriptToolHost& host);

} // namespace corvane

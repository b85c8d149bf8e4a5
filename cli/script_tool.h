// corvane-script: makes the dialog's capture script from a profile, from the command line. The
// run itself is Win32-free; what differs between systems comes through ScriptToolHost.
#pragma once

#include "profile/profile.h"
#include "settings/trace_settings.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace corvane {

enum class Encoding { Ok, Unrepresentable, UnknownCodePage, ChangesAscii };
enum class FileWrite { Written, NameTaken, Failed };

// The services of the system the program runs on.
class ScriptToolHost {
public:
    virtual ~ScriptToolHost() = default;

    // Stops reading once the file has shown to be longer than `limit` bytes, so that a huge file
    // or an endless device costs no more than that. On failure `why` holds the system's reason,
    // or stays empty when it gave none.
    [[nodiscard]] virtual bool readFile(const std::wstring& path, std::size_t limit,
                                        std::string& bytes, std::wstring& why) = 0;
    // NameTaken, with nothing written, where something has the name and `replaceExisting` is
    // false; the check and the creation are one step where the system allows it. On Failed `why`
    // holds the reason.
    [[nodiscard]] virtual FileWrite writeFile(const std::wstring& path, const std::string& bytes,
                                              bool replaceExisting, std::wstring& why) = 0;
    // Removes a file that this run has just written, when the file written after it failed;
    // false with the reason where it stays.
    [[nodiscard]] virtual bool removeFile(const std::wstring& path, std::wstring& why) = 0;

    // The desktop folder (none off Windows) and the clock, for the defaults and the file name.
    [[nodiscard]] virtual DefaultsEnvironment defaultsEnvironment() = 0;
    // The code page the command prompt reads scripts in, or 0 where there is no such prompt.
    [[nodiscard]] virtual unsigned scriptCodePage() = 0;
    [[nodiscard]] virtual Encoding encode(const std::wstring& text, unsigned codePage,
                                          std::string& bytes) = 0;
    // The way back, for a saved script: Unrepresentable where the bytes are no text in the code
    // page.
    [[nodiscard]] virtual Encoding decode(const std::string& bytes, unsigned codePage,
                                          std::wstring& text) = 0;

    // The registered providers, or false with the reason when there is no list to be had.
    [[nodiscard]] virtual bool listProviders(std::vector<std::wstring>& names,
                                             std::wstring& why) = 0;
    [[nodiscard]] virtual ProviderOrder providerOrder() = 0;

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

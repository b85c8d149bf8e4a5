// What the jobs below both programs take from the system they run on, each through an interface
// of its own: reading files, writing them by our writers' rules, code pages, and where the
// defaults and the provider order come from. Each program implements them with its own means.
#pragma once

#include "profile/profile.h"
#include "settings/trace_settings.h"

#include <cstddef>
#include <string>

namespace corvane {

enum class Encoding { Ok, Unrepresentable, UnknownCodePage, ChangesAscii };
enum class FileWrite { Written, NameTaken, Failed };

class FileReader {
public:
    virtual ~FileReader() = default;
    // Stops reading once the file has shown to be longer than `limit` bytes, so that a huge file
    // or an endless device costs no more than that. On failure `why` holds the system's reason,
    // or stays empty when it gave none.
    [[nodiscard]] virtual bool readFile(const std::wstring& path, std::size_t limit,
                                        std::string& bytes, std::wstring& why) = 0;
};

class FileWriter {
public:
    virtual ~FileWriter() = default;
    // NameTaken, with nothing written, where something has the name and `replaceExisting` is
    // false; the check and the creation are one step where the system allows it. On Failed `why`
    // holds the reason.
    [[nodiscard]] virtual FileWrite writeFile(const std::wstring& path, const std::string& bytes,
                                              bool replaceExisting, std::wstring& why) = 0;
    // Removes a file that this run has just written, when the file written after it failed;
    // false with the reason where it stays.
    [[nodiscard]] virtual bool removeFile(const std::wstring& path, std::wstring& why) = 0;
};

class CodePageCodec {
public:
    virtual ~CodePageCodec() = default;
    [[nodiscard]] virtual Encoding encode(const std::wstring& text, unsigned codePage,
                                          std::string& bytes) = 0;
    // The way back, for a saved script: Unrepresentable where the bytes are no text in the code
    // page.
    [[nodiscard]] virtual Encoding decode(const std::string& bytes, unsigned codePage,
                                          std::wstring& text) = 0;
};

class SettingsEnvironment {
public:
    virtual ~SettingsEnvironment() = default;
    // The desktop folder (none off Windows) and the clock, for the defaults and the file name.
    [[nodiscard]] virtual DefaultsEnvironment defaultsEnvironment() = 0;
    // The order in which the system's provider list shows names; selections follow it.
    [[nodiscard]] virtual ProviderOrder providerOrder() = 0;
};

} // namespace corvane

// The ScriptToolHost of the system the program is built for: its files, clock, code pages,
// registered providers and standard streams.
#pragma once

#include "cli/script_tool.h"

namespace corvane {

class SystemScriptToolHost : public ScriptToolHost {
public:
    [[nodiscard]] bool readFile(const std::wstring& path, std::size_t limit, std::string& bytes,
                                std::wstring& why) override;
    [[nodiscard]] FileWrite writeFile(const std::wstring& path, const std::string& bytes,
                                      bool replaceExisting, std::wstring& why) override;
    [[nodiscard]] bool removeFile(const std::wstring& path, std::wstring& why) override;
    [[nodiscard]] DefaultsEnvironment defaultsEnvironment() override;
    [[nodiscard]] unsigned scriptCodePage() override;
    [[nodiscard]] Encoding encode(const std::wstring& text, unsigned codePage,
                                  std::string& bytes) override;
    [[nodiscard]] Encoding decode(const std::string& bytes, unsigned codePage,
                                  std::wstring& text) override;
    [[nodiscard]] bool listProviders(std::vector<std::wstring>& names, std::wstring& why) override;
    [[nodiscard]] ProviderOrder providerOrder() override;
    [[nodiscard]] bool writeOutput(std::string_view bytes) override;
    [[nodiscard]] bool writeOutputText(std::wstring_view text) override;
    void writeError(std::wstring_view text) override;
};

} // namespace corvane

// A ScriptToolHost with files in memory, a fixed clock and captured output, so that runs of the
// command line can be checked whole on every platform.
#pragma once

#include "cli/script_tool.h"
#include "encoding/utf8.h"

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace corvane::testing {

class FakeHost : public ScriptToolHost {
public:
    std::map<std::wstring, std::string> files;
    std::vector<std::wstring> unwritableFolders; // paths starting with one of these fail
    std::optional<std::wstring> desktop;         // none, as off Windows
    LocalTime now{2024, 1, 5, 9, 30, 0};
    unsigned promptCodePage = 0; // 0: no command prompt, as off Windows
    std::vector<std::wstring> registeredProviders;
    bool providersListable = false;
    std::string output;
    std::wstring errors;

    bool readFile(const std::wstring& path, std::size_t limit, std::string& bytes,
                  std::wstring& why) override {
        const auto file = files.find(path);
        if (file == files.end()) {
            why = L"no such file";
            return false;
        }
        bytes = file->second.substr(0, limit + 1);
        return true;
    }
    FileWrite writeFile(const std::wstring& path, const std::string& bytes, bool replaceExisting,
                        std::wstring& why) override {
        if (!replaceExisting && files.count(path) != 0) {
            return FileWrite::NameTaken;
        }
        for (const std::wstring& folder : unwritableFolders) {
            if (path.rfind(folder, 0) == 0) {
                why = L"access denied";
                return FileWrite::Failed;
            }
        }
        files[path] = bytes;
        return FileWrite::Written;
    }
    bool removeFile(const std::wstring& path, std::wstring& why) override {
        why = L"no such file";
        return files.erase(path) == 1;
    }
    DefaultsEnvironment defaultsEnvironment() override {
        return DefaultsEnvironment{[this] { return desktop; }, [this] { return now; }};
    }
    unsigned scriptCodePage() override { return promptCodePage; }
    // Code page 28591 (ISO 8859-1) is all the fake knows: every character up to U+00FF.
    Encoding encode(const std::wstring& text, unsigned codePage, std::string& bytes) override {
        bytes.clear();
        if (codePage != 28591) {
            return Encoding::UnknownCodePage;
        }
        for (const wchar_t c : text) {
            if (static_cast<unsigned>(c) > 0xFF) {
                bytes.clear();
                return Encoding::Unrepresentable;
            }
            bytes.push_back(static_cast<char>(static_cast<unsigned char>(c)));
        }
        return Encoding::Ok;
    }
    Encoding decode(const std::string& bytes, unsigned codePage, std::wstring& text) override {
        if (codePage != 28591) {
            return Encoding::UnknownCodePage;
        }
        text.assign(bytes.begin(), bytes.end());
        for (wchar_t& c : text) {
            c = static_cast<wchar_t>(static_cast<unsigned char>(c));
        }
        return Encoding::Ok;
    }
    bool listProviders(std::vector<std::wstring>& names, std::wstring& why) override {
        names = registeredProviders;
        why = L"not here";
        return providersListable;
    }
    ProviderOrder providerOrder() override { return wordSortLess; }
    bool writeOutput(std::string_view bytes) override {
        output.append(bytes);
        return true;
    }
    bool writeOutputText(std::wstring_view text) override {
        output += toUtf8(text);
        return true;
    }
    void writeError(std::wstring_view text) override { errors.append(text); }

    // Runs the command line with these arguments.
    int run(const std::vector<std::wstring>& arguments) {
        output.clear();
        errors.clear();
        return runScriptTool(arguments, *this);
    }
};

} // namespace corvane::testing

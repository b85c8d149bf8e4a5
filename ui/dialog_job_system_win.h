// What the jobs below both programs take from the system, as the dialog gives it: files read and
// written by the rules OK's save follows, and the code page OK saves scripts in.
#pragma once

#include "jobs/system_services.h"

#include <string>
#include <vector>

namespace corvane {

class DialogJobSystem final : public FileReader, public FileWriter, public CodePageCodec {
public:
    [[nodiscard]] bool readFile(const std::wstring& path, std::size_t limit, std::string& bytes,
                                std::wstring& why) override;
    [[nodiscard]] FileWrite writeFile(const std::wstring& path, const std::string& bytes,
                                      bool replaceExisting, std::wstring& why) override;
    [[nodiscard]] bool removeFile(const std::wstring& path, std::wstring& why) override;
    [[nodiscard]] Encoding encode(const std::wstring& text, unsigned codePage,
                                  std::string& bytes) override;
    [[nodiscard]] Encoding decode(const std::string& bytes, unsigned codePage,
                                  std::wstring& text) override;

    // Backups of earlier files that another program held past every wait, each in words, for the
    // message that reports the files written.
    [[nodiscard]] const std::vector<std::wstring>& leftBehind() const noexcept {
        return leftBehind_;
    }

private:
    std::vector<std::wstring> leftBehind_;
};

} // namespace corvane

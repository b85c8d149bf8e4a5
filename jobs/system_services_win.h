// The jobs' system on Windows, which both programs give them: files read and written by the rules
// the dialog's save follows, the system's code pages, and the order of a sorted list box.
#pragma once

#include "jobs/system_services.h"
#include "profile/profile.h"

#include <functional>
#include <string>
#include <utility>

namespace corvane {

class WindowsJobSystem final : public FileReader, public FileWriter, public CodePageCodec {
public:
    // Told, in words, of each backup of an earlier file that another program held past every
    // wait: the console says it at once, the dialog with the files written.
    using LeftBehindHook = std::function<void(std::wstring note)>;

    explicit WindowsJobSystem(LeftBehindHook leftBehind) : leftBehind_(std::move(leftBehind)) {}

    [[nodiscard]] bool readFile(const std::wstring& path, std::size_t limit, std::string& bytes,
                                std::wstring& why) override;
    [[nodiscard]] FileWrite writeFile(const std::wstring& path, const std::string& bytes,
                                      bool replaceExisting, std::wstring& why) override;
    [[nodiscard]] bool removeFile(const std::wstring& path, std::wstring& why) override;
    [[nodiscard]] Encoding encode(const std::wstring& text, unsigned codePage,
                                  std::string& bytes) override;
    [[nodiscard]] Encoding decode(const std::string& bytes, unsigned codePage,
                                  std::wstring& text) override;

private:
    LeftBehindHook leftBehind_;
};

// The order of a sorted list box, which the Providers list and the system's provider list show.
[[nodiscard]] ProviderOrder sortedListBoxOrder();

} // namespace corvane

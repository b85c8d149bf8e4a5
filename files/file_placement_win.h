// The file calls that put a written script in place, behind a seam.
#pragma once

#include <windows.h>

#include <string>

namespace corvane {

// The file calls that put a written script in place, behind a seam so that tests can fail them as
// a virus scanner, an indexer, a full disk or a locked-down folder does. Each returns 0 or the
// platform's error code; paths come in the form the plain file calls accept.
class FilePlacement {
public:
    virtual ~FilePlacement() = default;
    // A file that did not exist before, open for writing and shared with nobody.
    [[nodiscard]] virtual unsigned long createNew(const std::wstring& path, HANDLE& file) noexcept;
    // Every byte written to `file` on the disk.
    [[nodiscard]] virtual unsigned long flush(HANDLE file) noexcept;
    // `replacement` takes the name of the existing `replaced`, which keeps its access rights;
    // `replaced` leaves by way of the name `backup`.
    [[nodiscard]] virtual unsigned long replace(const std::wstring& replaced,
                                                const std::wstring& replacement,
                                                const std::wstring& backup) noexcept;
    // `from` takes the name `to`, where there is no file.
    [[nodiscard]] virtual unsigned long move(const std::wstring& from,
                                             const std::wstring& to) noexcept;
    [[nodiscard]] virtual unsigned long remove(const std::wstring& path) noexcept;
    virtual void pause(unsigned milliseconds) noexcept;
};

FilePlacement& platformFilePlacement();

} // namespace corvane

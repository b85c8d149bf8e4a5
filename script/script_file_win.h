// Puts a capture script on disk: the save dialog with its timestamped default name, the
// conversion to the command prompt's code page without best fit, and a write that never leaves a
// damaged file at the chosen path.
#pragma once

#include "script/script_ui.h"

#include <windows.h>

#include <string>

namespace corvane {

class FilePlacement;

// Asks for a file name and writes the script there. A script that the command prompt's code page
// cannot hold is refused before the dialog opens. Failures are shown in messages owned by
// `owner`; a cancelled dialog and success are silent.
void SaveCaptureScript(HWND owner, const std::wstring& scriptText, ScriptUi& ui);
void SaveCaptureScript(HWND owner, const std::wstring& scriptText, ScriptUi& ui,
                       FilePlacement& placement);

// Lower layers, tested on their own:

// The file calls that put a written script in place, behind a seam so that tests can fail them as
// a virus scanner, an indexer or a locked-down folder does. Each returns 0 or the platform's error
// code; paths come in the form the plain file calls accept.
class FilePlacement {
public:
    virtual ~FilePlacement() = default;
    // A file that did not exist before, open for writing and shared with nobody.
    [[nodiscard]] virtual unsigned long createNew(const std::wstring& path, HANDLE& file) noexcept;
    // `replacement` takes the name of the existing `replaced`, which keeps its access rights.
    [[nodiscard]] virtual unsigned long replace(const std::wstring& replaced,
                                                const std::wstring& replacement) noexcept;
    // `from` takes the name `to`, where there is no file.
    [[nodiscard]] virtual unsigned long move(const std::wstring& from,
                                             const std::wstring& to) noexcept;
    [[nodiscard]] virtual unsigned long remove(const std::wstring& path) noexcept;
    virtual void pause(unsigned milliseconds) noexcept;
};

FilePlacement& platformFilePlacement();

// Writes to a new file beside the destination, flushes it and only then puts it in the
// destination's place; on failure the temporary file is gone and whatever was at `path` is
// untouched. A symbolic link at `path` has its target replaced; an existing file keeps its
// attributes and access rights. A file with several hard links is replaced under the chosen name
// only: its other names keep the earlier text. Calls that another program's open handle makes fail
// are retried for about two seconds. Where no new file can be made beside an existing destination,
// the destination itself is truncated and written.
[[nodiscard]] bool writeFileReplacing(const std::wstring& path, const std::string& bytes) noexcept;
[[nodiscard]] bool writeFileReplacing(const std::wstring& path, const std::string& bytes,
                                      FilePlacement& placement) noexcept;

// `path` in the \\?\ form when it is too long for the plain file calls; otherwise unchanged.
[[nodiscard]] std::wstring withLongPathPrefix(const std::wstring& path);

} // namespace corvane

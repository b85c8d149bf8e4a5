// The hidden file a script is written to before it takes its name. Where the file system can make
// a file without a name, it is named only just before it takes the script's place, so that only
// a SIGKILL or a power cut in that moment can leave it behind. Elsewhere it has its name from the
// start and is removed again on a failure and on every signal that would end the program; a
// SIGKILL or a power cut while the script is written leave it.
#pragma once

#include <string>

#include <sys/types.h>

namespace corvane {

// Lets the program's writes fail with EFBIG past the file size limit (`ulimit -f`), rather than
// end the process, and removes the named temporary file on every signal whose default action
// ends the process, before the signal ends it as it would have. Signals that were ignored, or that
// a handler already takes (a sanitizer's), are left as they were.
void removeTemporaryFileOnSignals() noexcept;

// The temporary file's name in its folder, removed again unless it was renamed away.
class TemporaryName {
public:
    explicit TemporaryName(int folder) noexcept : folder_(folder) {}
    ~TemporaryName();
    TemporaryName(const TemporaryName&) = delete;
    TemporaryName& operator=(const TemporaryName&) = delete;

    // A new file, open for writing, without a name where the file system allows; -1 with errno
    // when none could be made.
    [[nodiscard]] int create(mode_t mode);
    // Links the file that create made under a temporary name, if it has none yet. 0 or an errno.
    [[nodiscard]] int giveName(int file);
    // Empty while the file has no name.
    [[nodiscard]] const char* name() const noexcept { return name_.c_str(); }
    // The name holds something else now, which must stay: it is no longer ours to remove.
    void renamedAway() noexcept;
    // Removes the name now rather than at the end.
    void remove() noexcept;

private:
    int folder_;
    std::string name_;
};

} // namespace corvane

// The hidden file a script is written to before it takes its name, removed again on every way
// out: a failure, an interrupt or a termination.
#pragma once

#include <string>

#include <sys/types.h>

namespace corvane {

// Lets the program's writes fail with EFBIG past the file size limit (`ulimit -f`), rather than
// end the process, and removes the temporary file on SIGINT, SIGTERM and SIGHUP before the signal
// ends the process as it would have. Signals that were ignored stay ignored.
void removeTemporaryFileOnSignals() noexcept;

// The temporary file's name in its folder, removed again unless it was renamed away.
class TemporaryName {
public:
    explicit TemporaryName(int folder) noexcept : folder_(folder) {}
    ~TemporaryName();
    TemporaryName(const TemporaryName&) = delete;
    TemporaryName& operator=(const TemporaryName&) = delete;

    // A new file, open for writing; -1 with errno when none could be made.
    [[nodiscard]] int create(mode_t mode);
    [[nodiscard]] const char* name() const noexcept { return name_.c_str(); }
    // The name holds something else now, which must stay: it is no longer ours to remove.
    void renamedAway() noexcept;

private:
    int folder_;
    std::string name_;
};

} // namespace corvane

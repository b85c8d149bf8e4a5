#include "files/temporary_file_posix.h"

#include <cerrno>
#include <csignal>
#include <cstddef>
#include <string>

#include <fcntl.h>
#include <time.h>
#include <unistd.h>

namespace corvane {
namespace {

constexpr std::size_t kNameLength = 17; // ".corvane-" and eight characters

// The signals that end the program and would leave the temporary file behind.
constexpr int kStoppingSignals[] = {SIGINT, SIGTERM, SIGHUP};

// The temporary file that a signal handler removes: the program writes one file at a time. The
// handler reads the name only while `armed` is set, and it is set only once the name is whole.
volatile std::sig_atomic_t armed = 0;
int armedFolder = -1;
char armedName[kNameLength + 1];

extern "C" void removeTemporaryFileAndStop(int signal) {
    if (armed != 0) {
        static_cast<void>(unlinkat(armedFolder, armedName, 0));
    }
    // SA_RESETHAND has put the default action back; the signal is delivered when we return.
    static_cast<void>(raise(signal));
}

void arm(int folder, const std::string& name) noexcept {
    armed = 0;
    armedFolder = folder;
    name.copy(armedName, kNameLength);
    armedName[name.size() < kNameLength ? name.size() : kNameLength] = '\0';
    armed = 1;
}

// A name for the temporary file that no other writer is likely to pick; O_EXCL makes sure.
std::string temporaryName(unsigned attempt) {
    static constexpr char kCharacters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    auto seed = static_cast<unsigned long long>(now.tv_nsec) ^
                (static_cast<unsigned long long>(getpid()) << 32) ^ (attempt * 0x9E3779B9ULL);
    std::string name = ".corvane-";
    for (int i = 0; i < 8; ++i) {
        name += kCharacters[seed % (sizeof kCharacters - 1)];
        seed /= sizeof kCharacters - 1;
    }
    return name;
}

} // namespace

void removeTemporaryFileOnSignals() noexcept {
    static_cast<void>(std::signal(SIGXFSZ, SIG_IGN));
    struct sigaction action {};
    action.sa_handler = removeTemporaryFileAndStop;
    action.sa_flags = static_cast<int>(SA_RESETHAND);
    sigemptyset(&action.sa_mask);
    for (const int signal : kStoppingSignals) {
        struct sigaction earlier {};
        if (sigaction(signal, nullptr, &earlier) == 0 && earlier.sa_handler != SIG_IGN) {
            static_cast<void>(sigaction(signal, &action, nullptr));
        }
    }
}

TemporaryName::~TemporaryName() {
    if (!name_.empty()) {
        armed = 0;
        static_cast<void>(unlinkat(folder_, name_.c_str(), 0));
    }
}

int TemporaryName::create(mode_t mode) {
    // The stopping signals wait while the file is made and its name handed to their handler, so
    // that none can end the program in between and leave the file behind.
    sigset_t stopping{};
    sigset_t earlier{};
    sigemptyset(&stopping);
    for (const int signal : kStoppingSignals) {
        sigaddset(&stopping, signal);
    }
    static_cast<void>(sigprocmask(SIG_BLOCK, &stopping, &earlier));
    int descriptor = -1;
    for (unsigned attempt = 0; attempt < 100 && descriptor < 0; ++attempt) {
        name_ = temporaryName(attempt);
        descriptor = openat(folder_, name_.c_str(),
                            O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
        if (descriptor < 0 && errno != EEXIST) {
            break;
        }
    }
    const int cause = errno;
    if (descriptor >= 0) {
        arm(folder_, name_);
    } else {
        name_.clear();
    }
    static_cast<void>(sigprocmask(SIG_SETMASK, &earlier, nullptr));
    errno = cause;
    return descriptor;
}

void TemporaryName::renamedAway() noexcept {
    armed = 0;
    name_.clear();
}

} // namespace corvane

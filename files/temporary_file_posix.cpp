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

// The signals whose default action ends the program (signal(7)), but SIGKILL, which no handler
// sees, and SIGXFSZ, which the program ignores, and the real-time ones, added where known.
constexpr int kStoppingSignals[] = {
    SIGHUP,    SIGINT,  SIGQUIT, SIGILL,  SIGTRAP, SIGABRT,   SIGBUS,  SIGFPE,  SIGUSR1, SIGSEGV,
    SIGUSR2,   SIGPIPE, SIGALRM, SIGTERM, SIGXCPU, SIGVTALRM, SIGPROF, SIGPOLL, SIGSYS,
#ifdef SIGSTKFLT
    SIGSTKFLT,
#endif
#ifdef SIGPWR
    SIGPWR,
#endif
};

template <typename Each>
void forEachStoppingSignal(Each each) {
    for (const int signal : kStoppingSignals) {
        each(signal);
    }
#ifdef SIGRTMIN
    for (int signal = SIGRTMIN; signal <= SIGRTMAX; ++signal) {
        each(signal);
    }
#endif
}

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

// Tries new names until `make` takes a free one, with the stopping signals held back until their
// handler knows the name, so that none can end the program in between and leave the file behind.
// `make` returns -1 with errno when it could not.
template <typename Make>
int claimName(int folder, std::string& name, Make make) {
    sigset_t stopping{};
    sigset_t earlier{};
    sigemptyset(&stopping);
    forEachStoppingSignal([&](int signal) { sigaddset(&stopping, signal); });
    static_cast<void>(sigprocmask(SIG_BLOCK, &stopping, &earlier));
    int made = -1;
    for (unsigned attempt = 0; attempt < 100 && made < 0; ++attempt) {
        name = temporaryName(attempt);
        made = make(name.c_str());
        if (made < 0 && errno != EEXIST) {
            break;
        }
    }
    const int cause = errno;
    if (made >= 0) {
        arm(folder, name);
    } else {
        name.clear();
    }
    static_cast<void>(sigprocmask(SIG_SETMASK, &earlier, nullptr));
    errno = cause;
    return made;
}

// Links a file made without a name; through /proc, or, where that is not mounted, by descriptor,
// which only a process that may search every folder can do.
int linkUnnamed(int file, int folder, const char* name) {
    const std::string source = "/proc/self/fd/" + std::to_string(file);
    if (linkat(AT_FDCWD, source.c_str(), folder, name, AT_SYMLINK_FOLLOW) == 0) {
        return 0;
    }
#ifdef AT_EMPTY_PATH
    if (errno == ENOENT) {
        return linkat(file, "", folder, name, AT_EMPTY_PATH);
    }
#endif
    return -1;
}

} // namespace

void removeTemporaryFileOnSignals() noexcept {
    static_cast<void>(std::signal(SIGXFSZ, SIG_IGN));
    struct sigaction action {};
    action.sa_handler = removeTemporaryFileAndStop;
    action.sa_flags = static_cast<int>(SA_RESETHAND);
    sigemptyset(&action.sa_mask);
    forEachStoppingSignal([&](int signal) {
        struct sigaction earlier {};
        if (sigaction(signal, nullptr, &earlier) == 0 && (earlier.sa_flags & SA_SIGINFO) == 0 &&
            earlier.sa_handler == SIG_DFL) {
            static_cast<void>(sigaction(signal, &action, nullptr));
        }
    });
}

TemporaryName::~TemporaryName() {
    remove();
}

void TemporaryName::remove() noexcept {
    if (!name_.empty()) {
        armed = 0;
        static_cast<void>(unlinkat(folder_, name_.c_str(), 0));
        name_.clear();
    }
}

int TemporaryName::create(mode_t mode) {
#ifdef O_TMPFILE
    const int unnamed = openat(folder_, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
    // Where the file system or the kernel cannot make one, a named file does.
    if (unnamed >= 0 || (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)) {
        return unnamed;
    }
#endif
    return claimName(folder_, name_, [&](const char* name) {
        return openat(folder_, name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
    });
}

int TemporaryName::giveName(int file) {
    if (!name_.empty()) {
        return 0;
    }
    const int linked = claimName(
        folder_, name_, [&](const char* name) { return linkUnnamed(file, folder_, name); });
    return linked == 0 ? 0 : errno;
}

void TemporaryName::renamedAway() noexcept {
    armed = 0;
    name_.clear();
}

} // namespace corvane

#include "script/script_file_posix.h"

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <fcntl.h>
#include <iconv.h>
#include <sys/stat.h>
#include <unistd.h>

namespace corvane {
namespace {

constexpr unsigned kUtf8CodePage = 65001;

// Owns an iconv descriptor; (iconv_t)-1 means none.
class IconvHandle {
public:
    IconvHandle(const char* to, const char* from) : handle_(iconv_open(to, from)) {}
    ~IconvHandle() {
        if (isOpen()) {
            iconv_close(handle_);
        }
    }
    IconvHandle(const IconvHandle&) = delete;
    IconvHandle& operator=(const IconvHandle&) = delete;

    [[nodiscard]] bool isOpen() const noexcept { return handle_ != reinterpret_cast<iconv_t>(-1); }
    [[nodiscard]] iconv_t get() const noexcept { return handle_; }

private:
    iconv_t handle_;
};

// Owns a file descriptor; -1 means none.
class UniqueDescriptor {
public:
    explicit UniqueDescriptor(int descriptor) noexcept : descriptor_(descriptor) {}
    ~UniqueDescriptor() { static_cast<void>(close()); }
    UniqueDescriptor(const UniqueDescriptor&) = delete;
    UniqueDescriptor& operator=(const UniqueDescriptor&) = delete;

    [[nodiscard]] int get() const noexcept { return descriptor_; }
    [[nodiscard]] bool isOpen() const noexcept { return descriptor_ >= 0; }

    // A close can still report a write that the system had deferred.
    [[nodiscard]] bool close() noexcept {
        if (!isOpen()) {
            return true;
        }
        const int descriptor = descriptor_;
        descriptor_ = -1;
        return ::close(descriptor) == 0;
    }

private:
    int descriptor_;
};

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The permissions a newly created file gets here (0666 less the umask); mkstemp gives 0600.
mode_t newFileMode() noexcept {
    const mode_t mask = umask(0);
    umask(mask);
    return static_cast<mode_t>(0666 & ~mask);
}

bool writeAll(int descriptor, const std::string& bytes, int& error) noexcept {
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t done = ::write(descriptor, bytes.data() + written, bytes.size() - written);
        if (done < 0) {
            if (errno == EINTR) {
                continue;
            }
            error = errno;
            return false;
        }
        written += static_cast<std::size_t>(done);
    }
    return true;
}

// Creates `pathPattern` (ending in XXXXXX, which it fills in) with every byte on disk, or
// removes it again.
bool writeTemporary(std::string& pathPattern, const std::string& bytes, mode_t mode,
                    int& error) noexcept {
    UniqueDescriptor file(mkstemp(pathPattern.data()));
    if (!file.isOpen()) {
        error = errno;
        return false;
    }
    bool written = true;
    if (fchmod(file.get(), mode) != 0) {
        error = errno;
        written = false;
    }
    written = written && writeAll(file.get(), bytes, error);
    if (written && fsync(file.get()) != 0) {
        error = errno;
        written = false;
    }
    if (!file.close() && written) {
        error = errno;
        written = false;
    }
    if (!written) {
        static_cast<void>(unlink(pathPattern.c_str()));
    }
    return written;
}

} // namespace

std::string iconvNameOfCodePage(unsigned codePage) {
    return codePage == kUtf8CodePage ? std::string("UTF-8") : "CP" + std::to_string(codePage);
}

IconvConversion utf8ToCodePage(const std::string& utf8, unsigned codePage, std::string& bytes) {
    bytes.clear();
    // Without //TRANSLIT or //IGNORE, iconv stops with EILSEQ at a character it cannot hold.
    const IconvHandle converter(iconvNameOfCodePage(codePage).c_str(), "UTF-8");
    if (!converter.isOpen()) {
        return IconvConversion::UnknownCodePage;
    }
    std::vector<char> input(utf8.begin(), utf8.end());
    // No code page needs more than four bytes for a character that takes at least one in UTF-8.
    std::string output(utf8.size() * 4 + 16, '\0');
    char* in = input.data();
    std::size_t inLeft = input.size();
    char* out = output.data();
    std::size_t outLeft = output.size();
    if (iconv(converter.get(), &in, &inLeft, &out, &outLeft) == static_cast<std::size_t>(-1) ||
        iconv(converter.get(), nullptr, nullptr, &out, &outLeft) == static_cast<std::size_t>(-1)) {
        return IconvConversion::Unrepresentable;
    }
    output.resize(output.size() - outLeft);
    bytes = std::move(output);
    return IconvConversion::Ok;
}

bool writeFileReplacing(const std::string& path, const std::string& bytes, int& error) noexcept {
    error = 0;
    if (path.empty()) {
        error = ENOENT;
        return false;
    }
    // A link keeps pointing where it did: the file it names is the one replaced.
    std::string destination = path;
    struct stat status {};
    if (lstat(path.c_str(), &status) == 0 && S_ISLNK(status.st_mode)) {
        if (char* resolved = realpath(path.c_str(), nullptr)) {
            destination = resolved;
            std::free(resolved);
        }
    }
    // A file that is replaced keeps its permissions.
    const mode_t mode =
        stat(destination.c_str(), &status) == 0 ? (status.st_mode & 0777) : newFileMode();

    std::string temporary = folderOf(destination) + "/.corvane-XXXXXX";
    if (!writeTemporary(temporary, bytes, mode, error)) {
        return false;
    }
    if (std::rename(temporary.c_str(), destination.c_str()) != 0) {
        error = errno;
        static_cast<void>(unlink(temporary.c_str()));
        return false;
    }
    // The rename itself reaches the disk with the folder; a failure here loses nothing written.
    UniqueDescriptor folder(open(folderOf(destination).c_str(), O_RDONLY | O_DIRECTORY));
    if (folder.isOpen()) {
        static_cast<void>(fsync(folder.get()));
    }
    return true;
}

} // namespace corvane

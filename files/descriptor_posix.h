// A file descriptor with one owner that closes it.
#pragma once

#include <unistd.h>

namespace corvane {

// Owns a file descriptor; -1 means none.
class UniqueDescriptor {
public:
    explicit UniqueDescriptor(int descriptor) noexcept : descriptor_(descriptor) {}
    ~UniqueDescriptor() { static_cast<void>(close()); }
    UniqueDescriptor(const UniqueDescriptor&) = delete;
    UniqueDescriptor& operator=(const UniqueDescriptor&) = delete;

    [[nodiscard]] int get() const noexcept { return descriptor_; }
    [[nodiscard]] bool isOpen() const noexcept { return descriptor_ >= 0; }
    [[nodiscard]] int release() noexcept {
        const int descriptor = descriptor_;
        descriptor_ = -1;
        return descriptor;
    }
    void reset(int descriptor) noexcept {
        static_cast<void>(close());
        descriptor_ = descriptor;
    }

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

} // namespace corvane

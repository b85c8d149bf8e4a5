// A small growable array of trivially copyable values whose growth reports failure instead of
// throwing: capacity 1 at the first insertion, doubled when full, never reduced by removal.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <type_traits>

namespace corvane {

template <class T>
class GrowableArray {
    static_assert(std::is_trivially_copyable_v<T>, "values are moved with memcpy/memmove");

public:
    GrowableArray() noexcept = default;
    ~GrowableArray() { std::free(items_); }

    GrowableArray(const GrowableArray&) = delete;
    GrowableArray& operator=(const GrowableArray&) = delete;

    GrowableArray(GrowableArray&& other) noexcept
        : items_(other.items_), size_(other.size_), capacity_(other.capacity_) {
        other.items_ = nullptr;
        other.size_ = 0;
        other.capacity_ = 0;
    }

    GrowableArray& operator=(GrowableArray&& other) noexcept {
        if (this != &other) {
            std::free(items_);
            items_ = other.items_;
            size_ = other.size_;
            capacity_ = other.capacity_;
            other.items_ = nullptr;
            other.size_ = 0;
            other.capacity_ = 0;
        }
        return *this;
    }

    [[nodiscard]] std::size_t size() const noexcept { return size_; }
    [[nodiscard]] std::size_t capacity() const noexcept { return capacity_; }
    [[nodiscard]] bool empty() const noexcept { return size_ == 0; }

    [[nodiscard]] T& operator[](std::size_t index) noexcept { return items_[index]; }
    [[nodiscard]] const T& operator[](std::size_t index) const noexcept { return items_[index]; }

    // False when the storage cannot grow; the array is then unchanged.
    [[nodiscard]] bool append(const T& value) noexcept {
        if (size_ == capacity_ && !grow()) {
            return false;
        }
        items_[size_] = value;
        ++size_;
        return true;
    }

    // Moves the later entries down one place; the capacity stays.
    void removeAt(std::size_t index) noexcept {
        if (index >= size_) {
            return;
        }
        std::memmove(items_ + index, items_ + index + 1, (size_ - index - 1) * sizeof(T));
        --size_;
    }

    // Index of the first entry equal to value, or size() when there is none.
    [[nodiscard]] std::size_t find(const T& value) const noexcept {
        for (std::size_t index = 0; index < size_; ++index) {
            if (items_[index] == value) {
                return index;
            }
        }
        return size_;
    }

    [[nodiscard]] bool removeFirst(const T& value) noexcept {
        const std::size_t index = find(value);
        if (index == size_) {
            return false;
        }
        removeAt(index);
        return true;
    }

private:
    [[nodiscard]] bool grow() noexcept {
        const std::size_t newCapacity = capacity_ == 0 ? 1 : capacity_ * 2;
        if (newCapacity > static_cast<std::size_t>(-1) / sizeof(T)) {
            return false;
        }
        void* storage = std::realloc(items_, newCapacity * sizeof(T));
        if (storage == nullptr) {
            return false;
        }
        items_ = static_cast<T*>(storage);
        capacity_ = newCapacity;
        return true;
    }

    T* items_ = nullptr;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
};

} // namespace corvane

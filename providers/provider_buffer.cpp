#include "providers/provider_buffer.h"

#include <algorithm>
#include <cstdint>
#include <utility>

namespace corvane {
namespace {

constexpr std::size_t kHeaderSize = 8;          // NumberOfProviders, Reserved
constexpr std::size_t kElementSize = 24;        // ProviderGuid, SchemaSource, ProviderNameOffset
constexpr std::size_t kNameOffsetPosition = 20; // of ProviderNameOffset within an element

// Byte by byte, so that odd offsets read no unaligned words. Windows is little-endian only.
std::uint32_t readUint32(const unsigned char* at) noexcept {
    return static_cast<std::uint32_t>(at[0]) | static_cast<std::uint32_t>(at[1]) << 8 |
           static_cast<std::uint32_t>(at[2]) << 16 | static_cast<std::uint32_t>(at[3]) << 24;
}

wchar_t readUtf16Unit(const unsigned char* at) noexcept {
    return static_cast<wchar_t>(static_cast<unsigned>(at[0]) | static_cast<unsigned>(at[1]) << 8);
}

// Appends the name at offset when it lies wholly inside the buffer, NUL included.
void appendNameAt(const unsigned char* data, std::size_t size, std::size_t offset,
                  std::vector<std::wstring>& names) {
    if (offset >= size) {
        return;
    }
    std::size_t end = offset;
    while (size - end >= 2 && readUtf16Unit(data + end) != 0) {
        end += 2;
    }
    if (size - end < 2) {
        return; // no terminator before the end of the buffer
    }
    std::wstring name;
    name.reserve((end - offset) / 2);
    for (std::size_t at = offset; at < end; at += 2) {
        name.push_back(readUtf16Unit(data + at));
    }
    names.push_back(std::move(name));
}

} // namespace

std::vector<std::wstring> providerNamesFromBuffer(const unsigned char* data, std::size_t size) {
    std::vector<std::wstring> names;
    if (data == nullptr || size < kHeaderSize) {
        return names;
    }
    // Only the elements that lie wholly inside the buffer are read, whatever the count claims.
    const std::size_t elementsThatFit = (size - kHeaderSize) / kElementSize;
    const std::size_t count = std::min<std::size_t>(readUint32(data), elementsThatFit);
    names.reserve(count);
    for (std::size_t index = 0; index < count; ++index) {
        const unsigned char* element = data + kHeaderSize + index * kElementSize;
        const std::uint32_t nameOffset = readUint32(element + kNameOffsetPosition);
        if (nameOffset != 0) {
            appendNameAt(data, size, nameOffset, names);
        }
    }
    return names;
}

} // namespace corvane

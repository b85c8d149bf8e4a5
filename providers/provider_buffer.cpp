#include "providers/provider_buffer.h"

#include <algorithm>
#include <cstdint>
#include <optional>
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

// The name at offset when it lies wholly inside the buffer, NUL included.
std::optional<std::wstring> nameAt(const unsigned char* data, std::size_t size,
                                   std::size_t offset) {
    if (offset >= size) {
        return std::nullopt;
    }
    std::size_t end = offset;
    while (size - end >= 2 && readUtf16Unit(data + end) != 0) {
        end += 2;
    }
    if (size - end < 2) {
        return std::nullopt; // no terminator before the end of the buffer
    }
    std::wstring name;
    name.reserve((end - offset) / 2);
    for (std::size_t at = offset; at < end; at += 2) {
        name.push_back(readUtf16Unit(data + at));
    }
    return name;
}

// A GUID's three little-endian numbers (4, 2 and 2 bytes), then its 8 bytes as they stand.
std::wstring guidText(const unsigned char* guid) {
    constexpr wchar_t kHexDigits[] = L"0123456789ABCDEF";
    constexpr int kByteOrder[] = {3,  2, 1, 0,  -1, 5,  4,  -1, 7,  6,
                                  -1, 8, 9, -1, 10, 11, 12, 13, 14, 15};
    std::wstring text = L"{";
    for (const int at : kByteOrder) {
        if (at < 0) {
            text.push_back(L'-');
            continue;
        }
        text.push_back(kHexDigits[guid[at] >> 4]);
        text.push_back(kHexDigits[guid[at] & 0xFU]);
    }
    text.push_back(L'}');
    return text;
}

} // namespace

std::vector<EnumeratedProvider> providersFromBuffer(const unsigned char* data, std::size_t size) {
    std::vector<EnumeratedProvider> providers;
    if (data == nullptr || size < kHeaderSize) {
        return providers;
    }
    // Only the elements that lie wholly inside the buffer are read, whatever the count claims.
    const std::size_t elementsThatFit = (size - kHeaderSize) / kElementSize;
    const std::size_t count = std::min<std::size_t>(readUint32(data), elementsThatFit);
    providers.reserve(count);
    for (std::size_t index = 0; index < count; ++index) {
        const unsigned char* element = data + kHeaderSize + index * kElementSize;
        const std::uint32_t nameOffset = readUint32(element + kNameOffsetPosition);
        if (nameOffset == 0) {
            continue;
        }
        if (std::optional<std::wstring> name = nameAt(data, size, nameOffset)) {
            providers.push_back({std::move(*name), guidText(element)});
        }
    }
    return providers;
}

std::vector<std::wstring> providerNamesFromBuffer(const unsigned char* data, std::size_t size) {
    std::vector<std::wstring> names;
    for (EnumeratedProvider& provider : providersFromBuffer(data, size)) {
        names.push_back(std::move(provider.name));
    }
    return names;
}

} // namespace corvane

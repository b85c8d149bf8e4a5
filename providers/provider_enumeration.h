// Asks the platform's trace-data library, Tdh.dll, for the registered event providers and puts
// their names into the Providers list.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace corvane {

// The enumeration buffer: a block on the process heap and the number of bytes of it that the
// platform reported as filled. Move-only; the block is freed with its owner.
class ProviderBuffer {
public:
    ProviderBuffer() noexcept = default;
    ~ProviderBuffer();
    ProviderBuffer(ProviderBuffer&& other) noexcept;
    ProviderBuffer& operator=(ProviderBuffer&& other) noexcept;
    ProviderBuffer(const ProviderBuffer&) = delete;
    ProviderBuffer& operator=(const ProviderBuffer&) = delete;

    [[nodiscard]] bool empty() const noexcept { return block_ == nullptr; }
    [[nodiscard]] unsigned char* data() noexcept { return block_; }
    [[nodiscard]] const unsigned char* data() const noexcept { return block_; }
    // Bytes to read: the platform's reported size, never more than the block holds.
    [[nodiscard]] std::size_t size() const noexcept { return filledSize_; }
    [[nodiscard]] std::size_t capacity() const noexcept { return capacity_; }

    // Allocates the block, or grows it, to exactly byteCount bytes. On failure the block that
    // was there stays as it was.
    [[nodiscard]] bool resize(std::size_t byteCount) noexcept;
    void setFilledSize(std::size_t byteCount) noexcept;
    void reset() noexcept;

private:
    unsigned char* block_ = nullptr;
    std::size_t capacity_ = 0;
    std::size_t filledSize_ = 0;
};

// 0 with the filled buffer (which may be empty when the platform returned none);
// ERROR_FUNCTION_FAILED (1626) when Tdh.dll (looked for in the system folder only, unless the
// process has already loaded it) or TdhEnumerateProviders is not available, Wine's
// builtin stub included; ERROR_OUTOFMEMORY (14) when the buffer cannot be grown; otherwise the
// status TdhEnumerateProviders returned. On failure the buffer is left empty.
[[nodiscard]] std::uint32_t enumerateProviders(ProviderBuffer& buffer);

// The GUIDs of the providers in the Providers list. An entry's item data is the 1-based position
// of its provider's GUID here; 0 means none is known.
using ProviderGuids = std::vector<std::wstring>;

// The item data of an entry that a profile named and this machine does not list: beyond every
// position, so no GUID is taken for it.
inline constexpr LPARAM kNotRegisteredHere = 0x7FFFFFFF;

// Adds every provider name in the buffer to the list box (LB_ADDSTRING), puts each one's GUID in
// `guids` (emptied first) and its position in the entry's item data, then frees the buffer.
void fillProviderList(HWND providerListBox, ProviderBuffer&& buffer, ProviderGuids& guids);

// Whether a loaded module is one of Wine's builtin DLLs (whose exports may be aborting stubs).
[[nodiscard]] bool isWineBuiltinModule(HMODULE module) noexcept;

} // namespace corvane

#include "providers/provider_enumeration.h"

#include "providers/provider_buffer.h"
#include "providers/wine_builtin_image.h"

#include <cstdint>
#include <limits>
#include <utility>

namespace corvane {
namespace {

using EnumerateProvidersFunction = ULONG(WINAPI*)(void* buffer, ULONG* bufferSize);

// Sizes beyond what a pointer difference can hold cannot be a block of this process.
constexpr std::size_t kLargestBlock =
    static_cast<std::size_t>(std::numeric_limits<std::ptrdiff_t>::max());

HMODULE traceDataLibrary() noexcept {
    HMODULE library = GetModuleHandleW(L"Tdh.dll");
    if (library == nullptr) {
        // From the system folder only: a Tdh.dll planted beside the program (a Downloads folder)
        // must never run. Never freed: it stays loaded for the later enumerations.
        library = LoadLibraryExW(L"Tdh.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    }
    if (library != nullptr && isWineBuiltinModule(library)) {
        return nullptr; // its TdhEnumerateProviders is a stub that aborts the process
    }
    return library;
}

EnumerateProvidersFunction enumerateProvidersEntry(HMODULE library) noexcept {
    const FARPROC entry = GetProcAddress(library, "TdhEnumerateProviders");
    // Through the generic function pointer type, which converts to any other without a warning.
    return reinterpret_cast<EnumerateProvidersFunction>(reinterpret_cast<void (*)()>(entry));
}

} // namespace

ProviderBuffer::~ProviderBuffer() {
    reset();
}

ProviderBuffer::ProviderBuffer(ProviderBuffer&& other) noexcept
    : block_(std::exchange(other.block_, nullptr)), capacity_(std::exchange(other.capacity_, 0)),
      filledSize_(std::exchange(other.filledSize_, 0)) {}

ProviderBuffer& ProviderBuffer::operator=(ProviderBuffer&& other) noexcept {
    if (this != &other) {
        reset();
        block_ = std::exchange(other.block_, nullptr);
        capacity_ = std::exchange(other.capacity_, 0);
        filledSize_ = std::exchange(other.filledSize_, 0);
    }
    return *this;
}

bool ProviderBuffer::resize(std::size_t byteCount) noexcept {
    if (byteCount > kLargestBlock) {
        return false;
    }
    void* const grown = block_ == nullptr ? HeapAlloc(GetProcessHeap(), 0, byteCount)
                                          : HeapReAlloc(GetProcessHeap(), 0, block_, byteCount);
    if (grown == nullptr) {
        return false;
    }
    block_ = static_cast<unsigned char*>(grown);
    capacity_ = byteCount;
    filledSize_ = 0;
    return true;
}

void ProviderBuffer::setFilledSize(std::size_t byteCount) noexcept {
    filledSize_ = byteCount < capacity_ ? byteCount : capacity_;
}

void ProviderBuffer::reset() noexcept {
    if (block_ != nullptr) {
        HeapFree(GetProcessHeap(), 0, block_);
    }
    block_ = nullptr;
    capacity_ = 0;
    filledSize_ = 0;
}

std::uint32_t enumerateProviders(ProviderBuffer& buffer) {
    buffer.reset();
    const HMODULE library = traceDataLibrary();
    if (library == nullptr) {
        return ERROR_FUNCTION_FAILED;
    }
    // Looked up on every enumeration; nothing is kept between them.
    const EnumerateProvidersFunction enumerate = enumerateProvidersEntry(library);
    if (enumerate == nullptr) {
        return ERROR_FUNCTION_FAILED;
    }

    ULONG size = 0;
    ULONG status = enumerate(nullptr, &size);
    // The platform answers 122 again when providers were registered since its last answer.
    while (status == ERROR_INSUFFICIENT_BUFFER) {
        if (!buffer.resize(size)) {
            buffer.reset();
            return ERROR_OUTOFMEMORY;
        }
        status = enumerate(buffer.data(), &size);
    }
    if (status != ERROR_SUCCESS) {
        buffer.reset();
        return status;
    }
    // On success the size holds the bytes the platform used.
    buffer.setFilledSize(size);
    return ERROR_SUCCESS;
}

void fillProviderList(HWND providerListBox, ProviderBuffer&& buffer, ProviderGuids& guids) {
    ProviderBuffer owned = std::move(buffer);
    guids.clear();
    for (EnumeratedProvider& provider : providersFromBuffer(owned.data(), owned.size())) {
        const LRESULT index = SendMessageW(providerListBox, LB_ADDSTRING, 0,
                                           reinterpret_cast<LPARAM>(provider.name.c_str()));
        if (index < 0) {
            continue; // LB_ERR, LB_ERRSPACE
        }
        guids.push_back(std::move(provider.guid));
        SendMessageW(providerListBox, LB_SETITEMDATA, static_cast<WPARAM>(index),
                     static_cast<LPARAM>(guids.size()));
    }
}

bool isWineBuiltinModule(HMODULE module) noexcept {
    if (module == nullptr) {
        return false;
    }
    // Read only the committed, readable pages from the module's base on.
    MEMORY_BASIC_INFORMATION region{};
    if (VirtualQuery(module, &region, sizeof region) == 0 || region.State != MEM_COMMIT ||
        (region.Protect & (PAGE_NOACCESS | PAGE_GUARD)) != 0) {
        return false;
    }
    const auto* const image = reinterpret_cast<const unsigned char*>(module);
    const auto* const regionEnd =
        static_cast<const unsigned char*>(region.BaseAddress) + region.RegionSize;
    return isWineBuiltinImage(image, static_cast<std::size_t>(regionEnd - image));
}

} // namespace corvane

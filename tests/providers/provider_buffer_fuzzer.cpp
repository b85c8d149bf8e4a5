// libFuzzer target for the reading of enumeration buffers, which come from outside the program.
#include "providers/provider_buffer.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // An exactly sized block of its own, so that AddressSanitizer sees any read past its end.
    const std::vector<unsigned char> buffer(data, data + size);
    const std::vector<std::wstring> names =
        corvane::providerNamesFromBuffer(buffer.data(), buffer.size());

    const std::size_t elementsThatFit = size < 8 ? 0 : (size - 8) / 24;
    if (names.size() > elementsThatFit) {
        std::abort();
    }
    for (const std::wstring& name : names) {
        // A name and its NUL lie inside the buffer, and the name holds no NUL of its own.
        if (name.find(L'\0') != std::wstring::npos || name.size() * 2 + 2 > size) {
            std::abort();
        }
    }
    return 0;
}

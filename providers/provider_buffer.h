// Reads provider names out of the buffer that TdhEnumerateProviders fills. The buffer comes from
// outside the program, so every count and offset in it is checked against its size.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace corvane {

// Names in an enumeration buffer laid out as PROVIDER_ENUMERATION_INFO: ULONG NumberOfProviders,
// ULONG Reserved, then TRACE_PROVIDER_INFO[] {GUID (16 bytes), ULONG SchemaSource,
// ULONG ProviderNameOffset}; each name is NUL-terminated UTF-16 at its offset from the start.
// In buffer order, duplicates kept. Skipped: elements past the end of the buffer, a name offset
// of 0, and a name that starts outside the buffer or has no NUL before its end.
[[nodiscard]] std::vector<std::wstring> providerNamesFromBuffer(const unsigned char* data,
                                                                std::size_t size);

// A provider with its GUID as xperf shows one, upper case:
// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}".
struct EnumeratedProvider {
    std::wstring name;
    std::wstring guid;
};

// The providers that providerNamesFromBuffer names, in the same order, each with its GUID.
[[nodiscard]] std::vector<EnumeratedProvider> providersFromBuffer(const unsigned char* data,
                                                                  std::size_t size);

} // namespace corvane

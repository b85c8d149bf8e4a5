// Stands in for Tdh.dll beside the dialog tests: reports the provider names, or the failure, that
// the test last asked for through fakeTdhReport.
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::vector<std::wstring> reportedNames;
ULONG reportedStatus = ERROR_SUCCESS;

// PROVIDER_ENUMERATION_INFO: NumberOfProviders, Reserved, then one TRACE_PROVIDER_INFO each
// (GUID, SchemaSource, ProviderNameOffset); the names follow the array.
constexpr std::size_t kHeaderBytes = 8;
constexpr std::size_t kEntryBytes = 24;
constexpr std::size_t kNameOffsetInEntry = 20;

void putUint32(unsigned char* at, std::uint32_t value) {
    std::memcpy(at, &value, sizeof value);
}

} // namespace

// `names` holds `count` NUL-terminated names; a non-zero status is returned instead of a list.
extern "C" void fakeTdhReport(const wchar_t* const* names, unsigned count, unsigned long status) {
    reportedNames.assign(names, names + count);
    reportedStatus = status;
}

extern "C" ULONG WINAPI TdhEnumerateProviders(void* buffer, ULONG* bufferSize) {
    if (reportedStatus != ERROR_SUCCESS) {
        return reportedStatus;
    }
    std::size_t needed = kHeaderBytes + kEntryBytes * reportedNames.size();
    for (const std::wstring& name : reportedNames) {
        needed += (name.size() + 1) * sizeof(wchar_t);
    }
    if (buffer == nullptr || *bufferSize < needed) {
        *bufferSize = static_cast<ULONG>(needed);
        return ERROR_INSUFFICIENT_BUFFER;
    }
    auto* bytes = static_cast<unsigned char*>(buffer);
    std::memset(bytes, 0, needed);
    putUint32(bytes, static_cast<std::uint32_t>(reportedNames.size()));
    std::size_t nameOffset = kHeaderBytes + kEntryBytes * reportedNames.size();
    for (std::size_t index = 0; index < reportedNames.size(); ++index) {
        unsigned char* entry = bytes + kHeaderBytes + kEntryBytes * index;
        putUint32(entry + kNameOffsetInEntry, static_cast<std::uint32_t>(nameOffset));
        const std::wstring& name = reportedNames[index];
        std::memcpy(bytes + nameOffset, name.c_str(), (name.size() + 1) * sizeof(wchar_t));
        nameOffset += (name.size() + 1) * sizeof(wchar_t);
    }
    return ERROR_SUCCESS;
}

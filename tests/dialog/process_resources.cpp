#include "tests/dialog/process_resources.h"

#include <psapi.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstddef>
#include <vector>

namespace corvane::testing {
namespace {

// The handle table as NtQuerySystemInformation reports it. The extended form carries full
// process ids; the older one only their low 16 bits.
constexpr ULONG kSystemHandleInformation = 16;
constexpr ULONG kSystemExtendedHandleInformation = 64;
constexpr LONG kStatusInfoLengthMismatch = static_cast<LONG>(0xC0000004L);

struct HandleEntry {
    USHORT processId;
    USHORT creatorBackTraceIndex;
    UCHAR objectTypeIndex;
    UCHAR handleAttributes;
    USHORT handleValue;
    PVOID object;
    ULONG grantedAccess;
};

struct ExtendedHandleEntry {
    PVOID object;
    ULONG_PTR processId;
    ULONG_PTR handleValue;
    ULONG grantedAccess;
    USHORT creatorBackTraceIndex;
    USHORT objectTypeIndex;
    ULONG handleAttributes;
    ULONG reserved;
};

struct HandleTable {
    ULONG count;
    HandleEntry entries[1];
};

struct ExtendedHandleTable {
    ULONG_PTR count;
    ULONG_PTR reserved;
    ExtendedHandleEntry entries[1];
};

using QuerySystemInformation = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);

class Snapshot {
public:
    explicit Snapshot(DWORD what) : handle_(CreateToolhelp32Snapshot(what, 0)) {}
    ~Snapshot() {
        if (handle_ != INVALID_HANDLE_VALUE) {
            CloseHandle(handle_);
        }
    }
    Snapshot(const Snapshot&) = delete;
    Snapshot& operator=(const Snapshot&) = delete;
    [[nodiscard]] HANDLE get() const { return handle_; }

private:
    HANDLE handle_;
};

// The whole table of one information class, or nothing when the query fails.
std::optional<std::vector<unsigned char>> querySystemTable(ULONG informationClass) {
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    const auto query = ntdll == nullptr
                           ? nullptr
                           : reinterpret_cast<QuerySystemInformation>(reinterpret_cast<void*>(
                                 GetProcAddress(ntdll, "NtQuerySystemInformation")));
    if (query == nullptr) {
        return std::nullopt;
    }
    std::vector<unsigned char> table(64 * 1024);
    for (;;) {
        ULONG needed = 0;
        const LONG status =
            query(informationClass, table.data(), static_cast<ULONG>(table.size()), &needed);
        if (status == kStatusInfoLengthMismatch) {
            // Other processes open handles meanwhile: leave room.
            table.resize(std::max<std::size_t>(table.size() * 2, needed + 64 * 1024));
            continue;
        }
        if (status < 0) {
            return std::nullopt;
        }
        return table;
    }
}

std::optional<unsigned> openHandles() {
    const DWORD self = GetCurrentProcessId();
    if (const auto table = querySystemTable(kSystemExtendedHandleInformation)) {
        const auto count = reinterpret_cast<const ExtendedHandleTable*>(table->data())->count;
        const auto* entries = reinterpret_cast<const ExtendedHandleEntry*>(
            table->data() + offsetof(ExtendedHandleTable, entries));
        unsigned ours = 0;
        for (ULONG_PTR index = 0; index < count; ++index) {
            ours += entries[index].processId == self ? 1u : 0u;
        }
        return ours;
    }
    if (const auto table = querySystemTable(kSystemHandleInformation)) {
        const auto count = reinterpret_cast<const HandleTable*>(table->data())->count;
        const auto* entries =
            reinterpret_cast<const HandleEntry*>(table->data() + offsetof(HandleTable, entries));
        unsigned ours = 0;
        for (ULONG index = 0; index < count; ++index) {
            ours += entries[index].processId == static_cast<USHORT>(self) ? 1u : 0u;
        }
        return ours;
    }
    return std::nullopt;
}

unsigned threadsOfThisProcess() {
    const Snapshot snapshot(TH32CS_SNAPTHREAD);
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    unsigned count = 0;
    for (BOOL more = Thread32First(snapshot.get(), &entry); more != FALSE;
         more = Thread32Next(snapshot.get(), &entry)) {
        count += entry.th32OwnerProcessID == GetCurrentProcessId() ? 1u : 0u;
    }
    return count;
}

BOOL CALLBACK countChild(HWND, LPARAM count) {
    ++*reinterpret_cast<unsigned*>(count);
    return TRUE;
}

BOOL CALLBACK countOwnTopLevel(HWND window, LPARAM count) {
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    if (processId == GetCurrentProcessId()) {
        ++*reinterpret_cast<unsigned*>(count);
        // EnumChildWindows walks all descendants, not only direct children.
        EnumChildWindows(window, &countChild, count);
    }
    return TRUE;
}

std::optional<unsigned> guiResources(DWORD which) {
    const DWORD count = GetGuiResources(GetCurrentProcess(), which);
    return count == 0 ? std::nullopt : std::optional<unsigned>(count);
}

} // namespace

ProcessResources countProcessResources() {
    ProcessResources resources;
    PROCESS_MEMORY_COUNTERS memory{};
    memory.cb = sizeof memory;
    if (GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory)) {
        resources.privateBytes = memory.PagefileUsage;
        resources.workingSet = memory.WorkingSetSize;
    }
    resources.threads = threadsOfThisProcess();
    EnumWindows(&countOwnTopLevel, reinterpret_cast<LPARAM>(&resources.windows));
    resources.handles = openHandles();
    resources.gdiObjects = guiResources(GR_GDIOBJECTS);
    resources.userObjects = guiResources(GR_USEROBJECTS);
    return resources;
}

} // namespace corvane::testing

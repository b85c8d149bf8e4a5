// Shared by the test Tdh.dll and the tests that drive it: where it finds its script, and what it
// records of each call made to its TdhEnumerateProviders.
#pragma once

#include <windows.h>

namespace corvane::tdh_fixture {

// The script's path; without the variable, kScriptFileName beside the DLL is read.
inline constexpr wchar_t kScriptVariable[] = L"CORVANE_TDH_FIXTURE_SCRIPT";
inline constexpr wchar_t kScriptFileName[] = L"tdh_fixture.txt";

struct CallRecord {
    BOOL bufferGiven;    // whether a buffer was passed
    ULONG sizeIn;        // *size on entry
    ULONG heapBlockSize; // HeapSize of that buffer on the process heap, 0 without a buffer
    ULONG status;        // what the call returned
    ULONG sizeOut;       // *size on return
};

// Exported beside TdhEnumerateProviders (undecorated names).
using CallCountFunction = ULONG(WINAPI*)();
using GetCallFunction = BOOL(WINAPI*)(ULONG index, CallRecord* record);

} // namespace corvane::tdh_fixture

// A Tdh.dll that lacks TdhEnumerateProviders, as an old or foreign library of that name would.
#include <windows.h>

// cdecl, so that MinGW exports the name undecorated.
extern "C" __declspec(dllexport) int TdhFixtureWithoutEnumeration() {
    return 0;
}

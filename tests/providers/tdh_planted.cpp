// A Tdh.dll as an attacker would plant it beside the program: its code runs as soon as it is
// loaded. It proves that by creating the file named in CORVANE_PLANTED_TDH_MARKER.
#include <windows.h>

extern "C" __declspec(dllexport) int TdhPlantedLibrary() {
    return 1;
}

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        wchar_t marker[MAX_PATH];
        const DWORD length =
            GetEnvironmentVariableW(L"CORVANE_PLANTED_TDH_MARKER", marker, MAX_PATH);
        if (length > 0 && length < MAX_PATH) {
            const HANDLE file = CreateFileW(marker, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                            FILE_ATTRIBUTE_NORMAL, nullptr);
            if (file != INVALID_HANDLE_VALUE) {
                CloseHandle(file);
            }
        }
    }
    return TRUE;
}

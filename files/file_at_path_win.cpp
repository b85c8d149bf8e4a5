#include "files/file_at_path_win.h"

#include "files/long_path_win.h"
#include "files/unique_file_win.h"

#include <algorithm>
#include <utility>

namespace corvane {
namespace {

// A name that no open finds and yet cannot be created is a symbolic link whose target is
// missing; Wine shows such a Unix link to no other call. A probe that is created goes again on
// closing.
[[nodiscard]] bool isDanglingLink(const std::wstring& path) noexcept {
    UniqueFile probe(CreateFileW(path.c_str(), DELETE, 0, nullptr, CREATE_NEW,
                                 FILE_FLAG_DELETE_ON_CLOSE | FILE_FLAG_OPEN_REPARSE_POINT,
                                 nullptr));
    if (probe.isOpen()) {
        return false;
    }
    const DWORD error = GetLastError();
    return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS;
}

// The path of the file behind an open handle, symbolic links resolved; empty if not known.
std::wstring finalPath(HANDLE file) {
    constexpr DWORD kFinalPathForm = FILE_NAME_NORMALIZED | VOLUME_NAME_DOS;
    const DWORD size = GetFinalPathNameByHandleW(file, nullptr, 0, kFinalPathForm);
    if (size == 0) {
        return std::wstring();
    }
    std::wstring target(size, L'\0');
    const DWORD length = GetFinalPathNameByHandleW(file, target.data(), size, kFinalPathForm);
    target.resize(length > 0 && length < size ? length : 0);
    return target;
}

// The part after \\.\ or \\?\, or nothing for a path outside those namespaces.
std::wstring namespaceRest(const std::wstring& full) {
    const bool inNamespace = full.rfind(L"\\\\.\\", 0) == 0 || full.rfind(L"\\\\?\\", 0) == 0;
    return inNamespace ? full.substr(4) : std::wstring();
}

// A whole volume, as a drive (\\.\C:, \\?\C:) or by its GUID (\\?\Volume{...}): opening it
// opens the disk, not a file, and the names beside it would land elsewhere.
[[nodiscard]] bool namesAVolume(const std::wstring& full) {
    const std::wstring rest = namespaceRest(full);
    if (rest.size() == 2 && rest[1] == L':') {
        return true;
    }
    return CompareStringOrdinal(rest.c_str(), std::min<int>(7, static_cast<int>(rest.size())),
                                L"Volume{", 7, TRUE) == CSTR_EQUAL &&
           rest.find(L'\\') == std::wstring::npos;
}

// A name in the device namespace that is no path on a drive: \\.\NUL, \\.\COM1, \\.\pipe\x.
// GetFullPathNameW turns every DOS device name (NUL, CON, LPT1, ...) into one, and Wine opens some
// of them as disk files.
[[nodiscard]] bool namesADevice(const std::wstring& full) {
    if (full.rfind(L"\\\\.\\", 0) != 0) {
        return false;
    }
    const std::wstring rest = full.substr(4);
    const bool onADrive = rest.size() >= 2 && rest[1] == L':';
    return !onADrive && rest.rfind(L"UNC\\", 0) != 0 && rest.rfind(L"Volume{", 0) != 0;
}

} // namespace

Destination examineDestination(const std::wstring& chosen) {
    Destination destination{withLongPathPrefix(chosen)};
    if (namesAVolume(destination.path)) {
        destination.refusal = WriteRefusal::Volume;
        return destination;
    }
    if (namesADevice(destination.path)) {
        destination.refusal = WriteRefusal::NotAFile;
        return destination;
    }
    // Opening follows symbolic links, so the handle names the file behind them.
    UniqueFile file(CreateFileW(destination.path.c_str(), FILE_READ_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.isOpen()) {
        destination.exists = true;
        if (GetFileType(file.get()) != FILE_TYPE_DISK) {
            destination.refusal = WriteRefusal::NotAFile;
            return destination;
        }
        BY_HANDLE_FILE_INFORMATION information{};
        destination.attributes = GetFileInformationByHandle(file.get(), &information)
                                     ? information.dwFileAttributes
                                     : GetFileAttributesW(destination.path.c_str());
        if (std::wstring target = finalPath(file.get()); !target.empty()) {
            destination.path = std::move(target);
        }
    } else {
        const DWORD openError = GetLastError();
        destination.attributes = GetFileAttributesW(destination.path.c_str());
        destination.exists = destination.attributes != INVALID_FILE_ATTRIBUTES;
        const bool notFound =
            openError == ERROR_FILE_NOT_FOUND || openError == ERROR_PATH_NOT_FOUND;
        if (notFound && isDanglingLink(destination.path)) {
            destination.refusal = WriteRefusal::DanglingLink;
            return destination;
        }
    }
    if (destination.exists && (destination.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        destination.refusal = WriteRefusal::Folder;
    } else if (destination.exists && (destination.attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        destination.refusal = WriteRefusal::ReadOnly;
    }
    return destination;
}

bool pathExists(const std::wstring& path) noexcept {
    return !path.empty() && GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

} // namespace corvane

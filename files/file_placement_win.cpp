#include "files/file_placement_win.h"

#include "files/unique_file_win.h"

namespace corvane {

unsigned long FilePlacement::createNew(const std::wstring& path, HANDLE& file) noexcept {
    file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                       nullptr);
    return file == INVALID_HANDLE_VALUE ? failedCallError() : ERROR_SUCCESS;
}

unsigned long FilePlacement::flush(HANDLE file) noexcept {
    return FlushFileBuffers(file) ? ERROR_SUCCESS : failedCallError();
}

unsigned long FilePlacement::replace(const std::wstring& replaced, const std::wstring& replacement,
                                     const std::wstring& backup) noexcept {
    {
        // Wine's ReplaceFileW leaves a temporary file of its own behind when another program
        // holds the replaced file; asking first keeps that from happening.
        UniqueFile probe(CreateFileW(replaced.c_str(), DELETE,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!probe.isOpen()) {
            return failedCallError();
        }
    }
    // With a backup name the earlier file is never without one: a replace that stops half way
    // leaves it there instead of deleting it.
    if (ReplaceFileW(replaced.c_str(), replacement.c_str(), backup.c_str(),
                     REPLACEFILE_WRITE_THROUGH | REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr,
                     nullptr)) {
        return ERROR_SUCCESS;
    }
    return failedCallError();
}

unsigned long FilePlacement::move(const std::wstring& from, const std::wstring& to) noexcept {
    return MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH) ? ERROR_SUCCESS
                                                                         : failedCallError();
}

unsigned long FilePlacement::remove(const std::wstring& path) noexcept {
    return DeleteFileW(path.c_str()) ? ERROR_SUCCESS : failedCallError();
}

void FilePlacement::pause(unsigned milliseconds) noexcept {
    Sleep(milliseconds);
}

FilePlacement& platformFilePlacement() {
    static FilePlacement placement;
    return placement;
}

} // namespace corvane

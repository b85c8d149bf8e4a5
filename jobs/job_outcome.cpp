#include "jobs/job_outcome.h"

#include "profile/profile.h"

namespace corvane {

std::wstring notWrittenMessage(const std::wstring& path, FileWrite written,
                               const std::wstring& why) {
    if (written == FileWrite::NameTaken) {
        return quoted(path, kShownPathLength) + L" exists; give --force to replace it";
    }
    return L"cannot write " + quoted(path, kShownPathLength) + (why.empty() ? L"" : L": " + why);
}

} // namespace corvane

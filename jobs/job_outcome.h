// How a job ends, for the program that ran it to show in its own way: the console prints the
// message and exits with a status, the dialog shows it in a message box.
#pragma once

#include "jobs/system_services.h"

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace corvane {

enum class JobStatus { Done, BadInput, NotWritten };

struct JobOutcome {
    JobStatus status = JobStatus::Done;
    std::wstring message; // empty when done

    [[nodiscard]] bool done() const noexcept { return status == JobStatus::Done; }
    [[nodiscard]] static JobOutcome badInput(std::wstring message) {
        return {JobStatus::BadInput, std::move(message)};
    }
    [[nodiscard]] static JobOutcome notWritten(std::wstring message) {
        return {JobStatus::NotWritten, std::move(message)};
    }
};

// Takes a job's warnings before it writes anything; a refusal it returns ends the job there, with
// nothing written and that refusal as its message.
using WarningsHandOver =
    std::function<std::optional<std::wstring>(const std::vector<std::wstring>& warnings)>;

// Why `path` was not written: its name is taken (and --force would replace it), or the system's
// reason.
[[nodiscard]] std::wstring notWrittenMessage(const std::wstring& path, FileWrite written,
                                             const std::wstring& why);

} // namespace corvane

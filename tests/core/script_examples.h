// The documented example scripts, whole: the texts that script assembly must give for the worked
// examples and the two heap forms. Shared by every test that makes scripts, so that each checks
// against the same texts.
#pragma once

#include "settings/trace_settings.h"

#include <string>
#include <vector>

namespace corvane::script_examples {

using Lines = std::vector<std::wstring>;

inline const std::wstring kOutPath = L"D:\\traces\\20240105_093000.etl";

// The values that the examples leave at their defaults, with nothing selected and kOutPath.
[[nodiscard]] TraceSettings exampleSettings();

// The frame with the five slots as given; lines 3 and 4 are the script's own comments.
[[nodiscard]] Lines frame(const std::wstring& remark1, const std::wstring& remark2,
                          const std::wstring& slot1, const std::wstring& slot2,
                          const std::wstring& slot3, const std::wstring& slot4,
                          const Lines& stopSection);

[[nodiscard]] std::wstring joinWithCrLf(const Lines& lines);

struct ScriptExample {
    const char* name;
    TraceSettings settings;
    std::wstring slot1, slot2, slot3, slot4;
    Lines stopSection;
};

// "worked example": the worked example (name-form heap, kernel with stack walks, two providers
// with stacks); "kernel only": its second form; "heap by pid" and "heap by name": only Heap.
[[nodiscard]] const ScriptExample& scriptExample(const std::string& name);

// The whole script of the example, with the given comment lines 3 and 4.
[[nodiscard]] std::wstring expectedScript(const ScriptExample& example, const std::wstring& remark1,
                                          const std::wstring& remark2);

} // namespace corvane::script_examples

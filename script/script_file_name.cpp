#include "script/script_file_name.h"

namespace corvane {

std::wstring DefaultScriptName(const LocalTime& time) {
    std::wstring name;
    appendTimestamp(name, time);
    name += L".cmd";
    return name;
}

} // namespace corvane

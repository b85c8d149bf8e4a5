// What each choice of the main dialog records or means: one table that serves the dialog's
// tooltips, corvane-script --describe and the comments of --template.
#pragma once
#include <string_view>
namespace corvane {

struct KernelEntryDescription {
    std::wstring_view name;        // exactly as in KernelFlagCatalogue
    std::wstring_view description; // one line in our own words: what it records
    std::wstring_view members;     // a group's member flags joined by "+"; empty for a flag, or
                                   // for a group whose members no public document confirms
};
// The description of a kernel flag or group, or nullptr for a name outside the catalogue.
[[nodiscard]] const KernelEntryDescription* describeKernelEntry(std::wstring_view name) noexcept;

struct FieldHelp {
    std::wstring_view key; // the profile key: "max-file-size-mb", "buffer-size-kb", "max-buffers",
                           // "min-buffers", "log-stack", "heap", "kernel-path", "user-path",
                           // "etl-out-path", "session-name", "process-name-or-pid",
                           // "heap-session-name", "heap-path", "file-mode", "kernel-flag",
                           // "stackwalk", "provider"
    std::wstring_view label; // the dialog's label, such as "Max File Size(MB)"
    std::wstring_view text;  // what it means, its limits and its default (a few short sentences)
};
// The help of one profile key / dialog field, or nullptr for an unknown key.
[[nodiscard]] const FieldHelp* fieldHelp(std::wstring_view key) noexcept;

// ETW's documented rules for one file mode ("Sequential", "Circular", "Append", "NewFile"): what
// it does and what it needs of Max File Size and the log paths. Empty for an unknown mode.
[[nodiscard]] std::wstring_view fileModeHelp(std::wstring_view mode) noexcept;

} // namespace corvane

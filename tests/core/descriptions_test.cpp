#include "settings/catalogues.h"
#include "settings/descriptions.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <string>

namespace corvane {
namespace {

constexpr std::size_t kFlagCount = 50; // the groups follow the flags in the catalogue

// Texts shown in a one-line list and in tooltips: nothing that would break or tab a line.
bool isOneLine(std::wstring_view text) {
    return !text.empty() && text.find_first_of(L"\r\n\t") == std::wstring_view::npos;
}

bool isCatalogueFlag(std::wstring_view name) {
    for (std::size_t i = 0; i < kFlagCount; ++i) {
        if (name == KernelFlagCatalogue[i]) {
            return true;
        }
    }
    return false;
}

TEST(KernelDescriptions, EveryCatalogueEntryHasOneLineAndGroupsNameOnlyCatalogueFlags) {
    for (std::size_t i = 0; i < KernelFlagCatalogue.size(); ++i) {
        const wchar_t* name = KernelFlagCatalogue[i];
        const KernelEntryDescription* entry = describeKernelEntry(name);
        ASSERT_NE(entry, nullptr) << name;
        EXPECT_EQ(entry->name, name);
        EXPECT_TRUE(isOneLine(entry->description)) << name;
        if (i < kFlagCount) {
            EXPECT_TRUE(entry->members.empty()) << "a flag has no members: " << name;
        }
        // Every piece between the "+", the last one too: a list ending in "+" has an empty one.
        const std::wstring_view members = entry->members;
        for (std::size_t start = 0; !members.empty() && start <= members.size();) {
            const std::size_t end = std::min(members.find(L'+', start), members.size());
            const std::wstring_view member = members.substr(start, end - start);
            EXPECT_TRUE(isCatalogueFlag(member)) << name << L" names " << std::wstring(member);
            start = end + 1;
        }
    }
    EXPECT_EQ(describeKernelEntry(L"proc_thread"), nullptr); // names are matched exactly
    EXPECT_EQ(describeKernelEntry(L""), nullptr);
}

TEST(FieldHelpTexts, CoverEveryProfileKeyWithLabelAndText) {
    for (const wchar_t* key :
         {L"max-file-size-mb", L"buffer-size-kb", L"max-buffers", L"min-buffers", L"log-stack",
          L"heap", L"kernel-path", L"user-path", L"etl-out-path", L"session-name",
          L"process-name-or-pid", L"heap-session-name", L"heap-path", L"file-mode", L"kernel-flag",
          L"stackwalk", L"provider"}) {
        const FieldHelp* help = fieldHelp(key);
        ASSERT_NE(help, nullptr) << key;
        EXPECT_EQ(help->key, key);
        EXPECT_TRUE(isOneLine(help->label)) << key;
        EXPECT_FALSE(help->text.empty()) << key;
    }
    EXPECT_EQ(fieldHelp(L"max-file-size"), nullptr);
    // The limits that the dialog and the profile reader enforce.
    EXPECT_NE(fieldHelp(L"buffer-size-kb")->text.find(L"4 to 1024"), std::wstring_view::npos);
}

TEST(FileModeHelpTexts, ExistForEveryModeAndSayNewFileNeedsADoubledPercent) {
    for (const wchar_t* mode : FileModeCatalogue) {
        EXPECT_FALSE(fileModeHelp(mode).empty()) << mode;
    }
    EXPECT_TRUE(fileModeHelp(L"newfile").empty());
    // The script is read by cmd.exe, which turns %% into the % that ETW numbers files by.
    EXPECT_NE(fileModeHelp(L"NewFile").find(L"%%d"), std::wstring_view::npos);
}

} // namespace
} // namespace corvane

// The recipes shipped in profiles/: each makes its script, and its WPR pair, without a warning,
// and each of its stack walks has the kernel flag that emits the event selected.
#include "profile/profile.h"
#include "encoding/utf8.h"
#include "settings/stackwalk_events.h"
#include "settings/trace_settings.h"
#include "tests/cli/fake_host.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

namespace corvane {
namespace {

TEST(Recipes, EachIsAcceptedStrictlyAndSelectsTheFlagOfEveryStackWalk) {
    // The build globs the folder, so a new recipe is checked without being named here.
    std::istringstream recipes(CORVANE_RECIPES);
    int checked = 0;
    for (std::string path; std::getline(recipes, path, '|'); ++checked) {
        SCOPED_TRACE(path);
        std::ifstream file(path, std::ios::binary);
        ASSERT_TRUE(file) << "cannot read " << path;
        const std::string text{std::istreambuf_iterator<char>(file), {}};

        testing::FakeHost host;
        host.files[L"recipe.profile"] = text;
        EXPECT_EQ(host.run({L"recipe.profile", L"--stdout", L"--strict"}), kExitDone)
            << toUtf8(host.errors);
        EXPECT_EQ(host.errors, L"");
        EXPECT_EQ(host.run({L"recipe.profile", L"--recorder", L"wpr", L"--strict"}), kExitDone)
            << toUtf8(host.errors);

        ProfileReader reader{TraceSettings{}};
        std::wstring error;
        ASSERT_TRUE(reader.readProfile(text, error)) << toUtf8(error);
        const TraceSettings settings = reader.settings(wordSortLess);
        for (const std::wstring& event : settings.stackwalkEvents) {
            const StackwalkEventSource* source = describeStackwalkEvent(event);
            ASSERT_NE(source, nullptr) << toUtf8(event);
            ASSERT_FALSE(source->flag.empty()) << toUtf8(event) << " has no documented flag";
            EXPECT_TRUE(selectionIncludesFlag(settings.kernelFlags, source->flag))
                << toUtf8(event) << " needs " << toUtf8(std::wstring{source->flag});
        }
    }
    EXPECT_GT(checked, 0);
}

} // namespace
} // namespace corvane

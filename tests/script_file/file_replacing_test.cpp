// A script file is written completely or the earlier file at the chosen path stays as it was.
#include "files/long_path_win.h"
#include "files/safe_write_win.h"
#include "tests/support/test_files.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace corvane {
namespace {

using test_files::FileLock;
using test_files::namesIn;
using test_files::readFileBytes;
using test_files::ScratchFolder;
using test_files::testVolume;
using test_files::writeFileBytes;

using Names = std::vector<std::wstring>;

const std::string kEarlier = "@echo off\r\nrem the earlier, longer script\r\npause\r\n";
const std::string kScript = "@echo off\r\necho caf\xE9\r\n";

TEST(FileReplacing, NewFileHoldsExactlyTheBytes) {
    ScratchFolder folder;
    ASSERT_TRUE(folder.exists());
    ASSERT_TRUE(writeFileReplacing(folder.file(L"new.cmd"), kScript));
    EXPECT_EQ(readFileBytes(folder.file(L"new.cmd")), kScript);
    EXPECT_EQ(namesIn(folder.path()), Names{L"new.cmd"});
}

TEST(FileReplacing, ReplacesTheWholeOfALongerEarlierFile) {
    ScratchFolder folder;
    const std::wstring path = folder.file(L"same.cmd");
    ASSERT_TRUE(writeFileBytes(path, kEarlier));
    ASSERT_TRUE(writeFileReplacing(path, kScript));
    EXPECT_EQ(readFileBytes(path), kScript);
    ASSERT_TRUE(writeFileReplacing(path, "second\r\n"));
    EXPECT_EQ(readFileBytes(path), "second\r\n");
    EXPECT_EQ(namesIn(folder.path()), Names{L"same.cmd"});
}

TEST(FileReplacing, EmptyScriptGivesEmptyFile) {
    ScratchFolder folder;
    const std::wstring path = folder.file(L"empty.cmd");
    ASSERT_TRUE(writeFileBytes(path, kEarlier));
    ASSERT_TRUE(writeFileReplacing(path, ""));
    EXPECT_EQ(readFileBytes(path), "");
}

TEST(FileReplacing, PathLongerThanMaxPathIsWritten) {
    ScratchFolder folder;
    std::wstring deep = folder.path();
    while (deep.size() < 2 * MAX_PATH) {
        deep += L"\\" + std::wstring(40, L'd');
        ASSERT_TRUE(CreateDirectoryW(withLongPathPrefix(deep).c_str(), nullptr));
    }
    const std::wstring path = deep + L"\\long.cmd";
    ASSERT_TRUE(writeFileReplacing(path, kScript));
    EXPECT_EQ(readFileBytes(path), kScript);
    EXPECT_EQ(namesIn(deep), Names{L"long.cmd"});
}

TEST(FileReplacing, MissingFolderFailsAndCreatesNothing) {
    ScratchFolder folder;
    EXPECT_FALSE(writeFileReplacing(folder.file(L"missing\\new.cmd"), kScript));
    EXPECT_TRUE(namesIn(folder.path()).empty());
}

TEST(FileReplacing, EachRefusalHasItsOwnReasonAndTouchesNothing) {
    ScratchFolder folder;
    const std::wstring readOnly = folder.file(L"read-only.cmd");
    ASSERT_TRUE(writeFileBytes(readOnly, kEarlier));
    ASSERT_TRUE(SetFileAttributesW(readOnly.c_str(), FILE_ATTRIBUTE_READONLY));
    const std::wstring subfolder = folder.file(L"folder.cmd");
    ASSERT_TRUE(CreateDirectoryW(subfolder.c_str(), nullptr));
    const std::pair<std::wstring, WriteRefusal> cases[] = {
        {readOnly, WriteRefusal::ReadOnly},
        {subfolder, WriteRefusal::Folder},
        {L"\\\\.\\NUL", WriteRefusal::NotAFile},
        {L"NUL", WriteRefusal::NotAFile},
        {L"CON", WriteRefusal::NotAFile},
        {L"PRN", WriteRefusal::NotAFile},
        {L"LPT1", WriteRefusal::NotAFile},
        {L"COM9", WriteRefusal::NotAFile},
        {L"CONIN$", WriteRefusal::NotAFile},
        {L"\\\\.\\C:", WriteRefusal::Volume},
        {L"\\\\?\\Volume{6b29fc40-ca47-1067-b31d-00dd010662da}", WriteRefusal::Volume},
    };
    for (const auto& [path, refusal] : cases) {
        WriteOutcome outcome;
        EXPECT_FALSE(writeFileReplacing(path, kScript, platformFilePlacement(), outcome));
        EXPECT_EQ(outcome.refusal, refusal) << path;
    }
    EXPECT_EQ(readFileBytes(readOnly), kEarlier);
    EXPECT_EQ(namesIn(folder.path()), (Names{L"folder.cmd", L"read-only.cmd"}));
    EXPECT_TRUE(namesIn(subfolder).empty());
}

TEST(FileReplacing, LockedFileFailsAndKeepsItsContent) {
    ScratchFolder folder;
    const std::wstring path = folder.file(L"locked.cmd");
    ASSERT_TRUE(writeFileBytes(path, kEarlier));
    FileLock lock(path);
    ASSERT_TRUE(lock.held());

    EXPECT_FALSE(writeFileReplacing(path, kScript));
    lock.release();
    EXPECT_EQ(readFileBytes(path), kEarlier);
    EXPECT_EQ(namesIn(folder.path()), Names{L"locked.cmd"});
}

TEST(FileReplacing, ReadOnlyFolderFailsAndKeepsTheEarlierFile) {
    std::string whyNot;
    const auto volume = testVolume(L"readonly", whyNot);
    if (!volume) {
        GTEST_SKIP() << whyNot;
    }
    const std::wstring path = *volume + L"\\earlier.cmd";
    const auto before = readFileBytes(path);
    ASSERT_EQ(before, "earlier\r\n");

    EXPECT_FALSE(writeFileReplacing(path, kScript));
    EXPECT_FALSE(writeFileReplacing(*volume + L"\\new.cmd", kScript));
    EXPECT_EQ(readFileBytes(path), before);
    EXPECT_EQ(namesIn(*volume), Names{L"earlier.cmd"});
}

// Fills the volume, then frees a little room, so that a larger script starts to be written and
// runs out of space part way.
class FullVolume : public ::testing::Test {
protected:
    void SetUp() override {
        std::string whyNot;
        const auto volume = testVolume(L"full", whyNot);
        if (!volume) {
            GTEST_SKIP() << whyNot;
        }
        folder_ = *volume;
        DeleteFileW(fillerPath().c_str());
        ASSERT_TRUE(writeFileBytes(earlierPath(), kEarlier));
        fill();
    }

    void TearDown() override {
        if (!folder_.empty()) {
            DeleteFileW(fillerPath().c_str());
            DeleteFileW(earlierPath().c_str());
        }
    }

    std::wstring earlierPath() const { return folder_ + L"\\earlier.cmd"; }
    std::wstring fillerPath() const { return folder_ + L"\\filler.bin"; }

    std::uint64_t freeBytes() const {
        ULARGE_INTEGER available{};
        if (!GetDiskFreeSpaceExW((folder_ + L"\\").c_str(), &available, nullptr, nullptr)) {
            return 0;
        }
        return available.QuadPart;
    }

    std::wstring folder_;

private:
    void fill() {
        HANDLE filler = CreateFileW(fillerPath().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(filler, INVALID_HANDLE_VALUE);
        const std::string block(kBlock, 'f');
        DWORD written = kBlock;
        while (written == kBlock) {
            written = 0;
            if (!WriteFile(filler, block.data(), kBlock, &written, nullptr)) {
                break;
            }
        }
        LARGE_INTEGER size{};
        GetFileSizeEx(filler, &size);
        LARGE_INTEGER shorter{};
        shorter.QuadPart = size.QuadPart - static_cast<LONGLONG>(kRoomLeft);
        const bool shortened =
            SetFilePointerEx(filler, shorter, nullptr, FILE_BEGIN) && SetEndOfFile(filler);
        CloseHandle(filler);
        ASSERT_TRUE(shortened);
    }

protected:
    static constexpr DWORD kBlock = 4096;
    static constexpr std::uint64_t kRoomLeft = 2 * kBlock;
};

TEST_F(FullVolume, WriteThatRunsOutOfSpaceKeepsTheEarlierFile) {
    const std::uint64_t room = freeBytes();
    ASSERT_GE(room, kRoomLeft) << "the script must start to be written";
    const std::string script(static_cast<std::size_t>(room) + 16 * kBlock, 's');

    EXPECT_FALSE(writeFileReplacing(earlierPath(), script));
    EXPECT_EQ(readFileBytes(earlierPath()), kEarlier);
    EXPECT_EQ(namesIn(folder_), (Names{L"earlier.cmd", L"filler.bin"}));
    EXPECT_EQ(freeBytes(), room) << "the temporary file's space is given back";

    // A script that fits still replaces it.
    EXPECT_TRUE(writeFileReplacing(earlierPath(), kScript));
    EXPECT_EQ(readFileBytes(earlierPath()), kScript);
}

TEST(LongPathPrefix, OnlyPathsTooLongForThePlainCallsGetIt) {
    const std::wstring name(MAX_PATH, L'n');
    EXPECT_EQ(withLongPathPrefix(L"C:\\scripts\\a.cmd"), L"C:\\scripts\\a.cmd");
    EXPECT_EQ(withLongPathPrefix(L"C:\\" + name), L"\\\\?\\C:\\" + name);
    EXPECT_EQ(withLongPathPrefix(L"\\\\server\\share\\" + name),
              L"\\\\?\\UNC\\server\\share\\" + name);
    EXPECT_EQ(withLongPathPrefix(L"\\\\?\\C:\\" + name), L"\\\\?\\C:\\" + name);
    // "." and ".." are resolved first: the long form would pass them on as names.
    EXPECT_EQ(withLongPathPrefix(L"C:\\" + name + L"\\.\\x\\..\\a.cmd"),
              L"\\\\?\\C:\\" + name + L"\\a.cmd");
    EXPECT_EQ(withLongPathPrefix(L"C:\\scripts\\" + name + L"\\..\\a.cmd"), L"C:\\scripts\\a.cmd");

    // The kept-files note gives the paths as the user would write them.
    WriteOutcome kept;
    kept.earlierKeptAt = L"\\\\?\\UNC\\server\\share\\~cvn1.bak";
    EXPECT_EQ(keptFilesNote(kept), L"the earlier file is in '\\\\server\\share\\~cvn1.bak'");
    kept.scriptKeptAt = L"\\\\?\\C:\\~cvn2.tmp";
    EXPECT_EQ(keptFilesNote(kept), L"the new script is in 'C:\\~cvn2.tmp', the earlier file is in "
                                   L"'\\\\server\\share\\~cvn1.bak'");
}

TEST(LongPathPrefix, RelativeNamesAreMadeFullFromTheCurrentFolder) {
    ScratchFolder folder;
    wchar_t previous[MAX_PATH] = {};
    ASSERT_GT(GetCurrentDirectoryW(MAX_PATH, previous), 0u);
    ASSERT_TRUE(SetCurrentDirectoryW(folder.path().c_str()));
    const std::wstring name(MAX_PATH, L'n');
    const std::wstring longName = withLongPathPrefix(L"sub\\" + name);
    const std::wstring shortName = withLongPathPrefix(L"a.cmd");
    SetCurrentDirectoryW(previous);

    EXPECT_EQ(longName, L"\\\\?\\" + folder.path() + L"\\sub\\" + name);
    EXPECT_EQ(shortName, folder.path() + L"\\a.cmd");
}

} // namespace
} // namespace corvane

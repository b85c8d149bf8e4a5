// Putting a written script in place in the folders real users save into: files that a scanner
// holds for a moment, symbolic and hard links, hidden files, and folders where a file may be
// changed but not created.
#include "files/safe_write_win.h"
#include "ui/save_dialog_win.h"
#include "tests/dialog/fake_script_ui.h"
#include "tests/support/test_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <numeric>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace corvane {
namespace {

using test_files::namesIn;
using test_files::readFileBytes;
using test_files::ScratchFolder;
using test_files::writeFileBytes;

using Names = std::vector<std::wstring>;

const std::string kEarlier = "@echo off\r\nrem the earlier, longer script\r\npause\r\n";
const std::string kScript = "@echo off\r\nxperf -stop\r\n";
const std::wstring kScriptText = L"@echo off\r\nxperf -stop\r\n";

// Never shown: the fake message box only records it.
const HWND kMainDialog = reinterpret_cast<HWND>(std::uintptr_t{0x1010});

// Fails the calls a test names as a scanner's hold would, and keeps the waits instead of sleeping;
// everything else goes to the platform.
class ScannerPlacement final : public FilePlacement {
public:
    static constexpr int kAlways = -1;

    int placeFailures = 0; // how many replace or move calls fail; kAlways for all
    DWORD placeError = ERROR_SHARING_VIOLATION;
    // The first failing replace moves the replaced file to the backup name, as a replace that
    // fails half way does.
    bool failHalfWay = false;
    int removeFailures = 0;
    DWORD createNewError = ERROR_SUCCESS;
    bool backupNamesTaken = false; // every backup name already has a file
    DWORD flushError = ERROR_SUCCESS;
    std::wstring plantAt; // another program makes this file while the new one is written

    int placeCalls = 0;
    int removeCalls = 0;
    std::vector<unsigned> pauses;
    std::vector<std::string> calls;

    unsigned long createNew(const std::wstring& path, HANDLE& file) noexcept override {
        calls.push_back("createNew");
        if (!plantAt.empty() && !writeFileBytes(std::exchange(plantAt, {}), kEarlier)) {
            return ERROR_GEN_FAILURE;
        }
        const bool backup = path.size() > 4 && path.compare(path.size() - 4, 4, L".bak") == 0;
        if (createNewError != ERROR_SUCCESS || (backupNamesTaken && backup)) {
            file = INVALID_HANDLE_VALUE;
            return backup && backupNamesTaken ? ERROR_FILE_EXISTS : createNewError;
        }
        return FilePlacement::createNew(path, file);
    }
    unsigned long flush(HANDLE file) noexcept override {
        calls.push_back("flush");
        return flushError != ERROR_SUCCESS ? flushError : FilePlacement::flush(file);
    }
    unsigned long replace(const std::wstring& replaced, const std::wstring& replacement,
                          const std::wstring& backup) noexcept override {
        calls.push_back("replace");
        if (!failingPlace()) {
            return FilePlacement::replace(replaced, replacement, backup);
        }
        if (failHalfWay) {
            failHalfWay = false;
            // ReplaceFileW writes over whatever has the backup name.
            MoveFileExW(replaced.c_str(), backup.c_str(), MOVEFILE_REPLACE_EXISTING);
        }
        return placeError;
    }
    unsigned long move(const std::wstring& from, const std::wstring& to) noexcept override {
        calls.push_back("move");
        return failingPlace() ? placeError : FilePlacement::move(from, to);
    }
    unsigned long remove(const std::wstring& path) noexcept override {
        calls.push_back("remove");
        ++removeCalls;
        return consume(removeFailures) ? ERROR_SHARING_VIOLATION : FilePlacement::remove(path);
    }
    void pause(unsigned milliseconds) noexcept override { pauses.push_back(milliseconds); }

    [[nodiscard]] unsigned waited() const {
        return std::accumulate(pauses.begin(), pauses.end(), 0u);
    }

private:
    bool failingPlace() {
        ++placeCalls;
        return consume(placeFailures);
    }
    static bool consume(int& failures) {
        if (failures == 0) {
            return false;
        }
        if (failures > 0) {
            --failures;
        }
        return true;
    }
};

class HeldByAScanner : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder_.exists());
        ui_.chosenPath = path_;
    }

    ScratchFolder folder_;
    const std::wstring path_ = folder_.file(L"capture.cmd");
    ScannerPlacement placement_;
    testing::FakeScriptUi ui_;
};

TEST_F(HeldByAScanner, TwoSharingViolationsThenTheReplaceGoesThrough) {
    ASSERT_TRUE(writeFileBytes(path_, kEarlier));
    placement_.placeFailures = 2;

    SaveCaptureScript(kMainDialog, kScriptText, ui_, placement_);

    EXPECT_TRUE(ui_.messages.empty());
    EXPECT_EQ(readFileBytes(path_), kScript);
    EXPECT_EQ(namesIn(folder_.path()), Names{L"capture.cmd"}) << "no temporary file left";
    EXPECT_EQ(placement_.placeCalls, 3);
    EXPECT_EQ(placement_.pauses, (std::vector<unsigned>{10, 20}));
}

TEST_F(HeldByAScanner, TwoAccessDenialsThenTheNewFileIsMovedIn) {
    placement_.placeFailures = 2;
    placement_.placeError = ERROR_ACCESS_DENIED;

    SaveCaptureScript(kMainDialog, kScriptText, ui_, placement_);

    EXPECT_TRUE(ui_.messages.empty());
    EXPECT_EQ(readFileBytes(path_), kScript);
    EXPECT_EQ(namesIn(folder_.path()), Names{L"capture.cmd"});
    EXPECT_EQ(placement_.placeCalls, 3);
}

TEST_F(HeldByAScanner, ReplaceFileWsOwnCodesForAHoldAreWaitedForToo) {
    for (const long held : {ERROR_UNABLE_TO_REMOVE_REPLACED, ERROR_UNABLE_TO_MOVE_REPLACEMENT}) {
        ASSERT_TRUE(writeFileBytes(path_, kEarlier));
        ScannerPlacement placement;
        placement.placeFailures = 2;
        placement.placeError = static_cast<DWORD>(held);

        EXPECT_TRUE(writeFileReplacing(path_, kScript, placement)) << held;
        EXPECT_EQ(placement.placeCalls, 3) << held;
        EXPECT_EQ(readFileBytes(path_), kScript);
    }
}

TEST_F(HeldByAScanner, AReplaceThatFailedHalfWayIsFinishedByAMove) {
    ASSERT_TRUE(writeFileBytes(path_, kEarlier));
    placement_.placeFailures = 1;
    placement_.placeError = ERROR_UNABLE_TO_MOVE_REPLACEMENT_2;
    placement_.failHalfWay = true;

    EXPECT_TRUE(writeFileReplacing(path_, kScript, placement_));

    EXPECT_EQ(readFileBytes(path_), kScript);
    EXPECT_EQ(namesIn(folder_.path()), Names{L"capture.cmd"}) << "the backup is removed";
}

TEST_F(HeldByAScanner, HeldThroughoutAfterHalfWayKeepsBothCopiesAndSaysWhere) {
    ASSERT_TRUE(writeFileBytes(path_, kEarlier));
    placement_.placeFailures = ScannerPlacement::kAlways;
    placement_.placeError = ERROR_UNABLE_TO_MOVE_REPLACEMENT_2;
    placement_.failHalfWay = true;

    WriteOutcome outcome;
    EXPECT_FALSE(writeFileReplacing(path_, kScript, placement_, outcome));

    EXPECT_EQ(outcome.error, static_cast<unsigned long>(ERROR_UNABLE_TO_MOVE_REPLACEMENT_2));
    EXPECT_EQ(readFileBytes(outcome.scriptKeptAt), kScript);
    EXPECT_EQ(readFileBytes(outcome.earlierKeptAt), kEarlier);
    EXPECT_EQ(namesIn(folder_.path()).size(), 2u) << "nothing else, and nothing at capture.cmd";
    const std::wstring note = keptFilesNote(outcome);
    EXPECT_NE(note.find(L"the new script is in '" + folder_.path() + L"\\~cvn"), std::wstring::npos)
        << note;
    EXPECT_NE(note.find(L".bak'"), std::wstring::npos) << note;

    // The dialog keeps its first line and says the same.
    ASSERT_TRUE(writeFileBytes(path_, kEarlier));
    placement_.failHalfWay = true;
    SaveCaptureScript(kMainDialog, kScriptText, ui_, placement_);
    ASSERT_EQ(ui_.messages.size(), 1u);
    EXPECT_EQ(ui_.messages[0].text.rfind(L"Failed to create cmd file.\nThe new script is in '", 0),
              0u)
        << ui_.messages[0].text;

    // A later save beside them takes names of its own: the kept copies stay as they are.
    const std::wstring other = folder_.file(L"other.cmd");
    ASSERT_TRUE(writeFileBytes(other, kEarlier));
    EXPECT_TRUE(writeFileReplacing(other, kScript));
    EXPECT_EQ(readFileBytes(outcome.scriptKeptAt), kScript);
    EXPECT_EQ(readFileBytes(outcome.earlierKeptAt), kEarlier);
}

TEST_F(HeldByAScanner, TheScriptIsFlushedBeforeItIsPutInPlace) {
    ASSERT_TRUE(writeFileBytes(path_, kEarlier));
    ASSERT_TRUE(writeFileReplacing(path_, kScript, placement_));
    EXPECT_EQ(placement_.calls,
              (std::vector<std::string>{"createNew", "flush", "createNew", "replace", "remove"}));

    ScannerPlacement failingFlush;
    failingFlush.flushError = ERROR_DISK_FULL;
    WriteOutcome outcome;
    EXPECT_FALSE(writeFileReplacing(path_, kEarlier, failingFlush, outcome));
    EXPECT_EQ(outcome.error, static_cast<unsigned long>(ERROR_DISK_FULL));
    EXPECT_EQ(failingFlush.placeCalls, 0);
    EXPECT_EQ(readFileBytes(path_), kScript);
    EXPECT_EQ(namesIn(folder_.path()), Names{L"capture.cmd"}) << "no temporary file left";
}

TEST_F(HeldByAScanner, ARealLockLetGoWithinTheWaitLetsTheSaveThrough) {
    ASSERT_TRUE(writeFileBytes(path_, kEarlier));
    test_files::FileLock lock(path_);
    ASSERT_TRUE(lock.held());
    // Let go well inside the two seconds of waiting.
    std::thread scanner([&lock] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        lock.release();
    });

    const bool written = writeFileReplacing(path_, kScript);
    scanner.join();

    EXPECT_TRUE(written);
    EXPECT_EQ(readFileBytes(path_), kScript);
    EXPECT_EQ(namesIn(folder_.path()), Names{L"capture.cmd"});
}

TEST_F(HeldByAScanner, HeldThroughoutKeepsTheEarlierFileAndSaysSo) {
    ASSERT_TRUE(writeFileBytes(path_, kEarlier));
    placement_.placeFailures = ScannerPlacement::kAlways;

    SaveCaptureScript(kMainDialog, kScriptText, ui_, placement_);

    ASSERT_EQ(ui_.messages.size(), 1u);
    EXPECT_EQ(ui_.messages[0].text, L"Failed to create cmd file.");
    EXPECT_EQ(ui_.messages[0].owner, kMainDialog);
    EXPECT_EQ(readFileBytes(path_), kEarlier);
    EXPECT_EQ(namesIn(folder_.path()), Names{L"capture.cmd"}) << "no temporary file left";
    EXPECT_GE(placement_.waited(), 1800u);
    EXPECT_LE(placement_.waited(), 2200u);
}

TEST_F(HeldByAScanner, ABackupHeldPastTheWaitsIsNamedAfterTheSave) {
    ASSERT_TRUE(writeFileBytes(path_, kEarlier));
    placement_.removeFailures = 100;

    SaveCaptureScript(kMainDialog, kScriptText, ui_, placement_);

    EXPECT_EQ(readFileBytes(path_), kScript);
    ASSERT_EQ(ui_.messages.size(), 1u);
    const std::wstring& text = ui_.messages[0].text;
    EXPECT_EQ(text.rfind(L"The script is saved. The earlier file is still in '" + folder_.path() +
                             L"\\~cvn",
                         0),
              0u)
        << text;
    EXPECT_EQ(namesIn(folder_.path()).size(), 2u);
}

TEST_F(HeldByAScanner, NoFreeBackupNameOrAFileThatMayNotBeDeleted) {
    ASSERT_TRUE(writeFileBytes(path_, kEarlier));
    placement_.backupNamesTaken = true;
    WriteOutcome outcome;
    EXPECT_FALSE(writeFileReplacing(path_, kScript, placement_, outcome));
    EXPECT_EQ(outcome.refusal, WriteRefusal::NoFreeName);
    EXPECT_EQ(placement_.placeCalls, 0);
    EXPECT_EQ(readFileBytes(path_), kEarlier);
    EXPECT_EQ(namesIn(folder_.path()), Names{L"capture.cmd"});

    // Access denied to the replace, for good: the file is rewritten where it is.
    ScannerPlacement denied;
    denied.placeFailures = ScannerPlacement::kAlways;
    denied.placeError = ERROR_ACCESS_DENIED;
    EXPECT_TRUE(writeFileReplacing(path_, kScript, denied));
    EXPECT_EQ(readFileBytes(path_), kScript);
    EXPECT_EQ(namesIn(folder_.path()), Names{L"capture.cmd"});
}

TEST_F(HeldByAScanner, CleanUpWaitsForTheHoldToEndToo) {
    ASSERT_TRUE(writeFileBytes(path_, kEarlier));
    placement_.placeFailures = ScannerPlacement::kAlways;
    placement_.removeFailures = 2;

    EXPECT_FALSE(writeFileReplacing(path_, kScript, placement_));

    EXPECT_EQ(placement_.removeCalls, 4) << "the backup name reserved, then the new file";
    EXPECT_EQ(readFileBytes(path_), kEarlier);
    EXPECT_EQ(namesIn(folder_.path()), Names{L"capture.cmd"});
}

TEST_F(HeldByAScanner, OtherFailuresAreNotWaitedFor) {
    ASSERT_TRUE(writeFileBytes(path_, kEarlier));
    placement_.placeFailures = ScannerPlacement::kAlways;
    placement_.placeError = ERROR_WRITE_PROTECT;
    EXPECT_FALSE(writeFileReplacing(path_, kScript, placement_));
    EXPECT_EQ(placement_.placeCalls, 1);
    EXPECT_TRUE(placement_.pauses.empty());
    EXPECT_EQ(namesIn(folder_.path()), Names{L"capture.cmd"});

    // A read-only file is given up on before anything is written.
    ScannerPlacement untouched;
    ASSERT_TRUE(SetFileAttributesW(path_.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_FALSE(writeFileReplacing(path_, kScript, untouched));
    EXPECT_EQ(untouched.placeCalls, 0);
    EXPECT_TRUE(untouched.pauses.empty());
    EXPECT_EQ(readFileBytes(path_), kEarlier);
    EXPECT_EQ(namesIn(folder_.path()), Names{L"capture.cmd"});
}

// A Windows path for a Unix path that the test's environment names (Wine shows / as Z:).
std::optional<std::wstring> folderFromEnvironment(const wchar_t* variable) {
    wchar_t value[1024] = {};
    const DWORD length = GetEnvironmentVariableW(variable, value, 1024);
    if (length == 0 || length >= 1024) {
        return std::nullopt;
    }
    std::wstring folder = L"Z:" + std::wstring(value, length);
    std::replace(folder.begin(), folder.end(), L'/', L'\\');
    return folder;
}

TEST_F(HeldByAScanner, WithoutReplacingANameTakenMeanwhileIsLeftToItsOwner) {
    WriteOutcome outcome;
    placement_.plantAt = path_;
    EXPECT_FALSE(writeNewFile(path_, kScript, placement_, outcome));
    EXPECT_EQ(outcome.refusal, WriteRefusal::NameTaken);
    EXPECT_EQ(readFileBytes(path_), kEarlier);
    EXPECT_EQ(namesIn(folder_.path()), (Names{L"capture.cmd"}));

    const std::wstring fresh = folder_.file(L"fresh.cmd");
    EXPECT_TRUE(writeNewFile(fresh, kScript, placement_, outcome));
    EXPECT_EQ(readFileBytes(fresh), kScript);

    // Replacing is for the file that was there when the name was examined.
    const std::wstring planted = folder_.file(L"planted.cmd");
    placement_.plantAt = planted;
    EXPECT_FALSE(writeFileReplacing(planted, kScript, placement_, outcome));
    EXPECT_EQ(outcome.refusal, WriteRefusal::TakenMeanwhile);
    EXPECT_EQ(readFileBytes(planted), kEarlier);
}

TEST(SymbolicLink, SavingOntoItWritesTheFileItLeadsTo) {
    ScratchFolder scratch;
    std::wstring folder = scratch.path();
    std::wstring link = scratch.file(L"link.cmd");
    std::wstring target = scratch.file(L"target.cmd");
    ASSERT_TRUE(writeFileBytes(target, kEarlier));
    // Wine 8's CreateSymbolicLinkW reports success and makes nothing; there the link is a Unix one
    // that ctest made (test_links.sh).
    constexpr DWORD kUnprivileged = 0x2; // SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE
    const bool made = CreateSymbolicLinkW(link.c_str(), target.c_str(), kUnprivileged) &&
                      GetFileAttributesW(link.c_str()) != INVALID_FILE_ATTRIBUTES;
    if (!made) {
        const auto links = folderFromEnvironment(L"CORVANE_TEST_LINKS");
        if (!links) {
            GTEST_SKIP() << "no symbolic link can be made here, and CORVANE_TEST_LINKS is not set";
        }
        folder = *links;
        link = folder + L"\\link.cmd";
        target = folder + L"\\target.cmd";
        ASSERT_TRUE(writeFileBytes(target, kEarlier));
    }
    ASSERT_EQ(readFileBytes(link), kEarlier) << "not a link to the target";

    ASSERT_TRUE(writeFileReplacing(link, kScript));

    EXPECT_EQ(readFileBytes(target), kScript);
    // Still a link: what the target holds next shows through it.
    ASSERT_TRUE(writeFileBytes(target, "third\r\n"));
    EXPECT_EQ(readFileBytes(link), "third\r\n");
    EXPECT_EQ(namesIn(folder), (Names{L"link.cmd", L"target.cmd"}));
}

TEST(SymbolicLink, OneWhoseTargetIsMissingIsRefusedAndStays) {
    ScratchFolder scratch;
    std::wstring folder = scratch.path();
    constexpr DWORD kUnprivileged = 0x2; // SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE
    const std::wstring made = scratch.file(L"dangling.cmd");
    if (!CreateSymbolicLinkW(made.c_str(), L"missing.cmd", kUnprivileged) ||
        GetFileAttributesW(made.c_str()) == INVALID_FILE_ATTRIBUTES) {
        const auto links = folderFromEnvironment(L"CORVANE_TEST_LINKS");
        if (!links) {
            GTEST_SKIP() << "no symbolic link can be made here, and CORVANE_TEST_LINKS is not set";
        }
        folder = *links;
    }
    const std::wstring link = folder + L"\\dangling.cmd";
    const std::wstring missing = folder + L"\\missing.cmd";

    WriteOutcome outcome;
    EXPECT_FALSE(writeFileReplacing(link, kScript, platformFilePlacement(), outcome));
    EXPECT_EQ(outcome.refusal, WriteRefusal::DanglingLink);
    EXPECT_FALSE(readFileBytes(missing).has_value()) << "written through the link";
    // Still the link: a file at its target shows through it.
    ASSERT_TRUE(writeFileBytes(missing, "target\r\n"));
    EXPECT_EQ(readFileBytes(link), "target\r\n");
    DeleteFileW(missing.c_str());
}

TEST(HardLinks, TheChosenNameGetsTheScriptWhileOtherNamesKeepTheEarlierText) {
    ScratchFolder folder;
    const std::wstring chosen = folder.file(L"chosen.cmd");
    const std::wstring other = folder.file(L"other.cmd");
    ASSERT_TRUE(writeFileBytes(chosen, kEarlier));
    ASSERT_TRUE(CreateHardLinkW(other.c_str(), chosen.c_str(), nullptr));

    ASSERT_TRUE(writeFileReplacing(chosen, kScript));

    EXPECT_EQ(readFileBytes(chosen), kScript);
    EXPECT_EQ(readFileBytes(other), kEarlier);
    EXPECT_EQ(namesIn(folder.path()), (Names{L"chosen.cmd", L"other.cmd"}));
}

TEST(KeptAttributes, AHiddenSystemFileStaysHiddenAndSystem) {
    ScratchFolder folder;
    const std::wstring path = folder.file(L"hidden.cmd");
    constexpr DWORD kHiddenSystem = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    ASSERT_TRUE(writeFileBytes(path, kEarlier));
    ASSERT_TRUE(SetFileAttributesW(path.c_str(), kHiddenSystem));
    if ((GetFileAttributesW(path.c_str()) & kHiddenSystem) != kHiddenSystem) {
        GTEST_SKIP() << "this file system keeps no hidden or system attribute";
    }

    ASSERT_TRUE(writeFileReplacing(path, kScript));

    EXPECT_EQ(readFileBytes(path), kScript);
    EXPECT_EQ(GetFileAttributesW(path.c_str()) & kHiddenSystem, kHiddenSystem);
    EXPECT_EQ(namesIn(folder.path()), Names{L"hidden.cmd"});
}

TEST(InPlaceFallback, AFolderThatRefusesNewFilesHasTheExistingOneRewritten) {
    ScratchFolder folder;
    const std::wstring path = folder.file(L"existing.cmd");
    ASSERT_TRUE(writeFileBytes(path, kEarlier));
    ScannerPlacement placement;
    placement.createNewError = ERROR_ACCESS_DENIED;

    ASSERT_TRUE(writeFileReplacing(path, kScript, placement));
    EXPECT_EQ(readFileBytes(path), kScript) << "the longer earlier text is cut off";
    EXPECT_EQ(placement.placeCalls, 0);

    // Without a file to change there is nothing to fall back on.
    EXPECT_FALSE(writeFileReplacing(folder.file(L"new.cmd"), kScript, placement));
    EXPECT_EQ(namesIn(folder.path()), Names{L"existing.cmd"});
}

TEST(InPlaceFallback, AVolumeWithNoRoomForAnotherFileHasItsFileRewritten) {
    std::string whyNot;
    const auto volume = test_files::testVolume(L"noroom", whyNot);
    if (!volume) {
        GTEST_SKIP() << whyNot;
    }
    const std::wstring path = *volume + L"\\earlier.cmd";
    ASSERT_TRUE(writeFileBytes(path, kEarlier));

    ASSERT_TRUE(writeFileReplacing(path, kScript));
    EXPECT_EQ(readFileBytes(path), kScript);

    EXPECT_FALSE(writeFileReplacing(*volume + L"\\new.cmd", kScript));
    EXPECT_EQ(namesIn(*volume), Names{L"earlier.cmd"});
}

TEST(InPlaceFallback, AScriptThatDoesNotFitLeavesTheEarlierFileWhole) {
    std::string whyNot;
    const auto volume = test_files::testVolume(L"noroom", whyNot);
    if (!volume) {
        GTEST_SKIP() << whyNot;
    }
    // The volume holds 64 KiB: the earlier file fits, the longer script does not.
    const std::wstring path = *volume + L"\\earlier.cmd";
    const std::string earlier(60000, 'e');
    ASSERT_TRUE(writeFileBytes(path, earlier));

    EXPECT_FALSE(writeFileReplacing(path, std::string(70000, 's')));
    EXPECT_TRUE(readFileBytes(path) == earlier) << "the earlier text is changed";

    const std::string fits = std::string(61000, 'f') + "tail";
    ASSERT_TRUE(writeFileReplacing(path, fits));
    EXPECT_TRUE(readFileBytes(path) == fits) << "not the whole script";
}

} // namespace
} // namespace corvane

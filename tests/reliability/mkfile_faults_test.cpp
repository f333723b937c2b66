// The data file tool under faults: a full disk, a directory it may not write to, a missing
// directory, and an interrupt in the middle of a large file. Each time: a message, a
// non-zero exit, nothing under the target name that was not there before, and no temporary
// file left behind.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "fuzz/engine_file_check.h"
#include "tests/reliability/process_runner.h"
#include "tests/reliability/test_files.h"

namespace {

constexpr double kTimeout = 120;
constexpr long kSmallDisk = 64L * 1024;
// About 200 MB: far past the small disk, and long enough to interrupt in the middle.
const char* const kLargeRecordCount = "2000000";

// A failure that the tool saw and reported: an exit status other than 0, not a signal.
void ExpectReportedFailure(const ProgramRun& run, const std::string& mentions) {
  EXPECT_TRUE(run.exited) << DescribeEnd(run);
  EXPECT_NE(run.exitStatus, 0);
  EXPECT_NE(run.stderrText.find("zorbinel-mkfile: "), std::string::npos) << run.stderrText;
  EXPECT_NE(run.stderrText.find(mentions), std::string::npos) << run.stderrText;
}

// Mounts a small or read-only file system at `path`, or says why it cannot.
bool MountForTest(const std::string& path, long size, bool readOnly, std::string* why) {
  return EnterPrivateMountNamespace(why) && MountTmpfs(path, size, readOnly, why);
}

TEST(MkfileFaults, AFullDiskLeavesNoFileAndKeepsTheOneItWouldReplace) {
  ScratchDirectory scratch;
  ASSERT_FALSE(scratch.path.empty());
  std::string disk = scratch.path + "/disk";
  ASSERT_EQ(mkdir(disk.c_str(), 0755), 0);
  std::string why;
  if (!MountForTest(disk, kSmallDisk, false, &why)) GTEST_SKIP() << why;

  std::string target = disk + "/data.dat";
  ProgramRun fresh = RunProgram({MkfilePath(), target, "--records", kLargeRecordCount}, kTimeout);
  std::string afterFresh = ListDirectory(disk);

  // A small file that fits, then a --force replacement that does not.
  ASSERT_EQ(MakeDataFile(target, "--records 1"), "");
  std::string kept;
  ASSERT_TRUE(ReadWholeFile(target, &kept));
  ProgramRun replacing =
      RunProgram({MkfilePath(), target, "--records", kLargeRecordCount, "--force"}, kTimeout);
  std::string afterReplacing = ListDirectory(disk);
  std::string still;
  ASSERT_TRUE(ReadWholeFile(target, &still));
  Unmount(disk);

  ExpectReportedFailure(fresh, "No space left on device");
  EXPECT_EQ(afterFresh, "");
  ExpectReportedFailure(replacing, "No space left on device");
  EXPECT_EQ(afterReplacing, "data.dat");
  EXPECT_TRUE(still == kept) << "the file that --force would replace was damaged";
}

TEST(MkfileFaults, ADirectoryThatCannotBeWrittenGetsNoFile) {
  ScratchDirectory scratch;
  ASSERT_FALSE(scratch.path.empty());
  std::string locked = scratch.path + "/locked";
  ASSERT_EQ(mkdir(locked.c_str(), 0555), 0);
  // Permission bits do not hold root back: then the directory is a read-only mount.
  bool mounted = false;
  if (geteuid() == 0) {
    std::string why;
    if (!MountForTest(locked, kSmallDisk, true, &why)) GTEST_SKIP() << why;
    mounted = true;
  }
  ProgramRun run = RunProgram({MkfilePath(), locked + "/data.dat", "--records", "10"}, kTimeout);
  std::string listing = ListDirectory(locked);
  if (mounted) Unmount(locked);
  ExpectReportedFailure(run, locked);
  EXPECT_EQ(listing, "");
}

TEST(MkfileFaults, AMissingDirectoryGetsAMessage) {
  ScratchDirectory scratch;
  ASSERT_FALSE(scratch.path.empty());
  std::string missing = scratch.path + "/missing";
  ProgramRun run = RunProgram({MkfilePath(), missing + "/data.dat", "--records", "10"}, kTimeout);
  ExpectReportedFailure(run, missing);
  EXPECT_FALSE(FileExists(missing));
  EXPECT_EQ(ListDirectory(scratch.path), "");
}

// Waits until the directory holds a file of at least `bytes`: the tool is then well into
// writing. false when that does not happen within the timeout.
bool WaitForPartialFile(const std::string& directory, off_t bytes) {
  for (int tries = 0; tries < 20000; ++tries) {
    std::string name = ListDirectory(directory);
    std::string path = directory;
    path += "/";
    path += name;
    struct stat info {};
    if (!name.empty() && name.find(' ') == std::string::npos && stat(path.c_str(), &info) == 0 &&
        info.st_size >= bytes) {
      return true;
    }
    usleep(1000);
  }
  return false;
}

TEST(MkfileFaults, AnInterruptInTheMiddleLeavesNoFile) {
  const int kSignals[] = {SIGINT, SIGTERM};
  for (int signalNumber : kSignals) {
    SCOPED_TRACE(strsignal(signalNumber));
    ScratchDirectory scratch;
    ASSERT_FALSE(scratch.path.empty());
    RunGroup group;
    group.runs.resize(1);
    group.runs[0].arguments = {MkfilePath(), scratch.path + "/data.dat", "--records",
                               kLargeRecordCount};
    StartTogether(&group);
    ASSERT_TRUE(group.runs[0].started);
    bool partial = WaitForPartialFile(scratch.path, 4 << 20);
    kill(group.runs[0].pid, signalNumber);
    FinishTogether(&group, kTimeout);
    const ProgramRun& run = group.runs[0];
    ASSERT_TRUE(partial) << "the tool never got into writing: " << DescribeEnd(run);
    // Ending by the signal itself, after cleaning up, is how a tool tells its caller it was
    // interrupted; an exit status other than 0 will do as well.
    EXPECT_TRUE(run.signalNumber == signalNumber || (run.exited && run.exitStatus != 0))
        << DescribeEnd(run);
    EXPECT_NE(run.stderrText.find("zorbinel-mkfile: "), std::string::npos)
        << "no message: " << run.stderrText;
    EXPECT_EQ(ListDirectory(scratch.path), "");
  }
}

}  // namespace

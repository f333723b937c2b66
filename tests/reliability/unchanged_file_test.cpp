// Every test type reads the data file and leaves it exactly as it was: bytes, size and
// modification time.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <string>
#include <vector>

#include "fuzz/engine_file_check.h"
#include "tests/reliability/process_runner.h"
#include "tests/reliability/program_output.h"
#include "tests/reliability/test_files.h"

namespace {

const int kEveryTestType[] = {1, 2, 3, 4, 5, 6, 11, 12};

struct FileState {
  std::string bytes;
  off_t size;
  timespec modified;
};

FileState StateOf(const std::string& path) {
  FileState state{};
  struct stat info {};
  EXPECT_EQ(stat(path.c_str(), &info), 0) << path;
  state.size = info.st_size;
  state.modified = info.st_mtim;
  EXPECT_TRUE(ReadWholeFile(path, &state.bytes));
  return state;
}

TEST(UnchangedFile, EveryTestTypeWithTraceHistogramAndLogLeavesTheDataFileAsItWas) {
  ScratchDirectory scratch;
  ASSERT_FALSE(scratch.path.empty());
  std::string data = scratch.path + "/data.dat";
  std::string log = scratch.path + "/results.log";
  ASSERT_EQ(MakeDataFile(data, "--records 2000 --seed 4"), "");
  FileState before = StateOf(data);

  // At most three options fit beside the file name: /T and /R1 with each of /D, /H, /L.
  std::vector<ProgramRun> runs;
  for (int testType : kEveryTestType) {
    for (const std::string& option : {std::string("/D"), std::string("/H"), "/L" + log}) {
      ProgramRun run;
      run.arguments = {ZorbinelPath(), data, "/T" + std::to_string(testType), "/R1", option};
      run.discardStdout = option == "/D";  // the trace of every call
      runs.push_back(run);
    }
  }
  RunTogether(&runs, 120);

  for (const ProgramRun& run : runs) {
    SCOPED_TRACE(run.arguments[2] + " " + run.arguments[4]);
    EXPECT_TRUE(run.exited && run.exitStatus == 0) << DescribeEnd(run);
    EXPECT_EQ(run.stderrText, kBanner);
  }
  FileState after = StateOf(data);
  EXPECT_EQ(after.size, before.size);
  EXPECT_TRUE(after.bytes == before.bytes) << "the data file's bytes changed";
  EXPECT_EQ(after.modified.tv_sec, before.modified.tv_sec);
  EXPECT_EQ(after.modified.tv_nsec, before.modified.tv_nsec);
  std::string logged;
  ASSERT_TRUE(ReadWholeFile(log, &logged));
  EXPECT_TRUE(MatchesWhole(logged, "(" + std::string(kLogLine) + "){8}")) << logged;
}

}  // namespace

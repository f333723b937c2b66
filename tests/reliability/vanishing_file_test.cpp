// A data file that goes away or is cut short while runs are using it, as a file on a share
// that vanishes would: the runs that open it again stop with their open-failure message and
// exit 1; the runs that hold it open go on or report the damage; none crashes or hangs.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/reliability/process_runner.h"
#include "tests/reliability/program_output.h"
#include "tests/reliability/test_files.h"

namespace {

constexpr double kTimeout = 120;
constexpr useconds_t kIntoTheRun = 300 * 1000;

std::string Announced(const std::string& path, int testType) {
  return "Accessing Data File " + EscapeRegex(path) +
         "\\.\\.\\.\\nRunning for 3 seconds\\.\\.\\.\\n" + "Running Test Type " +
         std::to_string(testType) + " " + EscapeRegex("(" + TestName(testType) + ")") +
         "\\.\\.\\.\\n";
}

// The types that open the file in every iteration meet the missing file at their next Open,
// whenever the removal comes: "Starting..." is printed before their first iteration.
TEST(VanishingFile, RunsThatOpenTheFileAgainStopWithTheirOpenFailure) {
  struct Case {
    int testType;
    std::string failure;
  };
  const Case cases[] = {
      {1, "Unable to Open File - Status 12\n"},
      {11, "File Open Failed\r\n"},
      {12, "File Open Failed\r\n"},
  };
  ScratchDirectory scratch;
  ASSERT_FALSE(scratch.path.empty());
  RunGroup group;
  std::vector<std::string> paths;
  for (const Case& c : cases) {
    paths.push_back(scratch.path + "/type" + std::to_string(c.testType) + ".dat");
    ASSERT_EQ(MakeDataFile(paths.back(), "--records 100"), "");
    ProgramRun run;
    run.arguments = {ZorbinelPath(), paths.back(), "/T" + std::to_string(c.testType), "/R3"};
    group.runs.push_back(run);
  }
  StartTogether(&group);
  usleep(kIntoTheRun);
  for (const std::string& path : paths) unlink(path.c_str());
  FinishTogether(&group, kTimeout);

  for (size_t i = 0; i < group.runs.size(); ++i) {
    const ProgramRun& run = group.runs[i];
    SCOPED_TRACE("type " + std::to_string(cases[i].testType));
    EXPECT_TRUE(run.exited && run.exitStatus == 1) << DescribeEnd(run);
    EXPECT_TRUE(
        MatchesWhole(run.stdoutText, Announced(paths[i], cases[i].testType) + kStartingLine))
        << run.stdoutText;
    EXPECT_EQ(run.stderrText, kBanner + cases[i].failure);
  }
}

// The types that hold the file open read it through the engine's cached pages, or meet the
// cut with status 2; a run that starts after the cut fails at its Open.
TEST(VanishingFile, RunsThatHoldTheFileOpenSurviveItsTruncation) {
  ScratchDirectory scratch;
  ASSERT_FALSE(scratch.path.empty());
  RunGroup group;
  std::vector<std::string> paths;
  for (int testType = 2; testType <= 6; ++testType) {
    paths.push_back(scratch.path + "/type" + std::to_string(testType) + ".dat");
    ASSERT_EQ(MakeDataFile(paths.back(), "--records 5000"), "");
    ProgramRun run;
    run.arguments = {ZorbinelPath(), paths.back(), "/T" + std::to_string(testType), "/R3"};
    group.runs.push_back(run);
  }
  StartTogether(&group);
  usleep(kIntoTheRun);
  for (const std::string& path : paths) ASSERT_EQ(truncate(path.c_str(), 4096), 0);
  FinishTogether(&group, kTimeout);

  const std::string corrupt = "Data File Corruption (Status 2) Detected!\n";
  for (size_t i = 0; i < group.runs.size(); ++i) {
    const ProgramRun& run = group.runs[i];
    int testType = static_cast<int>(i) + 2;
    SCOPED_TRACE("type " + std::to_string(testType));
    ASSERT_TRUE(run.exited) << DescribeEnd(run);
    ASSERT_EQ(run.stderrText.compare(0, strlen(kBanner), kBanner), 0);
    std::string errors = run.stderrText.substr(strlen(kBanner));
    if (run.exitStatus == 1) {
      // The cut came before the Open: the header no longer matches the file's size.
      EXPECT_EQ(errors, corrupt + "Unable to Open File - Status 2\n");
      continue;
    }
    EXPECT_EQ(run.exitStatus, 0);
    EXPECT_TRUE(MatchesWhole(
        run.stdoutText, Announced(paths[i], testType) + kStartingLine + kEndingLine + kRateLine))
        << run.stdoutText;
    // Reads through the status-reporting wrapper report each failure as it happens.
    std::string failure = corrupt + "Unable to Read File - Status 2\n";
    EXPECT_TRUE(errors.empty() || (testType <= 4 && CountRepeats(errors, failure) > 0))
        << errors.substr(0, 500);
  }
}

}  // namespace

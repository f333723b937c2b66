// Sixteen runs at once against one data file, all appending to one results log: every run
// completes, and the log gains one whole line per run, none interleaved or lost.
#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <string>
#include <vector>

#include "fuzz/engine_file_check.h"
#include "tests/reliability/process_runner.h"
#include "tests/reliability/program_output.h"
#include "tests/reliability/test_files.h"

namespace {

constexpr int kConcurrentRuns = 16;

// The rate as a run printed it on standard output, trailing blanks included.
std::string PrintedRate(const std::string& stdoutText) {
  std::smatch match;
  static const std::regex rate(R"(Iterations/s: ([^\n]*)\n)");
  return std::regex_search(stdoutText, match, rate) ? match[1].str() : "";
}

TEST(ConcurrentRuns, SixteenRunsShareOneDataFileAndOneLog) {
  ScratchDirectory scratch;
  ASSERT_FALSE(scratch.path.empty());
  std::string data = scratch.path + "/data.dat";
  std::string log = scratch.path + "/shared.log";
  ASSERT_EQ(MakeDataFile(data, "--records 1000 --seed 9"), "");
  const std::string earlier = "2026/01/02 03:04:05, 1.000       \n";
  ASSERT_TRUE(WriteFileBytes(log, earlier));

  // All engine test types and one operating-system type, started at the same moment; they
  // all end about one second later, which is when they append.
  std::vector<ProgramRun> runs(kConcurrentRuns);
  for (int i = 0; i < kConcurrentRuns; ++i) {
    int testType = i % 5 == 4 ? 12 : i % 5 + 1;
    runs[i].arguments = {ZorbinelPath(), data, "/T" + std::to_string(testType), "/R1", "/L" + log};
  }
  RunTogether(&runs, 120);

  std::vector<std::string> printedRates;
  for (const ProgramRun& run : runs) {
    SCOPED_TRACE(run.arguments[2]);
    EXPECT_TRUE(run.exited && run.exitStatus == 0) << DescribeEnd(run);
    EXPECT_EQ(run.stderrText, kBanner);
    printedRates.push_back(PrintedRate(run.stdoutText));
  }
  std::string logged;
  ASSERT_TRUE(ReadWholeFile(log, &logged));
  ASSERT_EQ(logged.compare(0, earlier.size(), earlier), 0) << "the earlier line was lost";
  std::string added = logged.substr(earlier.size());
  EXPECT_TRUE(MatchesWhole(
      added, "(" + std::string(kLogLine) + "){" + std::to_string(kConcurrentRuns) + "}"))
      << added;

  // Each line carries the rate of one run: the same texts as the runs printed.
  std::vector<std::string> loggedRates;
  size_t start = 0;
  for (size_t end; (end = added.find('\n', start)) != std::string::npos; start = end + 1) {
    std::string line = added.substr(start, end - start);
    size_t comma = line.find(", ");
    loggedRates.push_back(comma == std::string::npos ? line : line.substr(comma + 2));
  }
  std::sort(printedRates.begin(), printedRates.end());
  std::sort(loggedRates.begin(), loggedRates.end());
  EXPECT_EQ(loggedRates, printedRates);
}

}  // namespace

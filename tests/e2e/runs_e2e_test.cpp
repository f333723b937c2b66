// Completed runs of every test type, the results log and the histogram, end to end. Each run
// lasts one second (/R1).
#include <gtest/gtest.h>

#include <cstdlib>
#include <regex>
#include <string>
#include <vector>

#include "tests/e2e/e2e_support.h"
#include "tests/e2e/expected_output.h"

namespace {

// The standard output of a completed run without /D or /H.
std::string CompletedRun(const std::string& file, int testType, const std::string& name) {
  return "Accessing Data File " + file + "...\nRunning for 1 second...\nRunning Test Type " +
         std::to_string(testType) + " (" + name +
         ")...\n{TIME}: Starting...\n{TIME}: Ending...\nIterations/s: {RATE}\n";
}

void ExpectCompleted(const ProgramResult& run, const std::string& out) {
  PatternMatch matched = MatchPattern(out, run.out);
  EXPECT_TRUE(matched.matched) << "standard output\n" << matched.why;
  EXPECT_EQ(run.err, AsWritten(kBanner));
  EXPECT_EQ(run.exitStatus, 0);
}

// The lines of a text as the program wrote them, line ends removed.
std::vector<std::string> Lines(const std::string& text) {
  const std::string end = AsWritten("\n");
  std::vector<std::string> lines;
  size_t at = 0;
  for (size_t next; (next = text.find(end, at)) != std::string::npos; at = next + end.size()) {
    lines.push_back(text.substr(at, next - at));
  }
  if (at < text.size()) lines.push_back(text.substr(at));
  return lines;
}

struct RunCase {
  const char* name;
  int testType;
  const char* testName;
  const char* file;
};

void PrintTo(const RunCase& c, std::ostream* os) {
  *os << c.name;
}

const RunCase kEngineRuns[] = {
    {"OpenClose", 1, "MKDE File Open/Close", "data.btr"},
    {"StepFirst", 2, "MKDE File StepFirst", "data.btr"},
    {"StepLast", 3, "MKDE File StepLast", "data.btr"},
    {"GetFirst", 4, "MKDE File GetFirst", "data.btr"},
    {"StepFirstThroughBtrv", 5, "MKDE StepFirst without Kalvenor Wrapper", "data.btr"},
    {"StepFirstIntoTheEntryPoint", 6, "MKDE StepFirst without BTRV Wrapper", "data.btr"},
};

const RunCase kOsRuns[] = {
    {"OsOpenClose", 11, "OS File Open/Close", "plain.txt"},
    {"OsOpenRead", 12, "OS File Open/Read512B/Read16KB/Close", "plain.txt"},
    {"OsOpenReadOfAShortFile", 12, "OS File Open/Read512B/Read16KB/Close", "short.txt"},
};

class CompletedRuns : public testing::TestWithParam<RunCase> {};

TEST_P(CompletedRuns, ReportTheRate) {
  const RunCase& c = GetParam();
  WorkDir dir;
  if (c.testType <= 6) {
    ASSERT_TRUE(MakeDataFile(dir, c.file));
  } else {
    WriteFile(dir.Path(c.file), std::string(c.file == std::string("short.txt") ? 100 : 40000, 'x'));
  }
  ProgramResult run = RunZorbinel(dir, {c.file, "/R1", "/T" + std::to_string(c.testType)});
  ExpectCompleted(run, CompletedRun(c.file, c.testType, c.testName));
}

std::string RunCaseName(const testing::TestParamInfo<RunCase>& info) {
  return info.param.name;
}

INSTANTIATE_TEST_SUITE_P(EngineRuns, CompletedRuns, testing::ValuesIn(kEngineRuns), RunCaseName);
INSTANTIATE_TEST_SUITE_P(OsRuns, CompletedRuns, testing::ValuesIn(kOsRuns), RunCaseName);

TEST(FailedReads, AreReportedEachTimeAndTheRunCompletes) {
  WorkDir dir;
  ASSERT_TRUE(MakeDataFile(dir, "empty.btr", {"--records", "0"}));
  ProgramResult run = RunZorbinel(dir, {"empty.btr", "/T2", "/R1"});
  PatternMatch out = MatchPattern(CompletedRun("empty.btr", 2, "MKDE File StepFirst"), run.out);
  EXPECT_TRUE(out.matched) << out.why;
  EXPECT_EQ(run.exitStatus, 0);

  const std::string banner = AsWritten(kBanner);
  ASSERT_EQ(run.err.compare(0, banner.size(), banner), 0);
  std::vector<std::string> failures = Lines(run.err.substr(banner.size()));
  ASSERT_FALSE(failures.empty());
  EXPECT_EQ(failures.size() % 1000, 0U) << failures.size();
  for (const std::string& line : failures) {
    if (line != "Unable to Read File - Status 9") {
      ADD_FAILURE() << "unexpected line: " << line;
      break;
    }
  }
}

TEST(ResultsLog, AppendsTheRateOfEveryRunStoppedOrNot) {
  WorkDir dir;
  WriteFile(dir.Path("plain.txt"), "some text\n");
  ProgramResult completed = RunZorbinel(dir, {"plain.txt", "/R1", "/T11 ", "/Lresults.log"});
  // "/T11 " reads as 11: the number ends at the blank.
  ExpectCompleted(completed, CompletedRun("plain.txt", 11, "OS File Open/Close"));
  PatternMatch rate =
      MatchPattern(CompletedRun("plain.txt", 11, "OS File Open/Close"), completed.out);
  ASSERT_EQ(rate.rates.size(), 1U);

  ProgramResult stopped = RunZorbinel(dir, {"plain.txt", "/Lresults.log", "/T0"});
  EXPECT_EQ(stopped.exitStatus, 1);

  PatternMatch log =
      MatchPattern("{DATE}, {RATE}\n{DATE}, {RATE}\n", ReadFile(dir.Path("results.log")));
  ASSERT_TRUE(log.matched) << log.why;
  EXPECT_EQ(log.rates[0], rate.rates[0]);  // the same rate as printed
  EXPECT_EQ(log.rates[1], "0.000       ");
}

TEST(ResultsLog, NamesAreCutAndUnopenableLogsAreSilent) {
  WorkDir dir;
  const std::string stopped = std::string(kBanner) + "An invalid test type (0) was specified.\r\n";

  ProgramResult noName = RunZorbinel(dir, {"data.btr", "/T0", "/L"});
  EXPECT_EQ(noName.err, AsWritten(stopped));
  EXPECT_EQ(noName.exitStatus, 1);
  EXPECT_TRUE(FilesIn(dir).empty());

  ProgramResult unopenable = RunZorbinel(dir, {"data.btr", "/T0", "/Lmissing/results.log"});
  EXPECT_EQ(unopenable.err, AsWritten(stopped));
  EXPECT_EQ(unopenable.exitStatus, 1);
  EXPECT_TRUE(FilesIn(dir).empty());

  // A 254-character name in a temporary directory passes the classic Windows path limit.
  if (TargetIsWindows()) return;
  ProgramResult longName = RunZorbinel(dir, {"data.btr", "/T0", "/L" + std::string(300, 'l')});
  EXPECT_EQ(longName.exitStatus, 1);
  EXPECT_EQ(FilesIn(dir), std::vector<std::string>{std::string(254, 'l')});
}

int64_t HistogramCount(const std::string& line, int batchSize, int64_t* milliseconds) {
  std::smatch m;
  static const std::regex entry(R"(Histogram Size (\d+), Time (\d+)\.(\d{3})s, Count = (\d+))");
  if (!std::regex_match(line, m, entry) || std::stoi(m[1]) != batchSize) return -1;
  *milliseconds = std::stoll(m[2]) * 1000 + std::stoll(m[3]);
  return std::stoll(m[4]);
}

bool IsTrace(const std::string& line, const char* operation) {
  const std::string start = std::string("Op: ") + operation + ", Buflen: ";
  const std::string end = ", KeyNum: 0 Status: 0";
  return line.size() > start.size() + end.size() && line.compare(0, start.size(), start) == 0 &&
         line.compare(line.size() - end.size(), end.size(), end) == 0;
}

TEST(Histogram, BatchCountsAddUpToTheTracedIterations) {
  WorkDir dir;
  ASSERT_TRUE(MakeDataFile(dir, "data.btr"));
  // Open/Close, traced: one traced Open per iteration, 50 iterations a batch.
  ProgramResult run = RunZorbinel(dir, {"data.btr", "/R1", "/H", "/D"});
  EXPECT_EQ(run.err, AsWritten(kBanner));
  EXPECT_EQ(run.exitStatus, 0);
  std::vector<std::string> lines = Lines(run.out);
  ASSERT_GE(lines.size(), 9U);
  EXPECT_EQ(lines[0], "Accessing Data File data.btr...");
  EXPECT_EQ(lines[1], "Running for 1 second...");
  EXPECT_EQ(lines[2], "Running Test Type 1 (MKDE File Open/Close)...");
  EXPECT_TRUE(std::regex_match(lines[3], std::regex(R"(\d\d:\d\d:\d\d\.\d{3}: Starting\.\.\.)")))
      << lines[3];
  EXPECT_EQ(lines[4], "Op: 0, Buflen: 0, KeyNum: 0 Status: 0");  // the run's first Open

  size_t at = 4;
  int64_t iterations = 0;
  while (at + 1 < lines.size() && IsTrace(lines[at], "0") && IsTrace(lines[at + 1], "1")) {
    ++iterations;
    at += 2;
  }
  EXPECT_GT(iterations, 0);
  ASSERT_LT(at, lines.size());
  EXPECT_TRUE(std::regex_match(lines[at], std::regex(R"(\d\d:\d\d:\d\d\.\d{3}: Ending\.\.\.)")))
      << lines[at];

  int64_t batches = 0;
  int64_t previous = -1;
  int64_t milliseconds = 0;
  for (++at; at < lines.size(); ++at) {
    int64_t count = HistogramCount(lines[at], 50, &milliseconds);
    if (count < 0) break;
    EXPECT_GT(milliseconds, previous) << "not strictly ascending: " << lines[at];
    EXPECT_GT(count, 0);
    previous = milliseconds;
    batches += count;
  }
  EXPECT_GT(batches, 0);
  EXPECT_EQ(batches * 50, iterations);
  ASSERT_EQ(at + 2, lines.size());
  EXPECT_TRUE(MatchPattern("Iterations/s: {RATE}", lines[at]).matched) << lines[at];
  EXPECT_TRUE(IsTrace(lines[at + 1], "28")) << lines[at + 1];
}

TEST(Histogram, AnySwitchCharacterAndCaseTurnsItOn) {
  WorkDir dir;
  WriteFile(dir.Path("plain.txt"), "some text\n");
  for (const char* option : {"-h", "xH"}) {
    SCOPED_TRACE(option);
    ProgramResult run = RunZorbinel(dir, {"plain.txt", option, "/R1", "/T11"});
    EXPECT_EQ(run.err, AsWritten(kBanner));
    EXPECT_EQ(run.exitStatus, 0);
    std::vector<std::string> lines = Lines(run.out);
    ASSERT_GE(lines.size(), 7U);
    int64_t milliseconds = 0;
    size_t histogramLines = 0;
    for (size_t i = 5; i + 1 < lines.size(); ++i) {
      EXPECT_GT(HistogramCount(lines[i], 50, &milliseconds), 0) << lines[i];
      ++histogramLines;
    }
    EXPECT_GT(histogramLines, 0U);
  }
}

}  // namespace

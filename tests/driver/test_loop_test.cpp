// RunTest and PrintTimestamped against a scripted engine: the statuses and argument lists
// that a real data file cannot show.
#include "driver/test_loop.h"

#include <gtest/gtest.h>

#include <cstring>
#include <ctime>
#include <regex>
#include <string>

#include "driver/histogram.h"
#include "driver/run_settings.h"
#include "engine/engine_request.h"
#include "tests/engine/scripted_engine.h"

namespace {

using testing::internal::CaptureStderr;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStderr;
using testing::internal::GetCapturedStdout;

const char kStarting[] = R"(\d\d:\d\d:\d\d\.\d{3}: Starting\.\.\.\n)";
const char kEnding[] = R"(\d\d:\d\d:\d\d\.\d{3}: Ending\.\.\.\n)";

struct RunResult {
  int returned;
  int64_t start = -1;
  int64_t end = -1;
  int64_t count = -1;
  std::string out;
  std::string err;
};

RunResult RunCaptured(int testType, int runTime = 1) {
  RunResult result{};
  CaptureStdout();
  CaptureStderr();
  result.returned =
      RunTest(testType, "data.btr", runTime, &result.start, &result.end, &result.count);
  result.err = GetCapturedStderr();
  result.out = GetCapturedStdout();
  return result;
}

class RunTestTest : public testing::Test {
 protected:
  void SetUp() override {
    ResetScriptedEngine();
    EngineRequest = EngineRequestBlock{};
    DebugLevel = 0;
    HistogramEnabled = 0;
    ClearHistogram();
  }
  void TearDown() override {
    DebugLevel = 0;
    HistogramEnabled = 0;
    ClearHistogram();
  }
};

TEST(PrintTimestamped, PrintsLocalClockTimeWithMilliseconds) {
  struct tm local {};
  local.tm_year = 2024 - 1900;
  local.tm_mon = 0;
  local.tm_mday = 15;
  local.tm_hour = 9;
  local.tm_min = 5;
  local.tm_sec = 3;
  local.tm_isdst = -1;
  time_t when = mktime(&local);
  ASSERT_NE(when, time_t(-1));

  const struct {
    unsigned short milliseconds;
    const char* printed;
  } cases[] = {
      {7, "09:05:03.007: Starting...\n"},
      {0, "09:05:03.000: Starting...\n"},
      {999, "09:05:03.999: Starting...\n"},
  };
  for (const auto& c : cases) {
    CaptureStdout();
    PrintTimestampedAt(when, c.milliseconds, "Starting...");
    EXPECT_EQ(GetCapturedStdout(), c.printed);
  }

  CaptureStdout();
  PrintTimestamped("Ending...");
  EXPECT_TRUE(std::regex_match(GetCapturedStdout(), std::regex(kEnding)));
}

TEST_F(RunTestTest, OpenFailureBeforeTheLoopStopsTheRunWithoutStarting) {
  const struct {
    uint16_t status;
    const char* err;
  } cases[] = {
      {12, "Unable to Open File - Status 12\n"},
      {2, "Data File Corruption (Status 2) Detected!\nUnable to Open File - Status 2\n"},
      {30, "data.btr: Not a Btrieve File\nUnable to Open File - Status 30\n"},
      {0x8000,
       "Btrieve Error -32768: Operation=0, File=data.btr\n"
       "Unable to Open File - Status -32768\n"},
  };
  for (int testType : {2, 3, 4, 5, 6, 7, 8, 9}) {
    for (const auto& c : cases) {
      SCOPED_TRACE(testing::Message() << "type " << testType << " status " << c.status);
      ResetScriptedEngine();
      ScriptedEngine.statuses = {c.status};
      RunResult r = RunCaptured(testType);
      EXPECT_EQ(r.returned, 1);
      EXPECT_EQ(r.out, "");
      EXPECT_EQ(r.err, c.err);
      EXPECT_EQ(r.start, -1);
      ASSERT_EQ(ScriptedEngine.calls.size(), 1U);
      EXPECT_EQ(ScriptedEngine.calls[0].operation, 0);
      EXPECT_EQ(ScriptedEngine.calls[0].lengthIn, 0U);
      EXPECT_EQ(ScriptedEngine.calls[0].key, "data.btr");
      EXPECT_EQ(ScriptedEngine.calls[0].keyNumber, 0);
      EXPECT_EQ(ScriptedEngine.calls[0].dataBuffer, DataBuffer);
    }
  }
}

TEST_F(RunTestTest, TypesWithoutAnIterationStopAfterStarting) {
  const struct {
    int testType;
    bool opens;
  } cases[] = {{7, true},   {8, true},   {9, true},   {0, false},         {10, false},
               {13, false}, {14, false}, {-1, false}, {2147483647, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.testType);
    ResetScriptedEngine();
    HistogramEnabled = 1;
    RunResult r = RunCaptured(c.testType);
    EXPECT_EQ(r.returned, 1);
    EXPECT_TRUE(std::regex_match(r.out, std::regex(kStarting))) << r.out;
    EXPECT_EQ(r.err,
              "An invalid test type (" + std::to_string(c.testType) + ") was specified.\r\n");
    EXPECT_GE(r.start, 0);
    EXPECT_EQ(r.end, -1);
    EXPECT_EQ(r.count, -1);
    // The opened file is left to the final Reset: no Close.
    EXPECT_EQ(ScriptedEngine.calls.size(), c.opens ? 1U : 0U);
  }
}

TEST_F(RunTestTest, OpenCloseStopsAtTheFirstFailedOpenAndPassesTheLengthBack) {
  ScriptedEngine.writesLength = true;
  ScriptedEngine.lengthOut = 42;
  ScriptedEngine.statuses = {0, 0, 0, 3, 12};
  RunResult r = RunCaptured(1);
  EXPECT_EQ(r.returned, 1);
  EXPECT_TRUE(std::regex_match(r.out, std::regex(kStarting))) << r.out;
  EXPECT_EQ(r.err, "Unable to Open File - Status 12\n");  // the Close's 3 is not looked at
  ASSERT_EQ(ScriptedEngine.calls.size(), 5U);
  const uint16_t operations[] = {0, 1, 0, 1, 0};
  const uint32_t lengths[] = {0, 42, 42, 42, 42};
  for (size_t i = 0; i < 5; ++i) {
    EXPECT_EQ(ScriptedEngine.calls[i].operation, operations[i]) << i;
    EXPECT_EQ(ScriptedEngine.calls[i].lengthIn, lengths[i]) << i;
    EXPECT_EQ(ScriptedEngine.calls[i].key, "data.btr") << i;
  }
}

TEST_F(RunTestTest, FailedReadsAreReportedAndCountedInWholeBatches) {
  ScriptedEngine.statuses = {0};  // the Open
  ScriptedEngine.defaultStatus = 9;
  HistogramEnabled = 1;
  RunResult r = RunCaptured(4);
  ASSERT_EQ(r.returned, 0);
  EXPECT_GT(r.count, 0);
  EXPECT_EQ(r.count % 1000, 0);
  EXPECT_GE(r.end - r.start, 1000);
  EXPECT_EQ(ScriptedEngine.callCount, r.count + 1);

  std::string line = "Unable to Read File - Status 9\n";
  EXPECT_EQ(r.err.size(), line.size() * static_cast<size_t>(r.count));
  EXPECT_EQ(r.err.substr(0, line.size()), line);

  for (size_t i = 1; i < ScriptedEngine.calls.size(); ++i) {
    EXPECT_EQ(ScriptedEngine.calls[i].operation, 12);
    EXPECT_EQ(ScriptedEngine.calls[i].lengthIn, 65000U);
    EXPECT_EQ(ScriptedEngine.calls[i].keyNumber, 0);
  }

  // Starting, Ending, then the histogram, whose batches add up to the count.
  std::smatch lines;
  std::regex shape(std::string(kStarting) + kEnding + R"(((?:Histogram Size 1000, .*\n)+))");
  ASSERT_TRUE(std::regex_match(r.out, lines, shape)) << r.out;
  int64_t batches = 0;
  std::string histogram = lines[1];
  std::regex entry(R"(Histogram Size 1000, Time \d+\.\d{3}s, Count = (\d+)\n)");
  for (std::sregex_iterator it(histogram.begin(), histogram.end(), entry), end; it != end; ++it) {
    batches += std::stoll((*it)[1]);
  }
  EXPECT_EQ(batches * 1000, r.count);
}

TEST_F(RunTestTest, StepFirstBelowTheWrappersPassesTheSameArguments) {
  for (int testType : {5, 6}) {
    SCOPED_TRACE(testType);
    ResetScriptedEngine();
    ScriptedEngine.writesLength = true;
    ScriptedEngine.lengthOut = 0x10064;
    ScriptedEngine.defaultStatus = 2;  // neither reports nor traces it
    ScriptedEngine.statuses = {0};
    DebugLevel = 2;
    RunResult r = RunCaptured(testType);
    ASSERT_EQ(r.returned, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_TRUE(std::regex_match(
        r.out,
        std::regex(std::string("Op: 0, Buflen: 0, KeyNum: 0 Status: 0\n") + kStarting + kEnding)))
        << r.out.substr(0, 200);
    EXPECT_EQ(r.count % 1000, 0);
    EXPECT_EQ(ScriptedEngine.callCount, r.count + 1);
    for (size_t i = 1; i < ScriptedEngine.calls.size(); ++i) {
      const ScriptedCall& call = ScriptedEngine.calls[i];
      EXPECT_EQ(call.operation, 33);
      EXPECT_EQ(call.positionBlock, EngineRequest.positionBlock);
      EXPECT_EQ(call.dataBuffer, DataBuffer);
      EXPECT_EQ(call.lengthIn, 65000U);
      EXPECT_EQ(call.key, "data.btr");
      EXPECT_EQ(call.keyLength, 255);
      EXPECT_EQ(call.keyNumber, 0);
    }
    EXPECT_EQ(EngineRequest.dataLength, 0x64);  // the low 16 bits of what came back
  }
}

}  // namespace

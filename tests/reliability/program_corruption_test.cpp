// zorbinel against damaged copies of a real data file: it reports exactly what the engine
// answers, with the matching messages, and exits 0 or 1; never a signal, never a hang.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/engine_file_check.h"
#include "standin/standin_engine.h"
#include "tests/reliability/corruption_variants.h"
#include "tests/reliability/process_runner.h"
#include "tests/reliability/program_output.h"
#include "tests/reliability/test_files.h"

namespace {

constexpr double kRunTimeout = 120;  // a one-second run, with room for a loaded machine
constexpr int kFirstEngineType = 1;
constexpr int kLastEngineType = 6;

// The engine's answers on one file, asked in this process exactly as zorbinel asks.
struct EngineAnswers {
  int open;
  int stepFirst;
  int stepLast;
  int getFirst;
};

int SignedStatus(uint16_t status) {
  return static_cast<int16_t>(status);
}

EngineAnswers AskEngine(const std::string& path) {
  static unsigned char data[260000];
  unsigned char positionBlock[128] = {};
  char key[256] = {};
  snprintf(key, sizeof key, "%s", path.c_str());
  uint32_t length = 0;
  EngineAnswers answers{};
  answers.open = SignedStatus(StandInEngineCall(0, positionBlock, data, &length, key, 255, 0));
  const uint16_t reads[3] = {33, 34, 12};
  int* results[3] = {&answers.stepFirst, &answers.stepLast, &answers.getFirst};
  for (int i = 0; i < 3; ++i) {
    length = 65000;
    *results[i] =
        SignedStatus(StandInEngineCall(reads[i], positionBlock, data, &length, key, 255, 0));
  }
  length = 0;
  StandInEngineCall(28, positionBlock, data, &length, nullptr, 255, 0);
  return answers;
}

int ReadStatusOf(const EngineAnswers& answers, int testType) {
  if (testType == 3) return answers.stepLast;
  if (testType == 4) return answers.getFirst;
  return answers.stepFirst;
}

std::string Announcements(const std::string& path, int testType) {
  return "Accessing Data File " + EscapeRegex(path) +
         "\\.\\.\\.\\nRunning for 1 second\\.\\.\\.\\n" + "Running Test Type " +
         std::to_string(testType) + " " + EscapeRegex("(" + TestName(testType) + ")") +
         "\\.\\.\\.\\n";
}

// Checks one run's output and exit against what the engine answered.
void ExpectRunMatches(const ProgramRun& run, const std::string& path, int testType,
                      const EngineAnswers& answers, const std::string& change) {
  SCOPED_TRACE(change + ", type " + std::to_string(testType));
  ASSERT_TRUE(run.exited) << DescribeEnd(run) << "\n" << run.stderrText.substr(0, 2000);
  ASSERT_EQ(run.stderrText.compare(0, strlen(kBanner), kBanner), 0)
      << run.stderrText.substr(0, 200);
  std::string errors = run.stderrText.substr(strlen(kBanner));
  std::string announced = Announcements(path, testType);

  if (answers.open != 0) {
    // Types 2 to 6 fail at the Open before the loop, type 1 at its first iteration.
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_EQ(errors, EngineStatusMessage(answers.open, 0, path) + "Unable to Open File - Status " +
                          std::to_string(answers.open) + "\n");
    EXPECT_TRUE(MatchesWhole(run.stdoutText, announced + (testType == 1 ? kStartingLine : "")))
        << run.stdoutText;
    return;
  }
  EXPECT_EQ(run.exitStatus, 0);
  EXPECT_TRUE(MatchesWhole(run.stdoutText, announced + kStartingLine + kEndingLine + kRateLine))
      << run.stdoutText;
  int readStatus = ReadStatusOf(answers, testType);
  if (testType == 1 || testType >= 5 || readStatus == 0) {
    EXPECT_EQ(errors, "") << errors.substr(0, 2000);
    return;
  }
  // Every iteration of a completed run reports its failed read; runs end after whole batches.
  std::string perIteration = EngineStatusMessage(readStatus,
                                                 testType == 4   ? 12
                                                 : testType == 3 ? 34
                                                                 : 33,
                                                 path) +
                             "Unable to Read File - Status " + std::to_string(readStatus) + "\n";
  long iterations = CountRepeats(errors, perIteration);
  EXPECT_GT(iterations, 0) << "expected repeats of: " << perIteration
                           << "got: " << errors.substr(0, 500);
  EXPECT_EQ(iterations % 1000, 0) << iterations;
}

TEST(CorruptionSweep, ZorbinelReportsWhatTheEngineAnswersForEachDamagedCopy) {
  ScratchDirectory scratch;
  ASSERT_FALSE(scratch.path.empty());
  std::string sound = scratch.path + "/sound.dat";
  ASSERT_EQ(MakeDataFile(sound, "--records 3000 --record-length 100 --key-length 8 --seed 11"), "");
  std::string original;
  ASSERT_TRUE(ReadWholeFile(sound, &original));
  std::vector<FileVariant> variants = PickProgramVariants(original);
  ASSERT_FALSE(variants.empty());

  std::vector<std::string> paths;
  std::vector<EngineAnswers> answers;
  for (size_t i = 0; i < variants.size(); ++i) {
    ASSERT_FALSE(variants[i].bytes.empty() && variants[i].change.find("no such") == 0)
        << variants[i].change;
    paths.push_back(scratch.path + "/damaged-" + std::to_string(i) + ".dat");
    ASSERT_TRUE(WriteFileBytes(paths[i], variants[i].bytes));
    answers.push_back(AskEngine(paths[i]));
  }
  // One test type at a time, every damaged copy at once.
  int runs = 0;
  for (int testType = kFirstEngineType; testType <= kLastEngineType; ++testType) {
    std::vector<ProgramRun> group(variants.size());
    for (size_t i = 0; i < variants.size(); ++i) {
      group[i].arguments = {ZorbinelPath(), paths[i], "/R1", "/T" + std::to_string(testType)};
    }
    RunTogether(&group, kRunTimeout);
    for (size_t i = 0; i < variants.size(); ++i) {
      ExpectRunMatches(group[i], paths[i], testType, answers[i], variants[i].change);
      ++runs;
    }
  }
  // The runs only read: every copy is as it was written.
  for (size_t i = 0; i < variants.size(); ++i) {
    std::string after;
    ASSERT_TRUE(ReadWholeFile(paths[i], &after));
    EXPECT_TRUE(after == variants[i].bytes) << variants[i].change << ": the file changed";
  }
  printf("corruption sweep: %zu damaged copies, %d runs of zorbinel\n", variants.size(), runs);
}

}  // namespace

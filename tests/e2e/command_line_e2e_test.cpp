// The command line and every way a run stops early, end to end: exact standard output,
// standard error and exit status of the built program. None of these runs reaches its run
// time, so the table is quick.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/e2e/e2e_support.h"
#include "tests/e2e/expected_output.h"

namespace {

// Files a case needs in its working directory.
enum Fixture : unsigned {
  kNoFiles = 0,
  kDataFile = 1,     // data.btr, made by zorbinel-mkfile
  kPlainFile = 2,    // plain.txt, a text file that is no data file
  kDamagedFile = 4,  // damaged.btr, a data file whose header was overwritten
};

struct CliCase {
  const char* name;
  std::vector<std::string> args;
  unsigned fixtures;
  std::string out;  // pattern, see expected_output.h
  std::string err;  // pattern after the banner
  int exitStatus;
  bool posixOnly = false;  // what a Windows build does differs, by its platform's nature
};

void PrintTo(const CliCase& c, std::ostream* os) {
  *os << c.name;
}

const std::string kLongName(255, 'n');

#define ACCESSING "Accessing Data File data.btr...\n"
#define STARTING "{TIME}: Starting...\n"
#define INVALID(n) "An invalid test type (" #n ") was specified.\r\n"
#define RESET_TRACE "Op: 28, Buflen: 0, KeyNum: 0 Status: 0\n"

const CliCase kUsageCases[] = {
    {"NoArguments", {}, kNoFiles, "", kUsage, 1},
    {"QuestionMark", {"?"}, kNoFiles, "", kUsage, 1},
    {"SwitchAndQuestionMark", {"/?"}, kNoFiles, "", kUsage, 1},
    {"QuestionMarkFirstInAName", {"?data.btr"}, kNoFiles, "", kUsage, 1},
    {"QuestionMarkSecondInAName", {"a?b.btr", "/T11"}, kNoFiles, "", kUsage, 1},
    {"EmptyDataFileName", {""}, kNoFiles, "", kUsage, 1},
    {"FourOptions", {"data.btr", "/R1", "/T0", "/H", "/D"}, kNoFiles, "", kUsage, 1},
};

const CliCase kOptionCases[] = {
    {"RunTimeZeroIsOneSecond",
     {"data.btr", "/R0", "/T0"},
     kNoFiles,
     ACCESSING "Running for 1 second...\nRunning Test Type 0 (Undefined)...\n" STARTING,
     INVALID(0),
     1},
    {"NegativeRunTimeIsOneSecond",
     {"data.btr", "/R-3", "/T0"},
     kNoFiles,
     ACCESSING "Running for 1 second...\nRunning Test Type 0 (Undefined)...\n" STARTING,
     INVALID(0),
     1},
    {"RunTimeWithoutDigitsIsOneSecond",
     {"data.btr", "/Rabc", "/T0"},
     kNoFiles,
     ACCESSING "Running for 1 second...\nRunning Test Type 0 (Undefined)...\n" STARTING,
     INVALID(0),
     1},
    {"RunTimeOfTwoSeconds",
     {"data.btr", "-r2", "/T0"},
     kNoFiles,
     ACCESSING "Running for 2 seconds...\nRunning Test Type 0 (Undefined)...\n" STARTING,
     INVALID(0),
     1},
    {"RunTimeBeyond32BitsIsClamped",
     {"data.btr", "/R99999999999", "/T0"},
     kNoFiles,
     ACCESSING "Running for 2147483647 seconds...\nRunning Test Type 0 (Undefined)...\n" STARTING,
     INVALID(0),
     1},
    {"EveryRunTimeAnnouncedRightmostFirst",
     {"data.btr", "/R5", "/R7", "/T0"},
     kNoFiles,
     ACCESSING "Running for 7 seconds...\nRunning for 5 seconds...\nRunning Test Type 0 "
               "(Undefined)...\n" STARTING,
     INVALID(0),
     1},
    {"LeftmostTestTypeWins",
     {"data.btr", "/T0", "/T11"},
     kNoFiles,
     ACCESSING "Running Test Type 0 (Undefined)...\n" STARTING,
     INVALID(0),
     1},
    {"TestTypeWithoutDigitsIsZero",
     {"data.btr", "/Tx"},
     kNoFiles,
     ACCESSING "Running Test Type 0 (Undefined)...\n" STARTING,
     INVALID(0),
     1},
    {"TestType13HasAnEmptyName",
     {"data.btr", "/T13"},
     kNoFiles,
     ACCESSING "Running Test Type 13 ()...\n" STARTING,
     INVALID(13),
     1},
    {"TestTypeBeyondTheNames",
     {"data.btr", "/T14"},
     kNoFiles,
     ACCESSING "Running Test Type 14 (Undefined)...\n" STARTING,
     INVALID(14),
     1},
    {"NegativeTestType",
     {"data.btr", "/T-1"},
     kNoFiles,
     ACCESSING "Running Test Type -1 (Undefined)...\n" STARTING,
     INVALID(-1),
     1},
    {"TestTypeBeyond32BitsIsClamped",
     {"data.btr", "/T99999999999"},
     kNoFiles,
     ACCESSING "Running Test Type 2147483647 (Undefined)...\n" STARTING,
     INVALID(2147483647),
     1},
    {"EmptyOneCharacterAndUnknownOptionsDoNothing",
     {"data.btr", "", "/", "/Q9"},
     kNoFiles,
     ACCESSING "Running Test Type 1 (MKDE File Open/Close)...\n" STARTING,
     "Unable to Open File - Status 12\n",
     1},
    {"AnySwitchCharacterAndCaseTraces",
     {"data.btr", "xd", "/T0"},
     kNoFiles,
     ACCESSING "Running Test Type 0 (Undefined)...\n" STARTING RESET_TRACE,
     INVALID(0),
     1},
    {"LongestDataFileName",
     {kLongName, "/T0"},
     kNoFiles,
     "Accessing Data File " + kLongName + "...\nRunning Test Type 0 (Undefined)...\n" STARTING,
     INVALID(0),
     1},
    {"DataFileNameTooLong",
     {kLongName + "n", "/T0"},
     kNoFiles,
     "",
     "The data file name is longer than 255 characters.\n",
     1},
};

const CliCase kStoppedRunCases[] = {
    {"StepFirstOnAMissingFile",
     {"data.btr", "/T2", "/H"},
     kNoFiles,
     ACCESSING "Running Test Type 2 (MKDE File StepFirst)...\n",
     "Unable to Open File - Status 12\n",
     1},
    {"MissingFileTraced",
     {"data.btr", "/T2", "/D"},
     kNoFiles,
     ACCESSING "Running Test Type 2 (MKDE File StepFirst)...\n"
               "Op: 0, Buflen: 0, KeyNum: 0 Status: 12\n" RESET_TRACE,
     "Unable to Open File - Status 12\n",
     1},
    {"OpenCloseOnAMissingFile",
     {"data.btr", "/T1", "/H"},
     kNoFiles,
     ACCESSING "Running Test Type 1 (MKDE File Open/Close)...\n" STARTING,
     "Unable to Open File - Status 12\n",
     1},
    {"OsOpenCloseOnAMissingFile",
     {"data.btr", "/T11"},
     kNoFiles,
     ACCESSING "Running Test Type 11 (OS File Open/Close)...\n" STARTING,
     "File Open Failed\r\n",
     1},
    {"OsOpenReadOnAMissingFile",
     {"data.btr", "/T12", "/H"},
     kNoFiles,
     ACCESSING "Running Test Type 12 (OS File Open/Read512B/Read16KB/Close)...\n" STARTING,
     "File Open Failed\r\n",
     1},
    {"NotADataFile",
     {"plain.txt", "/T3"},
     kPlainFile,
     "Accessing Data File plain.txt...\nRunning Test Type 3 (MKDE File StepLast)...\n",
     "plain.txt: Not a Btrieve File\nUnable to Open File - Status 30\n",
     1},
    {"DamagedDataFile",
     {"damaged.btr", "/T4"},
     kDamagedFile,
     "Accessing Data File damaged.btr...\nRunning Test Type 4 (MKDE File GetFirst)...\n",
     "Data File Corruption (Status 2) Detected!\nUnable to Open File - Status 2\n",
     1},
    {"OpenCloseOnNotADataFile",
     {"plain.txt"},
     kPlainFile,
     "Accessing Data File plain.txt...\nRunning Test Type 1 (MKDE File Open/Close)...\n" STARTING,
     "plain.txt: Not a Btrieve File\nUnable to Open File - Status 30\n",
     1},
    {"DirectoryAsDataFile",
     {".", "/T2"},
     kNoFiles,
     "Accessing Data File ....\nRunning Test Type 2 (MKDE File StepFirst)...\n",
     "Btrieve Error 35: Operation=0, File=.\nUnable to Open File - Status 35\n",
     1,
     true},
    {"TypeSevenOpensThenStops",
     {"data.btr", "/T7", "/D"},
     kDataFile,
     ACCESSING "Running Test Type 7 (MKDE File Test 7)...\n"
               "Op: 0, Buflen: 0, KeyNum: 0 Status: 0\n" STARTING
               "Op: 28, Buflen: {N}, KeyNum: 0 Status: 0\n",
     INVALID(7),
     1},
    {"TypeTenIsNotOpened",
     {"data.btr", "/T10", "/D"},
     kDataFile,
     ACCESSING "Running Test Type 10 (MKDE File Test 10)...\n" STARTING RESET_TRACE,
     INVALID(10),
     1},
};

void Prepare(const WorkDir& dir, unsigned fixtures) {
  if ((fixtures & kDataFile) != 0) MakeDataFile(dir, "data.btr");
  if ((fixtures & kPlainFile) != 0) {
    WriteFile(dir.Path("plain.txt"), std::string(4096, 'p'));
  }
  if ((fixtures & kDamagedFile) != 0 && MakeDataFile(dir, "damaged.btr")) {
    DamageHeader(dir.Path("damaged.btr"));
  }
}

class CommandLine : public testing::TestWithParam<CliCase> {};

TEST_P(CommandLine, PrintsExactlyAndExits) {
  const CliCase& c = GetParam();
  if (c.posixOnly && TargetIsWindows()) GTEST_SKIP() << "POSIX only";
  WorkDir dir;
  Prepare(dir, c.fixtures);
  ProgramResult run = RunZorbinel(dir, c.args);
  PatternMatch out = MatchPattern(c.out, run.out);
  EXPECT_TRUE(out.matched) << "standard output\n" << out.why;
  PatternMatch err = MatchPattern(std::string(kBanner) + c.err, run.err);
  EXPECT_TRUE(err.matched) << "standard error\n" << err.why;
  EXPECT_EQ(run.exitStatus, c.exitStatus);
}

std::string CaseName(const testing::TestParamInfo<CliCase>& info) {
  return info.param.name;
}

INSTANTIATE_TEST_SUITE_P(Usage, CommandLine, testing::ValuesIn(kUsageCases), CaseName);
INSTANTIATE_TEST_SUITE_P(Options, CommandLine, testing::ValuesIn(kOptionCases), CaseName);
INSTANTIATE_TEST_SUITE_P(StoppedRuns, CommandLine, testing::ValuesIn(kStoppedRunCases), CaseName);

}  // namespace

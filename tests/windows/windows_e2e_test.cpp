// What only the Windows build has, end to end under Wine: files that another program holds
// open, finding the engine library at start-up, and data files that move between Linux and
// Windows. tests/ci/40-windows.sh sets the environment: the harness's ZORBINEL_* variables for
// the Windows programs, and
//   ZORBINEL_HOLD_FILE_BIN       hold_file.exe, run through the launcher
//   ZORBINEL_NO_ENTRY_LIBRARY    a wbtrv32.dll without an entry point at ordinal 1
//   ZORBINEL_NATIVE_BIN          the Linux zorbinel, run directly
//   ZORBINEL_NATIVE_MKFILE_BIN   the Linux zorbinel-mkfile, run directly
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "tests/e2e/e2e_support.h"
#include "tests/e2e/expected_output.h"
#include "tests/e2e/program_runner.h"

namespace {

std::string Required(const char* name) {
  const char* value = getenv(name);
  EXPECT_TRUE(value != nullptr && *value != '\0') << name << " is not set";
  return value != nullptr ? value : "";
}

std::string CompletedRun(const std::string& file, int testType, const std::string& name) {
  return "Accessing Data File " + file + "...\nRunning for 1 second...\nRunning Test Type " +
         std::to_string(testType) + " (" + name +
         ")...\n{TIME}: Starting...\n{TIME}: Ending...\nIterations/s: {RATE}\n";
}

// Checks a run: `out` is a pattern (expected_output.h), `err` is what follows the banner,
// both written as the program writes them.
void ExpectRun(const ProgramResult& run, const std::string& out, const std::string& err,
               int exitStatus) {
  PatternMatch matched = MatchPattern(out, run.out);
  EXPECT_TRUE(matched.matched) << "standard output\n" << matched.why;
  EXPECT_EQ(Visible(run.err), Visible(AsWritten(kBanner + err)));
  EXPECT_EQ(run.exitStatus, exitStatus);
}

// hold_file.exe, running beside the test's runs with a file open until the test releases it.
class HeldFile {
 public:
  HeldFile(const WorkDir& dir, const std::string& name, const std::string& sharing) {
    std::vector<std::string> words;
    std::istringstream launcher(Settings().launcher);
    for (std::string word; launcher >> word;) words.push_back(word);
    words.push_back(Required("ZORBINEL_HOLD_FILE_BIN"));
    words.push_back(name);
    words.push_back(sharing);
    int toChild[2];
    int fromChild[2];
    if (pipe(toChild) != 0 || pipe(fromChild) != 0) {
      ADD_FAILURE() << "cannot make pipes";
      return;
    }
    pid_ = fork();
    if (pid_ == 0) {
      dup2(toChild[0], 0);
      dup2(fromChild[1], 1);
      close(toChild[1]);
      close(fromChild[0]);
      if (chdir(dir.path().c_str()) != 0) _exit(126);
      std::vector<char*> argv;
      argv.reserve(words.size() + 1);
      for (std::string& word : words) argv.push_back(word.data());
      argv.push_back(nullptr);
      execvp(argv[0], argv.data());
      _exit(127);
    }
    close(toChild[0]);
    close(fromChild[1]);
    toChild_ = toChild[1];
    // The program says "held" once the file is open; anything else means it is not.
    std::string said;
    char c = 0;
    while (said.size() < 64 && read(fromChild[0], &c, 1) == 1 && c != '\n') said += c;
    close(fromChild[0]);
    held_ = said == "held" || said == "held\r";
    EXPECT_TRUE(held_) << "hold_file did not hold " << name << ": " << Visible(said);
  }

  ~HeldFile() { Release(); }
  HeldFile(const HeldFile&) = delete;
  HeldFile& operator=(const HeldFile&) = delete;

  bool held() const { return held_; }

  // Ends the program, which closes the file.
  void Release() {
    if (toChild_ >= 0) close(toChild_);
    toChild_ = -1;
    if (pid_ <= 0) return;
    int status = 0;
    while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "hold_file failed";
  }

 private:
  pid_t pid_ = -1;
  int toChild_ = -1;
  bool held_ = false;
};

struct HeldCase {
  const char* name;
  const char* sharing;  // what hold_file lets others do
  const char* option;   // the test type
  std::string out;
  std::string err;
  int exitStatus;
};

void PrintTo(const HeldCase& c, std::ostream* os) {
  *os << c.name;
}

#define ANNOUNCED(type, name)                                                                    \
  "Accessing Data File held.btr...\nRunning for 1 second...\nRunning Test Type " #type " (" name \
  ")...\n"

const HeldCase kHeldCases[] = {
    // The operating-system open shares nothing, so it fails while anyone has the file open.
    {"OsOpenCloseOfAFileHeldWithoutSharing", "none", "/T11",
     ANNOUNCED(11, "OS File Open/Close") "{TIME}: Starting...\n", "File Open Failed\r\n", 1},
    {"OsOpenReadOfAFileHeldWithoutSharing", "none", "/T12",
     ANNOUNCED(12, "OS File Open/Read512B/Read16KB/Close") "{TIME}: Starting...\n",
     "File Open Failed\r\n", 1},
    {"OsOpenCloseOfAFileSharedWithReaders", "readers", "/T11",
     ANNOUNCED(11, "OS File Open/Close") "{TIME}: Starting...\n", "File Open Failed\r\n", 1},
    // The engine shares its files with other readers, and only with them.
    {"EngineOpenOfAFileHeldWithoutSharing", "none", "/T2", ANNOUNCED(2, "MKDE File StepFirst"),
     "Btrieve Error 94: Operation=0, File=held.btr\nUnable to Open File - Status 94\n", 1},
    {"EngineReadsOfAFileSharedWithReaders", "readers", "/T2",
     CompletedRun("held.btr", 2, "MKDE File StepFirst"), "", 0},
};

class HeldFiles : public testing::TestWithParam<HeldCase> {};

TEST_P(HeldFiles, OpenAsTheHoldersSharingAllows) {
  const HeldCase& c = GetParam();
  WorkDir dir;
  ASSERT_TRUE(MakeDataFile(dir, "held.btr"));
  HeldFile holder(dir, "held.btr", c.sharing);
  ASSERT_TRUE(holder.held());
  ProgramResult run = RunZorbinel(dir, {"held.btr", "/R1", c.option});
  ExpectRun(run, c.out, c.err, c.exitStatus);
}

INSTANTIATE_TEST_SUITE_P(Windows, HeldFiles, testing::ValuesIn(kHeldCases),
                         [](const testing::TestParamInfo<HeldCase>& info) {
                           return std::string(info.param.name);
                         });

TEST(HeldFile, OpensOnceItsHolderLetsGo) {
  WorkDir dir;
  WriteFile(dir.Path("held.txt"), "some text\n");
  HeldFile holder(dir, "held.txt", "none");
  ASSERT_TRUE(holder.held());
  EXPECT_EQ(RunZorbinel(dir, {"held.txt", "/R1", "/T11"}).exitStatus, 1);
  holder.Release();
  ExpectRun(RunZorbinel(dir, {"held.txt", "/R1", "/T11"}),
            CompletedRun("held.txt", 11, "OS File Open/Close"), "", 0);
}

// zorbinel.exe alone in a directory, with `library` (if any) beside it as wbtrv32.dll.
std::string CopyProgram(const WorkDir& dir, const std::string& library) {
  namespace fs = std::filesystem;
  std::string program = dir.Path("zorbinel.exe");
  fs::copy_file(Settings().zorbinel, program);
  if (!library.empty()) fs::copy_file(library, dir.Path("wbtrv32.dll"));
  return program;
}

struct LibraryCase {
  const char* name;
  bool wrongLibrary;  // a wbtrv32.dll without ordinal 1 beside the program, else none
  std::vector<std::string> args;
  std::string err;
};

void PrintTo(const LibraryCase& c, std::ostream* os) {
  *os << c.name;
}

const LibraryCase kLibraryCases[] = {
    {"Missing",
     false,
     {"data.btr", "/R1"},
     "Unable to load the engine library wbtrv32.dll (error 126)\n"},
    {"WithoutTheEntryPoint",
     true,
     {"data.btr", "/R1"},
     "The engine library wbtrv32.dll has no entry point at ordinal 1 (error 127)\n"},
    {"NotNeededForTheUsageText", false, {"/?"}, kUsage},
};

class EngineLibrary : public testing::TestWithParam<LibraryCase> {};

// No run is announced and nothing reaches the engine: the message and exit status 1.
TEST_P(EngineLibrary, IsFoundBeforeAnyRun) {
  const LibraryCase& c = GetParam();
  WorkDir dir;
  std::string program =
      CopyProgram(dir, c.wrongLibrary ? Required("ZORBINEL_NO_ENTRY_LIBRARY") : "");
  ProgramResult run = RunProgram(Settings().launcher, program, c.args, dir.path());
  ExpectRun(run, "", c.err, 1);
}

INSTANTIATE_TEST_SUITE_P(Windows, EngineLibrary, testing::ValuesIn(kLibraryCases),
                         [](const testing::TestParamInfo<LibraryCase>& info) {
                           return std::string(info.param.name);
                         });

// A data file made by the Linux tool, in the Linux program's working directory.
bool MakeLinuxDataFile(const WorkDir& dir, const std::string& name,
                       const std::vector<std::string>& options) {
  std::vector<std::string> args = {name};
  args.insert(args.end(), options.begin(), options.end());
  ProgramResult made = RunProgram("", Required("ZORBINEL_NATIVE_MKFILE_BIN"), args, dir.path());
  EXPECT_EQ(made.exitStatus, 0) << made.err;
  return made.exitStatus == 0;
}

TEST(DataFiles, AreTheSameBytesFromEitherTool) {
  const std::vector<std::vector<std::string>> shapes = {
      {},
      {"--records", "0"},
      {"--records", "5000", "--record-length", "1000", "--key-length", "20", "--seed", "9"},
  };
  for (const std::vector<std::string>& options : shapes) {
    WorkDir dir;
    ASSERT_TRUE(MakeDataFile(dir, "windows.btr", options));
    ASSERT_TRUE(MakeLinuxDataFile(dir, "linux.btr", options));
    std::string windowsMade = ReadFile(dir.Path("windows.btr"));
    EXPECT_FALSE(windowsMade.empty());
    EXPECT_TRUE(windowsMade == ReadFile(dir.Path("linux.btr")))
        << "the two tools wrote different files for " << testing::PrintToString(options);
  }
}

struct EngineType {
  int testType;
  const char* name;
};

const EngineType kEngineTypes[] = {
    {1, "MKDE File Open/Close"},
    {2, "MKDE File StepFirst"},
    {3, "MKDE File StepLast"},
    {4, "MKDE File GetFirst"},
};

TEST(DataFiles, MadeOnLinuxAreReadOnWindows) {
  WorkDir dir;
  ASSERT_TRUE(MakeLinuxDataFile(dir, "linux.btr", {"--records", "3000"}));
  for (const EngineType& type : kEngineTypes) {
    SCOPED_TRACE(type.name);
    ProgramResult run =
        RunZorbinel(dir, {"linux.btr", "/R1", "/T" + std::to_string(type.testType)});
    ExpectRun(run, CompletedRun("linux.btr", type.testType, type.name), "", 0);
  }
}

TEST(DataFiles, MadeOnWindowsAreReadOnLinux) {
  WorkDir dir;
  ASSERT_TRUE(MakeDataFile(dir, "windows.btr", {"--records", "3000"}));
  const std::string linuxProgram = Required("ZORBINEL_NATIVE_BIN");
  for (const EngineType& type : kEngineTypes) {
    SCOPED_TRACE(type.name);
    ProgramResult run = RunProgram(
        "", linuxProgram, {"windows.btr", "/R1", "/T" + std::to_string(type.testType)}, dir.path());
    // The Linux program writes bare line feeds: widened as the Windows one's would be.
    ExpectRun({AsWritten(run.out), AsWritten(run.err), run.exitStatus},
              CompletedRun("windows.btr", type.testType, type.name), "", 0);
  }
}

}  // namespace

namespace {

// Runs that end together append to one log: the line already there stays, and every run's
// line arrives whole, in text mode, none lost to another's.
TEST(SharedLog, KeepsEveryLineOfRunsEndingTogether) {
  constexpr int kRuns = 8;
  WorkDir dir;
  ASSERT_TRUE(MakeDataFile(dir, "shared.btr"));
  const std::string earlier = "2026/01/02 03:04:05, 1.000       \r\n";
  WriteFile(dir.Path("shared.log"), earlier);
  const std::string run = Settings().launcher + " '" + Settings().zorbinel +
                          "' shared.btr /T2 /R1 /Lshared.log >/dev/null 2>&1";
  const std::string script = "i=0; while [ $i -lt " + std::to_string(kRuns) + " ]; do " + run +
                             " & i=$((i+1)); done; wait";
  ProgramResult all = RunProgram("", "/bin/sh", {"-c", script}, dir.path());
  ASSERT_EQ(all.exitStatus, 0) << all.err;

  std::string log = ReadFile(dir.Path("shared.log"));
  ASSERT_EQ(log.compare(0, earlier.size(), earlier), 0) << Visible(log);
  const std::regex line(R"(\d{4}/\d\d/\d\d \d\d:\d\d:\d\d, \d+\.\d{3} *\r)");
  std::istringstream added(log.substr(earlier.size()));
  int lines = 0;
  for (std::string text; std::getline(added, text); ++lines) {
    EXPECT_TRUE(std::regex_match(text, line)) << Visible(text);
  }
  EXPECT_EQ(lines, kRuns) << Visible(log);
}

}  // namespace

// Hostile command lines: names at and past the length limit, bytes that are not UTF-8,
// numbers past the 32-bit range, log names that are too long, are directories or cannot be
// written, and empty arguments. Each gives its one documented behaviour, never a crash.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "fuzz/engine_file_check.h"
#include "tests/reliability/process_runner.h"
#include "tests/reliability/program_output.h"
#include "tests/reliability/test_files.h"

namespace {

constexpr double kTimeout = 120;

struct HostileCase {
  std::string title;
  std::vector<std::string> arguments;  // after the program's name
  int exitStatus;
  std::string stdoutPattern;  // a regular expression for the whole of standard output
  std::string stderrText;     // the whole of standard error, banner included
};

std::string Accessing(const std::string& name) {
  return "Accessing Data File " + EscapeRegex(name) + "\\.\\.\\.\\n";
}

std::string RunningFor(const std::string& seconds) {
  return "Running for " + seconds + " second" + (seconds == "1" ? "" : "s") + "\\.\\.\\.\\n";
}

std::string RunningType(int testType, const std::string& name) {
  return "Running Test Type " + std::to_string(testType) + " " + EscapeRegex("(" + name + ")") +
         "\\.\\.\\.\\n";
}

std::string CompletedRun() {
  return std::string(kStartingLine) + kEndingLine + kRateLine;
}

// A path of exactly `length` characters under `directory`, in components short enough for
// the file system (the data file tool adds a suffix to the last one for its temporary file).
std::string PathOfLength(const std::string& directory, size_t length) {
  std::string path = directory;
  while (path.size() + 1 + 100 < length) {
    path += "/" + std::string(100 - 1, 'd');
    mkdir(path.c_str(), 0755);
  }
  path += "/";
  path += std::string(length - path.size(), 'f');
  return path;
}

struct Fixture {
  std::string data;        // a data file
  std::string plain;       // a plain file for the operating-system types
  std::string missing;     // a name that does not exist
  std::string logs;        // an empty directory for log files
  std::string directives;  // a plain file whose name holds printf directives
};

std::vector<HostileCase> Cases(const Fixture& f, const std::string& name255,
                               const std::string& notUtf8) {
  const std::string banner = kBanner;
  const std::string typeTwo = RunningType(2, "MKDE File StepFirst");
  const std::string typeEleven = RunningType(11, "OS File Open/Close");
  const std::string openFailed = banner + "Unable to Open File - Status 12\n";
  const std::string tooLong = banner + "The data file name is longer than 255 characters.\n";
  const std::string name256(256, 'n');
  const std::string name4000(4000, 'n');
  const std::string missingNotUtf8 = f.missing + "\xc3\x28\xa0\xa1";
  const std::string manyNines(100000, '9');
  std::string log300 = f.logs + "/" + std::string(300 - f.logs.size() - 1, 'L');
  return {
      {"a name of 255 characters",
       {name255, "/T2", "/R1"},
       0,
       Accessing(name255) + RunningFor("1") + typeTwo + CompletedRun(),
       banner},
      {"a name of 256 characters", {name256, "/T2"}, 1, "", tooLong},
      {"a name of 4000 characters", {name4000}, 1, "", tooLong},
      {"a name that is not UTF-8",
       {notUtf8, "/T2", "/R1"},
       0,
       Accessing(notUtf8) + RunningFor("1") + typeTwo + CompletedRun(),
       banner},
      {"a missing name that is not UTF-8",
       {missingNotUtf8, "/T2"},
       1,
       Accessing(missingNotUtf8) + typeTwo,
       openFailed},
      {"/R2147483648",
       {f.missing, "/T2", "/R2147483648"},
       1,
       Accessing(f.missing) + RunningFor("2147483647") + typeTwo,
       openFailed},
      {"/R-2147483649",
       {f.missing, "/T2", "/R-2147483649"},
       1,
       Accessing(f.missing) + RunningFor("1") + typeTwo,
       openFailed},
      {"/R99999999999999999999",
       {f.missing, "/T2", "/R99999999999999999999"},
       1,
       Accessing(f.missing) + RunningFor("2147483647") + typeTwo,
       openFailed},
      {"/R and 100000 nines",
       {f.missing, "/T2", "/R" + manyNines},
       1,
       Accessing(f.missing) + RunningFor("2147483647") + typeTwo,
       openFailed},
      {"/T-1",
       {f.data, "/T-1"},
       1,
       Accessing(f.data) + RunningType(-1, "Undefined") + kStartingLine,
       banner + "An invalid test type (-1) was specified.\r\n"},
      {"/T2147483647",
       {f.data, "/T2147483647"},
       1,
       Accessing(f.data) + RunningType(2147483647, "Undefined") + kStartingLine,
       banner + "An invalid test type (2147483647) was specified.\r\n"},
      {"/T-99999999999",
       {f.data, "/T-99999999999"},
       1,
       Accessing(f.data) + RunningType(-2147483647 - 1, "Undefined") + kStartingLine,
       banner + "An invalid test type (-2147483648) was specified.\r\n"},
      {"/L with a name of 300 characters",
       {f.plain, "/T11", "/R1", "/L" + log300},
       0,
       Accessing(f.plain) + RunningFor("1") + typeEleven + CompletedRun(),
       banner},
      {"/L naming a directory",
       {f.plain, "/T11", "/R1", "/L" + f.logs},
       0,
       Accessing(f.plain) + RunningFor("1") + typeEleven + CompletedRun(),
       banner},
      {"/L in a directory that does not exist",
       {f.plain, "/T11", "/R1", "/L" + f.missing + "/x.log"},
       0,
       Accessing(f.plain) + RunningFor("1") + typeEleven + CompletedRun(),
       banner},
      {"a name with printf directives",
       {f.directives, "/T2"},
       1,
       Accessing(f.directives) + typeTwo,
       banner + f.directives + ": Not a Btrieve File\n" + "Unable to Open File - Status 30\n"},
      {"a directory for the data file",
       {f.logs, "/T2"},
       1,
       Accessing(f.logs) + typeTwo,
       banner + "Btrieve Error 35: Operation=0, File=" + f.logs + "\n" +
           "Unable to Open File - Status 35\n"},
      {"an empty name", {""}, 1, "", banner + kUsage},
      {"an empty name and an option", {"", "/R1"}, 1, "", banner + kUsage},
      {"an empty option first",
       {f.plain, "", "/T11", "/R1"},
       0,
       Accessing(f.plain) + RunningFor("1") + typeEleven + CompletedRun(),
       banner},
      {"an empty option last",
       {f.plain, "/T11", "/R1", ""},
       0,
       Accessing(f.plain) + RunningFor("1") + typeEleven + CompletedRun(),
       banner},
      {"a switch character alone",
       {f.plain, "/T11", "/", "/R1"},
       0,
       Accessing(f.plain) + RunningFor("1") + typeEleven + CompletedRun(),
       banner},
  };
}

TEST(HostileArguments, EachGivesItsDocumentedBehaviour) {
  ScratchDirectory scratch;
  ASSERT_FALSE(scratch.path.empty());
  Fixture f;
  f.data = scratch.path + "/data.dat";
  f.plain = scratch.path + "/plain.txt";
  f.missing = scratch.path + "/missing";
  f.logs = scratch.path + "/logs";
  ASSERT_EQ(MakeDataFile(f.data, "--records 100"), "");
  ASSERT_TRUE(WriteFileBytes(f.plain, "plain text\n"));
  ASSERT_EQ(mkdir(f.logs.c_str(), 0755), 0);
  f.directives = scratch.path + "/%s%n%x%%.dat";
  ASSERT_TRUE(WriteFileBytes(f.directives, "plain text, not a data file\n"));
  std::string name255 = PathOfLength(scratch.path, 255);
  ASSERT_EQ(name255.size(), 255u);
  ASSERT_EQ(MakeDataFile(name255, "--records 100"), "");
  std::string notUtf8 = scratch.path + "/data-\xff\xfe\x80\xc3.dat";
  ASSERT_EQ(MakeDataFile(notUtf8, "--records 100"), "");

  std::vector<HostileCase> cases = Cases(f, name255, notUtf8);
  std::vector<ProgramRun> runs(cases.size());
  for (size_t i = 0; i < cases.size(); ++i) {
    runs[i].arguments = {ZorbinelPath()};
    runs[i].arguments.insert(runs[i].arguments.end(), cases[i].arguments.begin(),
                             cases[i].arguments.end());
  }
  RunTogether(&runs, kTimeout);

  for (size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE(cases[i].title);
    EXPECT_TRUE(runs[i].exited) << DescribeEnd(runs[i]);
    EXPECT_EQ(runs[i].exitStatus, cases[i].exitStatus);
    EXPECT_TRUE(MatchesWhole(runs[i].stdoutText, cases[i].stdoutPattern)) << runs[i].stdoutText;
    EXPECT_EQ(runs[i].stderrText, cases[i].stderrText);
  }
  // The 300-character log name was cut to its first 254 characters; the directory and the
  // missing directory got nothing.
  std::string cut =
      ("/L" + f.logs + "/" + std::string(300 - f.logs.size() - 1, 'L')).substr(2, 254);
  std::string logged;
  ASSERT_TRUE(ReadWholeFile(cut, &logged)) << "no log under the cut name";
  EXPECT_TRUE(MatchesWhole(logged, kLogLine)) << logged;
  EXPECT_EQ(ListDirectory(f.logs), cut.substr(f.logs.size() + 1));
  EXPECT_FALSE(FileExists(f.missing));
}

TEST(HostileArguments, ALogThatCannotBeWrittenIsPassedOverInSilence) {
  ScratchDirectory scratch;
  ASSERT_FALSE(scratch.path.empty());
  std::string plain = scratch.path + "/plain.txt";
  std::string locked = scratch.path + "/locked";
  ASSERT_TRUE(WriteFileBytes(plain, "plain text\n"));
  ASSERT_EQ(mkdir(locked.c_str(), 0555), 0);
  // Permission bits do not hold root back: then the directory is a read-only mount.
  if (geteuid() == 0) {
    std::string why;
    if (!EnterPrivateMountNamespace(&why) || !MountTmpfs(locked, 65536, true, &why)) {
      GTEST_SKIP() << why;
    }
  }
  ProgramRun run =
      RunProgram({ZorbinelPath(), plain, "/T11", "/R1", "/L" + locked + "/results.log"}, kTimeout);
  if (geteuid() == 0) Unmount(locked);
  EXPECT_TRUE(run.exited && run.exitStatus == 0) << DescribeEnd(run);
  EXPECT_TRUE(MatchesWhole(
      run.stdoutText,
      Accessing(plain) + RunningFor("1") + RunningType(11, "OS File Open/Close") + CompletedRun()))
      << run.stdoutText;
  EXPECT_EQ(run.stderrText, kBanner);
  EXPECT_EQ(ListDirectory(locked), "");
}

}  // namespace

// zorbinel-mkfile run as a program: what it writes, what it refuses, and that a failed or
// interrupted run never leaves a file, whole or partial, under the target's name.
#include <gtest/gtest.h>
#include <unistd.h>

#include <set>
#include <string>

#include "tests/standin/standin_test_support.h"

namespace {

const std::string kUsageLine =
    "Usage: zorbinel-mkfile FILE [--records N] [--record-length L] [--key-length K] [--seed S] "
    "[--force]\n";

std::string Quoted(const std::string& path) {
  return "'" + path + "'";
}

TEST(MkfileTest, DefaultsMakeAThousandShuffledRecordsOfAHundredBytes) {
  ScratchDir dir;
  std::string path = dir.Path("sample.dat");
  CommandResult run = RunMkfile(Quoted(path));
  EXPECT_EQ(run.exitStatus, 0);
  EXPECT_EQ(run.out, path + ": 1000 records of 100 bytes, 8-byte key, 32 pages of 4096 bytes\n");
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(dir.Names(), std::vector<std::string>{"sample.dat"}) << "a temporary file is left";
  Bytes bytes = ReadBytes(path);
  EXPECT_EQ(bytes.size(), 32u * 4096);
  RawDataFile raw = ReadRawDataFile(bytes);
  EXPECT_EQ(raw.recordCount, 1000u);
  EXPECT_EQ(raw.recordLength, 100u);
  EXPECT_EQ(raw.keyLength, 8u);
  EXPECT_EQ(raw.keyOffset, 0u);
  std::set<Bytes> keys;
  for (const Bytes& record : raw.records) keys.insert(KeyOf(raw, record));
  EXPECT_EQ(keys.size(), 1000u) << "keys are not distinct";
  EXPECT_NE(KeyOf(raw, raw.records.front()), *keys.begin());
}

TEST(MkfileTest, EachOptionShapesTheFile) {
  struct Case {
    std::string arguments;
    uint64_t records;
    uint32_t recordLength;
    uint32_t keyLength;
    uint32_t pageSize;
    uint64_t pages;
  };
  const Case cases[] = {
      {"--records 0", 0, 100, 8, 4096, 1},
      {"--records 1", 1, 100, 8, 4096, 3},
      {"--records 50000", 50000, 100, 8, 4096, 1 + 1250 + 247 + 2 + 1},
      {"--record-length 8", 1000, 8, 8, 4096, 1 + 2 + 5 + 1},
      {"--record-length 65000 --records 5", 5, 65000, 8, 65536, 1 + 5 + 1},
      {"--key-length 1 --records 256 --record-length 1", 256, 1, 1, 4096, 1 + 1 + 1},
      {"--key-length 255 --record-length 255 --records 100", 100, 255, 255, 4096, 1 + 7 + 7 + 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments);
    ScratchDir dir;
    std::string path = dir.Path("shaped.dat");
    CommandResult run = RunMkfile(Quoted(path) + " " + c.arguments);
    ASSERT_EQ(run.exitStatus, 0) << run.err;
    Bytes bytes = ReadBytes(path);
    RawDataFile raw = ReadRawDataFile(bytes);
    EXPECT_EQ(raw.recordCount, c.records);
    EXPECT_EQ(raw.records.size(), c.records);
    EXPECT_EQ(raw.recordLength, c.recordLength);
    EXPECT_EQ(raw.keyLength, c.keyLength);
    EXPECT_EQ(raw.pageSize, c.pageSize);
    EXPECT_EQ(raw.pageCount, c.pages);
    EXPECT_EQ(bytes.size(), c.pageSize * c.pages);
  }
}

TEST(MkfileTest, SeedChoosesTheContentsAndRepeatsThem) {
  ScratchDir dir;
  ASSERT_EQ(RunMkfile(Quoted(dir.Path("a")) + " --seed 42").exitStatus, 0);
  ASSERT_EQ(RunMkfile(Quoted(dir.Path("b")) + " --seed 42").exitStatus, 0);
  ASSERT_EQ(RunMkfile(Quoted(dir.Path("c")) + " --seed 43").exitStatus, 0);
  ASSERT_EQ(RunMkfile(Quoted(dir.Path("d"))).exitStatus, 0);
  ASSERT_EQ(RunMkfile(Quoted(dir.Path("e")) + " --seed 1").exitStatus, 0);
  EXPECT_EQ(ReadBytes(dir.Path("a")), ReadBytes(dir.Path("b")));
  EXPECT_NE(ReadBytes(dir.Path("a")), ReadBytes(dir.Path("c")));
  EXPECT_EQ(ReadBytes(dir.Path("d")), ReadBytes(dir.Path("e"))) << "the default seed is 1";
}

TEST(MkfileTest, RefusesToReplaceAFileUnlessForced) {
  ScratchDir dir;
  std::string path = dir.Path("taken.dat");
  WriteBytes(path, Bytes{'k', 'e', 'e', 'p'});
  CommandResult refused = RunMkfile(Quoted(path));
  EXPECT_EQ(refused.exitStatus, 1);
  EXPECT_EQ(refused.out, "");
  EXPECT_EQ(refused.err,
            "zorbinel-mkfile: " + path + " already exists (use --force to replace it)\n");
  EXPECT_EQ(ReadBytes(path), (Bytes{'k', 'e', 'e', 'p'}));
  EXPECT_EQ(RunMkfile(Quoted(path) + " --force --records 0").exitStatus, 0);
  EXPECT_EQ(ReadBytes(path).size(), 4096u);
  EXPECT_EQ(dir.Names(), std::vector<std::string>{"taken.dat"});

  CommandResult folder = RunMkfile(Quoted(dir.path) + " --force");
  EXPECT_EQ(folder.exitStatus, 1);
  EXPECT_EQ(folder.err, "zorbinel-mkfile: " + dir.path + " is a directory\n");
}

TEST(MkfileTest, BadArgumentsGetTheUsageLineAndExit2) {
  const char* cases[] = {
      "",
      "x.dat extra.dat",
      "x.dat --bogus",
      "x.dat --records",
      "x.dat --records abc",
      "x.dat --records -1",
      "x.dat --records 1001 --key-length 1",
      "x.dat --records 65537 --key-length 2",
      "x.dat --record-length 0",
      "x.dat --record-length 65001",
      "x.dat --key-length 0",
      "x.dat --key-length 256",
      "x.dat --key-length 101",
      "x.dat --seed -3",
  };
  for (const char* arguments : cases) {
    SCOPED_TRACE(arguments);
    ScratchDir dir;
    CommandResult run =
        RunShell("cd " + Quoted(dir.path) + " && " + Quoted(MkfilePath()) + " " + arguments);
    EXPECT_EQ(run.exitStatus, 2);
    EXPECT_EQ(run.out, "");
    ASSERT_GE(run.err.size(), kUsageLine.size());
    EXPECT_EQ(run.err.substr(0, 17), "zorbinel-mkfile: ");
    EXPECT_EQ(run.err.substr(run.err.size() - kUsageLine.size()), kUsageLine);
    EXPECT_TRUE(dir.Names().empty());
  }
}

TEST(MkfileTest, HelpExplainsEveryOption) {
  CommandResult run = RunMkfile("--help");
  EXPECT_EQ(run.exitStatus, 0);
  EXPECT_EQ(run.err, "");
  for (const char* word : {"Usage:", "FILE", "--records", "--record-length", "--key-length",
                           "--seed", "--force", "Exit status"}) {
    EXPECT_NE(run.out.find(word), std::string::npos) << word;
  }
}

TEST(MkfileTest, FailedWriteLeavesNoFileBehind) {
  ScratchDir dir;
  std::string path = dir.Path("limited.dat");
  WriteBytes(path, Bytes{'o', 'l', 'd'});
  // A file size limit of 64 blocks of 512 bytes stops the write a quarter of the way in.
  CommandResult run =
      RunShell("ulimit -f 64 && " + Quoted(MkfilePath()) + " " + Quoted(path) + " --force");
  EXPECT_EQ(run.exitStatus, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err.rfind("zorbinel-mkfile: cannot write " + dir.path + "/.limited.dat.tmp-", 0),
            0u)
      << run.err;
  EXPECT_EQ(dir.Names(), std::vector<std::string>{"limited.dat"});
  EXPECT_EQ(ReadBytes(path), (Bytes{'o', 'l', 'd'})) << "the old file must survive";

  CommandResult noFolder = RunMkfile(Quoted(dir.Path("missing/x.dat")));
  EXPECT_EQ(noFolder.exitStatus, 1);
  EXPECT_EQ(noFolder.err.rfind("zorbinel-mkfile: cannot create " + dir.path + "/missing/", 0), 0u)
      << noFolder.err;
}

TEST(MkfileTest, InterruptedRunRemovesItsTemporaryFile) {
  ScratchDir dir;
  std::string path = dir.Path("big.dat");
  WriteBytes(path, Bytes{'o', 'l', 'd'});
  // Waits for the temporary file to appear, then stops the tool mid-write.
  ScratchDir capture;  // the shell adds its own word about the killed job to its stderr
  std::string script = Quoted(MkfilePath()) + " " + Quoted(path) + " --force --records 4000000 2>" +
                       Quoted(capture.Path("err")) +
                       " & pid=$!; "
                       "until ls -a " +
                       Quoted(dir.path) +
                       " | grep -q tmp; do sleep 0.01; done; "
                       "kill -TERM $pid; wait $pid; echo $?";
  CommandResult run = RunShell(script);
  EXPECT_EQ(run.out, "143\n");
  Bytes err = ReadBytes(capture.Path("err"));
  EXPECT_EQ(std::string(err.begin(), err.end()),
            "zorbinel-mkfile: interrupted; " + path + " was not written\n");
  EXPECT_EQ(dir.Names(), std::vector<std::string>{"big.dat"});
  EXPECT_EQ(ReadBytes(path), (Bytes{'o', 'l', 'd'}));
}

TEST(MkfileTest, ProgressBarOnlyOnATerminal) {
  ScratchDir dir;
  CommandResult piped = RunMkfile(Quoted(dir.Path("piped.dat")) + " --records 200000");
  EXPECT_EQ(piped.exitStatus, 0);
  EXPECT_EQ(piped.err, "");
  if (access("/usr/bin/script", X_OK) != 0) GTEST_SKIP() << "no script(1) to lend a terminal";
  // script(1) runs the tool on a pseudo-terminal and copies what it shows to standard output.
  CommandResult shown = RunShell("script -qec \"" + MkfilePath() + " '" + dir.Path("shown.dat") +
                                 "' --records 200000\" /dev/null");
  EXPECT_EQ(shown.exitStatus, 0);
  EXPECT_NE(shown.out.find("] 100%"), std::string::npos) << shown.out;
  CommandResult small =
      RunShell("script -qec \"" + MkfilePath() + " '" + dir.Path("small.dat") + "'\" /dev/null");
  EXPECT_EQ(small.out.find('%'), std::string::npos) << "no bar for a small file";
}

}  // namespace

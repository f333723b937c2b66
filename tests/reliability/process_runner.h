// Runs the built programs as child processes, several at once when asked, with their output
// captured and a deadline that no run may pass.
#pragma once

#include <string>
#include <vector>

struct ProgramRun {
  // In: the program and its arguments (argv[0] first).
  std::vector<std::string> arguments;
  bool discardStdout = false;  // for runs whose trace would fill memory
  // Out.
  std::string stdoutText;
  std::string stderrText;
  bool started = false;
  bool exited = false;  // ended by exit(); exitStatus holds its status
  int exitStatus = -1;
  int signalNumber = 0;   // ended by this signal (0 when it exited)
  bool timedOut = false;  // still running at the deadline, then killed
  int pid = 0;
};

struct ChildPipes {
  int stdoutRead = -1;
  int stderrRead = -1;
};

// Runs started together and not yet collected.
struct RunGroup {
  std::vector<ProgramRun> runs;
  std::vector<ChildPipes> pipes;
};

// Starts every run of the group; they all exec at the same moment. The pids are in the runs,
// so a test may signal them before collecting.
void StartTogether(RunGroup* group);

// Collects the output and the end of every run; kills whatever is still going after
// `timeoutSeconds`, marking it timedOut.
void FinishTogether(RunGroup* group, double timeoutSeconds);

// Starts every run, lets them all exec at the same moment, and collects them. A run still
// going after `timeoutSeconds` is killed and marked timedOut.
void RunTogether(std::vector<ProgramRun>* runs, double timeoutSeconds);

// One run on its own.
ProgramRun RunProgram(const std::vector<std::string>& arguments, double timeoutSeconds,
                      bool discardStdout = false);

// How a run ended, for test messages: "exit 1", "signal 11", "timed out".
std::string DescribeEnd(const ProgramRun& run);

// The programs of this build and the directories of kept inputs; an environment variable of
// the same name (ZORBINEL_BIN, ZORBINEL_MKFILE_BIN, ZORBINEL_REGRESSIONS_DIR,
// ZORBINEL_FUZZ_CORPUS_DIR) points them elsewhere.
std::string ZorbinelPath();
std::string MkfilePath();
std::string RegressionsDirectory();
std::string FuzzCorpusDirectory();

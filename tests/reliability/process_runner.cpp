#include "tests/reliability/process_runner.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

double NowSeconds() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// In the child: wait at the gate until the parent has started every run, then exec.
[[noreturn]] void BecomeProgram(const ProgramRun& run, int gateRead, int stdoutWrite,
                                int stderrWrite) {
  char go;
  while (read(gateRead, &go, 1) < 0 && errno == EINTR) {
  }
  int devNull = open("/dev/null", O_RDWR);
  dup2(devNull, STDIN_FILENO);
  dup2(run.discardStdout ? devNull : stdoutWrite, STDOUT_FILENO);
  dup2(stderrWrite, STDERR_FILENO);
  std::vector<char*> argv;
  for (const std::string& argument : run.arguments)
    argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  execv(argv[0], argv.data());
  dprintf(STDERR_FILENO, "cannot run %s: %s\n", argv[0], strerror(errno));
  _exit(127);
}

bool StartRun(ProgramRun* run, int gateRead, int gateWrite, ChildPipes* pipes) {
  int out[2];
  int err[2];
  if (pipe2(out, O_CLOEXEC) != 0) return false;
  if (pipe2(err, O_CLOEXEC) != 0) {
    close(out[0]);
    close(out[1]);
    return false;
  }
  pid_t pid = fork();
  if (pid == 0) {
    close(gateWrite);
    BecomeProgram(*run, gateRead, out[1], err[1]);
  }
  close(out[1]);
  close(err[1]);
  if (pid < 0) {
    close(out[0]);
    close(err[0]);
    return false;
  }
  run->pid = pid;
  run->started = true;
  pipes->stdoutRead = out[0];
  pipes->stderrRead = err[0];
  return true;
}

// Reads what is there; closes the pipe at its end.
void Drain(int* fd, std::string* into) {
  char chunk[65536];
  ssize_t got = read(*fd, chunk, sizeof chunk);
  if (got > 0) {
    into->append(chunk, static_cast<size_t>(got));
  } else if (got == 0 || errno != EINTR) {
    close(*fd);
    *fd = -1;
  }
}

void CollectOutput(std::vector<ProgramRun>* runs, std::vector<ChildPipes>* pipes, double deadline) {
  for (;;) {
    std::vector<pollfd> watched;
    std::vector<std::pair<size_t, bool>> owners;  // run index, true for stdout
    for (size_t i = 0; i < pipes->size(); ++i) {
      if ((*pipes)[i].stdoutRead >= 0) {
        watched.push_back({(*pipes)[i].stdoutRead, POLLIN, 0});
        owners.emplace_back(i, true);
      }
      if ((*pipes)[i].stderrRead >= 0) {
        watched.push_back({(*pipes)[i].stderrRead, POLLIN, 0});
        owners.emplace_back(i, false);
      }
    }
    if (watched.empty()) return;
    double left = deadline - NowSeconds();
    if (left <= 0) return;
    int ready = poll(watched.data(), watched.size(), static_cast<int>(left * 1000) + 1);
    if (ready < 0 && errno != EINTR) return;
    for (size_t w = 0; w < watched.size(); ++w) {
      if (watched[w].revents == 0) continue;
      ChildPipes& child = (*pipes)[owners[w].first];
      ProgramRun& run = (*runs)[owners[w].first];
      if (owners[w].second) {
        Drain(&child.stdoutRead, &run.stdoutText);
      } else {
        Drain(&child.stderrRead, &run.stderrText);
      }
    }
  }
}

void Reap(ProgramRun* run, double deadline) {
  int status = 0;
  for (;;) {
    pid_t done = waitpid(run->pid, &status, WNOHANG);
    if (done == run->pid) break;
    if (done < 0 && errno != EINTR) return;
    if (NowSeconds() >= deadline && !run->timedOut) {
      run->timedOut = true;
      kill(run->pid, SIGKILL);
    }
    usleep(2000);
  }
  if (run->timedOut) return;
  if (WIFEXITED(status)) {
    run->exited = true;
    run->exitStatus = WEXITSTATUS(status);
  } else if (WIFSIGNALED(status)) {
    run->signalNumber = WTERMSIG(status);
  }
}

}  // namespace

void StartTogether(RunGroup* group) {
  int gate[2];
  if (pipe2(gate, O_CLOEXEC) != 0) return;
  group->pipes.assign(group->runs.size(), ChildPipes{});
  for (size_t i = 0; i < group->runs.size(); ++i) {
    StartRun(&group->runs[i], gate[0], gate[1], &group->pipes[i]);
  }
  close(gate[0]);
  close(gate[1]);  // every child reads end-of-file at the gate and goes
}

void FinishTogether(RunGroup* group, double timeoutSeconds) {
  double deadline = NowSeconds() + timeoutSeconds;
  CollectOutput(&group->runs, &group->pipes, deadline);
  for (ChildPipes& child : group->pipes) {
    if (child.stdoutRead >= 0) close(child.stdoutRead);
    if (child.stderrRead >= 0) close(child.stderrRead);
  }
  group->pipes.clear();
  for (ProgramRun& run : group->runs) {
    if (run.started) Reap(&run, deadline);
  }
}

void RunTogether(std::vector<ProgramRun>* runs, double timeoutSeconds) {
  RunGroup group;
  group.runs.swap(*runs);
  StartTogether(&group);
  FinishTogether(&group, timeoutSeconds);
  runs->swap(group.runs);
}

ProgramRun RunProgram(const std::vector<std::string>& arguments, double timeoutSeconds,
                      bool discardStdout) {
  std::vector<ProgramRun> runs(1);
  runs[0].arguments = arguments;
  runs[0].discardStdout = discardStdout;
  RunTogether(&runs, timeoutSeconds);
  return runs[0];
}

std::string DescribeEnd(const ProgramRun& run) {
  if (!run.started) return "not started";
  if (run.timedOut) return "timed out";
  if (run.exited) return "exit " + std::to_string(run.exitStatus);
  return "signal " + std::to_string(run.signalNumber);
}

namespace {

std::string FromEnvironment(const char* variable, const char* builtIn) {
  const char* value = getenv(variable);
  return value != nullptr && value[0] != '\0' ? value : builtIn;
}

}  // namespace

std::string ZorbinelPath() {
  return FromEnvironment("ZORBINEL_BIN", ZORBINEL_BIN_DEFAULT);
}

std::string MkfilePath() {
  return FromEnvironment("ZORBINEL_MKFILE_BIN", ZORBINEL_MKFILE_BIN_DEFAULT);
}

std::string RegressionsDirectory() {
  return FromEnvironment("ZORBINEL_REGRESSIONS_DIR", ZORBINEL_REGRESSIONS_DIR_DEFAULT);
}

std::string FuzzCorpusDirectory() {
  return FromEnvironment("ZORBINEL_FUZZ_CORPUS_DIR", ZORBINEL_FUZZ_CORPUS_DIR_DEFAULT);
}

#include "tests/e2e/program_runner.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <sstream>

namespace {

std::vector<std::string> CommandLine(const std::string& launcher, const std::string& program,
                                     const std::vector<std::string>& args) {
  std::vector<std::string> words;
  std::istringstream launcherWords(launcher);
  for (std::string word; launcherWords >> word;) words.push_back(word);
  words.push_back(program);
  words.insert(words.end(), args.begin(), args.end());
  return words;
}

[[noreturn]] void ExecChild(const std::vector<std::string>& words, const std::string& workDir,
                            int outFd, int errFd) {
  int nullFd = open("/dev/null", O_RDONLY);
  if (chdir(workDir.c_str()) != 0 || nullFd < 0 || dup2(nullFd, 0) < 0 || dup2(outFd, 1) < 0 ||
      dup2(errFd, 2) < 0) {
    _exit(126);
  }
  std::vector<char*> argv;
  argv.reserve(words.size() + 1);
  for (const std::string& word : words) argv.push_back(const_cast<char*>(word.c_str()));
  argv.push_back(nullptr);
  execvp(argv[0], argv.data());
  dprintf(2, "cannot run %s\n", argv[0]);
  _exit(127);
}

// Reads both pipes until both reach their end, so that neither can fill up and stall.
void DrainPipes(int outFd, int errFd, std::string* out, std::string* err) {
  pollfd fds[2] = {{outFd, POLLIN, 0}, {errFd, POLLIN, 0}};
  std::string* sinks[2] = {out, err};
  int open = 2;
  char buffer[65536];
  while (open > 0) {
    if (poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
      if (n > 0) {
        sinks[i]->append(buffer, static_cast<size_t>(n));
      } else {
        close(fds[i].fd);
        fds[i].fd = -1;
        --open;
      }
    }
  }
}

}  // namespace

ProgramResult RunProgram(const std::string& launcher, const std::string& program,
                         const std::vector<std::string>& args, const std::string& workDir) {
  ProgramResult result{"", "", -1};
  std::vector<std::string> words = CommandLine(launcher, program, args);
  int outPipe[2];
  int errPipe[2];
  if (pipe2(outPipe, O_CLOEXEC) != 0) return result;
  if (pipe2(errPipe, O_CLOEXEC) != 0) {
    close(outPipe[0]);
    close(outPipe[1]);
    return result;
  }
  pid_t child = fork();
  if (child == 0) ExecChild(words, workDir, outPipe[1], errPipe[1]);
  close(outPipe[1]);
  close(errPipe[1]);
  if (child < 0) {
    close(outPipe[0]);
    close(errPipe[0]);
    return result;
  }
  DrainPipes(outPipe[0], errPipe[0], &result.out, &result.err);
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  result.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return result;
}

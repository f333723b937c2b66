#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>

#include "standin/mkfile/mkfile_platform.h"

namespace {

char PathToRemove[4096];
char InterruptMessage[4096 + 128];
volatile sig_atomic_t RemovalArmed = 0;
const int kCleanupSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

void RemoveAndDie(int signalNumber) {
  if (RemovalArmed) {
    unlink(PathToRemove);
    ssize_t ignored = write(STDERR_FILENO, InterruptMessage, strlen(InterruptMessage));
    (void)ignored;
  }
  signal(signalNumber, SIG_DFL);
  raise(signalNumber);
}

}  // namespace

bool StderrIsTerminal() {
  return isatty(STDERR_FILENO) == 1;
}

unsigned long CurrentProcessId() {
  return static_cast<unsigned long>(getpid());
}

void RemoveOnInterrupt(const char* path, const char* message) {
  snprintf(PathToRemove, sizeof PathToRemove, "%s", path);
  snprintf(InterruptMessage, sizeof InterruptMessage, "%s", message);
  RemovalArmed = 1;
  struct sigaction action {};
  action.sa_handler = RemoveAndDie;
  sigemptyset(&action.sa_mask);
  for (int signalNumber : kCleanupSignals) sigaction(signalNumber, &action, nullptr);
  signal(SIGXFSZ, SIG_IGN);
}

void StopRemovingOnInterrupt() {
  RemovalArmed = 0;
  for (int signalNumber : kCleanupSignals) signal(signalNumber, SIG_DFL);
}

bool FlushToDisk(FILE* file) {
  return fflush(file) == 0 && fsync(fileno(file)) == 0;
}

PublishStatus PublishFile(const char* from, const char* to, bool replace) {
  if (replace) return rename(from, to) == 0 ? PublishStatus::kPublished : PublishStatus::kFailed;
  // A hard link never replaces an existing name, so no other writer's file is lost.
  if (link(from, to) == 0) {
    unlink(from);
    return PublishStatus::kPublished;
  }
  if (errno == EEXIST) return PublishStatus::kTargetExists;
  // File systems without hard links: check, then rename.
  struct stat status {};
  if (lstat(to, &status) == 0) return PublishStatus::kTargetExists;
  return rename(from, to) == 0 ? PublishStatus::kPublished : PublishStatus::kFailed;
}

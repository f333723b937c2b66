#include <io.h>
#include <process.h>
#include <windows.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>

#include "standin/mkfile/mkfile_platform.h"

namespace {

char PathToRemove[MAX_PATH * 4];
char InterruptMessage[MAX_PATH * 4 + 128];
volatile sig_atomic_t RemovalArmed = 0;

void RemoveAndDie(int signalNumber) {
  if (RemovalArmed) {
    DeleteFileA(PathToRemove);
    _write(2, InterruptMessage, static_cast<unsigned>(strlen(InterruptMessage)));
  }
  signal(signalNumber, SIG_DFL);
  raise(signalNumber);
}

}  // namespace

bool StderrIsTerminal() {
  return _isatty(_fileno(stderr)) != 0;
}

unsigned long CurrentProcessId() {
  return static_cast<unsigned long>(_getpid());
}

void RemoveOnInterrupt(const char* path, const char* message) {
  snprintf(PathToRemove, sizeof PathToRemove, "%s", path);
  snprintf(InterruptMessage, sizeof InterruptMessage, "%s", message);
  RemovalArmed = 1;
  signal(SIGINT, RemoveAndDie);
  signal(SIGTERM, RemoveAndDie);
  signal(SIGBREAK, RemoveAndDie);
}

void StopRemovingOnInterrupt() {
  RemovalArmed = 0;
  signal(SIGINT, SIG_DFL);
  signal(SIGTERM, SIG_DFL);
  signal(SIGBREAK, SIG_DFL);
}

bool FlushToDisk(FILE* file) {
  return fflush(file) == 0 && _commit(_fileno(file)) == 0;
}

PublishStatus PublishFile(const char* from, const char* to, bool replace) {
  if (MoveFileExA(from, to, replace ? MOVEFILE_REPLACE_EXISTING : 0)) {
    return PublishStatus::kPublished;
  }
  DWORD error = GetLastError();
  if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS) {
    return PublishStatus::kTargetExists;
  }
  errno = error == ERROR_ACCESS_DENIED ? EACCES : EIO;
  return PublishStatus::kFailed;
}

// The driver's needs of the operating system on POSIX systems.
#include <fcntl.h>
#include <time.h>
#include <unistd.h>

#include "driver/platform.h"

namespace {

int64_t MonotonicMs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return int64_t{now.tv_sec} * 1000 + now.tv_nsec / 1000000;
}

const int64_t ProcessStartMs = MonotonicMs();

}  // namespace

int64_t RunClockMs() {
  return MonotonicMs() - ProcessStartMs;
}

void WallClockNow(time_t* seconds, unsigned short* milliseconds) {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  *seconds = now.tv_sec;
  *milliseconds = static_cast<unsigned short>(now.tv_nsec / 1000000);
}

bool ToLocalTime(time_t seconds, struct tm* local) {
  return localtime_r(&seconds, local) != nullptr;
}

// POSIX streams have no text mode; append mode makes each write land at the end in one step.
FILE* OpenLogForAppend(const char* name) {
  return fopen(name, "a+");
}

OsFileHandle OsOpenForReading(const char* name) {
  int file = open(name, O_RDONLY | O_CLOEXEC);
  return file < 0 ? kInvalidOsFile : file;
}

void OsRead(OsFileHandle file, void* buffer, unsigned long count) {
  ssize_t bytesRead = read(static_cast<int>(file), buffer, count);
  (void)bytesRead;  // a short or failed read still counts as the iteration's read
}

void OsClose(OsFileHandle file) {
  close(static_cast<int>(file));
}

// The driver's operating-system needs on Windows.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdint>
#include <ctime>

#include "driver/platform.h"

namespace {

int64_t PerformanceCounterNow() {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return now.QuadPart;
}

int64_t PerformanceFrequency() {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return frequency.QuadPart;
}

// Taken while the program starts, so that the run clock counts from there.
const int64_t kCounterFrequency = PerformanceFrequency();
const int64_t kCounterAtStart = PerformanceCounterNow();

// The seam carries handles as integers; Windows hands out pointer-sized values.
HANDLE AsHandle(OsFileHandle file) {
  return reinterpret_cast<HANDLE>(file);  // NOLINT(performance-no-int-to-ptr)
}

// File times count 100-nanosecond ticks since 1601-01-01 UTC.
constexpr uint64_t kTicksPerSecond = 10000000;
constexpr uint64_t kTicksPerMillisecond = 10000;
constexpr uint64_t kSecondsFrom1601To1970 = 11644473600ULL;

}  // namespace

int64_t RunClockMs() {
  int64_t ticks = PerformanceCounterNow() - kCounterAtStart;
  // Whole seconds and the rest apart, so that the product by 1000 cannot overflow.
  return ticks / kCounterFrequency * 1000 + ticks % kCounterFrequency * 1000 / kCounterFrequency;
}

void WallClockNow(time_t* seconds, unsigned short* milliseconds) {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  uint64_t ticks = (static_cast<uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
  *seconds = static_cast<time_t>(ticks / kTicksPerSecond - kSecondsFrom1601To1970);
  *milliseconds = static_cast<unsigned short>(ticks % kTicksPerSecond / kTicksPerMillisecond);
}

bool ToLocalTime(time_t seconds, struct tm* local) {
  return localtime_s(local, &seconds) == 0;
}

// The C runtime's append mode moves to the end and then writes, two steps in which another
// run's line can slip. A handle with append-only access has the system put every write at the
// end in one step. The stream is in text mode ("t"): each line end is written as CR LF.
FILE* OpenLogForAppend(const char* name) {
  HANDLE file = CreateFileA(name, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return nullptr;
  int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(file), _O_APPEND | _O_TEXT);
  if (descriptor == -1) {
    CloseHandle(file);
    return nullptr;
  }
  FILE* log = _fdopen(descriptor, "at");
  if (log == nullptr) _close(descriptor);
  return log;
}

OsFileHandle OsOpenForReading(const char* name) {
  // Share mode 0: while it is open here, no other program may open the file, and the open
  // fails when another program already has it open.
  HANDLE file =
      CreateFileA(name, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return kInvalidOsFile;
  return reinterpret_cast<OsFileHandle>(file);
}

void OsRead(OsFileHandle file, void* buffer, unsigned long count) {
  DWORD bytesRead = 0;
  ReadFile(AsHandle(file), buffer, count, &bytesRead, nullptr);
}

void OsClose(OsFileHandle file) {
  CloseHandle(AsHandle(file));
}

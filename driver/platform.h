// The driver's few needs of the operating system. One file per platform fills them
// (platform_posix.cpp, platform_windows.cpp); nothing else in the driver knows the platform.
#pragma once

#include <cstdint>
#include <cstdio>
#include <ctime>

// Milliseconds of a monotonic clock since the process started; never steps back.
int64_t RunClockMs();

// The wall-clock time now: whole seconds, and the milliseconds within that second.
void WallClockNow(time_t* seconds, unsigned short* milliseconds);

// `seconds` broken down as local time; false when it cannot be converted.
bool ToLocalTime(time_t seconds, struct tm* local);

// Opens the results log to append text, creating it when missing; null when it does not open.
// Every write lands at the end of the file in one piece, so runs may share one log.
FILE* OpenLogForAppend(const char* name);

// Operating-system file access of test types 11 and 12: open an existing file for reading
// only, read at the current position, close.
using OsFileHandle = intptr_t;
constexpr OsFileHandle kInvalidOsFile = -1;

OsFileHandle OsOpenForReading(const char* name);  // kInvalidOsFile when it does not open
void OsRead(OsFileHandle file, void* buffer, unsigned long count);
void OsClose(OsFileHandle file);

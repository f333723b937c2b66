// The few things zorbinel-mkfile needs of the operating system. One file per platform fills
// them (mkfile_platform_posix.cpp, mkfile_platform_windows.cpp).
#pragma once

#include <cstdio>

bool StderrIsTerminal();

unsigned long CurrentProcessId();

// From now on an interrupt or termination signal removes `path` and writes `message` to
// standard error before the process ends by that signal (and a file size limit makes writes
// fail rather than end the process). Both texts are copied.
void RemoveOnInterrupt(const char* path, const char* message);
// The file is published or removed: signals get their usual effect again.
void StopRemovingOnInterrupt();

// Pushes the file's buffered bytes to the disk; false on failure (errno tells why).
bool FlushToDisk(FILE* file);

enum class PublishStatus { kPublished, kTargetExists, kFailed };

// Gives the finished file `from` its name `to`, replacing a file of that name only when
// `replace` is set. kFailed leaves errno telling why.
PublishStatus PublishFile(const char* from, const char* to, bool replace);

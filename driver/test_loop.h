// The timed test loop: one test type against one file, in batches, for a number of seconds.
#pragma once

#include <cstdint>
#include <ctime>

// Runs the test type for at least runTime seconds of the run clock. Hands back the start time
// at once, and the end time and iteration count when the run completes. Returns 0 when the
// run completed, 1 when it was stopped (after writing why to standard error).
int RunTest(int testType, const char* fileName, int runTime, int64_t* startTime, int64_t* endTime,
            int64_t* count);

// Iterations between two readings of the clock.
int BatchSizeOf(int testType);

// Writes "hh:mm:ss.mmm: text" and a line end to standard output, at the local time now.
void PrintTimestamped(const char* text);

// As PrintTimestamped, at the given wall-clock time.
void PrintTimestampedAt(time_t seconds, unsigned short milliseconds, const char* text);

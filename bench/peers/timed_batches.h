// The timing rules the peer loops share with zorbinel's own loop: the clock is read once per
// batch, the run ends after the first batch that brings the elapsed time to the requested
// whole seconds, and the rate is computed and printed the way zorbinel prints it.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>

inline int64_t PeerClockMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// Whole seconds elapsed since `startMs`, cut toward zero after a single-precision division.
inline int ElapsedWholeSeconds(int64_t startMs, int64_t nowMs) {
  return static_cast<int>(static_cast<float>(nowMs - startMs) / 1000.0F);
}

inline void PrintRate(long count, int64_t startMs, int64_t endMs) {
  float seconds = static_cast<float>(endMs - startMs) / 1000.0F;
  printf("Iterations/s: %-12.3f\n", static_cast<double>(static_cast<float>(count) / seconds));
}

// Reads a run time in whole seconds; values below 1 become 1, as with zorbinel's /R.
inline int ParseSeconds(const char* text) {
  long value = 0;
  if (sscanf(text, "%ld", &value) != 1 || value < 1) return 1;
  return value > 3600 ? 3600 : static_cast<int>(value);
}

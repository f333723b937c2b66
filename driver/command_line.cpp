#include "driver/command_line.h"

const char* const TestNames[kTestNameCount] = {
    "Undefined",
    "MKDE File Open/Close",
    "MKDE File StepFirst",
    "MKDE File StepLast",
    "MKDE File GetFirst",
    "MKDE StepFirst without Kalvenor Wrapper",
    "MKDE StepFirst without BTRV Wrapper",
    "MKDE File Test 7",
    "MKDE File Test 8",
    "MKDE File Test 9",
    "MKDE File Test 10",
    "OS File Open/Close",
    "OS File Open/Read512B/Read16KB/Close",
    "",
};

const char* TestNameOf(int testType) {
  if (testType < 0 || testType >= kTestNameCount) return TestNames[0];
  return TestNames[testType];
}

namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

}  // namespace

int32_t ReadNumber(const char* text) {
  while (IsBlank(*text)) ++text;
  bool negative = *text == '-';
  if (*text == '-' || *text == '+') ++text;
  // Accumulate the magnitude, stopping at the first value past the 32-bit range so that any
  // number of digits stays safe.
  constexpr int64_t kPastRange = int64_t{INT32_MAX} + 2;
  int64_t magnitude = 0;
  for (; *text >= '0' && *text <= '9'; ++text) {
    if (magnitude < kPastRange) magnitude = magnitude * 10 + (*text - '0');
  }
  int64_t value = negative ? -magnitude : magnitude;
  if (value > INT32_MAX) return INT32_MAX;
  if (value < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(value);
}

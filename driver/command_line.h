// The pieces of the command line that the rest of the program shares: the test type names and
// the reading of numbers in options.
#pragma once

#include <cstdint>

constexpr int kTestNameCount = 14;

// Indexed by test type.
extern const char* const TestNames[kTestNameCount];

// The name announced for a test type; "Undefined" for a type that has no entry.
const char* TestNameOf(int testType);

// Reads a decimal integer as atol does (leading white space, an optional sign, digits up to
// the first other character; none gives 0), saturated to the signed 32-bit range.
int32_t ReadNumber(const char* text);

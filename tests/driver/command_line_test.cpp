#include "driver/command_line.h"

#include <gtest/gtest.h>

namespace {

TEST(ReadNumber, ReadsAsAtolDoesAndSaturatesTo32Bits) {
  const struct {
    const char* text;
    int32_t value;
  } cases[] = {
      {"", 0},
      {"abc", 0},
      {"-", 0},
      {"- 5", 0},
      {"12", 12},
      {"007", 7},
      {" \t\n\v\f\r42x", 42},
      {"+7", 7},
      {"-3", -3},
      {"1 2", 1},
      {"0x10", 0},
      {"2147483647", 2147483647},
      {"2147483648", 2147483647},
      {"-2147483648", -2147483647 - 1},
      {"-2147483649", -2147483647 - 1},
      {"99999999999999999999999999", 2147483647},
      {"-99999999999999999999999999", -2147483647 - 1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ReadNumber(c.text), c.value) << '"' << c.text << '"';
  }
}

TEST(TestNameOf, NamesEveryTypeAndUndefinedOutsideTheTable) {
  EXPECT_STREQ(TestNameOf(0), "Undefined");
  EXPECT_STREQ(TestNameOf(1), "MKDE File Open/Close");
  EXPECT_STREQ(TestNameOf(5), "MKDE StepFirst without Kalvenor Wrapper");
  EXPECT_STREQ(TestNameOf(6), "MKDE StepFirst without BTRV Wrapper");
  EXPECT_STREQ(TestNameOf(10), "MKDE File Test 10");
  EXPECT_STREQ(TestNameOf(12), "OS File Open/Read512B/Read16KB/Close");
  EXPECT_STREQ(TestNameOf(13), "");
  EXPECT_STREQ(TestNameOf(14), "Undefined");
  EXPECT_STREQ(TestNameOf(-1), "Undefined");
  EXPECT_STREQ(TestNameOf(-2147483647 - 1), "Undefined");
}

}  // namespace

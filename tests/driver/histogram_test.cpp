#include "driver/histogram.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

class HistogramTest : public testing::Test {
 protected:
  void SetUp() override { ClearHistogram(); }
  void TearDown() override { ClearHistogram(); }

  static std::string Printed(int batchSize) {
    CaptureStdout();
    PrintHistogram(batchSize);
    return GetCapturedStdout();
  }
};

TEST_F(HistogramTest, KeepsDurationsAscendingAndMergesEqualOnes) {
  for (int64_t duration : {20, 10, 20, 30}) EXPECT_EQ(RecordBatchTime(duration), 1);
  EXPECT_EQ(Printed(1000),
            "Histogram Size 1000, Time 0.010s, Count = 1\n"
            "Histogram Size 1000, Time 0.020s, Count = 2\n"
            "Histogram Size 1000, Time 0.030s, Count = 1\n");
}

TEST_F(HistogramTest, InsertsAtTheFrontInTheMiddleAndAtTheEnd) {
  for (int64_t duration : {50, 40, 60, 45, 0, 60, 45, 70}) RecordBatchTime(duration);
  std::vector<std::pair<int64_t, int64_t>> entries;
  for (const HistogramEntry* e = Histogram; e != nullptr; e = e->next) {
    entries.emplace_back(e->duration, e->count);
  }
  const std::vector<std::pair<int64_t, int64_t>> expected = {{0, 1},  {40, 1}, {45, 2},
                                                             {50, 1}, {60, 2}, {70, 1}};
  EXPECT_EQ(entries, expected);
}

TEST_F(HistogramTest, PrintsEachEntryInItsExactFormat) {
  for (int i = 0; i < 10; ++i) RecordBatchTime(15);
  EXPECT_EQ(Printed(1000), "Histogram Size 1000, Time 0.015s, Count = 10\n");

  ClearHistogram();
  RecordBatchTime(0);
  RecordBatchTime(123456);
  EXPECT_EQ(Printed(50),
            "Histogram Size 50, Time 0.000s, Count = 1\n"
            "Histogram Size 50, Time 123.456s, Count = 1\n");
}

TEST_F(HistogramTest, AnEmptyHistogramPrintsNothing) {
  EXPECT_EQ(Printed(1000), "");
  RecordBatchTime(3);
  ClearHistogram();
  EXPECT_EQ(Histogram, nullptr);
  EXPECT_EQ(Printed(1000), "");
}

}  // namespace

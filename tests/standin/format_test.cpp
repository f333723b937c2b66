// The pieces of the data file format that the engine and zorbinel-mkfile share.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <set>
#include <vector>

#include "standin/data_format.h"
#include "standin/mkfile/data_set.h"

namespace {

TEST(DataFormatTest, ChecksumIsTheStandardCrc32) {
  EXPECT_EQ(Crc32("123456789", 9), 0xCBF43926u);
  EXPECT_EQ(Crc32("", 0), 0u);
  unsigned char zeros[32] = {};
  EXPECT_EQ(Crc32(zeros, sizeof zeros), 0x190A55ADu);
}

uint32_t BitwiseCrc32(const unsigned char* at, size_t count) {
  uint32_t crc = 0xFFFFFFFFu;
  for (size_t i = 0; i < count; ++i) {
    crc ^= at[i];
    for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
  }
  return crc ^ 0xFFFFFFFFu;
}

// The checksum works eight bytes at a time: every tail length and every start within a word
// must give the value of the plain bit-by-bit definition.
TEST(DataFormatTest, ChecksumMatchesTheBitwiseDefinitionAtEveryLengthAndStart) {
  std::vector<unsigned char> bytes(65536 + 16);
  std::mt19937 random(20240611);
  for (unsigned char& byte : bytes) byte = static_cast<unsigned char>(random());
  std::vector<size_t> lengths = {4095, 4096, 65532};
  for (size_t length = 0; length <= 17; ++length) lengths.push_back(length);
  for (size_t start : {0, 1, 2, 3, 4, 5, 7, 8, 13}) {
    for (size_t length : lengths) {
      EXPECT_EQ(Crc32(bytes.data() + start, length), BitwiseCrc32(bytes.data() + start, length))
          << "start " << start << ", length " << length;
    }
  }
}

// The shuffle must be a bijection with an exact inverse, or records would be lost or doubled.
TEST(DataSetTest, ShuffleIsAPermutationWithItsInverse) {
  for (uint64_t records : {1, 2, 3, 4, 5, 255, 256, 1000, 1025, 4099}) {
    SCOPED_TRACE(records);
    DataSet set = PrepareDataSet({records, 16, 0, 8, 3});
    std::set<uint64_t> ranks;
    for (uint64_t position = 0; position < records; ++position) {
      uint64_t rank = RankAtPosition(set, position);
      ASSERT_LT(rank, records);
      ranks.insert(rank);
      ASSERT_EQ(PositionOfRank(set, rank), position);
    }
    EXPECT_EQ(ranks.size(), records);
    if (records > 1) {
      EXPECT_NE(RankAtPosition(set, 0), 0u) << "lowest key stored first";
    }
  }
}

TEST(DataSetTest, KeysRiseWithRankAndStayDistinct) {
  for (uint32_t keyLength : {1u, 2u, 7u, 8u, 9u, 255u}) {
    SCOPED_TRACE(keyLength);
    uint64_t records = keyLength == 1 ? 256 : 3000;
    DataSet set = PrepareDataSet({records, 300, 0, keyLength, 5});
    unsigned char previous[255];
    unsigned char key[255];
    for (uint64_t rank = 0; rank < records; ++rank) {
      FillKey(set, rank, key);
      if (rank > 0) {
        ASSERT_LT(memcmp(previous, key, keyLength), 0) << rank;
      }
      memcpy(previous, key, keyLength);
    }
  }
}

TEST(DataSetTest, ShapeChecks) {
  struct Case {
    DataSetShape shape;
    ShapeCheck check;
  };
  const Case cases[] = {
      {{1000, 100, 0, 8, 1}, ShapeCheck::kValid},
      {{0, 1, 0, 1, 1}, ShapeCheck::kValid},
      {{10, 65000, 0, 255, 1}, ShapeCheck::kValid},
      {{10, 0, 0, 1, 1}, ShapeCheck::kBadRecordLength},
      {{10, 65001, 0, 8, 1}, ShapeCheck::kBadRecordLength},
      {{10, 100, 0, 0, 1}, ShapeCheck::kBadKeyLength},
      {{10, 300, 0, 256, 1}, ShapeCheck::kBadKeyLength},
      {{10, 7, 0, 8, 1}, ShapeCheck::kKeyOutsideRecord},
      {{10, 8, 1, 8, 1}, ShapeCheck::kKeyOutsideRecord},
      {{256, 8, 0, 1, 1}, ShapeCheck::kValid},
      {{257, 8, 0, 1, 1}, ShapeCheck::kTooManyRecords},
      {{65537, 8, 0, 2, 1}, ShapeCheck::kTooManyRecords},
      {{kMaxRecords + 1, 100, 0, 8, 1}, ShapeCheck::kTooManyRecords},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CheckShape(c.shape), c.check)
        << c.shape.records << " " << c.shape.recordLength << " " << c.shape.keyLength;
  }
}

}  // namespace

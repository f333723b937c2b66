// Every damaged copy of a real data file, one change at a time, through the engine's entry
// point: only documented statuses, no access out of bounds, the file left as it was.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "fuzz/engine_file_check.h"
#include "tests/reliability/corruption_variants.h"
#include "tests/reliability/test_files.h"

namespace {

// Indexes of two levels, the smallest record, and the largest record the benchmark can
// receive (on the largest pages).
const char* const kDataFiles[] = {
    "--records 600 --record-length 100 --key-length 8 --seed 7",
    "--records 1 --record-length 1 --key-length 1 --seed 3",
    "--records 40 --record-length 2000 --key-length 255 --seed 5",
    "--records 3 --record-length 65000 --key-length 255 --seed 6",
};

TEST(CorruptionSweep, EngineAnswersEveryDamagedCopyWithADocumentedStatus) {
  ScratchDirectory scratch;
  ASSERT_FALSE(scratch.path.empty());
  size_t tried = 0;
  std::map<int, int> openStatuses;
  for (const char* options : kDataFiles) {
    std::string sound = scratch.path + "/sound.dat";
    remove(sound.c_str());
    ASSERT_EQ(MakeDataFile(sound, options), "");
    std::string original;
    ASSERT_TRUE(ReadWholeFile(sound, &original));
    std::vector<FileVariant> variants = MakeCorruptVariants(original);
    ASSERT_GT(variants.size(), 100u) << options << ": not a sound data file with an index";
    std::string scratchFile = scratch.path + "/damaged.dat";
    for (const FileVariant& variant : variants) {
      std::string fault;
      uint16_t openStatus = 0;
      EXPECT_TRUE(CheckEngineOnFileBytes(reinterpret_cast<const uint8_t*>(variant.bytes.data()),
                                         variant.bytes.size(), scratchFile.c_str(), &fault,
                                         &openStatus))
          << options << ", " << variant.change << ": " << fault;
      ++openStatuses[openStatus];
    }
    tried += variants.size();
  }
  RecordProperty("variants", static_cast<int>(tried));
  printf("corruption sweep: %zu damaged copies through the engine; Open answered", tried);
  for (const auto& [status, count] : openStatuses) printf(" %d for %d", status, count);
  printf("\n");
  // The sweep must reach the reads as well as the Open's checks.
  EXPECT_GT(openStatuses[0], 100);
}

}  // namespace

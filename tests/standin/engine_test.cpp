// The stand-in engine through its entry point, on files made by zorbinel-mkfile and on
// damaged copies of them.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "standin/mkfile/file_writer.h"
#include "standin/standin_engine.h"
#include "tests/standin/standin_test_support.h"

namespace {

constexpr uint16_t kOpen = 0, kClose = 1, kGetFirst = 12, kReset = 28, kStepFirst = 33,
                   kStepLast = 34;
constexpr uint32_t kOffered = 65000;

struct Block {
  unsigned char bytes[128] = {};
};

struct ReadResult {
  uint16_t status;
  Bytes record;  // the bytes the data length says were returned
};

uint16_t Call(uint16_t operation, Block* block, void* data, uint32_t* length, void* key,
              uint8_t keyLength, int8_t keyNumber) {
  return StandInEngineCall(operation, block != nullptr ? block->bytes : nullptr, data, length, key,
                           keyLength, keyNumber);
}

// Opens the way the benchmark does: the name in a 256-byte key buffer, key length 255.
uint16_t Open(Block* block, const std::string& path, int8_t mode = 0) {
  char key[256] = {};
  snprintf(key, sizeof key, "%s", path.c_str());
  uint32_t length = 0;
  return Call(kOpen, block, nullptr, &length, key, 255, mode);
}

uint16_t Close(Block* block) {
  uint32_t length = 0;
  return Call(kClose, block, nullptr, &length, nullptr, 0, 0);
}

ReadResult Read(uint16_t operation, Block* block, uint32_t offered = kOffered) {
  std::vector<unsigned char> buffer(kOffered);
  char key[256] = {};
  uint32_t length = offered;
  uint16_t status = Call(operation, block, buffer.data(), &length, key, 255, 0);
  return {status, Bytes(buffer.begin(), buffer.begin() + length)};
}

class StandInEngineTest : public ::testing::Test {
 protected:
  void TearDown() override { StandInEngineCall(kReset, nullptr, nullptr, nullptr, nullptr, 0, 0); }

  std::string Make(const std::string& name, uint64_t records, uint32_t recordLength = 100,
                   uint32_t keyLength = 8, uint32_t keyOffset = 0) {
    std::string path = dir.Path(name);
    EXPECT_TRUE(WriteDataFile(path.c_str(), {records, recordLength, keyOffset, keyLength, 7}));
    return path;
  }

  ScratchDir dir;
};

// Physical and key order, against what the tool wrote, for shapes that give one, two and
// three index levels, one-byte keys that use every value, and the largest record.
TEST_F(StandInEngineTest, ReadsTheRecordsThatTheToolWrote) {
  struct Shape {
    const char* arguments;
    uint32_t expectedDepth;
  };
  const Shape shapes[] = {
      {"", 2},
      {"--records 1 --record-length 1 --key-length 1", 1},
      {"--records 256 --record-length 3 --key-length 1 --seed 9", 1},
      {"--records 30000 --record-length 16", 2},
      {"--records 2500 --record-length 300 --key-length 255", 3},
      {"--records 3 --record-length 65000", 1},
  };
  for (const Shape& shape : shapes) {
    SCOPED_TRACE(shape.arguments);
    std::string path = dir.Path("order.dat");
    ASSERT_EQ(RunMkfile("'" + path + "' --force " + shape.arguments).exitStatus, 0);
    RawDataFile raw = ReadRawDataFile(ReadBytes(path));
    ASSERT_EQ(raw.records.size(), raw.recordCount);
    EXPECT_EQ(raw.indexDepth, shape.expectedDepth);
    Bytes lowest = LowestKeyRecord(raw);
    if (raw.recordCount > 1) {
      EXPECT_NE(raw.records.front(), lowest) << "keys are not shuffled";
    }

    Block block;
    ASSERT_EQ(Open(&block, path), 0);
    for (int round = 0; round < 2; ++round) {  // the second round comes from the cache
      EXPECT_EQ(Read(kStepFirst, &block).record, raw.records.front());
      EXPECT_EQ(Read(kStepLast, &block).record, raw.records.back());
      std::vector<unsigned char> data(kOffered);
      unsigned char key[256];
      memset(key, 0xAA, sizeof key);
      uint32_t length = kOffered;
      ASSERT_EQ(Call(kGetFirst, &block, data.data(), &length, key, 255, 0), 0);
      EXPECT_EQ(Bytes(data.begin(), data.begin() + length), lowest);
      EXPECT_EQ(Bytes(key, key + raw.keyLength), KeyOf(raw, lowest));
      EXPECT_EQ(key[raw.keyLength], 0xAA) << "wrote past the key";
    }
    EXPECT_EQ(Close(&block), 0);
  }
}

TEST_F(StandInEngineTest, FindsTheLowestKeyAtAnyOffsetInTheRecord) {
  std::string path = Make("offset.dat", 5000, 40, 6, 30);
  RawDataFile raw = ReadRawDataFile(ReadBytes(path));
  Block block;
  ASSERT_EQ(Open(&block, path), 0);
  ReadResult first = Read(kGetFirst, &block);
  EXPECT_EQ(first.status, 0);
  EXPECT_EQ(first.record, LowestKeyRecord(raw));
}

TEST_F(StandInEngineTest, AnswersEachOperationOnAnEmptyFile) {
  std::string path = Make("empty.dat", 0);
  Block block;
  ASSERT_EQ(Open(&block, path), 0);
  for (uint16_t operation : {kStepFirst, kStepLast, kGetFirst}) {
    ReadResult result = Read(operation, &block);
    EXPECT_EQ(result.status, 9) << operation;
    EXPECT_TRUE(result.record.empty());
  }
  EXPECT_EQ(Close(&block), 0);
}

TEST_F(StandInEngineTest, RefusesUnknownOperationsWithoutTouchingAnything) {
  std::string path = Make("ops.dat", 10);
  Block block;
  ASSERT_EQ(Open(&block, path), 0);
  Block before = block;
  for (uint16_t operation : {2, 5, 6, 13, 29, 32, 35, 100, 133, 65535}) {
    unsigned char data[16];
    memset(data, 0x5C, sizeof data);
    uint32_t length = sizeof data;
    EXPECT_EQ(Call(static_cast<uint16_t>(operation), &block, data, &length, data, 16, 0), 1);
    EXPECT_EQ(length, sizeof data);
    EXPECT_EQ(data[0], 0x5C);
    EXPECT_EQ(memcmp(before.bytes, block.bytes, sizeof block.bytes), 0);
  }
  EXPECT_EQ(Read(kStepFirst, &block).status, 0);
}

TEST_F(StandInEngineTest, ShortDataBufferGets22AndNothingWritten) {
  std::string path = Make("short.dat", 10, 100);
  Block block;
  ASSERT_EQ(Open(&block, path), 0);
  for (uint16_t operation : {kStepFirst, kStepLast, kGetFirst}) {
    unsigned char data[128];
    memset(data, 0x5C, sizeof data);
    unsigned char key[16];
    memset(key, 0x5C, sizeof key);
    uint32_t length = 99;
    EXPECT_EQ(Call(operation, &block, data, &length, key, 16, 0), 22);
    EXPECT_EQ(length, 0u);
    EXPECT_EQ(data[0], 0x5C);
    EXPECT_EQ(key[0], 0x5C);
    length = 100;  // exactly the record: fits, and not a byte more is written
    EXPECT_EQ(Call(operation, &block, data, &length, key, 16, 0), 0);
    EXPECT_EQ(length, 100u);
    EXPECT_EQ(data[100], 0x5C);
    length = 100;
    EXPECT_EQ(Call(operation, &block, nullptr, &length, key, 16, 0), 22);
    EXPECT_EQ(Call(operation, &block, data, nullptr, key, 16, 0), 22);
  }
}

TEST_F(StandInEngineTest, GetFirstLeavesTheKeyOnlyWhenItFitsTheKeyLength) {
  std::string path = Make("key.dat", 50, 20, 8);
  Block block;
  ASSERT_EQ(Open(&block, path), 0);
  unsigned char data[20];
  unsigned char key[16];
  memset(key, 0x5C, sizeof key);
  uint32_t length = sizeof data;
  EXPECT_EQ(Call(kGetFirst, &block, data, &length, key, 7, 0), 0);
  EXPECT_EQ(Bytes(key, key + 16), Bytes(16, 0x5C));
  length = sizeof data;
  EXPECT_EQ(Call(kGetFirst, &block, data, &length, key, 8, 0), 0);
  EXPECT_EQ(Bytes(key, key + 8), Bytes(data, data + 8));
  EXPECT_EQ(key[8], 0x5C);
  length = sizeof data;
  EXPECT_EQ(Call(kGetFirst, &block, data, &length, nullptr, 8, 0), 0);
  length = sizeof data;
  EXPECT_EQ(Call(kGetFirst, &block, data, &length, key, 8, 1), 6) << "the file has key 0 only";
  EXPECT_EQ(length, 0u);
}

TEST_F(StandInEngineTest, PositionBlockThatIsNotAnOpenFileGets3) {
  std::string path = Make("blocks.dat", 10);
  Block zeros;
  Block garbage;
  for (size_t i = 0; i < sizeof garbage.bytes; ++i)
    garbage.bytes[i] = static_cast<unsigned char>(i * 37 + 11);
  Block closed;
  ASSERT_EQ(Open(&closed, path), 0);
  ASSERT_EQ(Close(&closed), 0);
  Block open;
  ASSERT_EQ(Open(&open, path), 0);
  Block otherSlot = open;
  otherSlot.bytes[4] ^= 1;
  Block otherGeneration = open;
  otherGeneration.bytes[8] ^= 1;
  for (Block* block : {&zeros, &garbage, &closed, &otherSlot, &otherGeneration}) {
    for (uint16_t operation : {kStepFirst, kStepLast, kGetFirst}) {
      ReadResult result = Read(operation, block);
      EXPECT_EQ(result.status, 3);
      EXPECT_TRUE(result.record.empty());
    }
    EXPECT_EQ(Close(block), 3);
  }
  uint32_t length = kOffered;
  unsigned char data[100];
  EXPECT_EQ(Call(kStepFirst, nullptr, data, &length, nullptr, 0, 0), 3);
  EXPECT_EQ(Read(kStepFirst, &open).status, 0) << "a bad block must not harm an open file";
}

TEST_F(StandInEngineTest, ResetClosesEveryFileAndLaterOpensWork) {
  std::string path = Make("reset.dat", 10);
  Block first;
  Block second;
  ASSERT_EQ(Open(&first, path), 0);
  ASSERT_EQ(Open(&second, path), 0);
  EXPECT_EQ(StandInEngineCall(kReset, nullptr, nullptr, nullptr, nullptr, 0, 0), 0);
  EXPECT_EQ(Read(kStepFirst, &first).status, 3);
  EXPECT_EQ(Read(kGetFirst, &second).status, 3);
  EXPECT_EQ(Close(&first), 3);
  Block again;
  ASSERT_EQ(Open(&again, path), 0);
  EXPECT_EQ(Read(kStepFirst, &again).status, 0);
  EXPECT_EQ(Read(kStepFirst, &first).status, 3) << "a reused slot must not revive an old block";
}

TEST_F(StandInEngineTest, OpenAndCloseWriteBackALengthOfZero) {
  std::string path = Make("length.dat", 10);
  Block block;
  char key[256] = {};
  snprintf(key, sizeof key, "%s", path.c_str());
  uint32_t length = 1234;
  ASSERT_EQ(Call(kOpen, &block, nullptr, &length, key, 255, 0), 0);
  EXPECT_EQ(length, 0u);
  length = 1234;
  ASSERT_EQ(Call(kClose, &block, nullptr, &length, key, 255, 0), 0);
  EXPECT_EQ(length, 0u);
  length = 1234;
  ASSERT_EQ(Call(kOpen, &block, nullptr, nullptr, key, 255, 0), 0) << "no length at all";
}

TEST_F(StandInEngineTest, OpenFailures) {
  std::string good = Make("good.dat", 10);
  Bytes header = ReadBytes(good);
  header.resize(100);
  std::string truncatedHeader = dir.Path("cut.dat");
  WriteBytes(truncatedHeader, header);
  std::string text = dir.Path("text.dat");
  WriteBytes(text, Bytes(8192, 'x'));
  std::string tiny = dir.Path("tiny.dat");
  WriteBytes(tiny, Bytes{'Z', 'O', 'R', 'B'});
  std::string magicOnly = dir.Path("magic.dat");
  WriteBytes(magicOnly, Bytes{'Z', 'O', 'R', 'B', 'I', 'S', 'A', 'M', 1, 0});
  std::string zeroLength = dir.Path("zero.dat");
  WriteBytes(zeroLength, Bytes{});
  Bytes newer = ReadBytes(good);
  PutLittleEndian(&newer, 8, 2, 2);
  Reseal(&newer, 4096, 0);
  std::string newerVersion = dir.Path("newer.dat");
  WriteBytes(newerVersion, newer);

  struct Case {
    std::string path;
    int8_t mode;
    uint16_t status;
  };
  const Case cases[] = {
      {dir.Path("missing.dat"), 0, 12},
      {dir.Path("no/such/folder.dat"), 0, 12},
      {good + "/inside", 0, 12},
      {dir.path, 0, 35},
      {zeroLength, 0, 30},
      {tiny, 0, 30},
      {magicOnly, 0, 30},
      {text, 0, 30},
      {truncatedHeader, 0, 30},
      {newerVersion, 0, 30},
      {good, -1, 6},
      {good, -4, 6},
      {good, 1, 6},
      {good, -2, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path + " mode " + std::to_string(c.mode));
    Block block;
    EXPECT_EQ(Open(&block, c.path, c.mode), c.status);
    if (c.status != 0) {
      EXPECT_EQ(Read(kStepFirst, &block).status, 3);
    }
  }
}

TEST_F(StandInEngineTest, OpenTakesTheNameUpToItsNulOrTheKeyLength) {
  std::string path = Make("name.dat", 10);
  Block block;
  uint32_t length = 0;
  std::string padded = path + "XYZ";  // the name fills the key length exactly, no NUL
  EXPECT_EQ(
      Call(kOpen, &block, nullptr, &length, padded.data(), static_cast<uint8_t>(path.size()), 0),
      0);
  char empty[4] = {};
  EXPECT_EQ(Call(kOpen, &block, nullptr, &length, empty, 4, 0), 11);
  EXPECT_EQ(Call(kOpen, &block, nullptr, &length, padded.data(), 0, 0), 11);
  EXPECT_EQ(Call(kOpen, &block, nullptr, &length, nullptr, 255, 0), 11);
  EXPECT_EQ(
      Call(kOpen, nullptr, nullptr, &length, padded.data(), static_cast<uint8_t>(path.size()), 0),
      3);
}

TEST_F(StandInEngineTest, PermissionDeniedGets94) {
  std::string path = Make("locked.dat", 10);
  chmod(path.c_str(), 0);
  if (geteuid() != 0) {
    Block block;
    EXPECT_EQ(Open(&block, path), 94);
    return;
  }
  // Permissions do not bind root: a child that gives up root tries instead.
  chmod(dir.path.c_str(), 0755);
  pid_t pid = fork();
  if (pid == 0) {
    if (setgid(65534) != 0 || setuid(65534) != 0) _exit(200);
    Block block;
    _exit(Open(&block, path));
  }
  int status = 0;
  waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 94);
}

TEST_F(StandInEngineTest, OpenFileTableIsBoundedAndResetEmptiesIt) {
  std::string path = Make("many.dat", 10);
  std::vector<Block> blocks(256);
  for (Block& block : blocks) ASSERT_EQ(Open(&block, path), 0);
  Block oneMore;
  EXPECT_EQ(Open(&oneMore, path), 86);
  ASSERT_EQ(Close(&blocks[17]), 0);
  EXPECT_EQ(Open(&oneMore, path), 0);
  EXPECT_EQ(StandInEngineCall(kReset, nullptr, nullptr, nullptr, nullptr, 0, 0), 0);
  for (Block& block : blocks) ASSERT_EQ(Open(&block, path), 0);
}

// A damaged header: the checksum, and fields that pass the checksum but not the bounds.
TEST_F(StandInEngineTest, CorruptHeaderGets2) {
  std::string good = Make("header.dat", 1000);
  struct Damage {
    const char* what;
    size_t offset;
    uint64_t value;
    int width;
    bool reseal;  // false: the checksum is left as it was
  };
  const Damage damages[] = {
      {"checksum", 4000, 0xFF, 1, false},
      {"page size not a power of two", 12, 5000, 4, true},
      {"page size too small", 12, 256, 4, true},
      {"record length 0", 16, 0, 4, true},
      {"record longer than a page", 16, 4096, 4, true},
      {"key past the record", 20, 95, 4, true},
      {"key length 0", 24, 0, 4, true},
      {"index depth 0", 28, 0, 4, true},
      {"more records than pages hold", 32, 40 * 31 + 1, 8, true},
      {"page count against file size", 40, 31, 8, true},
      {"first data page out of range", 48, 32, 8, true},
      {"last data page 0", 56, 0, 8, true},
      {"index root out of range", 64, 1000, 8, true},
      {"no records but an index", 32, 0, 8, true},
  };
  for (const Damage& damage : damages) {
    SCOPED_TRACE(damage.what);
    Bytes file = ReadBytes(good);
    PutLittleEndian(&file, damage.offset, damage.width, damage.value);
    if (damage.reseal) Reseal(&file, 4096, 0);
    std::string path = dir.Path("damaged.dat");
    WriteBytes(path, file);
    Block block;
    EXPECT_EQ(Open(&block, path), 2);
  }
  for (long change : {-4096L, -1L, 1L, 4096L}) {  // the file cut short, or grown
    SCOPED_TRACE(change);
    Bytes file = ReadBytes(good);
    file.resize(static_cast<size_t>(static_cast<long>(file.size()) + change));
    std::string path = dir.Path("resized.dat");
    WriteBytes(path, file);
    Block block;
    EXPECT_EQ(Open(&block, path), 2);
  }
}

// Open reads the header only, so a damaged page shows at the first read that needs it, and
// again at every later one: a page that fails its checks is never kept.
TEST_F(StandInEngineTest, CorruptPagesGet2WhenRead) {
  std::string good = Make("pages.dat", 2000, 100, 8);
  RawDataFile raw = ReadRawDataFile(ReadBytes(good));
  ASSERT_EQ(raw.indexDepth, 2u);
  uint64_t leaf = LittleEndian(ReadBytes(good), raw.indexRoot * 4096 + 24 + 8, 8);
  uint64_t leafSlot = leaf * 4096 + 24;  // the leaf's first entry: key, page, slot
  struct Damage {
    const char* what;
    size_t offset;
    uint64_t value;
    int width;
    uint16_t failing;  // the operation that finds it
    bool reseal;       // false: the byte is flipped and the checksum left alone
  };
  const Damage damages[] = {
      {"first data page checksum", 4096 + 500, 0, 1, kStepFirst, false},
      {"last data page checksum", raw.lastDataPage * 4096 + 200, 0, 1, kStepLast, false},
      {"root checksum", raw.indexRoot * 4096 + 30, 0, 1, kGetFirst, false},
      {"leaf checksum", leaf * 4096 + 100, 0, 1, kGetFirst, false},
      {"data page type", 4096, 2, 2, kStepFirst, true},
      {"data page number", 4096 + 8, 2, 8, kStepFirst, true},
      {"data page empty", 4096 + 4, 0, 4, kStepFirst, true},
      {"data page over full", raw.lastDataPage * 4096 + 4, 41, 4, kStepLast, true},
      {"root level", raw.indexRoot * 4096 + 2, 0, 2, kGetFirst, true},
      {"root type", raw.indexRoot * 4096, 1, 2, kGetFirst, true},
      {"leaf points at an index page", leafSlot + 8, raw.indexRoot, 8, kGetFirst, true},
      {"leaf points past the file", leafSlot + 8, raw.pageCount, 8, kGetFirst, true},
      {"leaf slot past the page's records", leafSlot + 16, 40, 4, kGetFirst, true},
      {"leaf key differs from the record's", leafSlot, 0xFF, 1, kGetFirst, true},
  };
  for (const Damage& damage : damages) {
    SCOPED_TRACE(damage.what);
    Bytes file = ReadBytes(good);
    if (damage.reseal) {
      PutLittleEndian(&file, damage.offset, damage.width, damage.value);
      Reseal(&file, 4096, damage.offset / 4096);
    } else {
      file.at(damage.offset) ^= 0xFF;
    }
    std::string path = dir.Path("damaged.dat");
    WriteBytes(path, file);
    Block block;
    ASSERT_EQ(Open(&block, path), 0);
    for (int time = 0; time < 2; ++time) {
      ReadResult result = Read(damage.failing, &block);
      EXPECT_EQ(result.status, 2);
      EXPECT_TRUE(result.record.empty());
    }
    ASSERT_EQ(Close(&block), 0);
  }
}

TEST_F(StandInEngineTest, ReadsComeFromCachedPagesNotTheFile) {
  std::string path = Make("cached.dat", 2000);
  Block block;
  ASSERT_EQ(Open(&block, path), 0);
  ReadResult first = Read(kStepFirst, &block);
  ReadResult last = Read(kStepLast, &block);
  ReadResult lowest = Read(kGetFirst, &block);
  // Another writer spoils the whole file after the first reads; the cached pages still answer.
  Bytes file = ReadBytes(path);
  WriteBytes(path, Bytes(file.size(), 0));
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(Read(kStepFirst, &block).record, first.record);
    EXPECT_EQ(Read(kStepLast, &block).record, last.record);
    EXPECT_EQ(Read(kGetFirst, &block).record, lowest.record);
  }
  Block fresh;
  EXPECT_EQ(Open(&fresh, path), 30);
}

TEST_F(StandInEngineTest, LeavesTheFileUnchangedAndSharesItWithOtherProcesses) {
  std::string path = Make("shared.dat", 3000);
  Bytes before = ReadBytes(path);
  struct stat statusBefore {};
  stat(path.c_str(), &statusBefore);
  std::vector<pid_t> children;
  for (int child = 0; child < 3; ++child) {
    pid_t pid = fork();
    if (pid == 0) {
      int failures = 0;
      for (int round = 0; round < 200; ++round) {
        Block block;
        failures += Open(&block, path) != 0;
        for (uint16_t operation : {kStepFirst, kStepLast, kGetFirst}) {
          failures += Read(operation, &block).status != 0;
        }
        failures += Close(&block) != 0;
      }
      _exit(failures == 0 ? 0 : 1);
    }
    children.push_back(pid);
  }
  Block mine;
  ASSERT_EQ(Open(&mine, path), 0);
  for (int round = 0; round < 200; ++round) ASSERT_EQ(Read(kGetFirst, &mine).status, 0);
  for (pid_t pid : children) {
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  StandInEngineCall(kReset, nullptr, nullptr, nullptr, nullptr, 0, 0);
  struct stat statusAfter {};
  stat(path.c_str(), &statusAfter);
  EXPECT_EQ(ReadBytes(path), before);
  EXPECT_EQ(statusAfter.st_mtim.tv_sec, statusBefore.st_mtim.tv_sec);
  EXPECT_EQ(statusAfter.st_mtim.tv_nsec, statusBefore.st_mtim.tv_nsec);
}

}  // namespace

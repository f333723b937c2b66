#include "fuzz/engine_file_check.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "standin/data_format.h"
#include "standin/standin_engine.h"

namespace {

// The engine's operation codes and the statuses its reads may give on a file that exists.
constexpr uint16_t kOpen = 0;
constexpr uint16_t kClose = 1;
constexpr uint16_t kGetFirst = 12;
constexpr uint16_t kReset = 28;
constexpr uint16_t kStepFirst = 33;
constexpr uint16_t kStepLast = 34;

constexpr uint16_t kStatusSuccess = 0;
constexpr uint16_t kStatusCorrupt = 2;
constexpr uint16_t kStatusNotOpen = 3;
constexpr uint16_t kStatusEndOfFile = 9;
constexpr uint16_t kStatusBufferTooShort = 22;
constexpr uint16_t kStatusNotDataFile = 30;

constexpr uint16_t kOpenStatuses[] = {kStatusSuccess, kStatusCorrupt, kStatusNotDataFile};
constexpr uint16_t kReadStatuses[] = {kStatusSuccess, kStatusCorrupt, kStatusEndOfFile,
                                      kStatusBufferTooShort};

constexpr size_t kPositionBlockSize = 128;
constexpr size_t kKeyBufferSize = 255;  // the key length every call announces
// The benchmark offers 65000 bytes for every read; a few bytes is below any sensible record.
constexpr uint32_t kSmallBuffer = 7;
constexpr uint32_t kLargeBuffer = 65000;

// One engine call's outcome: status, the length written back and the bytes returned.
struct CallResult {
  uint16_t status;
  uint32_t length;
  std::vector<unsigned char> data;
  bool bufferUntouched;  // no byte of the data buffer was written
};

// Heap blocks of exactly the announced sizes: an overrun lands outside the allocation.
struct CallBuffers {
  unsigned char* positionBlock;
  unsigned char* keyBuffer;
  unsigned char* dataBuffer;
  uint32_t dataSize;
};

bool IsOneOf(uint16_t status, const uint16_t* allowed, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    if (allowed[i] == status) return true;
  }
  return false;
}

const char* OperationName(uint16_t operation) {
  switch (operation) {
    case kOpen:
      return "Open";
    case kClose:
      return "Close";
    case kGetFirst:
      return "Get First";
    case kReset:
      return "Reset";
    case kStepFirst:
      return "Step First";
    case kStepLast:
      return "Step Last";
    default:
      return "?";
  }
}

std::string Describe(uint16_t operation, uint32_t offered, const char* what, unsigned value) {
  char text[160];
  snprintf(text, sizeof text, "%s with a %u-byte buffer: %s %u", OperationName(operation),
           static_cast<unsigned>(offered), what, value);
  return text;
}

constexpr unsigned char kUntouched = 0xA5;

// The data buffer as it is before a call, to compare with in one memcmp.
const unsigned char* UntouchedBuffer() {
  static std::vector<unsigned char> fill(kLargeBuffer, kUntouched);
  return fill.data();
}

CallResult Call(CallBuffers* buffers, uint16_t operation, uint32_t offered) {
  CallResult result{};
  result.length = offered;
  // A recognisable fill shows which bytes the engine wrote.
  memset(buffers->dataBuffer, kUntouched, buffers->dataSize);
  result.status =
      StandInEngineCall(operation, buffers->positionBlock, buffers->dataBuffer, &result.length,
                        buffers->keyBuffer, static_cast<uint8_t>(kKeyBufferSize), 0);
  if (result.status == kStatusSuccess && result.length <= offered) {
    result.data.assign(buffers->dataBuffer, buffers->dataBuffer + result.length);
  }
  result.bufferUntouched = memcmp(buffers->dataBuffer, UntouchedBuffer(), buffers->dataSize) == 0;
  return result;
}

// Open takes the file's name in the key buffer; Get First leaves its key there.
CallResult OpenFile(CallBuffers* buffers, const char* path) {
  snprintf(reinterpret_cast<char*>(buffers->keyBuffer), kKeyBufferSize, "%s", path);
  return Call(buffers, kOpen, buffers->dataSize);
}

bool CheckRead(const CallResult& result, uint16_t operation, uint32_t offered, std::string* fault) {
  if (!IsOneOf(result.status, kReadStatuses, sizeof kReadStatuses / sizeof kReadStatuses[0])) {
    *fault = Describe(operation, offered, "undocumented status", result.status);
    return false;
  }
  if (result.length > offered) {
    *fault = Describe(operation, offered, "data length beyond the buffer:", result.length);
    return false;
  }
  if (result.status == kStatusSuccess && result.length == 0) {
    *fault = Describe(operation, offered, "success with an empty record, length", 0);
    return false;
  }
  // A failed read returns nothing: a zero length and the buffer as it was.
  if (result.status != kStatusSuccess && (result.length != 0 || !result.bufferUntouched)) {
    *fault = Describe(operation, offered, "a failed read wrote data; length", result.length);
    return false;
  }
  return true;
}

bool ExpectStatus(const CallResult& result, uint16_t operation, uint32_t offered, uint16_t expected,
                  const char* when, std::string* fault) {
  if (result.status == expected) return true;
  char what[96];
  snprintf(what, sizeof what, "%s: expected status %u, got", when, static_cast<unsigned>(expected));
  *fault = Describe(operation, offered, what, result.status);
  return false;
}

// Open and Close return no data: whatever length they are offered (the benchmark's type 1
// passes on what the last call wrote back), they write back 0 and leave the buffer alone.
bool ExpectNoData(const CallResult& result, uint16_t operation, uint16_t expected, const char* when,
                  std::string* fault) {
  if (!ExpectStatus(result, operation, 0, expected, when, fault)) return false;
  if (result.length == 0 && result.bufferUntouched) return true;
  *fault = Describe(operation, 0, "wrote data back; length", result.length);
  return false;
}

// The three reads of one open file, each issued twice: the second answer comes from the
// engine's cached pages and must be the same as the first.
bool ReadOpenFile(CallBuffers* buffers, uint32_t offered, CallResult reads[3], std::string* fault) {
  const uint16_t operations[3] = {kStepFirst, kStepLast, kGetFirst};
  for (int i = 0; i < 3; ++i) {
    reads[i] = Call(buffers, operations[i], offered);
    if (!CheckRead(reads[i], operations[i], offered, fault)) return false;
  }
  for (int i = 0; i < 3; ++i) {
    CallResult again = Call(buffers, operations[i], offered);
    if (!CheckRead(again, operations[i], offered, fault)) return false;
    if (again.status != reads[i].status || again.data != reads[i].data) {
      *fault =
          Describe(operations[i], offered, "repeated read differs; first status", reads[i].status);
      return false;
    }
  }
  return true;
}

// Open, the reads, Close, a read on the closed block (status 3), Open again and Reset, a
// read on the block from before the Reset (status 3).
bool DriveOnce(const char* path, uint32_t offered, uint16_t* openStatus, CallResult reads[3],
               std::string* fault) {
  CallBuffers buffers{};
  buffers.dataSize = offered;
  buffers.positionBlock = static_cast<unsigned char*>(calloc(1, kPositionBlockSize));
  buffers.keyBuffer = static_cast<unsigned char*>(calloc(1, kKeyBufferSize));
  buffers.dataBuffer = static_cast<unsigned char*>(malloc(offered));
  bool sound = buffers.positionBlock != nullptr && buffers.keyBuffer != nullptr &&
               buffers.dataBuffer != nullptr;
  if (!sound) *fault = "out of memory";
  if (sound) {
    CallResult open = OpenFile(&buffers, path);
    *openStatus = open.status;
    if (!IsOneOf(open.status, kOpenStatuses, sizeof kOpenStatuses / sizeof kOpenStatuses[0])) {
      *fault = Describe(kOpen, 0, "undocumented status", open.status);
      sound = false;
    } else if (!ExpectNoData(open, kOpen, open.status, "first Open", fault)) {
      sound = false;
    } else if (open.status != kStatusSuccess) {
      CallResult read = Call(&buffers, kStepFirst, offered);
      sound = ExpectStatus(read, kStepFirst, offered, kStatusNotOpen, "after a failed Open", fault);
    } else {
      sound =
          ReadOpenFile(&buffers, offered, reads, fault) &&
          ExpectNoData(Call(&buffers, kClose, offered), kClose, kStatusSuccess, "Close", fault) &&
          ExpectStatus(Call(&buffers, kStepFirst, offered), kStepFirst, offered, kStatusNotOpen,
                       "after Close", fault) &&
          ExpectNoData(OpenFile(&buffers, path), kOpen, kStatusSuccess, "second Open", fault);
    }
  }
  if (buffers.positionBlock != nullptr && buffers.keyBuffer != nullptr &&
      buffers.dataBuffer != nullptr) {
    // Reset always runs, so no file stays open into the next input.
    CallResult reset = Call(&buffers, kReset, 0);
    if (sound) sound = ExpectStatus(reset, kReset, 0, kStatusSuccess, "Reset", fault);
    if (sound && *openStatus == kStatusSuccess) {
      sound = ExpectStatus(Call(&buffers, kStepFirst, offered), kStepFirst, offered, kStatusNotOpen,
                           "after Reset", fault);
    }
  }
  free(buffers.positionBlock);
  free(buffers.keyBuffer);
  free(buffers.dataBuffer);
  return sound;
}

// A short buffer must give the same record when it fits, and status 22 when it does not.
bool CompareBufferSizes(const CallResult small[3], const CallResult large[3], std::string* fault) {
  const uint16_t operations[3] = {kStepFirst, kStepLast, kGetFirst};
  for (int i = 0; i < 3; ++i) {
    if (large[i].status != kStatusSuccess) continue;
    bool fits = large[i].length <= kSmallBuffer;
    uint16_t expected = fits ? kStatusSuccess : kStatusBufferTooShort;
    if (small[i].status != expected) {
      *fault = Describe(operations[i], kSmallBuffer,
                        "status disagrees with the large buffer:", small[i].status);
      return false;
    }
    if (fits && small[i].data != large[i].data) {
      *fault = Describe(operations[i], kSmallBuffer,
                        "record differs from the large buffer's, "
                        "length",
                        small[i].length);
      return false;
    }
  }
  return true;
}

bool WriteWholeFile(const char* path, const uint8_t* bytes, size_t size) {
  FILE* file = fopen(path, "wb");
  if (file == nullptr) return false;
  bool written = size == 0 || fwrite(bytes, 1, size, file) == size;
  return fclose(file) == 0 && written;
}

}  // namespace

bool ReadWholeFile(const std::string& path, std::string* bytes) {
  FILE* file = fopen(path.c_str(), "rb");
  if (file == nullptr) return false;
  bytes->clear();
  char chunk[8192];
  size_t got;
  while ((got = fread(chunk, 1, sizeof chunk, file)) > 0) bytes->append(chunk, got);
  bool complete = ferror(file) == 0;
  fclose(file);
  return complete;
}

bool CheckEngineOnFileBytes(const uint8_t* bytes, size_t size, const char* scratchPath,
                            std::string* fault, uint16_t* openStatus) {
  if (strlen(scratchPath) >= kKeyBufferSize) {
    *fault = "scratch path too long for the key buffer";
    return false;
  }
  if (!WriteWholeFile(scratchPath, bytes, size)) {
    *fault = std::string("cannot write ") + scratchPath;
    return false;
  }
  uint16_t smallOpen = 0;
  uint16_t largeOpen = 0;
  CallResult smallReads[3];
  CallResult largeReads[3];
  bool sound = DriveOnce(scratchPath, kSmallBuffer, &smallOpen, smallReads, fault) &&
               DriveOnce(scratchPath, kLargeBuffer, &largeOpen, largeReads, fault);
  if (openStatus != nullptr) *openStatus = smallOpen;
  if (sound && smallOpen != largeOpen) {
    *fault = Describe(kOpen, 0, "status changed between two opens of one file; now", largeOpen);
    sound = false;
  }
  if (sound && largeOpen == kStatusSuccess) {
    sound = CompareBufferSizes(smallReads, largeReads, fault);
  }
  std::string after;
  if (sound && (!ReadWholeFile(scratchPath, &after) || after.size() != size ||
                (size > 0 && memcmp(after.data(), bytes, size) != 0))) {
    *fault = "the engine changed the data file";
    sound = false;
  }
  remove(scratchPath);
  return sound;
}

bool CheckFuzzInput(const uint8_t* bytes, size_t size, const char* scratchPath,
                    std::string* fault) {
  if (!CheckEngineOnFileBytes(bytes, size, scratchPath, fault)) return false;
  uint32_t pageSize = 0;
  if (CheckHeaderPrefix(bytes, size, &pageSize) != HeaderCheck::kValid || size < pageSize) {
    return true;
  }
  std::vector<uint8_t> resealed(bytes, bytes + size);
  for (size_t page = 0; page + pageSize <= size; page += pageSize) {
    SealPage(resealed.data() + page, pageSize);
  }
  if (CheckEngineOnFileBytes(resealed.data(), size, scratchPath, fault)) return true;
  *fault = "with every page resealed: " + *fault;
  return false;
}

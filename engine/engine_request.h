// The one request block of every engine call, and the buffer that receives records.
#pragma once

#include <cstdint>

constexpr int kPositionBlockSize = 128;
constexpr int kFileNameSize = 256;
constexpr long kDataBufferSize = 260000;

// The engine's published operation codes that the benchmark issues.
enum EngineOperation : uint16_t {
  kOpOpen = 0,
  kOpClose = 1,
  kOpGetFirst = 12,
  kOpReset = 28,
  kOpStepFirst = 33,
  kOpStepLast = 34,
};

struct EngineRequestBlock {
  uint16_t operation;
  unsigned char positionBlock[kPositionBlockSize];  // the engine's; never looked inside
  void* dataBuffer;
  uint16_t dataLength;  // in: bytes offered; out: bytes the engine returned
  void* keyBuffer;
  int16_t keyNumber;
  char fileName[kFileNameSize];  // used only in messages
};

// Exactly one request block exists; every engine call of the process goes through it.
extern EngineRequestBlock EngineRequest;

// Receives engine records and the operating-system reads; its contents are never examined.
extern unsigned char DataBuffer[kDataBufferSize];

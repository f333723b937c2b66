#include "driver/test_loop.h"

#include <cstdio>
#include <cstring>

#include "driver/histogram.h"
#include "driver/platform.h"
#include "driver/run_settings.h"
#include "engine/engine_binding.h"
#include "engine/engine_calls.h"
#include "engine/engine_request.h"

namespace {

constexpr uint16_t kReadLength = 65000;
constexpr uint8_t kKeyLength = 255;
constexpr unsigned long kSmallRead = 512;
constexpr unsigned long kLargeRead = 16384;

void CopyName(char* destination, const char* name) {
  snprintf(destination, kFileNameSize, "%s", name);
}

// Each batch function runs batchSize iterations of one test type, adds the iterations that
// did not end the run to count, and returns 1 when an iteration ended the run, else 0. Inside
// a batch nothing but the iteration's own calls is done.

int OpenCloseBatch(int batchSize, int64_t* count) {
  for (int i = 0; i < batchSize; ++i) {
    // The length is left as the engine last wrote it back.
    EngineRequest.operation = kOpOpen;
    int status = CallEngine(&EngineRequest);
    if (status != 0) {
      fprintf(stderr, "Unable to Open File - Status %d\n", status);
      return 1;
    }
    EngineRequest.operation = kOpClose;
    CallEngine(&EngineRequest);
    ++*count;
  }
  return 0;
}

int StepBatch(uint16_t operation, int batchSize, int64_t* count) {
  for (int i = 0; i < batchSize; ++i) {
    EngineRequest.dataLength = kReadLength;
    EngineRequest.operation = operation;
    int status = CallEngine(&EngineRequest);
    if (status != 0) fprintf(stderr, "Unable to Read File - Status %d\n", status);
    ++*count;
  }
  return 0;
}

int GetFirstBatch(int batchSize, int64_t* count) {
  for (int i = 0; i < batchSize; ++i) {
    EngineRequest.operation = kOpGetFirst;
    EngineRequest.keyNumber = 0;
    EngineRequest.dataLength = kReadLength;
    int status = CallEngine(&EngineRequest);
    if (status != 0) fprintf(stderr, "Unable to Read File - Status %d\n", status);
    ++*count;
  }
  return 0;
}

// Step First through BTRV alone: no trace, no message, the status unused.
int BtrvStepFirstBatch(int batchSize, int64_t* count) {
  EngineRequestBlock& request = EngineRequest;
  for (int i = 0; i < batchSize; ++i) {
    request.dataLength = kReadLength;
    request.operation = kOpStepFirst;
    BTRV(kOpStepFirst, request.positionBlock, request.dataBuffer, &request.dataLength,
         request.keyBuffer, request.keyNumber);
    ++*count;
  }
  return 0;
}

// Step First straight into the entry point, adapting the length as BTRV would.
int EntryStepFirstBatch(int batchSize, int64_t* count) {
  EngineRequestBlock& request = EngineRequest;
  for (int i = 0; i < batchSize; ++i) {
    request.dataLength = kReadLength;
    request.operation = kOpStepFirst;
    uint32_t length = request.dataLength;
    EngineEntry(kOpStepFirst, request.positionBlock, request.dataBuffer, &length, request.keyBuffer,
                kKeyLength, 0);
    request.dataLength = static_cast<uint16_t>(length);
    ++*count;
  }
  return 0;
}

int OsOpenCloseBatch(const char* fileName, int batchSize, int64_t* count) {
  for (int i = 0; i < batchSize; ++i) {
    OsFileHandle file = OsOpenForReading(fileName);
    if (file == kInvalidOsFile) {
      fprintf(stderr, "File Open Failed\r\n");
      return 1;
    }
    OsClose(file);
    ++*count;
  }
  return 0;
}

// The reads' results are not looked at: a short file still counts.
int OsOpenReadBatch(const char* fileName, int batchSize, int64_t* count) {
  for (int i = 0; i < batchSize; ++i) {
    OsFileHandle file = OsOpenForReading(fileName);
    if (file == kInvalidOsFile) {
      fprintf(stderr, "File Open Failed\r\n");
      return 1;
    }
    OsRead(file, DataBuffer, kSmallRead);
    OsRead(file, DataBuffer, kLargeRead);
    OsClose(file);
    ++*count;
  }
  return 0;
}

int RunBatch(int testType, const char* fileName, int batchSize, int64_t* count) {
  switch (testType) {
    case 1:
      return OpenCloseBatch(batchSize, count);
    case 2:
      return StepBatch(kOpStepFirst, batchSize, count);
    case 3:
      return StepBatch(kOpStepLast, batchSize, count);
    case 4:
      return GetFirstBatch(batchSize, count);
    case 5:
      return BtrvStepFirstBatch(batchSize, count);
    case 6:
      return EntryStepFirstBatch(batchSize, count);
    case 11:
      return OsOpenCloseBatch(fileName, batchSize, count);
    case 12:
      return OsOpenReadBatch(fileName, batchSize, count);
    default:
      fprintf(stderr, "An invalid test type (%d) was specified.\r\n", testType);
      return 1;
  }
}

// Whole seconds between two clock readings, as the stop test counts them: in single
// precision, cut toward zero.
int64_t WholeSecondsBetween(int64_t startMs, int64_t nowMs) {
  float seconds = static_cast<float>(nowMs - startMs) / 1000.0F;
  return static_cast<int64_t>(seconds);
}

}  // namespace

int BatchSizeOf(int testType) {
  // The operating-system tests and Open/Close cost far more per iteration.
  return testType == 1 || testType == 11 || testType == 12 ? 50 : 1000;
}

int RunTest(int testType, const char* fileName, int runTime, int64_t* startTime, int64_t* endTime,
            int64_t* count) {
  char keyBuffer[kFileNameSize];
  CopyName(keyBuffer, fileName);
  CopyName(EngineRequest.fileName, fileName);
  EngineRequest.dataLength = 0;
  EngineRequest.keyNumber = 0;
  EngineRequest.keyBuffer = keyBuffer;
  EngineRequest.dataBuffer = DataBuffer;

  // Types 2 to 9 open the file once, before the loop; the Reset after the run releases it.
  if (testType >= 2 && testType <= 9) {
    EngineRequest.operation = kOpOpen;
    int status = CallEngine(&EngineRequest);
    if (status != 0) {
      fprintf(stderr, "Unable to Open File - Status %d\n", status);
      return 1;
    }
  }

  int64_t iterations = 0;
  int batchSize = BatchSizeOf(testType);
  if (HistogramEnabled) ClearHistogram();
  PrintTimestamped("Starting...");
  int64_t start = RunClockMs();
  *startTime = start;

  if (runTime > 0) {
    for (;;) {
      int64_t batchStart = HistogramEnabled ? RunClockMs() : 0;
      if (RunBatch(testType, fileName, batchSize, &iterations) != 0) return 1;
      int64_t now = RunClockMs();
      if (HistogramEnabled) RecordBatchTime(now - batchStart);
      if (WholeSecondsBetween(start, now) >= runTime) break;
    }
  }

  PrintTimestamped("Ending...");
  *endTime = RunClockMs();
  *count = iterations;
  if (HistogramEnabled) PrintHistogram(batchSize);
  return 0;
}

void PrintTimestamped(const char* text) {
  time_t seconds = 0;
  unsigned short milliseconds = 0;
  WallClockNow(&seconds, &milliseconds);
  PrintTimestampedAt(seconds, milliseconds, text);
}

void PrintTimestampedAt(time_t seconds, unsigned short milliseconds, const char* text) {
  struct tm local;
  if (!ToLocalTime(seconds, &local)) memset(&local, 0, sizeof local);
  char clock[16];
  strftime(clock, sizeof clock, "%H:%M:%S", &local);
  printf("%.8s.%.3hu: %s\n", clock, milliseconds, text);
}

#include "engine/engine_calls.h"

#include <cstdio>

#include "driver/run_settings.h"
#include "engine/engine_binding.h"

namespace {

constexpr uint8_t kKeyLength = 255;
constexpr int kTraceLevel = 2;

void ReportStatus(int status, const EngineRequestBlock* request) {
  switch (status) {
    case 0:
    case 3:
    case 4:
    case 5:
    case 9:
    case 12:
    case 22:
      return;  // conditions the callers judge for themselves
    case 2:
    case 54:
      fprintf(stderr, "Data File Corruption (Status 2) Detected!\n");
      return;
    case 30:
      fprintf(stderr, "%s: Not a Btrieve File\n", request->fileName);
      return;
    default:
      fprintf(stderr, "Btrieve Error %d: Operation=%d, File=%s\n", status, request->operation,
              request->fileName);
      return;
  }
}

}  // namespace

uint16_t BTRV(uint16_t operation, void* positionBlock, void* dataBuffer, uint16_t* dataLength,
              void* keyBuffer, int keyNumber) {
  uint32_t length = dataLength != nullptr ? *dataLength : 0;
  uint16_t status = EngineEntry(operation, positionBlock, dataBuffer, &length, keyBuffer,
                                kKeyLength, static_cast<int8_t>(keyNumber));
  if (dataLength != nullptr) *dataLength = static_cast<uint16_t>(length);
  return status;
}

int CallEngine(EngineRequestBlock* request) {
  if (DebugLevel == kTraceLevel) {
    printf("Op: %d, Buflen: %d, KeyNum: %d ", request->operation, request->dataLength,
           request->keyNumber);
  }
  int status =
      static_cast<int16_t>(BTRV(request->operation, request->positionBlock, request->dataBuffer,
                                &request->dataLength, request->keyBuffer, request->keyNumber));
  if (DebugLevel == kTraceLevel) printf("Status: %d\n", status);
  ReportStatus(status, request);
  return status;
}

int ResetEngine() {
  EngineRequest.keyNumber = 0;
  EngineRequest.keyBuffer = nullptr;
  EngineRequest.operation = kOpReset;
  return CallEngine(&EngineRequest);
}

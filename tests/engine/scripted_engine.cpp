#include "tests/engine/scripted_engine.h"

#include <cstring>

#include "engine/engine_binding.h"

ScriptedEngineState ScriptedEngine;

void ResetScriptedEngine() {
  ScriptedEngine = ScriptedEngineState{};
}

namespace {

uint16_t ENGINE_CALL ScriptedEntry(uint16_t operation, void* positionBlock, void* dataBuffer,
                                   uint32_t* dataLength, void* keyBuffer, uint8_t keyLength,
                                   int8_t keyNumber) {
  ScriptedEngineState& engine = ScriptedEngine;
  ++engine.callCount;
  if (engine.calls.size() < engine.recordLimit) {
    std::string key;
    if (keyBuffer != nullptr)
      key.assign(static_cast<const char*>(keyBuffer),
                 strnlen(static_cast<const char*>(keyBuffer), keyLength));
    engine.calls.push_back(ScriptedCall{operation, positionBlock, dataBuffer, *dataLength,
                                        keyBuffer, key, keyLength, keyNumber});
  }
  if (engine.writesLength) *dataLength = engine.lengthOut;
  if (engine.statuses.empty()) return engine.defaultStatus;
  uint16_t status = engine.statuses.front();
  engine.statuses.pop_front();
  return status;
}

}  // namespace

EngineEntryPoint EngineEntry = ScriptedEntry;

int BindEngine() {
  return 0;
}

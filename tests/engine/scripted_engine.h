// A test double for the engine's entry point: answers the statuses a test queues and records
// the arguments of every call. Linking it binds EngineEntry to it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

struct ScriptedCall {
  uint16_t operation;
  void* positionBlock;
  void* dataBuffer;
  uint32_t lengthIn;  // the length as offered to the engine
  void* keyBuffer;
  std::string key;  // the key buffer's text, when it held one
  uint8_t keyLength;
  int8_t keyNumber;
};

struct ScriptedEngineState {
  std::deque<uint16_t> statuses;  // answered in order; 0 once they run out
  uint16_t defaultStatus = 0;     // answered once the queue is empty
  bool writesLength = false;      // whether the engine writes lengthOut back
  uint32_t lengthOut = 0;
  std::vector<ScriptedCall> calls;
  size_t recordLimit = 100;  // calls past this are counted, not recorded
  int64_t callCount = 0;
};

extern ScriptedEngineState ScriptedEngine;

// Forgets every queued status and recorded call.
void ResetScriptedEngine();

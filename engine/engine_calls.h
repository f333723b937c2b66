// The layers of calls into the engine, outermost first: CallEngine, BTRV, the entry point.
#pragma once

#include <cstdint>

#include "engine/engine_request.h"

// Adapts a call with a 16-bit data length (may be null) to the entry point's 32-bit length
// and explicit key length. Returns the engine's status.
uint16_t BTRV(uint16_t operation, void* positionBlock, void* dataBuffer, uint16_t* dataLength,
              void* keyBuffer, int keyNumber);

// Calls the engine with the request, traces the call when DebugLevel is 2, and reports the
// statuses that matter on standard error. Returns the status taken as signed 16-bit.
int CallEngine(EngineRequestBlock* request);

// Releases everything the engine holds for this process (operation 28).
int ResetEngine();

// The engine's entry point, and the one place that binds it to an engine.
#pragma once

#include <cstdint>

// The entry point uses the platform's API calling convention (it matters on 32-bit Windows).
#if defined(_WIN32)
#define ENGINE_CALL __stdcall
#else
#define ENGINE_CALL
#endif

using EngineEntryPoint = uint16_t(ENGINE_CALL*)(uint16_t operation, void* positionBlock,
                                                void* dataBuffer, uint32_t* dataLength,
                                                void* keyBuffer, uint8_t keyLength,
                                                int8_t keyNumber);

// The bound entry point. Tests may point it at a scripted engine.
extern EngineEntryPoint EngineEntry;

// Binds EngineEntry before the first call. Returns 0, or 1 after writing to standard error
// why the engine could not be bound.
int BindEngine();

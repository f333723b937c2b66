// The stand-in engine's entry point: the same seven arguments as the engine client library's.
#pragma once

#include <cstdint>

#if defined(_WIN32)
#define STANDIN_CALL __stdcall
#else
#define STANDIN_CALL
#endif

extern "C" uint16_t STANDIN_CALL StandInEngineCall(uint16_t operation, void* positionBlock,
                                                   void* dataBuffer, uint32_t* dataLength,
                                                   void* keyBuffer, uint8_t keyLength,
                                                   int8_t keyNumber);

// One pass of the engine's read path over a data file given as raw bytes. The fuzzer and the
// regression test of the reliability suite both run every input through it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Writes `bytes` to `scratchPath` (replacing it), then opens the file through the stand-in
// engine's entry point and issues Step First, Step Last, Get First, Close and Reset, once with a
// small and once with a large data buffer. Every buffer handed to the engine is allocated with
// exactly the size the call announces, so an address-checking build catches any write past it.
// Returns true when every answer was one the engine documents and the answers agree with one
// another; otherwise false, with what went wrong in `fault`. The file's bytes must be unchanged
// afterwards; `scratchPath` is removed before returning.
// `openStatus`, when given, receives the first Open's status.
bool CheckEngineOnFileBytes(const uint8_t* bytes, size_t size, const char* scratchPath,
                            std::string* fault, uint16_t* openStatus = nullptr);

// The whole check of one fuzz input: the bytes as they are, then, when they start like a data
// file, a copy with every whole page's checksum made right again, so that damage gets past
// the checksum test to the engine's bounds checks.
bool CheckFuzzInput(const uint8_t* bytes, size_t size, const char* scratchPath, std::string* fault);

// Reads a whole file into `bytes`; false when it cannot be read.
bool ReadWholeFile(const std::string& path, std::string* bytes);

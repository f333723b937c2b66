// The statuses the stand-in engine returns. The values follow the engine's published status
// list, so that the benchmark classifies them as it would the real engine's.
#pragma once

#include <cstdint>

enum EngineStatus : uint16_t {
  kStatusSuccess = 0,
  kStatusInvalidOperation = 1,
  kStatusIoError = 2,  // an I/O error, or a header or page that fails its checks
  kStatusFileNotOpen = 3,
  kStatusInvalidKeyNumber = 6,
  kStatusEndOfFile = 9,  // no record: the file is empty
  kStatusInvalidFileName = 11,
  kStatusFileNotFound = 12,
  kStatusDataBufferTooShort = 22,
  kStatusNotDataFile = 30,  // not a data file of this format, or a format version not known
  kStatusDirectoryError = 35,
  kStatusFileTableFull = 86,
  kStatusPermissionError = 94,
};

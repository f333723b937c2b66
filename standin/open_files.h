// The process-wide table of open files, and the handle that a position block carries.
#pragma once

#include <cstdint>

#include "standin/data_format.h"
#include "standin/file_io.h"
#include "standin/page_cache.h"

constexpr uint32_t kMaxOpenFiles = 256;
constexpr int kPositionBlockSize = 128;

struct OpenFile {
  EngineFile file;
  FileHeader header;
  PageCache cache;
  // Where Get First found the lowest key; the file never changes while it is open.
  uint64_t lowestKeyPage;
  uint32_t lowestKeySlot;
  uint32_t generation;  // changes on every close, so that old position blocks stop matching
  bool lowestKeyKnown;
  bool inUse;
};

// A free entry of the table, or null when all are in use. The entry stays free until
// the caller marks it inUse.
OpenFile* FindFreeOpenFile();

// The open file whose handle the position block holds, or null for anything else: all zeros,
// garbage, a closed file, a file released by a Reset.
OpenFile* FindOpenFile(const void* positionBlock);

// Writes the entry's handle into the position block (all 128 bytes).
void StoreHandle(const OpenFile* openFile, void* positionBlock);

// Closes the file and frees the entry; its position blocks are invalid afterwards.
void CloseOpenFile(OpenFile* openFile);

// Closes every open file and frees all memory that the table holds.
void CloseAllOpenFiles();

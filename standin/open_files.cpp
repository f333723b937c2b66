#include "standin/open_files.h"

#include <chrono>
#include <cstring>

namespace {

constexpr uint32_t kHandleMagic = 0x4C42505Au;  // "ZPBL"
constexpr size_t kHandleMagicOffset = 0;
constexpr size_t kHandleSlotOffset = 4;
constexpr size_t kHandleGenerationOffset = 8;
constexpr size_t kHandleProcessTokenOffset = 12;

OpenFile OpenFiles[kMaxOpenFiles];
uint32_t ProcessToken;  // tells this process's handles from bytes left by another

uint32_t CurrentProcessToken() {
  if (ProcessToken == 0) {
    auto ticks = std::chrono::steady_clock::now().time_since_epoch().count();
    ProcessToken = static_cast<uint32_t>(ticks ^ (ticks >> 32)) | 1u;
  }
  return ProcessToken;
}

uint32_t NextGeneration(uint32_t generation) {
  return generation + 1 == 0 ? 1 : generation + 1;
}

}  // namespace

OpenFile* FindFreeOpenFile() {
  for (OpenFile& entry : OpenFiles) {
    if (!entry.inUse) {
      if (entry.generation == 0) entry.generation = 1;
      return &entry;
    }
  }
  return nullptr;
}

OpenFile* FindOpenFile(const void* positionBlock) {
  if (positionBlock == nullptr) return nullptr;
  const auto* block = static_cast<const unsigned char*>(positionBlock);
  if (LoadU32(block + kHandleMagicOffset) != kHandleMagic) return nullptr;
  if (LoadU32(block + kHandleProcessTokenOffset) != CurrentProcessToken()) return nullptr;
  uint32_t slot = LoadU32(block + kHandleSlotOffset);
  if (slot >= kMaxOpenFiles) return nullptr;
  OpenFile* entry = &OpenFiles[slot];
  if (!entry->inUse || entry->generation != LoadU32(block + kHandleGenerationOffset)) {
    return nullptr;
  }
  return entry;
}

void StoreHandle(const OpenFile* openFile, void* positionBlock) {
  auto* block = static_cast<unsigned char*>(positionBlock);
  memset(block, 0, kPositionBlockSize);
  StoreU32(block + kHandleMagicOffset, kHandleMagic);
  StoreU32(block + kHandleSlotOffset, static_cast<uint32_t>(openFile - OpenFiles));
  StoreU32(block + kHandleGenerationOffset, openFile->generation);
  StoreU32(block + kHandleProcessTokenOffset, CurrentProcessToken());
}

void CloseOpenFile(OpenFile* openFile) {
  EngineFileClose(openFile->file);
  openFile->inUse = false;
  openFile->generation = NextGeneration(openFile->generation);
  openFile->lowestKeyKnown = false;
  PageCacheForget(&openFile->cache);
}

void CloseAllOpenFiles() {
  for (OpenFile& entry : OpenFiles) {
    if (entry.inUse) CloseOpenFile(&entry);
    PageCacheRelease(&entry.cache);
  }
}

// The entry point and the operations of the stand-in engine. Files are only ever read.
#include <cstring>

#include "standin/data_format.h"
#include "standin/engine_status.h"
#include "standin/file_io.h"
#include "standin/open_files.h"
#include "standin/page_cache.h"
#include "standin/standin_engine.h"

namespace {

enum : uint16_t {
  kOperationOpen = 0,
  kOperationClose = 1,
  kOperationGetFirst = 12,
  kOperationReset = 28,
  kOperationStepFirst = 33,
  kOperationStepLast = 34,
};

// Open modes travel in the key number. The engine never writes, so the normal mode and the
// read-only mode behave alike; the others promise what it does not do.
constexpr int8_t kOpenModeNormal = 0;
constexpr int8_t kOpenModeReadOnly = -2;

// Enough of the start of a file for the header page of the usual page sizes, in one read.
constexpr size_t kFirstReadSize = 4096;

constexpr size_t kMaxFileNameLength = 255;

void SetLength(uint32_t* dataLength, uint32_t value) {
  if (dataLength != nullptr) *dataLength = value;
}

uint16_t StatusOfOpenFailure(FileOpenStatus status) {
  switch (status) {
    case FileOpenStatus::kNotFound:
      return kStatusFileNotFound;
    case FileOpenStatus::kIsDirectory:
      return kStatusDirectoryError;
    case FileOpenStatus::kAccessDenied:
      return kStatusPermissionError;
    default:
      return kStatusIoError;
  }
}

uint16_t StatusOfHeaderCheck(HeaderCheck check) {
  switch (check) {
    case HeaderCheck::kValid:
      return kStatusSuccess;
    case HeaderCheck::kNotDataFile:
    case HeaderCheck::kUnknownVersion:
      return kStatusNotDataFile;
    default:
      return kStatusIoError;
  }
}

// The name ends at its NUL or at the key length, whichever comes first: the key buffer is
// never read past the key length.
bool CopyFileName(const void* keyBuffer, uint8_t keyLength, char* name) {
  if (keyBuffer == nullptr) return false;
  const auto* key = static_cast<const char*>(keyBuffer);
  size_t length = 0;
  while (length < keyLength && key[length] != '\0') ++length;
  if (length == 0) return false;
  memcpy(name, key, length);
  name[length] = '\0';
  return true;
}

// Reads and checks the header page; the cache's storage is sized for the file's pages.
uint16_t ReadHeader(OpenFile* entry) {
  uint64_t fileSize = 0;
  if (!EngineFileSize(entry->file, &fileSize)) return kStatusIoError;
  unsigned char firstBytes[kFirstReadSize];
  size_t firstCount = fileSize < kFirstReadSize ? static_cast<size_t>(fileSize) : kFirstReadSize;
  if (!EngineFileReadAt(entry->file, 0, firstBytes, firstCount)) return kStatusIoError;
  uint32_t pageSize = 0;
  HeaderCheck check = CheckHeaderPrefix(firstBytes, firstCount, &pageSize);
  if (check != HeaderCheck::kValid) return StatusOfHeaderCheck(check);
  if (fileSize < pageSize) return kStatusNotDataFile;  // too short to hold its header
  if (!PageCacheReserve(&entry->cache, pageSize)) return kStatusIoError;
  const unsigned char* headerPage = firstBytes;
  if (pageSize > kFirstReadSize) {
    unsigned char* place = entry->cache.pages[0].bytes;  // empty until a page is kept there
    if (!EngineFileReadAt(entry->file, 0, place, pageSize)) return kStatusIoError;
    headerPage = place;
  }
  return StatusOfHeaderCheck(DecodeHeader(headerPage, pageSize, fileSize, &entry->header));
}

uint16_t OpenOperation(void* positionBlock, uint32_t* dataLength, const void* keyBuffer,
                       uint8_t keyLength, int8_t keyNumber) {
  SetLength(dataLength, 0);
  char name[kMaxFileNameLength + 1];
  if (!CopyFileName(keyBuffer, keyLength, name)) return kStatusInvalidFileName;
  if (keyNumber != kOpenModeNormal && keyNumber != kOpenModeReadOnly) {
    return kStatusInvalidKeyNumber;
  }
  if (positionBlock == nullptr) return kStatusFileNotOpen;
  OpenFile* entry = FindFreeOpenFile();
  if (entry == nullptr) return kStatusFileTableFull;
  FileOpenStatus opened = EngineFileOpen(name, &entry->file);
  if (opened != FileOpenStatus::kOpened) return StatusOfOpenFailure(opened);
  uint16_t status = ReadHeader(entry);
  if (status != kStatusSuccess) {
    EngineFileClose(entry->file);
    return status;
  }
  entry->inUse = true;
  entry->lowestKeyKnown = false;
  StoreHandle(entry, positionBlock);
  return kStatusSuccess;
}

uint16_t CloseOperation(void* positionBlock, uint32_t* dataLength) {
  SetLength(dataLength, 0);
  OpenFile* entry = FindOpenFile(positionBlock);
  if (entry == nullptr) return kStatusFileNotOpen;
  CloseOpenFile(entry);
  return kStatusSuccess;
}

// The page from the cache, or read in and checked. Null when it cannot be read or fails a
// check (the page is then not kept).
const CachedPage* LoadPage(OpenFile* entry, uint64_t pageNumber, uint16_t type, uint16_t level) {
  CachedPage* page = PageCacheFind(&entry->cache, pageNumber);
  if (page != nullptr) {
    return page->header.type == type && page->header.level == level ? page : nullptr;
  }
  if (pageNumber == 0 || pageNumber >= entry->header.pageCount) return nullptr;
  page = PageCacheVictim(&entry->cache);
  uint32_t pageSize = entry->header.pageSize;
  PageHeader header{};
  if (!EngineFileReadAt(entry->file, pageNumber * pageSize, page->bytes, pageSize) ||
      !DecodePage(page->bytes, entry->header, pageNumber, type, level, &header)) {
    return nullptr;
  }
  PageCacheKeep(&entry->cache, page, pageNumber, header);
  return page;
}

uint16_t CopyRecord(const OpenFile* entry, const unsigned char* record, void* dataBuffer,
                    uint32_t* dataLength) {
  uint32_t recordLength = entry->header.recordLength;
  if (dataBuffer == nullptr || dataLength == nullptr || *dataLength < recordLength) {
    SetLength(dataLength, 0);
    return kStatusDataBufferTooShort;
  }
  memcpy(dataBuffer, record, recordLength);
  *dataLength = recordLength;
  return kStatusSuccess;
}

uint16_t StepOperation(void* positionBlock, void* dataBuffer, uint32_t* dataLength, bool last) {
  OpenFile* entry = FindOpenFile(positionBlock);
  uint16_t status = kStatusSuccess;
  if (entry == nullptr) {
    status = kStatusFileNotOpen;
  } else if (entry->header.recordCount == 0) {
    status = kStatusEndOfFile;
  }
  if (status != kStatusSuccess) {
    SetLength(dataLength, 0);
    return status;
  }
  uint64_t pageNumber = last ? entry->header.lastDataPage : entry->header.firstDataPage;
  const CachedPage* page = LoadPage(entry, pageNumber, kPageTypeData, 0);
  if (page == nullptr) {
    SetLength(dataLength, 0);
    return kStatusIoError;
  }
  uint32_t slot = last ? page->header.entryCount - 1 : 0;
  return CopyRecord(entry, DataRecordAt(page->bytes, entry->header, slot), dataBuffer, dataLength);
}

// Walks the index from its root down its first entries to the record with the lowest key,
// checking each level, and the key in the record against the index's.
uint16_t FindLowestKey(OpenFile* entry) {
  const FileHeader& header = entry->header;
  uint64_t pageNumber = header.indexRoot;
  for (uint32_t level = header.indexDepth; level-- > 0;) {
    const CachedPage* page =
        LoadPage(entry, pageNumber, kPageTypeIndex, static_cast<uint16_t>(level));
    if (page == nullptr) return kStatusIoError;
    IndexEntry first = IndexEntryAt(page->bytes, header, 0);
    if (level > 0) {
      pageNumber = first.page;
      continue;
    }
    unsigned char key[kMaxKeyLength];
    memcpy(key, first.key, header.keyLength);
    const CachedPage* data = LoadPage(entry, first.page, kPageTypeData, 0);
    if (data == nullptr || first.slot >= data->header.entryCount) return kStatusIoError;
    const unsigned char* record = DataRecordAt(data->bytes, header, first.slot);
    if (memcmp(record + header.keyOffset, key, header.keyLength) != 0) return kStatusIoError;
    entry->lowestKeyKnown = true;
    entry->lowestKeyPage = first.page;
    entry->lowestKeySlot = first.slot;
  }
  return entry->lowestKeyKnown ? kStatusSuccess : kStatusIoError;
}

// Keys are a few bytes long. For them a call of the C library's memcpy, with its length known
// only at run time, cost as much again as the whole rest of a Get First; words of fixed size
// and a short byte tail compile to plain moves.
void CopyKey(unsigned char* to, const unsigned char* from, uint32_t length) {
  uint32_t at = 0;
  for (; at + sizeof(uint64_t) <= length; at += sizeof(uint64_t)) {
    memcpy(to + at, from + at, sizeof(uint64_t));
  }
  for (; at < length; ++at) to[at] = from[at];
}

uint16_t GetFirstOperation(void* positionBlock, void* dataBuffer, uint32_t* dataLength,
                           void* keyBuffer, uint8_t keyLength, int8_t keyNumber) {
  OpenFile* entry = FindOpenFile(positionBlock);
  uint16_t status = kStatusSuccess;
  if (entry == nullptr) {
    status = kStatusFileNotOpen;
  } else if (keyNumber != 0) {
    status = kStatusInvalidKeyNumber;
  } else if (entry->header.recordCount == 0) {
    status = kStatusEndOfFile;
  } else if (!entry->lowestKeyKnown) {
    status = FindLowestKey(entry);
  }
  const CachedPage* page = nullptr;
  if (status == kStatusSuccess) {
    page = LoadPage(entry, entry->lowestKeyPage, kPageTypeData, 0);
    if (page == nullptr || entry->lowestKeySlot >= page->header.entryCount) status = kStatusIoError;
  }
  if (status != kStatusSuccess) {
    SetLength(dataLength, 0);
    return status;
  }
  const FileHeader& header = entry->header;
  const unsigned char* record = DataRecordAt(page->bytes, header, entry->lowestKeySlot);
  status = CopyRecord(entry, record, dataBuffer, dataLength);
  if (status == kStatusSuccess && keyBuffer != nullptr && header.keyLength <= keyLength) {
    CopyKey(static_cast<unsigned char*>(keyBuffer), record + header.keyOffset, header.keyLength);
  }
  return status;
}

}  // namespace

extern "C" uint16_t STANDIN_CALL StandInEngineCall(uint16_t operation, void* positionBlock,
                                                   void* dataBuffer, uint32_t* dataLength,
                                                   void* keyBuffer, uint8_t keyLength,
                                                   int8_t keyNumber) {
  switch (operation) {
    case kOperationOpen:
      return OpenOperation(positionBlock, dataLength, keyBuffer, keyLength, keyNumber);
    case kOperationClose:
      return CloseOperation(positionBlock, dataLength);
    case kOperationGetFirst:
      return GetFirstOperation(positionBlock, dataBuffer, dataLength, keyBuffer, keyLength,
                               keyNumber);
    case kOperationReset:
      CloseAllOpenFiles();
      return kStatusSuccess;
    case kOperationStepFirst:
      return StepOperation(positionBlock, dataBuffer, dataLength, false);
    case kOperationStepLast:
      return StepOperation(positionBlock, dataBuffer, dataLength, true);
    default:
      return kStatusInvalidOperation;
  }
}

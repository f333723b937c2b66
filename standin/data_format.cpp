#include "standin/data_format.h"

#include <cstring>

namespace {

// Slicing-by-8: entries[0] is the classic byte-at-a-time table; entries[k][b] is the CRC of
// byte b followed by k zero bytes, so that eight bytes fold into the CRC with eight lookups
// in place of eight dependent steps. Every Open checksums the whole header page, so this is
// most of the work of opening a file. Built by the compiler: no start-up cost, no order of
// initialisation to get wrong.
constexpr uint32_t kCrc32Polynomial = 0xEDB88320u;

struct Crc32Tables {
  uint32_t entries[8][256];
};

constexpr Crc32Tables MakeCrc32Tables() {
  Crc32Tables tables{};
  for (uint32_t byte = 0; byte < 256; ++byte) {
    uint32_t value = byte;
    for (int bit = 0; bit < 8; ++bit) {
      value = (value & 1) ? (value >> 1) ^ kCrc32Polynomial : value >> 1;
    }
    tables.entries[0][byte] = value;
  }
  for (int slice = 1; slice < 8; ++slice) {
    for (uint32_t byte = 0; byte < 256; ++byte) {
      uint32_t previous = tables.entries[slice - 1][byte];
      tables.entries[slice][byte] = (previous >> 8) ^ tables.entries[0][previous & 0xFF];
    }
  }
  return tables;
}

constexpr Crc32Tables kCrc32Tables = MakeCrc32Tables();

bool IsValidPageSize(uint32_t pageSize) {
  return pageSize >= kMinPageSize && pageSize <= kMaxPageSize && (pageSize & (pageSize - 1)) == 0;
}

bool ChecksumMatches(const unsigned char* page, uint32_t pageSize) {
  return Crc32(page, pageSize - kPageChecksumSize) == LoadU32(page + pageSize - kPageChecksumSize);
}

bool IsPageReference(uint64_t page, uint64_t pageCount) {
  return page >= 1 && page < pageCount;
}

bool HasValidShape(const FileHeader& h) {
  if (h.recordLength < 1 || h.recordLength > kMaxRecordLength) return false;
  if (RecordsPerDataPage(h.pageSize, h.recordLength) < 1) return false;
  if (h.keyLength < 1 || h.keyLength > kMaxKeyLength) return false;
  if (uint64_t{h.keyOffset} + h.keyLength > h.recordLength) return false;
  return EntriesPerIndexPage(h.pageSize, h.keyLength) >= 2;
}

bool HasValidPlacement(const FileHeader& h, uint64_t fileSize) {
  if (h.pageCount < 1 || fileSize % h.pageSize != 0 || fileSize / h.pageSize != h.pageCount) {
    return false;
  }
  if (h.recordCount == 0) {
    return h.indexDepth == 0 && h.firstDataPage == 0 && h.lastDataPage == 0 && h.indexRoot == 0;
  }
  if (h.indexDepth < 1 || h.indexDepth > kMaxIndexDepth) return false;
  if (!IsPageReference(h.firstDataPage, h.pageCount) ||
      !IsPageReference(h.lastDataPage, h.pageCount) || !IsPageReference(h.indexRoot, h.pageCount)) {
    return false;
  }
  // Every record needs a place on one of the pages after the header.
  uint64_t perPage = RecordsPerDataPage(h.pageSize, h.recordLength);
  return (h.recordCount - 1) / perPage < h.pageCount - 1;
}

}  // namespace

uint32_t Crc32(const void* bytes, size_t count) {
  const auto* at = static_cast<const unsigned char*>(bytes);
  const auto& t = kCrc32Tables.entries;
  uint32_t crc = 0xFFFFFFFFu;
  // The words are assembled from bytes, so neither the host's byte order nor the alignment
  // of `bytes` matters.
  for (; count >= 8; at += 8, count -= 8) {
    uint32_t low = LoadU32(at) ^ crc;
    uint32_t high = LoadU32(at + 4);
    crc = t[7][low & 0xFF] ^ t[6][(low >> 8) & 0xFF] ^ t[5][(low >> 16) & 0xFF] ^ t[4][low >> 24] ^
          t[3][high & 0xFF] ^ t[2][(high >> 8) & 0xFF] ^ t[1][(high >> 16) & 0xFF] ^
          t[0][high >> 24];
  }
  for (; count > 0; ++at, --count) crc = t[0][(crc ^ *at) & 0xFF] ^ (crc >> 8);
  return crc ^ 0xFFFFFFFFu;
}

void StoreU16(unsigned char* at, uint16_t value) {
  at[0] = static_cast<unsigned char>(value);
  at[1] = static_cast<unsigned char>(value >> 8);
}

void StoreU32(unsigned char* at, uint32_t value) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<unsigned char>(value >> (8 * i));
}

void StoreU64(unsigned char* at, uint64_t value) {
  for (int i = 0; i < 8; ++i) at[i] = static_cast<unsigned char>(value >> (8 * i));
}

uint32_t RecordsPerDataPage(uint32_t pageSize, uint32_t recordLength) {
  if (recordLength == 0 || pageSize < kPageHeaderSize + kPageChecksumSize) return 0;
  return static_cast<uint32_t>((pageSize - kPageHeaderSize - kPageChecksumSize) / recordLength);
}

size_t IndexEntrySize(uint32_t keyLength) {
  return keyLength + kIndexEntryTrailerSize;
}

uint32_t EntriesPerIndexPage(uint32_t pageSize, uint32_t keyLength) {
  if (pageSize < kPageHeaderSize + kPageChecksumSize) return 0;
  return static_cast<uint32_t>((pageSize - kPageHeaderSize - kPageChecksumSize) /
                               IndexEntrySize(keyLength));
}

HeaderCheck CheckHeaderPrefix(const unsigned char* prefix, size_t available, uint32_t* pageSize) {
  if (available < sizeof kFileMagic || memcmp(prefix, kFileMagic, sizeof kFileMagic) != 0) {
    return HeaderCheck::kNotDataFile;
  }
  if (available < kHeaderPrefixSize) return HeaderCheck::kNotDataFile;
  if (LoadU16(prefix + kHeaderVersionOffset) != kFormatVersion) {
    return HeaderCheck::kUnknownVersion;
  }
  *pageSize = LoadU32(prefix + kHeaderPageSizeOffset);
  return IsValidPageSize(*pageSize) ? HeaderCheck::kValid : HeaderCheck::kCorrupt;
}

HeaderCheck DecodeHeader(const unsigned char* page, uint32_t pageSize, uint64_t fileSize,
                         FileHeader* header) {
  uint32_t prefixPageSize = 0;
  HeaderCheck prefix = CheckHeaderPrefix(page, kHeaderPrefixSize, &prefixPageSize);
  if (prefix != HeaderCheck::kValid) return prefix;
  if (prefixPageSize != pageSize || !ChecksumMatches(page, pageSize)) return HeaderCheck::kCorrupt;
  FileHeader h{};
  h.version = LoadU16(page + kHeaderVersionOffset);
  h.pageSize = pageSize;
  h.recordLength = LoadU32(page + kHeaderRecordLengthOffset);
  h.keyOffset = LoadU32(page + kHeaderKeyOffsetOffset);
  h.keyLength = LoadU32(page + kHeaderKeyLengthOffset);
  h.indexDepth = LoadU32(page + kHeaderIndexDepthOffset);
  h.recordCount = LoadU64(page + kHeaderRecordCountOffset);
  h.pageCount = LoadU64(page + kHeaderPageCountOffset);
  h.firstDataPage = LoadU64(page + kHeaderFirstDataPageOffset);
  h.lastDataPage = LoadU64(page + kHeaderLastDataPageOffset);
  h.indexRoot = LoadU64(page + kHeaderIndexRootOffset);
  if (!HasValidShape(h) || !HasValidPlacement(h, fileSize)) return HeaderCheck::kCorrupt;
  *header = h;
  return HeaderCheck::kValid;
}

void EncodeHeader(const FileHeader& header, unsigned char* page) {
  memset(page, 0, header.pageSize);
  memcpy(page + kHeaderMagicOffset, kFileMagic, sizeof kFileMagic);
  StoreU16(page + kHeaderVersionOffset, header.version);
  StoreU32(page + kHeaderPageSizeOffset, header.pageSize);
  StoreU32(page + kHeaderRecordLengthOffset, header.recordLength);
  StoreU32(page + kHeaderKeyOffsetOffset, header.keyOffset);
  StoreU32(page + kHeaderKeyLengthOffset, header.keyLength);
  StoreU32(page + kHeaderIndexDepthOffset, header.indexDepth);
  StoreU64(page + kHeaderRecordCountOffset, header.recordCount);
  StoreU64(page + kHeaderPageCountOffset, header.pageCount);
  StoreU64(page + kHeaderFirstDataPageOffset, header.firstDataPage);
  StoreU64(page + kHeaderLastDataPageOffset, header.lastDataPage);
  StoreU64(page + kHeaderIndexRootOffset, header.indexRoot);
  SealPage(page, header.pageSize);
}

bool DecodePage(const unsigned char* page, const FileHeader& header, uint64_t pageNumber,
                uint16_t type, uint16_t level, PageHeader* pageHeader) {
  if (!ChecksumMatches(page, header.pageSize)) return false;
  PageHeader p{};
  p.type = LoadU16(page + kPageTypeOffset);
  p.level = LoadU16(page + kPageLevelOffset);
  p.entryCount = LoadU32(page + kPageEntryCountOffset);
  p.pageNumber = LoadU64(page + kPageNumberOffset);
  p.nextPage = LoadU64(page + kPageNextOffset);
  uint32_t capacity = type == kPageTypeData
                          ? RecordsPerDataPage(header.pageSize, header.recordLength)
                          : EntriesPerIndexPage(header.pageSize, header.keyLength);
  if (p.type != type || p.level != level || p.pageNumber != pageNumber) return false;
  if (p.entryCount < 1 || p.entryCount > capacity) return false;
  if (p.nextPage != 0 &&
      (p.nextPage == pageNumber || !IsPageReference(p.nextPage, header.pageCount))) {
    return false;
  }
  *pageHeader = p;
  return true;
}

void EncodePageHeader(const PageHeader& pageHeader, unsigned char* page) {
  StoreU16(page + kPageTypeOffset, pageHeader.type);
  StoreU16(page + kPageLevelOffset, pageHeader.level);
  StoreU32(page + kPageEntryCountOffset, pageHeader.entryCount);
  StoreU64(page + kPageNumberOffset, pageHeader.pageNumber);
  StoreU64(page + kPageNextOffset, pageHeader.nextPage);
}

void SealPage(unsigned char* page, uint32_t pageSize) {
  StoreU32(page + pageSize - kPageChecksumSize, Crc32(page, pageSize - kPageChecksumSize));
}

unsigned char* IndexEntrySlotAt(unsigned char* page, uint32_t keyLength, uint32_t entry) {
  return page + kPageHeaderSize + entry * IndexEntrySize(keyLength);
}

IndexEntry IndexEntryAt(const unsigned char* page, const FileHeader& header, uint32_t entry) {
  const unsigned char* at = page + kPageHeaderSize + entry * IndexEntrySize(header.keyLength);
  IndexEntry e{};
  e.key = at;
  e.page = LoadU64(at + header.keyLength);
  e.slot = LoadU32(at + header.keyLength + 8);
  return e;
}

// The data file layout, shared by the engine (which reads it) and zorbinel-mkfile (which
// writes it), so that the two cannot drift apart. docs/FILE_FORMAT.md describes it in full.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr unsigned char kFileMagic[8] = {'Z', 'O', 'R', 'B', 'I', 'S', 'A', 'M'};
constexpr uint16_t kFormatVersion = 1;

constexpr uint32_t kMinPageSize = 512;
constexpr uint32_t kMaxPageSize = 65536;
// The largest record the benchmark can receive: it offers 65000 bytes on every read.
constexpr uint32_t kMaxRecordLength = 65000;
constexpr uint32_t kMaxKeyLength = 255;  // the entry point's key length is 8 bits wide
constexpr uint32_t kMaxIndexDepth = 32;

// Header page (page 0) field offsets.
constexpr size_t kHeaderMagicOffset = 0;
constexpr size_t kHeaderVersionOffset = 8;
constexpr size_t kHeaderPageSizeOffset = 12;
constexpr size_t kHeaderRecordLengthOffset = 16;
constexpr size_t kHeaderKeyOffsetOffset = 20;
constexpr size_t kHeaderKeyLengthOffset = 24;
constexpr size_t kHeaderIndexDepthOffset = 28;
constexpr size_t kHeaderRecordCountOffset = 32;
constexpr size_t kHeaderPageCountOffset = 40;
constexpr size_t kHeaderFirstDataPageOffset = 48;
constexpr size_t kHeaderLastDataPageOffset = 56;
constexpr size_t kHeaderIndexRootOffset = 64;
// Enough of the header to know the page size: magic, version and page size.
constexpr size_t kHeaderPrefixSize = 16;

// Data and index pages start with this header; every page ends with its checksum.
constexpr size_t kPageTypeOffset = 0;
constexpr size_t kPageLevelOffset = 2;
constexpr size_t kPageEntryCountOffset = 4;
constexpr size_t kPageNumberOffset = 8;
constexpr size_t kPageNextOffset = 16;
constexpr size_t kPageHeaderSize = 24;
constexpr size_t kPageChecksumSize = 4;

constexpr uint16_t kPageTypeData = 1;
constexpr uint16_t kPageTypeIndex = 2;

// An index entry: the key, then the page it leads to and (on the leaf level) the record's
// slot within that data page.
constexpr size_t kIndexEntryTrailerSize = 12;

struct FileHeader {
  uint16_t version;
  uint32_t pageSize;
  uint32_t recordLength;
  uint32_t keyOffset;
  uint32_t keyLength;
  uint32_t indexDepth;
  uint64_t recordCount;
  uint64_t pageCount;
  uint64_t firstDataPage;
  uint64_t lastDataPage;
  uint64_t indexRoot;
};

struct PageHeader {
  uint16_t type;
  uint16_t level;
  uint32_t entryCount;
  uint64_t pageNumber;
  uint64_t nextPage;
};

struct IndexEntry {
  const unsigned char* key;
  uint64_t page;
  uint32_t slot;
};

enum class HeaderCheck {
  kValid,
  kNotDataFile,     // too short to hold a header, or the wrong magic
  kUnknownVersion,  // our magic, a format version this build does not read
  kCorrupt,         // fails its checksum or a bounds check
};

// CRC-32 (reflected polynomial 0xEDB88320, initial value and final xor 0xFFFFFFFF).
uint32_t Crc32(const void* bytes, size_t count);

// Little-endian loads from bytes at any alignment. Inline: the engine checks a position
// block's fields with them on every call. The compilers fold each into one load.
inline uint16_t LoadU16(const unsigned char* at) {
  return static_cast<uint16_t>(at[0] | (at[1] << 8));
}

inline uint32_t LoadU32(const unsigned char* at) {
  return uint32_t{at[0]} | (uint32_t{at[1]} << 8) | (uint32_t{at[2]} << 16) |
         (uint32_t{at[3]} << 24);
}

inline uint64_t LoadU64(const unsigned char* at) {
  return uint64_t{LoadU32(at)} | (uint64_t{LoadU32(at + 4)} << 32);
}

void StoreU16(unsigned char* at, uint16_t value);
void StoreU32(unsigned char* at, uint32_t value);
void StoreU64(unsigned char* at, uint64_t value);

// Records that fit a data page, and index entries that fit an index page.
uint32_t RecordsPerDataPage(uint32_t pageSize, uint32_t recordLength);
uint32_t EntriesPerIndexPage(uint32_t pageSize, uint32_t keyLength);
size_t IndexEntrySize(uint32_t keyLength);

// Looks at the first kHeaderPrefixSize bytes (or fewer, `available`): magic, version, and
// the page size (not yet checked). kValid means "read the whole header page next".
HeaderCheck CheckHeaderPrefix(const unsigned char* prefix, size_t available, uint32_t* pageSize);

// Decodes and checks a whole header page against the file's size in bytes.
HeaderCheck DecodeHeader(const unsigned char* page, uint32_t pageSize, uint64_t fileSize,
                         FileHeader* header);
// Fills a header page (zeros, fields, checksum).
void EncodeHeader(const FileHeader& header, unsigned char* page);

// Checks a data or index page read from `pageNumber`: checksum, type, level, own page
// number, entry count and next-page bounds. false when any fails.
bool DecodePage(const unsigned char* page, const FileHeader& header, uint64_t pageNumber,
                uint16_t type, uint16_t level, PageHeader* pageHeader);
// Writes a page header at the start of `page`; SealPage then stores its checksum.
void EncodePageHeader(const PageHeader& pageHeader, unsigned char* page);
void SealPage(unsigned char* page, uint32_t pageSize);

inline const unsigned char* DataRecordAt(const unsigned char* page, const FileHeader& header,
                                         uint32_t slot) {
  return page + kPageHeaderSize + size_t{slot} * header.recordLength;
}
IndexEntry IndexEntryAt(const unsigned char* page, const FileHeader& header, uint32_t entry);
unsigned char* IndexEntrySlotAt(unsigned char* page, uint32_t keyLength, uint32_t entry);

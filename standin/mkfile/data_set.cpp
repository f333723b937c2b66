#include "standin/mkfile/data_set.h"

#include <cstring>

namespace {

constexpr uint64_t kMinToolPageSize = 4096;
constexpr int kShuffleRounds = 4;

uint64_t Mix(uint64_t value) {
  value += 0x9E3779B97F4A7C15ull;
  value = (value ^ (value >> 30)) * 0xBF58476D1CE4E5B9ull;
  value = (value ^ (value >> 27)) * 0x94D049BB133111EBull;
  return value ^ (value >> 31);
}

uint64_t RoundValue(const DataSet& set, int round, uint64_t half) {
  return Mix(set.shape.seed ^ Mix(half * 4 + static_cast<uint64_t>(round)));
}

// A Feistel network: a bijection on [0, 2^(2 * halfBits)).
uint64_t Shuffle(const DataSet& set, uint64_t value) {
  uint32_t bits = set.permutationHalfBits;
  uint64_t mask = (uint64_t{1} << bits) - 1;
  uint64_t left = value >> bits;
  uint64_t right = value & mask;
  for (int round = 0; round < kShuffleRounds; ++round) {
    uint64_t next = left ^ (RoundValue(set, round, right) & mask);
    left = right;
    right = next;
  }
  return (left << bits) | right;
}

uint64_t Unshuffle(const DataSet& set, uint64_t value) {
  uint32_t bits = set.permutationHalfBits;
  uint64_t mask = (uint64_t{1} << bits) - 1;
  uint64_t left = value >> bits;
  uint64_t right = value & mask;
  for (int round = kShuffleRounds - 1; round >= 0; --round) {
    uint64_t previous = right ^ (RoundValue(set, round, left) & mask);
    right = left;
    left = previous;
  }
  return (left << bits) | right;
}

// Walking the cycle until the value falls inside [0, records) keeps it a bijection there.
uint64_t Permute(const DataSet& set, uint64_t value) {
  do value = Shuffle(set, value);
  while (value >= set.shape.records);
  return value;
}

uint64_t Unpermute(const DataSet& set, uint64_t value) {
  do value = Unshuffle(set, value);
  while (value >= set.shape.records);
  return value;
}

uint64_t KeyValueOfRank(const DataSet& set, uint64_t rank) {
  uint64_t jitter = Mix(set.shape.seed ^ Mix(rank ^ 0x6B65795F76616C75ull)) % set.keyGap;
  return rank * set.keyGap + jitter;
}

void FillLetters(uint64_t stream, unsigned char* bytes, size_t count) {
  for (size_t i = 0; i < count; i += 8) {
    uint64_t value = Mix(stream + i);
    for (size_t j = i; j < count && j < i + 8; ++j) {
      bytes[j] = static_cast<unsigned char>('a' + (value & 0xFF) % 26);
      value >>= 8;
    }
  }
}

void BuildDataPage(const DataSet& set, const FileLayout& layout, uint64_t pageNumber,
                   unsigned char* page) {
  uint64_t firstPosition = (pageNumber - 1) * layout.recordsPerDataPage;
  uint64_t remaining = set.shape.records - firstPosition;
  auto count = static_cast<uint32_t>(
      remaining < layout.recordsPerDataPage ? remaining : layout.recordsPerDataPage);
  PageHeader header{kPageTypeData, 0, count, pageNumber,
                    pageNumber < layout.dataPages ? pageNumber + 1 : 0};
  EncodePageHeader(header, page);
  for (uint32_t slot = 0; slot < count; ++slot) {
    FillRecord(set, firstPosition + slot,
               page + kPageHeaderSize + size_t{slot} * set.shape.recordLength);
  }
}

void BuildIndexPage(const DataSet& set, const FileLayout& layout, uint32_t level,
                    uint64_t pageNumber, unsigned char* page) {
  uint64_t indexInLevel = pageNumber - layout.levelFirstPage[level];
  uint64_t children = level == 0 ? set.shape.records : layout.levelPages[level - 1];
  uint64_t firstChild = indexInLevel * layout.entriesPerIndexPage;
  uint64_t remaining = children - firstChild;
  auto count = static_cast<uint32_t>(
      remaining < layout.entriesPerIndexPage ? remaining : layout.entriesPerIndexPage);
  uint64_t next = indexInLevel + 1 < layout.levelPages[level] ? pageNumber + 1 : 0;
  PageHeader header{kPageTypeIndex, static_cast<uint16_t>(level), count, pageNumber, next};
  EncodePageHeader(header, page);
  uint32_t keyLength = set.shape.keyLength;
  for (uint32_t entry = 0; entry < count; ++entry) {
    uint64_t child = firstChild + entry;
    unsigned char* at = IndexEntrySlotAt(page, keyLength, entry);
    if (level == 0) {
      uint64_t position = PositionOfRank(set, child);
      FillKey(set, child, at);
      StoreU64(at + keyLength, 1 + position / layout.recordsPerDataPage);
      StoreU32(at + keyLength + 8, static_cast<uint32_t>(position % layout.recordsPerDataPage));
    } else {
      FillKey(set, child * layout.levelSpan[level - 1], at);
      StoreU64(at + keyLength, layout.levelFirstPage[level - 1] + child);
      StoreU32(at + keyLength + 8, 0);
    }
  }
}

}  // namespace

ShapeCheck CheckShape(const DataSetShape& shape) {
  if (shape.recordLength < 1 || shape.recordLength > kMaxRecordLength) {
    return ShapeCheck::kBadRecordLength;
  }
  if (shape.keyLength < 1 || shape.keyLength > kMaxKeyLength) return ShapeCheck::kBadKeyLength;
  if (uint64_t{shape.keyOffset} + shape.keyLength > shape.recordLength) {
    return ShapeCheck::kKeyOutsideRecord;
  }
  if (shape.records > kMaxRecords) return ShapeCheck::kTooManyRecords;
  // Short keys have room for only so many distinct values.
  if (shape.keyLength < 8 && shape.records > (uint64_t{1} << (8 * shape.keyLength))) {
    return ShapeCheck::kTooManyRecords;
  }
  return ShapeCheck::kValid;
}

DataSet PrepareDataSet(const DataSetShape& shape) {
  DataSet set{};
  set.shape = shape;
  uint32_t bits = 2;
  while (bits < 64 && (uint64_t{1} << bits) < shape.records) ++bits;
  set.permutationHalfBits = (bits + 1) / 2;
  if (shape.records == 0) return set;
  uint64_t keySpaceTop = shape.keyLength >= 8 ? UINT64_MAX : (uint64_t{1} << (8 * shape.keyLength));
  set.keyGap = keySpaceTop / shape.records;
  set.rankShift = shape.records >= 2 && Permute(set, 0) == 0 ? 1 : 0;
  return set;
}

FileLayout PlanLayout(const DataSetShape& shape) {
  FileLayout layout{};
  uint64_t pageSize = kMinToolPageSize;
  while (RecordsPerDataPage(static_cast<uint32_t>(pageSize), shape.recordLength) < 1) {
    pageSize *= 2;
  }
  layout.pageSize = static_cast<uint32_t>(pageSize);
  layout.recordsPerDataPage = RecordsPerDataPage(layout.pageSize, shape.recordLength);
  layout.entriesPerIndexPage = EntriesPerIndexPage(layout.pageSize, shape.keyLength);
  layout.dataPages = (shape.records + layout.recordsPerDataPage - 1) / layout.recordsPerDataPage;
  uint64_t nextPage = 1 + layout.dataPages;
  uint64_t below = shape.records;
  uint64_t span = layout.entriesPerIndexPage;
  while (below > 0) {
    uint32_t level = layout.indexDepth++;
    layout.levelPages[level] =
        (below + layout.entriesPerIndexPage - 1) / layout.entriesPerIndexPage;
    layout.levelFirstPage[level] = nextPage;
    layout.levelSpan[level] = span;
    nextPage += layout.levelPages[level];
    if (layout.levelPages[level] == 1) break;
    below = layout.levelPages[level];
    span *= layout.entriesPerIndexPage;
  }
  layout.pageCount = nextPage;
  return layout;
}

uint64_t RankAtPosition(const DataSet& set, uint64_t position) {
  return (Permute(set, position) + set.rankShift) % set.shape.records;
}

uint64_t PositionOfRank(const DataSet& set, uint64_t rank) {
  uint64_t records = set.shape.records;
  return Unpermute(set, (rank + records - set.rankShift) % records);
}

void FillKey(const DataSet& set, uint64_t rank, unsigned char* key) {
  uint64_t value = KeyValueOfRank(set, rank);
  uint32_t length = set.shape.keyLength;
  uint32_t valueBytes = length < 8 ? length : 8;
  // Big-endian, so that comparing bytes as unsigned compares the values.
  for (uint32_t i = 0; i < valueBytes; ++i) {
    key[i] = static_cast<unsigned char>(value >> (8 * (valueBytes - 1 - i)));
  }
  if (length > 8) FillLetters(Mix(set.shape.seed ^ rank) ^ 0x4B4559ull, key + 8, length - 8);
}

void FillRecord(const DataSet& set, uint64_t position, unsigned char* record) {
  FillLetters(Mix(set.shape.seed ^ Mix(position)), record, set.shape.recordLength);
  FillKey(set, RankAtPosition(set, position), record + set.shape.keyOffset);
}

FileHeader HeaderOf(const DataSet& set, const FileLayout& layout) {
  FileHeader header{};
  header.version = kFormatVersion;
  header.pageSize = layout.pageSize;
  header.recordLength = set.shape.recordLength;
  header.keyOffset = set.shape.keyOffset;
  header.keyLength = set.shape.keyLength;
  header.indexDepth = layout.indexDepth;
  header.recordCount = set.shape.records;
  header.pageCount = layout.pageCount;
  if (set.shape.records > 0) {
    header.firstDataPage = 1;
    header.lastDataPage = layout.dataPages;
    header.indexRoot = layout.pageCount - 1;
  }
  return header;
}

void BuildPage(const DataSet& set, const FileLayout& layout, uint64_t pageNumber,
               unsigned char* page) {
  if (pageNumber == 0) {
    EncodeHeader(HeaderOf(set, layout), page);
    return;
  }
  memset(page, 0, layout.pageSize);
  if (pageNumber <= layout.dataPages) {
    BuildDataPage(set, layout, pageNumber, page);
  } else {
    uint32_t level = 0;
    while (pageNumber >= layout.levelFirstPage[level] + layout.levelPages[level]) ++level;
    BuildIndexPage(set, layout, level, pageNumber, page);
  }
  SealPage(page, layout.pageSize);
}

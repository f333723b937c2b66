// What zorbinel-mkfile writes: distinct keys stored in a shuffled order, and where each page
// of the file goes. Everything is computed from the record's number, so writing a file of any
// size needs memory for one page only.
#pragma once

#include <cstdint>

#include "standin/data_format.h"

// Keeps every page number and byte offset far from overflowing 64 bits.
constexpr uint64_t kMaxRecords = uint64_t{1} << 40;

struct DataSetShape {
  uint64_t records;
  uint32_t recordLength;
  uint32_t keyOffset;
  uint32_t keyLength;
  uint64_t seed;
};

struct DataSet {
  DataSetShape shape;
  uint32_t permutationHalfBits;  // the shuffle works on 2 * this many bits
  uint64_t rankShift;            // keeps the lowest key off the first physical place
  uint64_t keyGap;               // distance between neighbouring keys' ranges
};

struct FileLayout {
  uint32_t pageSize;
  uint32_t recordsPerDataPage;
  uint32_t entriesPerIndexPage;
  uint64_t dataPages;
  uint32_t indexDepth;
  uint64_t levelPages[kMaxIndexDepth];      // index pages on each level, leaf level first
  uint64_t levelFirstPage[kMaxIndexDepth];  // page number of each level's first page
  uint64_t levelSpan[kMaxIndexDepth];       // records below one full page of each level
  uint64_t pageCount;
};

enum class ShapeCheck {
  kValid,
  kBadRecordLength,
  kBadKeyLength,
  kKeyOutsideRecord,
  kTooManyRecords
};

ShapeCheck CheckShape(const DataSetShape& shape);

// Both need a shape that CheckShape accepts.
DataSet PrepareDataSet(const DataSetShape& shape);
FileLayout PlanLayout(const DataSetShape& shape);

// Rank = place in key order (0 is the lowest key); position = place in physical order.
uint64_t RankAtPosition(const DataSet& set, uint64_t position);
uint64_t PositionOfRank(const DataSet& set, uint64_t rank);

void FillKey(const DataSet& set, uint64_t rank, unsigned char* key);
void FillRecord(const DataSet& set, uint64_t position, unsigned char* record);

FileHeader HeaderOf(const DataSet& set, const FileLayout& layout);

// Fills page `pageNumber` of the file (header, data or index page), checksum included.
void BuildPage(const DataSet& set, const FileLayout& layout, uint64_t pageNumber,
               unsigned char* page);

// The records of a zorbinel data file, read straight from the file so that a peer engine can
// be loaded with exactly the same records.
#pragma once

#include <cstddef>

struct DataFileRecords {
  unsigned char* bytes;  // every record, back to back, in the file's physical order
  size_t* keyOrder;      // record numbers sorted by key 0
  size_t count;
  size_t recordLength;
  size_t keyOffset;  // key 0 within a record
  size_t keyLength;
};

// Reads every record of `path`. Returns false after writing why to standard error.
bool ReadDataFileRecords(const char* path, DataFileRecords* records);

// The i-th record in the order of key 0.
inline const unsigned char* RecordInKeyOrder(const DataFileRecords& records, size_t i) {
  return records.bytes + records.keyOrder[i] * records.recordLength;
}

void FreeDataFileRecords(DataFileRecords* records);

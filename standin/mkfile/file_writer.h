// Writes a data file page by page, so that the caller can show progress between steps.
#pragma once

#include <cstdint>
#include <cstdio>

#include "standin/mkfile/data_set.h"

struct DataFileWriter {
  DataSet set;
  FileLayout layout;
  uint64_t nextPage;
  unsigned char* page;
};

// The shape must pass CheckShape. false when the page buffer cannot be had.
bool StartDataFileWriter(DataFileWriter* writer, const DataSetShape& shape);

// Writes up to `count` more pages; false on a write error (errno tells why).
bool WriteNextPages(DataFileWriter* writer, FILE* file, uint64_t count);

bool DataFileWriterDone(const DataFileWriter& writer);

void FinishDataFileWriter(DataFileWriter* writer);

// Writes a whole file straight under `path` (no temporary name); for tests and benchmarks.
bool WriteDataFile(const char* path, const DataSetShape& shape);

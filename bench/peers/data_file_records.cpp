#include "bench/peers/data_file_records.h"

#include <cstdio>
#include <cstdlib>

bool ReadDataFileRecords(const char* path, DataFileRecords* records) {
  *records = DataFileRecords{};
  fprintf(stderr, "%s: reading data files is not done yet\n", path);
  return false;
}

void FreeDataFileRecords(DataFileRecords* records) {
  free(records->bytes);
  free(records->keyOrder);
  *records = DataFileRecords{};
}

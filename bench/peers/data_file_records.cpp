#include "bench/peers/data_file_records.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "standin/data_format.h"

namespace {

bool ReadAt(int fd, uint64_t offset, unsigned char* buffer, size_t count) {
  size_t done = 0;
  while (done < count) {
    ssize_t got = pread(fd, buffer + done, count - done, static_cast<off_t>(offset + done));
    if (got <= 0) return false;
    done += static_cast<size_t>(got);
  }
  return true;
}

bool ReadHeader(int fd, const char* path, FileHeader* header) {
  struct stat info {};
  unsigned char prefix[kHeaderPrefixSize];
  uint32_t pageSize = 0;
  if (fstat(fd, &info) != 0 || !ReadAt(fd, 0, prefix, sizeof prefix) ||
      CheckHeaderPrefix(prefix, sizeof prefix, &pageSize) != HeaderCheck::kValid) {
    fprintf(stderr, "%s: not a zorbinel data file\n", path);
    return false;
  }
  std::vector<unsigned char> page(pageSize);
  if (!ReadAt(fd, 0, page.data(), pageSize) ||
      DecodeHeader(page.data(), pageSize, static_cast<uint64_t>(info.st_size), header) !=
          HeaderCheck::kValid) {
    fprintf(stderr, "%s: the header page is damaged\n", path);
    return false;
  }
  return true;
}

// Follows the chain of data pages from the first to the last, copying out every record.
bool ReadRecords(int fd, const char* path, const FileHeader& header, unsigned char* bytes) {
  std::vector<unsigned char> page(header.pageSize);
  uint64_t stored = 0;
  uint64_t pageNumber = header.firstDataPage;
  for (uint64_t pagesSeen = 0; pageNumber != 0; ++pagesSeen) {
    PageHeader pageHeader{};
    if (pagesSeen >= header.pageCount ||
        !ReadAt(fd, pageNumber * header.pageSize, page.data(), header.pageSize) ||
        !DecodePage(page.data(), header, pageNumber, kPageTypeData, 0, &pageHeader) ||
        stored + pageHeader.entryCount > header.recordCount) {
      fprintf(stderr, "%s: data page %llu is damaged\n", path,
              static_cast<unsigned long long>(pageNumber));
      return false;
    }
    for (uint32_t slot = 0; slot < pageHeader.entryCount; ++slot) {
      memcpy(bytes + stored * header.recordLength, DataRecordAt(page.data(), header, slot),
             header.recordLength);
      ++stored;
    }
    pageNumber = pageNumber == header.lastDataPage ? 0 : pageHeader.nextPage;
  }
  if (stored != header.recordCount) {
    fprintf(stderr, "%s: %llu records found, the header says %llu\n", path,
            static_cast<unsigned long long>(stored),
            static_cast<unsigned long long>(header.recordCount));
    return false;
  }
  return true;
}

// Key 0 orders its keys as unsigned bytes, as LMDB's default comparison does.
void SortByKey(DataFileRecords* records) {
  for (size_t i = 0; i < records->count; ++i) records->keyOrder[i] = i;
  const DataFileRecords& r = *records;
  std::sort(r.keyOrder, r.keyOrder + r.count, [&r](size_t a, size_t b) {
    return memcmp(r.bytes + a * r.recordLength + r.keyOffset,
                  r.bytes + b * r.recordLength + r.keyOffset, r.keyLength) < 0;
  });
}

}  // namespace

bool ReadDataFileRecords(const char* path, DataFileRecords* records) {
  *records = DataFileRecords{};
  int fd = open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    perror(path);
    return false;
  }
  FileHeader header{};
  bool read = ReadHeader(fd, path, &header);
  if (read) {
    records->count = header.recordCount;
    records->recordLength = header.recordLength;
    records->keyOffset = header.keyOffset;
    records->keyLength = header.keyLength;
    records->bytes = static_cast<unsigned char*>(malloc(records->count * header.recordLength + 1));
    records->keyOrder = static_cast<size_t*>(malloc(records->count * sizeof(size_t) + 1));
    read = records->bytes != nullptr && records->keyOrder != nullptr &&
           ReadRecords(fd, path, header, records->bytes);
  }
  close(fd);
  if (!read) {
    FreeDataFileRecords(records);
    return false;
  }
  SortByKey(records);
  return true;
}

void FreeDataFileRecords(DataFileRecords* records) {
  free(records->bytes);
  free(records->keyOrder);
  *records = DataFileRecords{};
}

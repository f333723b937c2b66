// Helpers of the stand-in engine's tests: scratch folders, running zorbinel-mkfile, and a
// reader of data files written from docs/FILE_FORMAT.md alone, to check the engine against.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

using Bytes = std::vector<unsigned char>;

// A fresh folder under the system's temporary folder, removed with its contents on
// destruction.
struct ScratchDir {
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  std::string Path(const std::string& name) const { return path + "/" + name; }
  std::vector<std::string> Names() const;  // every entry, hidden ones included
  std::string path;
};

struct CommandResult {
  int exitStatus;  // 128 + the signal when the command was killed
  std::string out;
  std::string err;
};

// Runs a shell command line with standard input empty; output captured apart.
CommandResult RunShell(const std::string& commandLine);
// zorbinel-mkfile with its arguments (already quoted where needed).
CommandResult RunMkfile(const std::string& arguments);
std::string MkfilePath();

Bytes ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const Bytes& bytes);

uint64_t LittleEndian(const Bytes& bytes, size_t offset, int width);
void PutLittleEndian(Bytes* bytes, size_t offset, int width, uint64_t value);

// The file as its format describes it.
struct RawDataFile {
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
  std::vector<Bytes> records;  // physical order, following the data pages' next links
};

RawDataFile ReadRawDataFile(const Bytes& file);
Bytes KeyOf(const RawDataFile& file, const Bytes& record);
// The record whose key is the lowest, by a scan of every record.
Bytes LowestKeyRecord(const RawDataFile& file);

// Stores page `page`'s checksum again after a test changed its bytes.
void Reseal(Bytes* file, uint32_t pageSize, uint64_t page);

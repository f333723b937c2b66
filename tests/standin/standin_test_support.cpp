#include "tests/standin/standin_test_support.h"

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "standin/data_format.h"

namespace {

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

ScratchDir::ScratchDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "standin-test-XXXXXX").string();
  path = mkdtemp(pattern.data()) != nullptr ? pattern : std::string();
}

ScratchDir::~ScratchDir() {
  std::error_code ignored;
  std::filesystem::permissions(path, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::add, ignored);
  std::filesystem::remove_all(path, ignored);
}

std::vector<std::string> ScratchDir::Names() const {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(path)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

CommandResult RunShell(const std::string& commandLine) {
  ScratchDir capture;
  std::string out = capture.Path("out");
  std::string err = capture.Path("err");
  std::string full = "(" + commandLine + ") </dev/null >'" + out + "' 2>'" + err + "'";
  int raw = std::system(full.c_str());
  CommandResult result{};
  if (WIFEXITED(raw)) result.exitStatus = WEXITSTATUS(raw);
  if (WIFSIGNALED(raw)) result.exitStatus = 128 + WTERMSIG(raw);
  result.out = ReadText(out);
  result.err = ReadText(err);
  return result;
}

std::string MkfilePath() {
  return ZORBINEL_MKFILE_PATH;
}

CommandResult RunMkfile(const std::string& arguments) {
  return RunShell("'" + MkfilePath() + "' " + arguments);
}

Bytes ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

uint64_t LittleEndian(const Bytes& bytes, size_t offset, int width) {
  uint64_t value = 0;
  for (int i = width - 1; i >= 0; --i) value = (value << 8) | bytes.at(offset + i);
  return value;
}

void PutLittleEndian(Bytes* bytes, size_t offset, int width, uint64_t value) {
  for (int i = 0; i < width; ++i)
    bytes->at(offset + i) = static_cast<unsigned char>(value >> (8 * i));
}

RawDataFile ReadRawDataFile(const Bytes& file) {
  RawDataFile raw{};
  raw.pageSize = static_cast<uint32_t>(LittleEndian(file, 12, 4));
  raw.recordLength = static_cast<uint32_t>(LittleEndian(file, 16, 4));
  raw.keyOffset = static_cast<uint32_t>(LittleEndian(file, 20, 4));
  raw.keyLength = static_cast<uint32_t>(LittleEndian(file, 24, 4));
  raw.indexDepth = static_cast<uint32_t>(LittleEndian(file, 28, 4));
  raw.recordCount = LittleEndian(file, 32, 8);
  raw.pageCount = LittleEndian(file, 40, 8);
  raw.firstDataPage = LittleEndian(file, 48, 8);
  raw.lastDataPage = LittleEndian(file, 56, 8);
  raw.indexRoot = LittleEndian(file, 64, 8);
  for (uint64_t page = raw.firstDataPage; page != 0;) {
    size_t start = page * raw.pageSize;
    uint64_t count = LittleEndian(file, start + 4, 4);
    for (uint64_t slot = 0; slot < count; ++slot) {
      auto at = file.begin() + static_cast<long>(start + 24 + slot * raw.recordLength);
      raw.records.emplace_back(at, at + raw.recordLength);
    }
    page = LittleEndian(file, start + 16, 8);
  }
  return raw;
}

Bytes KeyOf(const RawDataFile& file, const Bytes& record) {
  return Bytes(record.begin() + file.keyOffset, record.begin() + file.keyOffset + file.keyLength);
}

Bytes LowestKeyRecord(const RawDataFile& file) {
  return *std::min_element(
      file.records.begin(), file.records.end(),
      [&](const Bytes& a, const Bytes& b) { return KeyOf(file, a) < KeyOf(file, b); });
}

void Reseal(Bytes* file, uint32_t pageSize, uint64_t page) {
  size_t start = page * pageSize;
  PutLittleEndian(file, start + pageSize - 4, 4, Crc32(file->data() + start, pageSize - 4));
}

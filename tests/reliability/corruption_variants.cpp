#include "tests/reliability/corruption_variants.h"

#include <cstdint>
#include <cstdio>

#include "standin/data_format.h"

namespace {

struct Field {
  const char* name;
  size_t offset;
  int width;  // bytes: 2, 4 or 8
};

const Field kHeaderFields[] = {
    {"version", kHeaderVersionOffset, 2},
    {"page size", kHeaderPageSizeOffset, 4},
    {"record length", kHeaderRecordLengthOffset, 4},
    {"key offset", kHeaderKeyOffsetOffset, 4},
    {"key length", kHeaderKeyLengthOffset, 4},
    {"index depth", kHeaderIndexDepthOffset, 4},
    {"record count", kHeaderRecordCountOffset, 8},
    {"page count", kHeaderPageCountOffset, 8},
    {"first data page", kHeaderFirstDataPageOffset, 8},
    {"last data page", kHeaderLastDataPageOffset, 8},
    {"index root", kHeaderIndexRootOffset, 8},
};
constexpr size_t kHeaderFieldsEnd = kHeaderIndexRootOffset + 8;

const Field kPageFields[] = {
    {"page type", kPageTypeOffset, 2},         {"page level", kPageLevelOffset, 2},
    {"entry count", kPageEntryCountOffset, 4}, {"page number", kPageNumberOffset, 8},
    {"next page", kPageNextOffset, 8},
};

// Bytes sampled in a page body, spread over it.
constexpr int kBodySamples = 16;

struct SoundFile {
  const std::string* bytes;
  FileHeader header;
};

const unsigned char* Bytes(const std::string& text) {
  return reinterpret_cast<const unsigned char*>(text.data());
}

unsigned char* Bytes(std::string* text) {
  return reinterpret_cast<unsigned char*>(&(*text)[0]);
}

bool ReadSoundFile(const std::string& original, SoundFile* file) {
  uint32_t pageSize = 0;
  if (CheckHeaderPrefix(Bytes(original), original.size(), &pageSize) != HeaderCheck::kValid ||
      original.size() < pageSize) {
    return false;
  }
  file->bytes = &original;
  return DecodeHeader(Bytes(original), pageSize, original.size(), &file->header) ==
             HeaderCheck::kValid &&
         file->header.recordCount > 0 && file->header.indexDepth > 0;
}

uint64_t LoadField(const unsigned char* at, int width) {
  if (width == 2) return LoadU16(at);
  if (width == 4) return LoadU32(at);
  return LoadU64(at);
}

void StoreField(unsigned char* at, int width, uint64_t value) {
  if (width == 2) {
    StoreU16(at, static_cast<uint16_t>(value));
  } else if (width == 4) {
    StoreU32(at, static_cast<uint32_t>(value));
  } else {
    StoreU64(at, value);
  }
}

// Values at the edges of what a field may hold and of what the file makes sensible.
std::vector<uint64_t> EdgeValues(uint64_t sound, int width, const FileHeader& header) {
  uint64_t largest = width == 8 ? UINT64_MAX : (uint64_t{1} << (8 * width)) - 1;
  return {0,
          1,
          sound - 1,
          sound + 1,
          largest,
          largest / 2 + 1,
          header.pageCount,
          header.pageSize,
          uint64_t{header.recordLength} + 1};
}

std::string Label(const char* what, const char* field, uint64_t page, uint64_t value) {
  char text[160];
  snprintf(text, sizeof text, "%s %s of page %llu = %llu", what, field,
           static_cast<unsigned long long>(page), static_cast<unsigned long long>(value));
  return text;
}

void AddFlip(const SoundFile& file, uint64_t page, size_t offset, unsigned char mask, bool reseal,
             std::vector<FileVariant>* variants) {
  FileVariant variant;
  variant.bytes = *file.bytes;
  size_t at = page * file.header.pageSize + offset;
  if (at >= variant.bytes.size()) return;
  variant.bytes[at] = static_cast<char>(variant.bytes[at] ^ mask);
  if (reseal) SealPage(Bytes(&variant.bytes) + page * file.header.pageSize, file.header.pageSize);
  char text[160];
  snprintf(text, sizeof text, "%s byte %zu of page %llu ^= 0x%02x", reseal ? "resealed" : "flipped",
           offset, static_cast<unsigned long long>(page), mask);
  variant.change = text;
  variants->push_back(variant);
}

void AddFieldValues(const SoundFile& file, uint64_t page, const Field& field,
                    std::vector<FileVariant>* variants) {
  size_t pageStart = page * file.header.pageSize;
  uint64_t sound = LoadField(Bytes(*file.bytes) + pageStart + field.offset, field.width);
  for (uint64_t value : EdgeValues(sound, field.width, file.header)) {
    FileVariant variant;
    variant.bytes = *file.bytes;
    unsigned char* pageBytes = Bytes(&variant.bytes) + pageStart;
    StoreField(pageBytes + field.offset, field.width, value);
    if (LoadField(pageBytes + field.offset, field.width) == sound) continue;
    SealPage(pageBytes, file.header.pageSize);
    variant.change = Label("resealed", field.name, page, value);
    variants->push_back(variant);
  }
}

void AddHeaderVariants(const SoundFile& file, std::vector<FileVariant>* variants) {
  uint32_t pageSize = file.header.pageSize;
  for (size_t offset = 0; offset < kHeaderFieldsEnd; ++offset) {
    AddFlip(file, 0, offset, 0xFF, false, variants);
    AddFlip(file, 0, offset, 0x01, false, variants);
  }
  // The unused rest of the header page, and its checksum.
  AddFlip(file, 0, kHeaderFieldsEnd, 0x01, false, variants);
  AddFlip(file, 0, pageSize / 2, 0x80, false, variants);
  for (size_t offset = pageSize - kPageChecksumSize; offset < pageSize; ++offset) {
    AddFlip(file, 0, offset, 0x01, false, variants);
  }
  for (size_t offset = 0; offset < sizeof kFileMagic; ++offset) {
    AddFlip(file, 0, offset, 0x20, true, variants);
  }
  for (const Field& field : kHeaderFields) AddFieldValues(file, 0, field, variants);
  AddFlip(file, 0, pageSize / 2, 0x80, true, variants);
}

void AddPageVariants(const SoundFile& file, uint64_t page, std::vector<FileVariant>* variants) {
  uint32_t pageSize = file.header.pageSize;
  for (size_t offset = 0; offset < kPageHeaderSize; ++offset) {
    AddFlip(file, page, offset, 0xFF, false, variants);
  }
  for (size_t offset = pageSize - kPageChecksumSize; offset < pageSize; ++offset) {
    AddFlip(file, page, offset, 0x01, false, variants);
  }
  size_t body = pageSize - kPageHeaderSize - kPageChecksumSize;
  for (int sample = 0; sample < kBodySamples; ++sample) {
    size_t offset = kPageHeaderSize + body * sample / kBodySamples;
    AddFlip(file, page, offset, 0x01, false, variants);
    AddFlip(file, page, offset, 0x80, true, variants);
  }
  for (const Field& field : kPageFields) AddFieldValues(file, page, field, variants);
}

// The leftmost page on each level below the root, following first entries.
void AddIndexPath(const SoundFile& file, std::vector<uint64_t>* pages) {
  uint64_t page = file.header.indexRoot;
  for (uint32_t level = 1; level < file.header.indexDepth; ++level) {
    const unsigned char* at = Bytes(*file.bytes) + page * file.header.pageSize;
    page = IndexEntryAt(at, file.header, 0).page;
    if (page == 0 || page >= file.header.pageCount) return;
    pages->push_back(page);
  }
}

std::vector<uint64_t> SampledPages(const SoundFile& file) {
  std::vector<uint64_t> pages = {file.header.firstDataPage, file.header.lastDataPage,
                                 file.header.indexRoot};
  AddIndexPath(file, &pages);
  // A page between the first and the last, whatever it holds.
  pages.push_back(file.header.pageCount / 2);
  return pages;
}

void AddTruncation(const SoundFile& file, size_t length, std::vector<FileVariant>* variants) {
  if (length >= file.bytes->size()) return;
  FileVariant variant;
  variant.bytes = file.bytes->substr(0, length);
  variant.change = "truncated to " + std::to_string(length) + " bytes";
  variants->push_back(variant);
}

void AddLengthVariants(const SoundFile& file, std::vector<FileVariant>* variants) {
  uint32_t pageSize = file.header.pageSize;
  // Every length within the header's first part, then around every page boundary.
  for (size_t length = 0; length <= kHeaderFieldsEnd + 8; ++length) {
    AddTruncation(file, length, variants);
  }
  for (size_t length = kHeaderFieldsEnd + 9; length < pageSize; length += 97) {
    AddTruncation(file, length, variants);
  }
  for (uint64_t page = 1; page <= file.header.pageCount; ++page) {
    for (int delta = -2; delta <= 2; ++delta) {
      AddTruncation(file, page * pageSize + delta, variants);
    }
    AddTruncation(file, page * pageSize - pageSize / 2, variants);
  }
  const size_t extensions[] = {1, pageSize / 2, pageSize};
  for (size_t extra : extensions) {
    FileVariant variant;
    variant.bytes = *file.bytes + std::string(extra, '\0');
    variant.change = "extended by " + std::to_string(extra) + " zero bytes";
    variants->push_back(variant);
  }
  FileVariant repeated;
  repeated.bytes = *file.bytes + file.bytes->substr(file.bytes->size() - pageSize);
  repeated.change = "last page repeated";
  variants->push_back(repeated);
}

const FileVariant* FindVariant(const std::vector<FileVariant>& variants,
                               const std::string& change) {
  for (const FileVariant& variant : variants) {
    if (variant.change == change) return &variant;
  }
  return nullptr;
}

}  // namespace

std::vector<FileVariant> MakeCorruptVariants(const std::string& original) {
  std::vector<FileVariant> variants;
  SoundFile file{};
  if (!ReadSoundFile(original, &file)) return variants;
  AddHeaderVariants(file, &variants);
  for (uint64_t page : SampledPages(file)) AddPageVariants(file, page, &variants);
  AddLengthVariants(file, &variants);
  return variants;
}

std::vector<FileVariant> PickProgramVariants(const std::string& original) {
  std::vector<FileVariant> picked;
  SoundFile file{};
  if (!ReadSoundFile(original, &file)) return picked;
  std::vector<FileVariant> all = MakeCorruptVariants(original);
  const FileHeader& h = file.header;
  auto page = [](uint64_t number) { return std::to_string(number); };
  const std::string changes[] = {
      "flipped byte 0 of page 0 ^= 0xff",  // magic: not a data file
      "flipped byte " + std::to_string(kHeaderPageCountOffset) + " of page 0 ^= 0x01",
      Label("resealed", "version", 0, 2),  // a version not known
      Label("resealed", "record count", 0, h.recordCount + 1),
      "truncated to 0 bytes",
      "truncated to " + std::to_string(h.pageSize * h.pageCount - 1) + " bytes",
      "flipped byte " + std::to_string(kPageHeaderSize) + " of page " + page(h.firstDataPage) +
          " ^= 0x01",
      "flipped byte " + std::to_string(kPageHeaderSize) + " of page " + page(h.lastDataPage) +
          " ^= 0x01",
      "flipped byte 0 of page " + page(h.indexRoot) + " ^= 0xff",
      Label("resealed", "entry count", h.indexRoot, 0),
      "extended by 1 zero bytes",
  };
  for (const std::string& change : changes) {
    const FileVariant* variant = FindVariant(all, change);
    picked.push_back(variant != nullptr ? *variant : FileVariant{"no such variant: " + change, ""});
  }
  return picked;
}

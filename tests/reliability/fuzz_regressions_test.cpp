// Every input kept from fuzzing, and the fuzzer's seed files, through the fuzzer's own check.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "fuzz/engine_file_check.h"
#include "tests/reliability/process_runner.h"
#include "tests/reliability/test_files.h"

namespace fs = std::filesystem;

namespace {

std::vector<std::string> FilesIn(const std::string& directory) {
  std::vector<std::string> files;
  std::error_code error;
  for (const fs::directory_entry& entry : fs::directory_iterator(directory, error)) {
    bool hidden = entry.path().filename().string()[0] == '.';
    if (entry.is_regular_file() && !hidden) files.push_back(entry.path().string());
  }
  return files;
}

void ExpectEveryFileHandledSoundly(const std::vector<std::string>& files) {
  ScratchDirectory scratch;
  ASSERT_FALSE(scratch.path.empty());
  std::string scratchFile = scratch.path + "/input.dat";
  for (const std::string& file : files) {
    std::string bytes;
    ASSERT_TRUE(ReadWholeFile(file, &bytes)) << file;
    std::string fault;
    EXPECT_TRUE(CheckFuzzInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(),
                               scratchFile.c_str(), &fault))
        << fs::path(file).filename() << ": " << fault;
  }
}

TEST(FuzzRegressions, EveryInputThatOnceFailedIsHandledSoundly) {
  std::vector<std::string> files = FilesIn(RegressionsDirectory());
  if (files.empty()) GTEST_SKIP() << "no fuzz input has failed yet";
  ExpectEveryFileHandledSoundly(files);
}

TEST(FuzzRegressions, EverySeedFileIsHandledSoundly) {
  std::vector<std::string> files = FilesIn(FuzzCorpusDirectory());
  ASSERT_GE(files.size(), 3u) << "the seed corpus is missing";
  ExpectEveryFileHandledSoundly(files);
}

}  // namespace

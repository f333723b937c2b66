#include "tests/e2e/e2e_support.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/e2e/expected_output.h"

namespace {

std::string Variable(const char* name) {
  const char* value = getenv(name);
  return value != nullptr ? value : "";
}

}  // namespace

const E2eSettings& Settings() {
  static const E2eSettings settings{Variable("ZORBINEL_BIN"), Variable("ZORBINEL_MKFILE_BIN"),
                                    Variable("ZORBINEL_LAUNCHER")};
  return settings;
}

bool TargetIsWindows() {
  return TextModeCrlf();
}

WorkDir::WorkDir() {
  std::string base = std::filesystem::temp_directory_path().string() + "/zorbinel-e2e-XXXXXX";
  std::vector<char> name(base.begin(), base.end());
  name.push_back('\0');
  if (mkdtemp(name.data()) == nullptr) ADD_FAILURE() << "cannot make a directory from " << base;
  path_ = name.data();
}

WorkDir::~WorkDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

ProgramResult RunZorbinel(const WorkDir& dir, const std::vector<std::string>& args) {
  EXPECT_FALSE(Settings().zorbinel.empty()) << "ZORBINEL_BIN is not set";
  return RunProgram(Settings().launcher, Settings().zorbinel, args, dir.path());
}

bool MakeDataFile(const WorkDir& dir, const std::string& name,
                  const std::vector<std::string>& options) {
  EXPECT_FALSE(Settings().mkfile.empty()) << "ZORBINEL_MKFILE_BIN is not set";
  std::vector<std::string> args = {name};
  args.insert(args.end(), options.begin(), options.end());
  ProgramResult made = RunProgram(Settings().launcher, Settings().mkfile, args, dir.path());
  EXPECT_EQ(made.exitStatus, 0) << "zorbinel-mkfile " << name << ": " << made.err;
  return made.exitStatus == 0;
}

void WriteFile(const std::string& path, const std::string& contents) {
  std::ofstream file(path, std::ios::binary);
  file << contents;
}

std::string ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream contents;
  contents << file.rdbuf();
  return contents.str();
}

std::vector<std::string> FilesIn(const WorkDir& dir) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

void DamageHeader(const std::string& path) {
  constexpr std::streamoff kRecordCountOffset = 32;
  std::fstream file(path, std::ios::binary | std::ios::in | std::ios::out);
  file.seekg(kRecordCountOffset);
  char byte = 0;
  file.get(byte);
  file.seekp(kRecordCountOffset);
  file.put(static_cast<char>(byte ^ 0x5A));
  EXPECT_TRUE(file.good()) << "cannot damage " << path;
}

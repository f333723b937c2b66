// What every end-to-end test shares: the programs under test, a private working directory,
// and data files made by zorbinel-mkfile.
#pragma once

#include <string>
#include <vector>

#include "tests/e2e/program_runner.h"
#include "tests/e2e/program_texts.h"

// The programs under test and how to launch them, from the environment CTest sets:
// ZORBINEL_BIN, ZORBINEL_MKFILE_BIN, ZORBINEL_LAUNCHER (empty: run directly) and
// ZORBINEL_TEXT_MODE_CRLF (1 for a Windows build).
struct E2eSettings {
  std::string zorbinel;
  std::string mkfile;
  std::string launcher;
};
const E2eSettings& Settings();

// True for a Windows build of the programs (its text-mode streams write "\r\n").
bool TargetIsWindows();

// A fresh directory for one test, removed with everything in it when the test ends.
// Programs run inside it, so that tests name their files relative to it.
class WorkDir {
 public:
  WorkDir();
  ~WorkDir();
  WorkDir(const WorkDir&) = delete;
  WorkDir& operator=(const WorkDir&) = delete;

  std::string Path(const std::string& name) const { return path_ + "/" + name; }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

ProgramResult RunZorbinel(const WorkDir& dir, const std::vector<std::string>& args);

// Makes a data file in dir with zorbinel-mkfile; false (and a test failure) when it fails.
bool MakeDataFile(const WorkDir& dir, const std::string& name,
                  const std::vector<std::string>& options = {});

void WriteFile(const std::string& path, const std::string& contents);
std::string ReadFile(const std::string& path);
std::vector<std::string> FilesIn(const WorkDir& dir);

// Overwrites a byte of a data file's header page past its signature, so that the engine finds
// the header damaged (its checksum no longer matches).
void DamageHeader(const std::string& path);

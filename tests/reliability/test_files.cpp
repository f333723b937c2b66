#include "tests/reliability/test_files.h"

#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <vector>

#include "tests/reliability/process_runner.h"

namespace fs = std::filesystem;

ScratchDirectory::ScratchDirectory() {
  const char* base = getenv("TMPDIR");
  std::string pattern = std::string(base != nullptr && base[0] != '\0' ? base : "/tmp") +
                        "/zorbinel-reliability-XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  if (mkdtemp(name.data()) != nullptr) path = name.data();
}

ScratchDirectory::~ScratchDirectory() {
  if (path.empty()) return;
  // A test that stopped early may have left a file system mounted on a folder in here.
  std::error_code ignored;
  for (const fs::directory_entry& entry : fs::directory_iterator(path, ignored)) {
    if (entry.is_directory(ignored)) umount2(entry.path().c_str(), MNT_DETACH);
  }
  fs::remove_all(path, ignored);
}

std::string MakeDataFile(const std::string& path, const std::string& options) {
  std::vector<std::string> arguments = {MkfilePath(), path};
  std::istringstream words(options);
  std::string word;
  while (words >> word) arguments.push_back(word);
  ProgramRun run = RunProgram(arguments, 120);
  if (run.exited && run.exitStatus == 0) return "";
  return "zorbinel-mkfile " + path + " " + options + ": " + DescribeEnd(run) + ": " +
         run.stderrText;
}

bool WriteFileBytes(const std::string& path, const std::string& bytes) {
  FILE* file = fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  bool written = bytes.empty() || fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return fclose(file) == 0 && written;
}

bool FileExists(const std::string& path) {
  std::error_code ignored;
  return fs::exists(fs::symlink_status(path, ignored));
}

std::string ListDirectory(const std::string& path) {
  std::vector<std::string> names;
  std::error_code error;
  for (const fs::directory_entry& entry : fs::directory_iterator(path, error)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  std::string listing;
  for (const std::string& name : names) listing += (listing.empty() ? "" : " ") + name;
  return listing;
}

bool EnterPrivateMountNamespace(std::string* why) {
  if (geteuid() != 0) {
    *why = "needs root to mount file systems";
    return false;
  }
  if (unshare(CLONE_NEWNS) != 0) {
    *why = std::string("cannot make a mount namespace: ") + strerror(errno);
    return false;
  }
  // Without this the mounts would still propagate to the rest of the system.
  if (mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
    *why = std::string("cannot make mounts private: ") + strerror(errno);
    return false;
  }
  return true;
}

bool MountTmpfs(const std::string& path, long sizeBytes, bool readOnly, std::string* why) {
  std::string options = "size=" + std::to_string(sizeBytes);
  unsigned long flags = readOnly ? MS_RDONLY : 0;
  if (mount("tmpfs", path.c_str(), "tmpfs", flags, options.c_str()) != 0) {
    *why = "cannot mount a tmpfs at " + path + ": " + strerror(errno);
    return false;
  }
  return true;
}

void Unmount(const std::string& path) {
  umount2(path.c_str(), MNT_DETACH);
}

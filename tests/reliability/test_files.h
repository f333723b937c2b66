// Scratch directories, data files and mounts for the reliability tests.
#pragma once

#include <string>

// A fresh directory under $TMPDIR (or /tmp), removed with everything in it at destruction.
struct ScratchDirectory {
  std::string path;
  ScratchDirectory();
  ~ScratchDirectory();
  ScratchDirectory(const ScratchDirectory&) = delete;
  ScratchDirectory& operator=(const ScratchDirectory&) = delete;
};

// Makes a data file with zorbinel-mkfile; the arguments after the file name go as given.
// Returns the empty string on success, else what went wrong.
std::string MakeDataFile(const std::string& path, const std::string& options);

bool WriteFileBytes(const std::string& path, const std::string& bytes);
bool FileExists(const std::string& path);

// The names in a directory, sorted, "." and ".." left out.
std::string ListDirectory(const std::string& path);

// Gives this process a mount namespace of its own, so that the mounts a test makes are seen
// by it and its children only and vanish with it. false when not permitted (not root, or no
// namespaces here).
bool EnterPrivateMountNamespace(std::string* why);

// Mounts a tmpfs of `sizeBytes` at `path`, read-only when asked. Needs the private namespace.
bool MountTmpfs(const std::string& path, long sizeBytes, bool readOnly, std::string* why);

// Detaches the mount at `path`.
void Unmount(const std::string& path);

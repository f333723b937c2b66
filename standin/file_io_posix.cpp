// File access of the stand-in engine on POSIX systems.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "standin/file_io.h"

FileOpenStatus EngineFileOpen(const char* path, EngineFile* file) {
  int fd = -1;
  do {
    fd = open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);  // a FIFO must not block Open
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    switch (errno) {
      case ENOENT:
      case ENOTDIR:
        return FileOpenStatus::kNotFound;
      case EACCES:
      case EPERM:
        return FileOpenStatus::kAccessDenied;
      case EISDIR:
        return FileOpenStatus::kIsDirectory;
      default:
        return FileOpenStatus::kOtherError;
    }
  }
  struct stat status {};
  if (fstat(fd, &status) != 0) {
    close(fd);
    return FileOpenStatus::kOtherError;
  }
  if (S_ISDIR(status.st_mode)) {
    close(fd);
    return FileOpenStatus::kIsDirectory;
  }
  *file = fd;
  return FileOpenStatus::kOpened;
}

bool EngineFileReadAt(EngineFile file, uint64_t offset, void* buffer, size_t count) {
  auto* at = static_cast<char*>(buffer);
  while (count > 0) {
    ssize_t got = pread(static_cast<int>(file), at, count, static_cast<off_t>(offset));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    at += got;
    count -= static_cast<size_t>(got);
    offset += static_cast<uint64_t>(got);
  }
  return true;
}

bool EngineFileSize(EngineFile file, uint64_t* size) {
  struct stat status {};
  if (fstat(static_cast<int>(file), &status) != 0) return false;
  *size = static_cast<uint64_t>(status.st_size);
  return true;
}

void EngineFileClose(EngineFile file) {
  close(static_cast<int>(file));
}

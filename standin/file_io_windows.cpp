// The stand-in engine's file access on Windows.
#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "standin/file_io.h"

namespace {

// The seam carries handles as integers; Windows hands out pointer-sized values.
HANDLE AsHandle(EngineFile file) {
  return reinterpret_cast<HANDLE>(file);  // NOLINT(performance-no-int-to-ptr)
}

bool IsDirectory(const char* path) {
  DWORD attributes = GetFileAttributesA(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

FileOpenStatus OpenFailure(const char* path, DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_NETPATH:
    case ERROR_INVALID_DRIVE:
      return FileOpenStatus::kNotFound;
    case ERROR_ACCESS_DENIED:
      // A directory cannot be opened as a file, and Windows says so as a denied access.
      return IsDirectory(path) ? FileOpenStatus::kIsDirectory : FileOpenStatus::kAccessDenied;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      return FileOpenStatus::kAccessDenied;
    default:
      return FileOpenStatus::kOtherError;
  }
}

}  // namespace

FileOpenStatus EngineFileOpen(const char* path, EngineFile* file) {
  // Other readers may open the file at the same time; writers may not.
  HANDLE handle = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return OpenFailure(path, GetLastError());
  *file = reinterpret_cast<EngineFile>(handle);
  return FileOpenStatus::kOpened;
}

bool EngineFileReadAt(EngineFile file, uint64_t offset, void* buffer, size_t count) {
  auto* next = static_cast<unsigned char*>(buffer);
  while (count > 0) {
    // The offset travels in the OVERLAPPED block; the handle stays synchronous.
    OVERLAPPED at = {};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD wanted = count > MAXDWORD ? MAXDWORD : static_cast<DWORD>(count);
    DWORD got = 0;
    if (!ReadFile(AsHandle(file), next, wanted, &got, &at) || got == 0) return false;
    next += got;
    offset += got;
    count -= got;
  }
  return true;
}

bool EngineFileSize(EngineFile file, uint64_t* size) {
  LARGE_INTEGER bytes;
  if (!GetFileSizeEx(AsHandle(file), &bytes)) return false;
  *size = static_cast<uint64_t>(bytes.QuadPart);
  return true;
}

void EngineFileClose(EngineFile file) {
  CloseHandle(AsHandle(file));
}

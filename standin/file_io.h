// The stand-in engine's whole access to files. One file per platform fills it
// (file_io_posix.cpp, file_io_windows.cpp).
#pragma once

#include <cstddef>
#include <cstdint>

enum class FileOpenStatus { kOpened, kNotFound, kIsDirectory, kAccessDenied, kOtherError };

using EngineFile = intptr_t;

// Opens an existing file for reading only, shared with other readers.
FileOpenStatus EngineFileOpen(const char* path, EngineFile* file);

// Reads exactly `count` bytes at `offset`; false on an I/O error or when the file ends first.
bool EngineFileReadAt(EngineFile file, uint64_t offset, void* buffer, size_t count);

// The file's size in bytes; false on an I/O error.
bool EngineFileSize(EngineFile file, uint64_t* size);

void EngineFileClose(EngineFile file);

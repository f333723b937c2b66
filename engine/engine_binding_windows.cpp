// Binds the engine client library at start-up: the library is looked for beside the program,
// then on the system's search path, and its entry point is taken by ordinal 1.
#include <windows.h>

#include <cstdio>

#include "engine/engine_binding.h"

#ifndef ZORBINEL_ENGINE_LIBRARY
#define ZORBINEL_ENGINE_LIBRARY "wbtrv32.dll"
#endif

EngineEntryPoint EngineEntry = nullptr;

namespace {

constexpr WORD kEntryPointOrdinal = 1;

}  // namespace

int BindEngine() {
  HMODULE library = LoadLibraryA(ZORBINEL_ENGINE_LIBRARY);
  if (library == nullptr) {
    fprintf(stderr, "Unable to load the engine library %s (error %lu)\n", ZORBINEL_ENGINE_LIBRARY,
            GetLastError());
    return 1;
  }
  FARPROC entry = GetProcAddress(library, MAKEINTRESOURCEA(kEntryPointOrdinal));
  if (entry == nullptr) {
    fprintf(stderr, "The engine library %s has no entry point at ordinal %u (error %lu)\n",
            ZORBINEL_ENGINE_LIBRARY, static_cast<unsigned>(kEntryPointOrdinal), GetLastError());
    FreeLibrary(library);
    return 1;
  }
  // Through the generic function type, which converts to any other without a warning.
  EngineEntry = reinterpret_cast<EngineEntryPoint>(reinterpret_cast<void (*)()>(entry));
  return 0;
}

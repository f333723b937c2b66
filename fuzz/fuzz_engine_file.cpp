// libFuzzer target: every input is a data file that the stand-in engine must survive.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz/engine_file_check.h"

namespace {

// One scratch file per fuzzing process, so parallel jobs do not share it.
const char* ScratchPath() {
  static char path[128];
  if (path[0] == '\0') {
    const char* directory = getenv("TMPDIR");
    if (directory == nullptr || directory[0] == '\0') directory = "/tmp";
    snprintf(path, sizeof path, "%.80s/zorbinel-fuzz-%ld.dat", directory,
             static_cast<long>(getpid()));
  }
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string fault;
  if (!CheckFuzzInput(data, size, ScratchPath(), &fault)) {
    fprintf(stderr, "engine fault on a %zu-byte file: %s\n", size, fault.c_str());
    abort();
  }
  return 0;
}

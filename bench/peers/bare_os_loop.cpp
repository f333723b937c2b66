// The bare system-call loop that zorbinel's test types 11 and 12 are measured against: the
// same open, reads and close on the same file, in the same batches of 50, with nothing else.
//
//   zorbinel-bare-os FILE 11|12 SECONDS
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "bench/peers/timed_batches.h"

// Same size and role as zorbinel's DataBuffer; visible outside so the reads into it stay.
unsigned char BareBuffer[260000];

namespace {

constexpr int kBatchSize = 50;

// Types 11 and 12 stop the run when the file does not open; so does this loop.
bool OpenCloseBatch(const char* name) {
  for (int i = 0; i < kBatchSize; ++i) {
    int fd = open(name, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    close(fd);
  }
  return true;
}

bool OpenReadCloseBatch(const char* name) {
  for (int i = 0; i < kBatchSize; ++i) {
    int fd = open(name, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    // As in type 12, what the reads return is not looked at.
    (void)!read(fd, BareBuffer, 512);
    (void)!read(fd, BareBuffer, 16384);
    close(fd);
  }
  return true;
}

int Usage() {
  fprintf(stderr, "usage: zorbinel-bare-os FILE 11|12 SECONDS\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) return Usage();
  const char* name = argv[1];
  bool withReads = strcmp(argv[2], "12") == 0;
  if (!withReads && strcmp(argv[2], "11") != 0) return Usage();
  int seconds = ParseSeconds(argv[3]);

  long count = 0;
  int64_t start = PeerClockMs();
  for (;;) {
    bool opened = withReads ? OpenReadCloseBatch(name) : OpenCloseBatch(name);
    if (!opened) {
      fprintf(stderr, "File Open Failed\r\n");
      return 1;
    }
    count += kBatchSize;
    if (ElapsedWholeSeconds(start, PeerClockMs()) >= seconds) break;
  }
  PrintRate(count, start, PeerClockMs());
  return 0;
}

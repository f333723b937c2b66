// Makes one sanitizer report on purpose, chosen by its argument, so that a test can show that
// a report fails the run that makes it.
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Volatile, so the compiler cannot see through the faults and drop them.
volatile int Index = 8;
volatile size_t Count = 8;  // unknown to the compiler, so only the address check sees the overrun
volatile int Large = 2147483647;

int HeapOverflow() {
  int* block = static_cast<int*>(malloc(Count * sizeof(int)));
  block[Index] = 1;
  int value = block[0];
  free(block);
  return value;
}

int SignedOverflow() {
  return Large + Index;
}

int Leak() {
  void* lost = malloc(64);
  memset(lost, 1, 64);
  lost = nullptr;
  return 0;  // NOLINT(clang-analyzer-unix.Malloc): the leak is the point
}

}  // namespace

int main(int argc, char** argv) {
  const char* fault = argc > 1 ? argv[1] : "";
  int result = 0;
  if (strcmp(fault, "heap-overflow") == 0) result = HeapOverflow();
  if (strcmp(fault, "signed-overflow") == 0) result = SignedOverflow();
  if (strcmp(fault, "leak") == 0) result = Leak();
  printf("no report for \"%s\" (%d)\n", fault, result);
  return 0;
}

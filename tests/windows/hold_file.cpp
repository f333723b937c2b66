// Holds a file open until its standard input ends, so that a test can show what another
// program sees meanwhile. The second argument says whom it lets open the file beside it:
// "none" (share mode 0) or "readers" (FILE_SHARE_READ). Prints "held" once the file is open.
#include <windows.h>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
  if (argc != 3 || (strcmp(argv[2], "none") != 0 && strcmp(argv[2], "readers") != 0)) {
    fprintf(stderr, "usage: hold_file FILE none|readers\n");
    return 2;
  }
  DWORD shareMode = strcmp(argv[2], "readers") == 0 ? FILE_SHARE_READ : 0;
  HANDLE file = CreateFileA(argv[1], GENERIC_READ, shareMode, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    fprintf(stderr, "hold_file: cannot open %s (error %lu)\n", argv[1], GetLastError());
    return 1;
  }
  printf("held\n");
  fflush(stdout);
  while (getchar() != EOF) {
  }
  CloseHandle(file);
  return 0;
}

// A library by the engine library's name that has no entry point at ordinal 1, to show what
// zorbinel.exe says when it finds the wrong library.
extern "C" int __stdcall NotTheEngine() {
  return 0;
}

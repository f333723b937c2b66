#!/usr/bin/env bash
# The Windows builds: both targets cross-built with MinGW-w64, their exports and imports
# checked, and the end-to-end suite run against the x86_64 programs under Wine. The i686
# programs cannot run on these machines: they are built and checked only.
# Needs the native harness from build/ (tests/ci/10-native.sh builds it first; this script
# builds what is missing), or from ZORBINEL_NATIVE_BUILD_DIR when that is set.
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
native=${ZORBINEL_NATIVE_BUILD_DIR:-build}

for target in win64:x86_64 win32:i686; do
  dir=build-${target%%:*}
  arch=${target##*:}
  echo "--- cross build ${dir} (${arch}-w64-mingw32)"
  cmake -S . -B "$dir" -DCMAKE_TOOLCHAIN_FILE="cmake/toolchain-mingw-${arch}.cmake" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$dir" -j2
done

checks_failed=0
check() {  # check DESCRIPTION COMMAND...
  if "${@:2}"; then
    echo "ok: $1"
  else
    echo "FAILED: $1"
    checks_failed=1
  fi
}
exports_ordinal_1() {  # the Export Address Table lists an entry at ordinal 1
  "$1" -p "$2" | sed -n '/^Export Address Table/,/^$/p' | grep -qE '\+base\[ *1\]'
}
imports_only_system_libraries() {  # no MinGW runtime DLL, and no engine library
  ! "$1" -p "$2" | grep -iE 'DLL Name: (lib(stdc\+\+|gcc_s|winpthread)|wbtrv32)'
}
for target in win64:x86_64 win32:i686; do
  dir=build-${target%%:*}
  objdump=${target##*:}-w64-mingw32-objdump
  check "${dir}/wbtrv32.dll exports ordinal 1" exports_ordinal_1 "$objdump" "$dir/wbtrv32.dll"
  for program in zorbinel.exe zorbinel-mkfile.exe; do
    check "${dir}/${program} is linked" test -s "$dir/$program"
    check "${dir}/${program} needs no runtime or engine DLL" \
      imports_only_system_libraries "$objdump" "$dir/$program"
  done
  check "${dir}/wbtrv32.dll needs no runtime DLL" \
    imports_only_system_libraries "$objdump" "$dir/wbtrv32.dll"
done

echo "--- native harness (${native})"
if [ ! -f "$native/CMakeCache.txt" ]; then
  cmake -S . -B "$native" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$native" -j2 --target zorbinel zorbinel-mkfile zorbinel_e2e zorbinel_windows_e2e

# One Wine prefix per build directory, made once (it takes seconds). The server stays up for
# the whole run, and Wine's own background programs start here, with nothing of the tests'
# output streams in hand: a test waits for the end of a program's output.
# Debian's wine64 alone has no wine, wineboot or wineserver on PATH (they come with "wine").
wine=$(command -v wine || echo /usr/lib/wine/wine64)
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)
export WINEPREFIX=$root/build-win64/wine-prefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
echo "--- Wine prefix ${WINEPREFIX}"
mkdir -p "$WINEPREFIX"
"$wineserver" -p </dev/null >/dev/null 2>&1 || true  # fails only when it is already running
trap '"$wineserver" -k >/dev/null 2>&1 || true' EXIT
if [ ! -d "$WINEPREFIX/drive_c" ]; then
  "$wine" wineboot -i </dev/null >/dev/null 2>&1
else
  "$wine" wineboot </dev/null >/dev/null 2>&1
fi

export ZORBINEL_BIN=$root/build-win64/zorbinel.exe
export ZORBINEL_MKFILE_BIN=$root/build-win64/zorbinel-mkfile.exe
export ZORBINEL_LAUNCHER=$wine
export ZORBINEL_TEXT_MODE_CRLF=1
export ZORBINEL_HOLD_FILE_BIN=$root/build-win64/tests/windows/hold_file.exe
export ZORBINEL_NO_ENTRY_LIBRARY=$root/build-win64/tests/windows/no-entry/wbtrv32.dll
export ZORBINEL_NATIVE_BIN=$(cd "$native" && pwd)/zorbinel
export ZORBINEL_NATIVE_MKFILE_BIN=$(cd "$native" && pwd)/zorbinel-mkfile

passed=0
failed=0
for suite in "$native/tests/e2e/zorbinel_e2e" "$native/tests/windows/zorbinel_windows_e2e"; do
  echo "--- ${suite} against build-win64 under Wine"
  log=$(mktemp)
  set +e
  "$suite" 2>&1 | tee "$log"
  set -e
  # gtest's closing lines: "[  PASSED  ] N tests." and, after failures, "[  FAILED  ] N tests,"
  p=$(sed -nE 's/^\[  PASSED  \] ([0-9]+) tests?\..*/\1/p' "$log")
  f=$(sed -nE 's/^\[  FAILED  \] ([0-9]+) tests?, listed below:.*/\1/p' "$log")
  if [ -z "$p" ] && [ -z "$f" ]; then
    echo "${suite} did not finish"
    f=1
  fi
  passed=$((passed + ${p:-0}))
  failed=$((failed + ${f:-0}))
  rm -f "$log"
done

echo "Windows suite under Wine: ${passed} passed, ${failed} failed"
[ "$failed" -eq 0 ] && [ "$checks_failed" -eq 0 ]

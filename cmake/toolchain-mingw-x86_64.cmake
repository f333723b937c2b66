# Cross-builds the Windows x86_64 programs with MinGW-w64:
#   cmake -S . -B build-win64 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-x86_64.cmake
# CMake runs what this build makes through Wine (CMAKE_CROSSCOMPILING_EMULATOR) wherever it
# runs a target, as CTest does for a test added to a cross build.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(ZORBINEL_MINGW_PREFIX x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-common.cmake)

find_program(ZORBINEL_WINE NAMES wine wine64 PATHS /usr/lib/wine)
if(ZORBINEL_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${ZORBINEL_WINE})
endif()

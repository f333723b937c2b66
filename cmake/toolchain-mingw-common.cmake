# What both MinGW-w64 toolchains share; ZORBINEL_MINGW_PREFIX names the target triplet.
set(CMAKE_C_COMPILER ${ZORBINEL_MINGW_PREFIX}-gcc)
set(CMAKE_CXX_COMPILER ${ZORBINEL_MINGW_PREFIX}-g++)
set(CMAKE_RC_COMPILER ${ZORBINEL_MINGW_PREFIX}-windres)

# Look for libraries and headers only in the target's tree, for programs on the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${ZORBINEL_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The C and C++ runtimes go into each program and the engine library, so that they run on
# a Windows machine without any of MinGW's DLLs beside them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Picks the platform file of each seam, so that the logic itself has no #ifdef.
if(WIN32)
  set(ZORBINEL_PLATFORM windows)
else()
  set(ZORBINEL_PLATFORM posix)
endif()

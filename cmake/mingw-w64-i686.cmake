# Cross-compiles for 32-bit Windows: the device's pointer size, so that the headers' checks of
# the device's record layouts apply (tests/harness/compile-i686.sh).
set(CMAKE_SYSTEM_PROCESSOR i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)

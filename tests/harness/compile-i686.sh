#!/usr/bin/env bash
# The device is a 32-bit platform, which nothing here runs. Nearest proof that the program is
# ready for it: Nimbra, the sample Today items and the sample icon program compile and link for
# 32-bit Windows with every compiler and linker warning an error, so that the static checks of
# the device's record layouts in the headers (items/todayitem.h, items/notifyicon.h,
# platform/aygshell.h) hold where pointers and handles are 32 bits wide. Nothing of it runs.
#   compile-i686.sh SOURCE_DIR BUILD_DIR
set -euo pipefail
src=$1
build=$2
cmake -S "$src" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$src/cmake/mingw-w64-i686.cmake" -DNIMBRA_TESTS=OFF \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_FLAGS=-Werror -DCMAKE_CXX_FLAGS=-Werror \
  -DCMAKE_EXE_LINKER_FLAGS=-Wl,--fatal-warnings -DCMAKE_SHARED_LINKER_FLAGS=-Wl,--fatal-warnings >/dev/null
cmake --build "$build" -j2 --target Nimbra NimbraClock NimbraOwner NimbraNotes TrayIcons

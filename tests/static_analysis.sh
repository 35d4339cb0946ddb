#!/usr/bin/env bash
# clang-tidy (checks in .clang-tidy) and cppcheck over the product code, with
# warnings as errors. Needs the compile databases of the dev and mingw presets.
set -euo pipefail
cd "$(dirname "$0")/.."
portable=(src/app/*.cpp src/radio/*.cpp src/io/answer_items.cpp src/io/dialogue.cpp src/io/saved_file.cpp
          src/io/console_posix.cpp src/io/saved_file_posix.cpp)
windows=(src/io/console_windows.cpp src/io/saved_file_windows.cpp)

echo "== clang-tidy"
clang-tidy -p build/dev --quiet "${portable[@]}"
# The Windows files, with clang aimed at the MinGW headers.
mingw_cxx=$(ls -d /usr/lib/gcc/x86_64-w64-mingw32/*-win32/include/c++ | head -1)
clang-tidy -p build/mingw --quiet --extra-arg=--target=x86_64-w64-mingw32 \
  --extra-arg=-isystem"$mingw_cxx" --extra-arg=-isystem"$mingw_cxx/x86_64-w64-mingw32" "${windows[@]}"

echo "== cppcheck"
cppcheck --quiet --error-exitcode=1 --std=c++20 --language=c++ --inline-suppr \
  --enable=warning,style,performance,portability --suppress=missingIncludeSystem \
  -I src src

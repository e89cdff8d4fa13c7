#!/usr/bin/env bash
# Compile-checks the Windows-only files of the platform layer with the
# MinGW-w64 cross compiler, so that code never goes uncompiled.
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
cxx=x86_64-w64-mingw32-g++-posix
status=0
# Header-only libraries of the host, seen through a folder of their own so
# that no other host header reaches the cross compiler.
third=$(mktemp -d); trap 'rm -rf "$third"' EXIT
ln -s /usr/include/nlohmann "$third/nlohmann"
for f in "$repo"/src/platform/*_win.cpp "$repo"/src/platform/home_folder.cpp \
         "$repo"/src/platform/code_page.cpp "$repo"/src/platform/ini_file.cpp \
         "$repo"/src/platform/instance_lock.cpp "$repo"/src/platform/run_journal.cpp \
         "$repo"/src/platform/atomic_file.cpp \
         "$repo"/src/platform/activity_log.cpp; do
  [ -f "$f" ] || continue
  if $cxx -std=c++20 -municode -Wall -Wextra -Werror -fsyntax-only -I"$repo/src" -isystem "$third" "$f"; then
    echo "windows: ok   ${f#$repo/}"
  else
    echo "windows: FAIL ${f#$repo/}"; status=1
  fi
done
exit $status

#!/usr/bin/env bash
# The Windows x86-64 build: cross-compiled with mingw-w64 into build-win,
# every test run there under Wine, in a prefix of the build's own, and the
# installed package used by an outside project.
set -euo pipefail
cd "$(dirname "$0")/.."
[ -f .ci/deps ] && bash .ci/deps all

cmake -S . -B build-win -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-win -j2
status=0
ctest --test-dir build-win -j2 --output-on-failure --timeout 300 || status=$?
bash .ci/install-check build-win || status=$?

# The tests' Wine server would otherwise stay a minute after them.
cmake/wine-run.sh --stop build-win/wineprefix
exit "$status"

#!/usr/bin/env bash
# The whole test suite, native and Windows, from a fresh Debian 12 machine:
#   bash scripts/test.sh              everything
#   bash scripts/test.sh --native     native build and tests only
#   bash scripts/test.sh --windows    Windows build and tests under Wine only
# Installs what it needs (scripts/setup.sh), builds the Windows libraries once
# into a cache outside the tree (scripts/build-win-deps.sh), and ends with one
# summary line "tests: N passed, N failed".
set -uo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$ROOT"

want_native=1
want_windows=1
case "${1:-}" in
  --native) want_windows=0 ;;
  --windows) want_native=0 ;;
  "") ;;
  *) echo "usage: $0 [--native|--windows]" >&2; exit 2 ;;
esac

bash scripts/setup.sh || { echo "setup failed"; exit 1; }

passed=0
failed=0
status=0
started=$(date +%s)

# Adds the counts of a CTest log to the totals.
count_ctest() {
  local line
  line=$(grep -E '[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$1" | tail -n 1)
  if [ -z "$line" ]; then
    echo "no CTest summary in $1"
    status=1
    return
  fi
  local total fails
  fails=$(echo "$line" | sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/')
  total=$(echo "$line" | sed -E 's/.* failed out of ([0-9]+).*/\1/')
  passed=$((passed + total - fails))
  failed=$((failed + fails))
}

phase() { echo; echo "=== $* ($(( $(date +%s) - started ))s)"; }

if [ $want_native -eq 1 ]; then
  phase "native build"
  cmake -S . -B build/native -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null &&
    cmake --build build/native || { echo "native build failed"; exit 1; }
  phase "native tests"
  (cd build/native && ctest --output-on-failure -j2) 2>&1 | tee build/native/ctest.log
  [ "${PIPESTATUS[0]}" -eq 0 ] || status=1
  count_ctest build/native/ctest.log

  if [ -f scripts/tsan.sh ]; then
    phase "ThreadSanitizer tests"
    bash scripts/tsan.sh 2>&1 | tee build/tsan.log
    [ "${PIPESTATUS[0]}" -eq 0 ] || status=1
    count_ctest build/tsan.log
  fi
fi

if [ $want_windows -eq 1 ]; then
  phase "Windows libraries"
  export VANTELO_WIN_DEPS="${VANTELO_WIN_DEPS:-$HOME/.cache/vantelo-win-deps}"
  deps="$VANTELO_WIN_DEPS"
  bash scripts/build-win-deps.sh || { echo "Windows libraries failed"; exit 1; }
  phase "Windows build"
  cmake -S . -B build/windows -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-x86_64.cmake" -DVANTELO_WIN_DEPS="$deps" >/dev/null &&
    cmake --build build/windows || { echo "Windows build failed"; exit 1; }
  phase "Windows tests under Wine"
  bash scripts/wine-tests.sh build/windows 2>&1 | tee build/windows/ctest.log
  [ "${PIPESTATUS[0]}" -eq 0 ] || status=1
  count_ctest build/windows/ctest.log
fi

phase "done"
[ $failed -eq 0 ] || status=1
echo "tests: $passed passed, $failed failed"
exit $status

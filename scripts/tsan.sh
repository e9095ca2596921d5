#!/usr/bin/env bash
# Builds the analytics tests with ThreadSanitizer in build/tsan and runs them
# with CTest: records queued from several threads while another flushes, and
# the tracker stopped while workers still report. scripts/test.sh reads the
# CTest summary line.
set -uo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD="$ROOT/build/tsan"
TARGETS=(usage_collect_test analytics_test)

cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVANTELO_TSAN=ON >/dev/null ||
  { echo "tsan: configure failed"; exit 1; }
cmake --build "$BUILD" --target "${TARGETS[@]}" -- -j2 || { echo "tsan: build failed"; exit 1; }

# halt_on_error makes any race fail the test program, and so the ctest run.
export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 ${TSAN_OPTIONS:-}"
regex=$(IFS='|'; echo "^(${TARGETS[*]})\$")
cd "$BUILD" && ctest --output-on-failure -R "$regex"

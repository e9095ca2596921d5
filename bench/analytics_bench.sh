#!/usr/bin/env bash
# Analytics costs in one run:
#   - records built and queued per second from 4 threads (and from 1, as the base);
#   - compressing one 30-record batch: our gzip (level 9, window bits 31) against
#     gzip -9 on the same bytes, size and time. gzip's time per batch is that of
#     200 runs on the batch less 200 runs on an empty file, so its start-up does
#     not count.
#   bash bench/analytics_bench.sh [build-dir]
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD=${1:-$ROOT/build/native}
BIN="$BUILD/bench/analytics_bench"
[ -x "$BIN" ] || cmake --build "$BUILD" --target analytics_bench >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
value() { sed -n "s/^$1 //p" "$2"; }

"$BIN" records 1 50000 >"$work/one"
"$BIN" records 4 50000 >"$work/four"
"$BIN" batch "$work/batch.json" 2000 >"$work/batch"

# gzip -9 on the same bytes: its size, and its time without the process start.
gzip_bytes=$(gzip -9 -n -c "$work/batch.json" | wc -c)
: >"$work/empty"
runs() { local t0 t1; t0=$(date +%s.%N); for _ in $(seq 200); do gzip -9 -n -c "$1" >/dev/null; done; t1=$(date +%s.%N); echo "$t1 - $t0" | bc -l; }
with_batch=$(runs "$work/batch.json")
start_only=$(runs "$work/empty")
gzip_per_batch=$(echo "($with_batch - $start_only) / 200" | bc -l)
ours_per_batch=$(value seconds_per_batch "$work/batch")

printf '%-40s %14s\n' "records queued per second" "records/s"
printf '%-40s %14.0f\n' "1 thread" "$(value per_second "$work/one")"
printf '%-40s %14.0f\n' "4 threads" "$(value per_second "$work/four")"
printf 'ratio 4 threads / 1 thread: %.2f\n\n' "$(echo "$(value per_second "$work/four") / $(value per_second "$work/one")" | bc -l)"
printf '%-40s %10s %14s\n' "30-record batch ($(value json_bytes "$work/batch") bytes of JSON)" "bytes" "us per batch"
printf '%-40s %10d %14.1f\n' "usage_collect gzip (level 9, wbits 31)" "$(value gzip_bytes "$work/batch")" "$(echo "$ours_per_batch * 1000000" | bc -l)"
printf '%-40s %10d %14.1f\n' "gzip -9" "$gzip_bytes" "$(echo "$gzip_per_batch * 1000000" | bc -l)"
printf 'size ratio (ours / gzip -9): %.3f   time ratio (gzip -9 / ours): %.2f\n' \
  "$(echo "$(value gzip_bytes "$work/batch") / $gzip_bytes" | bc -l)" "$(echo "$gzip_per_batch / $ours_per_batch" | bc -l)"
printf 'upload body after Base64 and percent-encoding: %d bytes\n' "$(value body_bytes "$work/batch")"

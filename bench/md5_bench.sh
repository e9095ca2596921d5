#!/usr/bin/env bash
# Utils::FileMd5 against md5sum on the same warm 512 MiB file, interleaved.
#   bash bench/md5_bench.sh [build-dir] [size-MiB] [rounds]
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD=${1:-$ROOT/build/native}
SIZE=${2:-512}
ROUNDS=${3:-5}
[ -x "$BUILD/bench/md5_file" ] || cmake --build "$BUILD" --target md5_file >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
head -c "$((SIZE * 1024 * 1024))" /dev/urandom > "$work/data"
cat "$work/data" > /dev/null   # warm the page cache

now() { date +%s.%N; }
ours=0
peer=0
for _ in $(seq "$ROUNDS"); do
  t0=$(now); a=$("$BUILD/bench/md5_file" "$work/data" | cut -d' ' -f1); t1=$(now)
  b=$(md5sum "$work/data" | cut -d' ' -f1); t2=$(now)
  [ "$a" = "$b" ] || { echo "digests differ: $a $b"; exit 1; }
  ours=$(echo "$ours + $t1 - $t0" | bc -l)
  peer=$(echo "$peer + $t2 - $t1" | bc -l)
done
printf '%-22s %10s %10s\n' "file MD5, ${SIZE} MiB" "seconds" "MiB/s"
printf '%-22s %10.3f %10.0f\n' "Utils::FileMd5" "$(echo "$ours / $ROUNDS" | bc -l)" "$(echo "$SIZE * $ROUNDS / $ours" | bc -l)"
printf '%-22s %10.3f %10.0f\n' "md5sum" "$(echo "$peer / $ROUNDS" | bc -l)" "$(echo "$SIZE * $ROUNDS / $peer" | bc -l)"
printf 'speed ratio (md5sum time / ours): %.2f\n' "$(echo "$peer / $ours" | bc -l)"

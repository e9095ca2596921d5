#!/usr/bin/env bash
# The downloaders against curl, md5sum and aria2c on the same package, served
# by nginx on 127.0.0.1 through the "/software/222" redirect, commands
# interleaved round by round:
#   - no rate limit: the single-stream downloader (download and digest check)
#     against `curl -L -o` followed by `md5sum`; peak resident memory against
#     curl's;
#   - limit_rate 20m per connection: single-stream and segmented downloaders
#     against `curl -L -o` and `aria2c -x2 -s2`.
#   bash bench/download_bench.sh [build-dir] [size-MiB] [rounds] [slow-rounds]
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD=${1:-$ROOT/build/native}
SIZE=${2:-512}
ROUNDS=${3:-3}
SLOW_ROUNDS=${4:-1}
BIN="$BUILD/bench/download_bench"
[ -x "$BIN" ] || cmake --build "$BUILD" --target download_bench >/dev/null
export VANTELO_SOURCE_DIR="$ROOT"
NAME=VanteloPDFconverter_setup.exe

work=$(mktemp -d)
pids=()
cleanup() {
  exec 3>&- 4>&- 2>/dev/null || true
  for p in "${pids[@]}"; do wait "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

mkdir -p "$work/site/x" "$work/out"
head -c "$((SIZE * 1024 * 1024))" /dev/urandom > "$work/site/x/$NAME"
MD5=$(md5sum "$work/site/x/$NAME" | cut -d' ' -f1)
mv "$work/site/x" "$work/site/$MD5"

# serve <fd> <rate>: nginx in the background, stopped when the fd closes;
# its base URL in $URL.
serve() {
  local fifo="$work/ctl$1"
  mkfifo "$fifo"
  "$BIN" serve "$work/site" "$2" "/$MD5/$NAME" < "$fifo" > "$work/url$1" &
  pids+=($!)
  eval "exec $1>\"$fifo\""
  for _ in $(seq 100); do [ -s "$work/url$1" ] && break; sleep 0.05; done
  URL=$(head -n 1 "$work/url$1")
}
serve 3 0
FAST=$URL/software/222
serve 4 20m
SLOW=$URL/software/222

# measure <label> <command...>: appends "label seconds peak-KiB" to the results.
measure() {
  local label=$1; shift
  rm -f "$work/out/"*
  /usr/bin/time -f "%e %M" -o "$work/time" "$@" >/dev/null 2>"$work/err" ||
    { echo "$label failed: $(tail -n 3 "$work/err")" >&2; return 1; }
  echo "$label $(cat "$work/time")" >> "$work/results"
}
check() {
  local got
  got=$(md5sum "$1" | cut -d' ' -f1)
  [ "$got" = "$MD5" ] || { echo "wrong file from $2" >&2; exit 1; }
}
curl_md5() {  # curl then md5sum, timed as one
  local s e
  s=$(date +%s.%N)
  measure curl curl -sS -L -o "$work/out/$NAME" "$1"
  local m; m=$(date +%s.%N)
  /usr/bin/time -f "%e %M" -o "$work/time" md5sum "$work/out/$NAME" > "$work/sum"
  echo "md5sum $(cat "$work/time")" >> "$work/results"
  [ "$(cut -d' ' -f1 "$work/sum")" = "$MD5" ] || { echo "curl: wrong file" >&2; exit 1; }
  e=$(date +%s.%N)
  echo "curl+md5sum $(echo "$e - $s" | bc -l) 0" >> "$work/results"
}

: > "$work/results"
for _ in $(seq "$ROUNDS"); do
  measure single "$BIN" get 1 "$FAST" "$work/out/$NAME"
  curl_md5 "$FAST"
done
: > "$work/slow"
mv "$work/results" "$work/fast"
for _ in $(seq "$SLOW_ROUNDS"); do
  measure single20m "$BIN" get 1 "$SLOW" "$work/out/$NAME"
  measure segmented20m "$BIN" get 3 "$SLOW" "$work/out/$NAME"
  measure curl20m curl -sS -L -o "$work/out/$NAME" "$SLOW"
  measure aria2c20m aria2c -q -x2 -s2 --allow-overwrite=true --auto-file-renaming=false \
    --file-allocation=none -d "$work/out" -o "$NAME" "$SLOW"
done
mv "$work/results" "$work/slow"

avg() { awk -v k="$1" '$1 == k { s += $2; n++ } END { if (n) printf "%.3f", s / n; else print "nan" }' "$2"; }
peak() { awk -v k="$1" '$1 == k && $3 > m { m = $3 } END { printf "%.1f", m / 1024 }' "$2"; }
ratio() { echo "$1 / $2" | bc -l | xargs printf '%.2f'; }

single=$(avg single "$work/fast"); curlt=$(avg curl "$work/fast"); cm=$(avg curl+md5sum "$work/fast")
s20=$(avg single20m "$work/slow"); m20=$(avg segmented20m "$work/slow")
c20=$(avg curl20m "$work/slow"); a20=$(avg aria2c20m "$work/slow")
echo "download of ${SIZE} MiB from nginx on 127.0.0.1 via /software/222 (${ROUNDS} rounds; ${SLOW_ROUNDS} at 20m)"
printf '%-44s %9s %10s\n' "command" "seconds" "peak MiB"
printf '%-44s %9s %10s\n' "CCurlDownloader (download + digest check)" "$single" "$(peak single "$work/fast")"
printf '%-44s %9s %10s\n' "curl -L -o" "$curlt" "$(peak curl "$work/fast")"
printf '%-44s %9s %10s\n' "curl -L -o, then md5sum" "$cm" "-"
printf '%-44s %9s %10s\n' "limit_rate 20m: CCurlDownloader" "$s20" "$(peak single20m "$work/slow")"
printf '%-44s %9s %10s\n' "limit_rate 20m: CMTCurlDownloader" "$m20" "$(peak segmented20m "$work/slow")"
printf '%-44s %9s %10s\n' "limit_rate 20m: curl -L -o" "$c20" "$(peak curl20m "$work/slow")"
printf '%-44s %9s %10s\n' "limit_rate 20m: aria2c -x2 -s2" "$a20" "$(peak aria2c20m "$work/slow")"
echo
echo "CCurlDownloader / (curl + md5sum) time:        $(ratio "$single" "$cm")  (target <= 1.10)"
echo "CMTCurlDownloader speed / CCurlDownloader, 20m: $(ratio "$s20" "$m20")  (target >= 1.80)"
echo "CMTCurlDownloader speed / aria2c -x2 -s2, 20m:  $(ratio "$a20" "$m20")  (target >= 1.00)"
echo "aria2c speed / curl, 20m:                       $(ratio "$c20" "$a20")"
echo "peak memory CCurlDownloader / curl:             $(ratio "$(peak single "$work/fast")" "$(peak curl "$work/fast")")  (target <= 1.50)"

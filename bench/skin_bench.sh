#!/usr/bin/env bash
# Skin framework figures beside peer tools measured in the same run:
#   opening the skin package    vs 7zz extracting the same archive to memory
#   building the main skin      vs xmllint-free peer: python3 parsing the same XML
#   a full 600x400 repaint      vs ImageMagick compositing a 600x400 PNG
#   first window on screen      (under Xvfb) vs the time to start `true`
# Usage: bench/skin_bench.sh [build-dir]   (default: build)
# Prints a table; never fails the run.
set -uo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(dirname "$here")"
build="${1:-$root/build}"
bench="$build/tools/skin_viewer/skin_bench"
archive="$build/installer/src/skin/skin.7z"
if [ ! -x "$bench" ] || [ ! -f "$archive" ]; then
  echo "skin_bench: build the skin_bench target first (ninja -C $build skin_bench)"
  exit 0
fi
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT

# Median wall time in ms of a command run N times.
median_ms() {
  local n=$1; shift
  for _ in $(seq "$n"); do
    local t0 t1
    t0=$(date +%s%N); "$@" >/dev/null 2>&1; t1=$(date +%s%N)
    echo $(( (t1 - t0) / 1000 ))
  done | sort -n | awk '{a[NR]=$1} END {printf "%.3f", a[int((NR+1)/2)]/1000}'
}

"$bench" > "$tmp/ours" 2>/dev/null
ours() { awk -v k="$1" '$1 == k {print $2}' "$tmp/ours"; }

peer_7z=$(median_ms 5 7zz x -so "$archive")
7zz x -so "$archive" mainWnd.xml > "$tmp/mainWnd.xml" 2>/dev/null
peer_xml=$(median_ms 5 python3 -c "import sys,xml.dom.minidom as m; m.parse(sys.argv[1])" "$tmp/mainWnd.xml")
7zz x -o"$tmp/res" "$archive" res/mainWnd/bg1.png >/dev/null 2>&1
peer_im=$(median_ms 5 convert "$tmp/res/res/mainWnd/bg1.png" -resize '600x400!' -fill '#227EFA' \
  -draw 'rectangle 184,190 416,240' png:-)

first=""
peer_start=""
if command -v xvfb-run >/dev/null; then
  first=$(xvfb-run -a "$bench" --first-window 2>/dev/null | awk '{print $2}')
  peer_start=$(median_ms 5 true)
fi

printf '%-28s %12s %14s %8s\n' "figure" "ours (ms)" "peer (ms)" "ratio"
row() {
  local name=$1 a=$2 b=$3 peer=$4
  if [ -n "$a" ] && [ -n "$b" ]; then
    printf '%-28s %12s %14s %8s   peer: %s\n' "$name" "$a" "$b" \
      "$(awk -v a="$a" -v b="$b" 'BEGIN { if (b > 0) printf "%.3f", a / b; else print "-" }')" "$peer"
  else
    printf '%-28s %12s %14s %8s   peer: %s\n' "$name" "${a:--}" "${b:--}" "-" "$peer"
  fi
}
row "open skin package" "$(ours open_archive_ms)" "$peer_7z" "7zz x -so (whole archive)"
row "build main skin" "$(ours build_main_skin_ms)" "$peer_xml" "python3 minidom parse"
row "repaint 600x400" "$(ours repaint_600x400_ms)" "$peer_im" "ImageMagick 600x400 composite"
row "first window on screen" "$first" "$peer_start" "starting /bin/true"
exit 0

#!/usr/bin/env bash
# The demo: installs the demo product with the real installer, end to end.
#
#   bash scripts/run.sh            everything confined to build/demo-run
#   bash scripts/run.sh --real-home   install for the real user instead
#
# Steps: install the Debian packages (scripts/setup.sh), build everything
# natively (build/native), start the demo server (nginx serving the demo
# package behind /software/222, and the analytics collector), run the
# installer in silent mode against it, show the installed files, the records
# written and the funnel events the collector received, and stop the server.
# The installer window is not part of the build yet, so the demo runs the
# silent mode everywhere.
#
# By default HOME, XDG_CONFIG_HOME, XDG_DATA_HOME, XDG_RUNTIME_DIR and TMPDIR
# point into build/demo-run, so the demo never touches the real user's files.
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$ROOT"

real_home=0
case "${1:-}" in
  --real-home) real_home=1 ;;
  "") ;;
  *) echo "usage: $0 [--real-home]" >&2; exit 2 ;;
esac

step() { echo; echo "=== $*"; }

step "Debian packages"
bash scripts/setup.sh

step "native build (build/native)"
cmake -S . -B build/native -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/native -j2

BUILD="$ROOT/build/native"
DEMO="$ROOT/build/demo-run"
INSTALLER="$BUILD/installer/src/app/VanteloInstaller"
PACKAGE="$BUILD/demo/VanteloPDFconverter_setup.exe"
rm -rf "$DEMO"
mkdir -p "$DEMO/server"
if [ $real_home -eq 0 ]; then
  mkdir -p "$DEMO/home" "$DEMO/run" "$DEMO/tmp"
  chmod 700 "$DEMO/run"
  export HOME="$DEMO/home"
  export XDG_CONFIG_HOME="$DEMO/home/.config"
  export XDG_DATA_HOME="$DEMO/home/.local/share"
  export XDG_RUNTIME_DIR="$DEMO/run"
  export TMPDIR="$DEMO/tmp"
  PROGRAMS="$DEMO/Programs"
else
  PROGRAMS="${XDG_DATA_HOME:-$HOME/.local/share}/Programs"
fi
# Paths and texts are UTF-8 on this side; a bare C locale would mangle the
# Chinese names.
if ! locale 2>/dev/null | grep -qi 'LC_CTYPE=.*utf-\?8'; then export LC_ALL=C.UTF-8; fi

step "demo server"
# 400 KB/s per connection: the 1.4 MB package takes a few seconds, so the
# progress line has something to show.
bash tools/demo_server/demo_server.sh start "$DEMO/server" "$PACKAGE" 400k
# shellcheck disable=SC1091
. "$DEMO/server/server.env"
trap 'bash "$ROOT/tools/demo_server/demo_server.sh" stop "$DEMO/server"' EXIT

step "silent install"
echo "\$ VanteloInstaller -silent -installdir=$PROGRAMS -downloadurl=$DOWNLOAD_URL -analyticsurl=$COLLECTOR_URL"
set +e
"$INSTALLER" -silent "-installdir=$PROGRAMS" "-downloadurl=$DOWNLOAD_URL" "-analyticsurl=$COLLECTOR_URL" \
  2>"$DEMO/trace.txt"
status=$?
set -e
# The trace goes to standard error; only the installer's own messages are shown.
grep -v '^<P' "$DEMO/trace.txt" || true
echo "exit code: $status (full trace: $DEMO/trace.txt)"

FOLDER="$PROGRAMS/VanteloPDFconverter"
step "installed files ($FOLDER)"
ls -la "$FOLDER" 2>/dev/null || echo "(nothing installed)"
DESKTOP="${XDG_DESKTOP_DIR:-$HOME/Desktop}"
if [ -d "$DESKTOP" ]; then echo; echo "desktop shortcut:"; ls "$DESKTOP"; fi
sleep 0.3
if [ -f "$FOLDER/product-started.txt" ]; then
  echo; echo "the product was started: $(cat "$FOLDER/product-started.txt")"
fi

step "install records"
KEYFILE="${XDG_CONFIG_HOME:-$HOME/.config}/Software/KavrinSoft/VanteloPDFconverter.reg"
echo "registry key file $KEYFILE:"; cat "$KEYFILE" 2>/dev/null || echo "(missing)"
echo; echo "$FOLDER/set.ini:"; cat "$FOLDER/set.ini" 2>/dev/null || echo "(missing)"
ANALYTICS_INI="${XDG_DATA_HOME:-$HOME/.local/share}/KavrinData/VanteloPDFconverter/KVUsageAnalytics.ini"
echo; echo "$ANALYTICS_INI:"; cat "$ANALYTICS_INI" 2>/dev/null || echo "(missing)"

step "funnel events the collector received"
bash tools/demo_server/demo_server.sh events "$DEMO/server" |
  sed -n 's/^record //p' | python3 -c '
import json, sys
for line in sys.stdin:
    try:
        record = json.loads(line)
    except ValueError:
        print(line.rstrip()); continue
    props = record.get("properties", {})
    name = props.get("kv_task_name") or props.get("kv_name") or ""
    print("%-14s %-10s %s %s" % (record.get("event", "?"), name,
          props.get("kv_reason", ""), props.get("kvc_ab", "")))
' || true

step "done"
exit $status

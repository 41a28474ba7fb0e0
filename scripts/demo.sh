#!/usr/bin/env bash
# Builds the programs and opens the gang programmer.
#   scripts/demo.sh           four simulated programmers (tools/devsim) behind it
#   scripts/demo.sh --real    the programmers attached to this computer
#   scripts/demo.sh --smoke   simulated programmers, no display: starts the
#                             program offscreen, checks it found all four, quits
set -euo pipefail
cd "$(dirname "$0")/.."
mode=${1:-sim}
APP_DIR=${APP_DIR:-build}

make build APP_DIR="$APP_DIR"
app="$APP_DIR/app/qt/Pelmor200VLT"

if [ "$mode" = "--real" ]; then
  exec "$app"
fi

work=$(mktemp -d /tmp/pelmor-demo.XXXXXX)
sim_pid=""
cleanup() {
  [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# More options for the simulated programmers, e.g. PELMOR_DEVSIM_ARGS="--reports 5 --runs 3".
read -r -a devsim_args <<<"${PELMOR_DEVSIM_ARGS:-}"
"$APP_DIR/tools/devsim/pelmor-devsim" -n 4 --map "$work/devices.map" "${devsim_args[@]}" >"$work/devsim.log" 2>&1 &
sim_pid=$!
for _ in $(seq 100); do
  [ -s "$work/devices.map" ] && break
  sleep 0.1
done
[ -s "$work/devices.map" ] || { echo "the simulated programmers did not start:"; cat "$work/devsim.log"; exit 1; }
export PELMOR_SERIAL_MAP="$work/devices.map"

# A data file to load (4 KB of a counting pattern).
python3 - "$work/demo-data.BIN" <<'PY' 2>/dev/null || head -c 4096 /dev/urandom >"$work/demo-data.BIN"
import sys
open(sys.argv[1], "wb").write(bytes((i * 37 + 11) & 0xFF for i in range(4096)))
PY

if [ "$mode" = "--smoke" ]; then
  out=$(QT_QPA_PLATFORM=offscreen "$app" --quit-after 3000)
  echo "$out"
  found=$(grep -c 'Find Device' <<<"$out" || true)
  [ "$found" -eq 4 ] || { echo "smoke run: $found of 4 programmers found"; exit 1; }
  echo "smoke run: all four simulated programmers found"
  exit 0
fi

echo "Simulated programmers on: $(awk '{print $2}' "$work/devices.map" | tr '\n' ' ')"
echo "A data file to load: $work/demo-data.BIN"
"$app"

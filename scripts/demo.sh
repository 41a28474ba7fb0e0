#!/usr/bin/env bash
# Builds the programs and opens one of them.
#   scripts/demo.sh             the gang programmer, four simulated programmers
#                               (tools/devsim) behind it
#   scripts/demo.sh --fwupgrade the firmware upgrade tool, one simulated
#                               programmer behind it
#   scripts/demo.sh --real      the gang programmer, the programmers attached
#                               to this computer
#   scripts/demo.sh --smoke     simulated programmers, no display: starts the
#                               gang programmer offscreen, checks it found all
#                               four, quits
# Each run starts simulators of its own and stops them when the program
# closes, so the gang programmer and the upgrade tool can run side by side.
set -euo pipefail
cd "$(dirname "$0")/.."
mode=${1:-sim}
APP_DIR=${APP_DIR:-build}

case "$mode" in
sim | --smoke) app="$APP_DIR/app/qt/Pelmor200VLT" count=4 ;;
--fwupgrade) app="$APP_DIR/fwupgrade/qt/PelmorFwUpgrade" count=1 ;;
--real) app="$APP_DIR/app/qt/Pelmor200VLT" ;;
*)
  echo "usage: $0 [--fwupgrade | --real | --smoke]" >&2
  exit 2
  ;;
esac

make build APP_DIR="$APP_DIR"

if [ "$mode" = "--real" ]; then
  exec "$app"
fi

work=$(mktemp -d /tmp/pelmor-demo.XXXXXX)
sim_pid=""
cleanup() {
  if [ -n "$sim_pid" ]; then
    kill "$sim_pid" 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT
# The simulators ignore the terminal's Ctrl+C (a background job of a script):
# leave through the exit trap, which stops them.
trap 'exit 130' INT
trap 'exit 143' TERM HUP

# More options for the simulated programmers, e.g. PELMOR_DEVSIM_ARGS="--reports 5 --runs 3".
read -r -a devsim_args <<<"${PELMOR_DEVSIM_ARGS:-}"
"$APP_DIR/tools/devsim/pelmor-devsim" -n "$count" --map "$work/devices.map" "${devsim_args[@]}" \
  >"$work/devsim.log" 2>&1 &
sim_pid=$!
for _ in $(seq 100); do
  [ -s "$work/devices.map" ] && break
  sleep 0.1
done
[ -s "$work/devices.map" ] || {
  echo "the simulated programmers did not start:"
  cat "$work/devsim.log"
  exit 1
}
export PELMOR_SERIAL_MAP="$work/devices.map"
echo "Simulated programmers on: $(awk '{print $2}' "$work/devices.map" | tr '\n' ' ')"

if [ "$mode" = "--fwupgrade" ]; then
  # Not exec: the exit trap stops the simulator once the tool closes.
  "$app"
  exit 0
fi

# A data file to load (4 KB of a counting pattern).
python3 - "$work/demo-data.BIN" <<'PY' 2>/dev/null || head -c 4096 /dev/urandom >"$work/demo-data.BIN"
import sys
open(sys.argv[1], "wb").write(bytes((i * 37 + 11) & 0xFF for i in range(4096)))
PY

if [ "$mode" = "--smoke" ]; then
  out=$(QT_QPA_PLATFORM=offscreen "$app" --quit-after 3000)
  echo "$out"
  found=$(grep -c 'Find Device' <<<"$out" || true)
  [ "$found" -eq 4 ] || {
    echo "smoke run: $found of 4 programmers found"
    exit 1
  }
  echo "smoke run: all four simulated programmers found"
  exit 0
fi

echo "A data file to load: $work/demo-data.BIN"
"$app"

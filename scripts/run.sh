#!/usr/bin/env bash
# Installs what is needed, builds the program (Release) and starts it together with a set of
# simulated testers in the same program folder; the testers stop when the program exits.
# Extra arguments go to the program, e.g. scripts/run.sh --home ~/ondrel
# ONDREL_NO_SIM=1 starts the program alone (for real testers).
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
source "$ROOT/scripts/common.sh"

"$ROOT/scripts/setup.sh"
build_tree "$ROOT/build-release" -DCMAKE_BUILD_TYPE=Release -DONDREL_TESTS=OFF -DONDREL_BENCH=OFF

home="$ROOT/demo"
args=("$@")
given_home=""
for ((i = 0; i < ${#args[@]}; i++)); do
  case "${args[$i]}" in
    --home) given_home="${args[$((i + 1))]:-}" ;;
    --home=*) given_home="${args[$i]#--home=}" ;;
  esac
done
if [[ -n "$given_home" ]]; then
  home="$given_home"
else
  mkdir -p "$home"
  args=(--home "$home" "${args[@]}")
fi

if [[ "${ONDREL_NO_SIM:-0}" != 1 ]]; then
  # A single-channel load on COM2 (slot 0's port) already discharging a cell at 1 A from its own
  # keys, so that Connect shows live curves at once; a two-channel load, a charger and a USB meter.
  "$ROOT/build-release/bin/ondrel-sim" --home "$home" --log "$home/ondrel-sim.log" \
    --device 2:model=12,speed=10,start=0/1/3.0/0 \
    --device 3:model=17 \
    --device 4:model=9,soc=40 \
    --device 5:model=26,fw=320 </dev/null &
  sim_pid=$!
  trap 'kill "$sim_pid" 2>/dev/null || true; wait "$sim_pid" 2>/dev/null || true' EXIT
  # The program probes its ports at start-up: let the links appear first.
  for _ in $(seq 50); do
    [[ -L "$home/ports/COM5" ]] && break
    sleep 0.1
  done
fi

"$ROOT/build-release/bin/ondrel" "${args[@]}"

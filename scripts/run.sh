#!/usr/bin/env bash
# Installs what is needed, builds the program (Release) and starts it.
# Extra arguments go to the program, e.g. scripts/run.sh --home ~/ondrel
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
source "$ROOT/scripts/common.sh"

"$ROOT/scripts/setup.sh"
build_tree "$ROOT/build-release" -DCMAKE_BUILD_TYPE=Release -DONDREL_TESTS=OFF -DONDREL_BENCH=OFF

home="$ROOT/demo"
args=("$@")
if [[ ! " ${args[*]-} " =~ " --home" ]]; then
  mkdir -p "$home"
  args=(--home "$home" "${args[@]}")
fi
exec "$ROOT/build-release/bin/ondrel" "${args[@]}"

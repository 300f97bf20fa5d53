#!/usr/bin/env bash
# Installs what is needed, builds the test configuration (sanitizers on) and runs every test
# headless. Benchmarks are built but not run: `ctest -L bench` in build-test runs them.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
source "$ROOT/scripts/common.sh"

"$ROOT/scripts/setup.sh"
# Warnings fail the test build: the code stays clean under -Wall -Wextra -Wpedantic. The /usr
# prefix is the package's, so the package test checks the package scripts/package.sh makes.
build_tree "$ROOT/build-test" -DCMAKE_BUILD_TYPE=Debug -DONDREL_SANITIZE=ON -DCMAKE_INSTALL_PREFIX=/usr \
  -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g" -DCMAKE_COMPILE_WARNING_AS_ERROR=ON

export QT_QPA_PLATFORM=offscreen
cd "$ROOT/build-test"
ctest --output-on-failure --label-exclude bench --parallel "$(nproc)" "$@"

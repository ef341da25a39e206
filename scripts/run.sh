#!/usr/bin/env bash
# Installs what is missing, builds Pivrel and shows how the browser sees the bundled sample deck.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh build
cmake --preset release -DPIVREL_BENCH=OFF -DPIVREL_TESTS=OFF >/dev/null
cmake --build --preset release --target pivrel-cli
build/release/tools/pivrel-cli elements "${1:-data/samples/welcome.wml}"

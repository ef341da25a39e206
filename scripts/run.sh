#!/usr/bin/env bash
# Installs what is missing, builds Pivrel and opens the bundled welcome deck in the browser
# window. Without a display the deck is rendered off screen into a picture instead.
# Usage: scripts/run.sh [ADDRESS]
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh build
cmake --preset release -DPIVREL_BENCH=OFF -DPIVREL_TESTS=OFF >/dev/null
cmake --build --preset release --target pivrel pivrel-cli

address=${1:-data/samples/welcome.wml}
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    exec build/release/app/pivrel "$address"
fi
echo "No display found: rendering $address off screen."
build/release/app/pivrel --screenshot build/welcome.png "$address"
echo "The window as it shows the deck: build/welcome.png"
echo "The deck as the browser reads it (pivrel-cli elements, first lines):"
build/release/tools/pivrel-cli elements "$address" | head -n 8

#!/usr/bin/env bash
# Renders the program's icon from its SVG into the PNG sizes that ship beside it. Needs
# rsvg-convert (Debian package librsvg2-bin); run after changing data/icons/pivrel.svg.
set -euo pipefail
cd "$(dirname "$0")/../data/icons"
for size in 16 32 48 64 128 256; do
    rsvg-convert -w "$size" -h "$size" pivrel.svg -o "pivrel-$size.png"
done

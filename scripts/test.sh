#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test: the debug build, then the
# AddressSanitizer/UndefinedBehaviorSanitizer build with the fuzz targets replaying their corpora.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh build test
jobs=$(nproc)

scripts/check-core-free-of-qt.sh
scripts/check-format.sh

cmake --preset dev
cmake --build --preset dev -j "$jobs"
ctest --preset dev -j "$jobs"

cmake --preset asan-ubsan
cmake --build --preset asan-ubsan -j "$jobs"
ctest --preset asan-ubsan -j "$jobs"

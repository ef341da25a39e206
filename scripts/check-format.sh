#!/usr/bin/env bash
# Every tracked C++ source keeps the one layout of .clang-format.
set -euo pipefail
cd "$(dirname "$0")/.."
git ls-files -z -- '*.cpp' '*.h' | xargs -0 clang-format --dry-run --Werror

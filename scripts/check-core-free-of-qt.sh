#!/usr/bin/env bash
# The core folders build and test headless: none of their files may include a Qt header.
set -euo pipefail
cd "$(dirname "$0")/.."
if grep -rnE '#include\s*<Q' base wml engine net images script 2>/dev/null; then
    echo "A core folder includes a Qt header (above)." >&2
    exit 1
fi

#!/usr/bin/env bash
# Fuzzes every target for a bounded time each (default 60 seconds), new inputs kept in a scratch
# folder so that the seed corpora stay small.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}

scripts/install-deps.sh build test
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$(nproc)"

failed=()
for target in $(find build/fuzz -type f -perm -u+x -name 'fuzz_*' | sort); do
    name=$(basename "$target")
    folder=$(echo "$name" | cut -d_ -f2)
    entry=$(echo "$name" | cut -d_ -f3-)
    scratch=build/fuzz/corpus-$name
    mkdir -p "$scratch"
    echo "== $name for ${seconds}s"
    if ! "$target" -max_total_time="$seconds" -max_len=8192 -rss_limit_mb=2048 -timeout=5 \
        -artifact_prefix=build/fuzz/ "$scratch" "$folder/fuzz/corpus/$entry"; then
        failed+=("$name")
    fi
done
if [ ${#failed[@]} -gt 0 ]; then
    echo "Failed: ${failed[*]} (the inputs are in build/fuzz/)" >&2
    exit 1
fi
echo "All fuzz targets ran clean."

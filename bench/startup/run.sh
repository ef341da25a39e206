#!/usr/bin/env bash
# Whole-process timings of the browser window: start to first card shown for a 1 KB and a 1 MB
# local deck against a bare Qt window, and a link click to a loopback deck. See bench/README.md.
# Usage: bench/startup/run.sh BUILD_DIR [RUNS]
#   BUILD_DIR: a release build with PIVREL_BENCH=ON (cmake --preset release).
# Runs on an X server of its own (xvfb-run) unless QT_QPA_PLATFORM=offscreen is set.
set -euo pipefail
if [ "${QT_QPA_PLATFORM:-}" != offscreen ] && [ -z "${PIVREL_BENCH_DISPLAY:-}" ]; then
    exec xvfb-run -a -s "-screen 0 1024x768x24" \
        env PIVREL_BENCH_DISPLAY=1 QT_QPA_PLATFORM=xcb bash "$0" "$@"
fi
build=$1 runs=${2:-20}
for tool in hyperfine; do
    command -v "$tool" >/dev/null || { echo "run.sh: $tool is missing (scripts/install-deps.sh bench test)" >&2; exit 2; }
done
pivrel=$build/app/pivrel bare=$build/bench/startup/bench_bare_window
click=$build/bench/startup/bench_link_click gen=$build/bench/bench_gen_deck
splash=$build/bench/startup/bench_splash_start
for program in "$pivrel" "$bare" "$click" "$gen" "$splash"; do
    [ -x "$program" ] || { echo "run.sh: $program is not built" >&2; exit 2; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$gen" 1k "$work/deck1k.wml"
"$gen" 1m "$work/deck1m.wml"
mkdir -p "$work/home"
export PIVREL_HOME=$work/home

hyperfine -N --warmup 3 --runs "$runs" --export-markdown "$work/startup.md" \
    -n "bare Qt window" "$bare $work/bare.png" \
    -n "pivrel, 1 KB deck" "$pivrel --screenshot $work/1k.png file://$work/deck1k.wml" \
    -n "pivrel with splash, 1 KB deck" "$splash $work/splash.png $work/deck1k.wml" \
    -n "pivrel, 1 MB deck" "$pivrel --screenshot $work/1m.png file://$work/deck1m.wml"
cat "$work/startup.md"
echo
"$click" 100 1000
"$click" 100 100000

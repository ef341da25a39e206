#!/usr/bin/env bash
# Whole-process peak memory: `pivrel-cli elements` on the generated decks and on the hostile ones,
# each against its bound of 8 times the deck plus 100 MiB; then the window showing the 10 MB deck
# (peak and resident size once shown) beside the window on a one-card deck. See bench/README.md.
# Usage: bench/memory/run.sh BUILD_DIR [SIZE]
#   BUILD_DIR: a release build with PIVREL_BENCH=ON (cmake --preset release); SIZE: 10m unless given.
set -euo pipefail
build=$1 size=${2:-10m}
cli=$build/tools/pivrel-cli gen=$build/bench/bench_gen_deck pivrel=$build/app/pivrel
for program in "$cli" "$gen"; do
    [ -x "$program" ] || { echo "run.sh: $program is not built" >&2; exit 2; }
done
[ -x /usr/bin/time ] || { echo "run.sh: /usr/bin/time is missing (apt-get install time)" >&2; exit 2; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$gen" 1m "$work/deck1m.wml"
"$gen" "$size" "$work/deck$size.wml"
for kind in AnchorOpenings ParagraphOpenings LessThanSigns NumericEntities VariableOpenings \
    UnclosedSelects UnendedCards; do
    "$gen" "$size" "$work/$kind.wml" "$kind"
done

echo "| deck | size | cards built | peak | 8 x size + 100 MiB | margin |"
echo "|---|---|---|---|---|---|"
for deck in "$work"/*.wml; do
    bytes=$(stat -c %s "$deck")
    peak=$( { /usr/bin/time -f %M "$cli" elements "$deck" > "$work/out.jsonl"; } 2>&1 | tail -n 1)
    cards=$(head -n 1 "$work/out.jsonl" | grep -o '"cards":[0-9]*' | cut -d: -f2)
    awk -v name="$(basename "$deck")" -v bytes="$bytes" -v kb="$peak" -v cards="$cards" 'BEGIN {
        mib = 1048576; bound = 8 * bytes + 100 * mib; peak = kb * 1024;
        printf "| %s | %.2f MiB | %s | %.1f MiB | %.1f MiB | %.1f MiB |\n",
            name, bytes / mib, cards, peak / mib, bound / mib, (bound - peak) / mib }'
done

[ -x "$pivrel" ] || { echo "run.sh: $pivrel is not built; the window is not measured" >&2; exit 0; }
command -v Xvfb >/dev/null || { echo "run.sh: Xvfb is missing; the window is not measured" >&2; exit 0; }
printf '<?xml version="1.0"?>\n<wml><card id="a"><p>x</p></card></wml>\n' > "$work/one.wml"
display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 1024x768x24 > /dev/null 2>&1 &
server=$!
sleep 1
echo
echo "| window showing | peak (VmHWM) | once shown (VmRSS) |"
echo "|---|---|---|"
for deck in "$work/one.wml" "$work/deck1m.wml" "$work/deck$size.wml"; do
    mkdir -p "$work/home"
    PIVREL_HOME=$work/home DISPLAY=$display "$pivrel" "$deck" > /dev/null 2>&1 &
    window=$!
    # Long enough for the 10 MB deck to be parsed and its first card drawn on a loaded machine.
    sleep 8
    awk -v name="$(basename "$deck")" '/VmHWM/ { hwm = $2 } /VmRSS/ { rss = $2 }
        END { printf "| %s | %.1f MiB | %.1f MiB |\n", name, hwm / 1024, rss / 1024 }' "/proc/$window/status"
    kill "$window"
    wait "$window" 2> /dev/null || true
done
kill "$server"
wait "$server" 2> /dev/null || true

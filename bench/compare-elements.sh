#!/usr/bin/env bash
# Checks that two builds of pivrel-cli print the same `elements` output, standard error and exit
# status, byte for byte: on the generated 1 MB and 10 MB decks, the hostile 10 MB decks, and every
# deck under tests/, data/ and the deck fuzzers' corpora. A speed change must not change a byte.
# Usage: bench/compare-elements.sh BEFORE_CLI AFTER_CLI [BUILD_DIR]
#   BUILD_DIR (build/release unless given) provides bench_gen_deck.
set -uo pipefail
before=$1 after=$2 build=${3:-build/release}
root=$(cd "$(dirname "$0")/.." && pwd)
gen=$build/bench/bench_gen_deck
[ -x "$gen" ] || { echo "compare-elements.sh: $gen is not built" >&2; exit 2; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$gen" 1m "$work/deck1m.wml"
"$gen" 10m "$work/deck10m.wml"
for kind in AnchorOpenings ParagraphOpenings LessThanSigns NumericEntities VariableOpenings \
    UnclosedSelects UnendedCards; do
    "$gen" 10m "$work/$kind.wml" "$kind"
done
decks=("$work"/*.wml)
while IFS= read -r deck; do decks+=("$deck"); done < <(find "$root/tests" "$root/data" \
    "$root/wml/fuzz/corpus/Deck" "$root/wml/fuzz/corpus/Charset" -type f \
    \( -name '*.wml' -o -name '*.wmlc' -o -path '*/corpus/*' \) | sort)

differ=0
for deck in "${decks[@]}"; do
    "$before" elements "$deck" > "$work/before.out" 2> "$work/before.err"
    echo $? >> "$work/before.err"
    "$after" elements "$deck" > "$work/after.out" 2> "$work/after.err"
    echo $? >> "$work/after.err"
    if ! cmp -s "$work/before.out" "$work/after.out" || ! cmp -s "$work/before.err" "$work/after.err"; then
        echo "differs: $deck"
        differ=1
    fi
done
echo "${#decks[@]} decks compared; $([ $differ = 0 ] && echo "all the same" || echo "some differ")"
exit $differ

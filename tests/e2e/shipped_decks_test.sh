#!/usr/bin/env bash
# Every deck that ships with the program parses into cards, and every link, button and list
# entry that points into a shipped deck names a file and a card that exist: a broken link in
# the help would otherwise show the first card without a word.
# Usage: shipped_decks_test.sh PIVREL_CLI DATA_DIR
set -euo pipefail
cli=$1 data=$2
here=$(cd "$(dirname "$0")" && pwd)
. "$here/e2e_lib.sh"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The card ids of a deck, one a line, as the browser reads them.
card_ids() { # DECK
    grep -o '^{"card":{"index":[0-9]*,"ID":"[^"]*"' "$work/$(basename "$1").jsonl" | sed 's/.*"ID":"//; s/"$//'
}

# Every address a deck's records point to: links and buttons ("Link"), list entries (the
# "OnPickList" arrays) and card timers ("OnTimerURL").
targets() { # DECK
    local jsonl="$work/$(basename "$1").jsonl"
    {
        grep -o '"\(Link\|OnTimerURL\)":"[^"]*"' "$jsonl" | sed 's/^"[A-Za-z]*":"//; s/"$//'
        grep -o '"OnPickList":\[[^]]*\]' "$jsonl" | sed 's/^"OnPickList":\[//; s/\]$//' | tr ',' '\n' \
            | sed 's/^"//; s/"$//'
    } | grep -v '^$' | grep -v '^@' | sort -u || true
}

decks=("$data"/Help/*.wml "$data"/samples/*.wml)
[ "${#decks[@]}" -ge 3 ] || fail "expected the help deck and the samples, found ${decks[*]}"
for deck in "${decks[@]}"; do
    "$cli" elements "$deck" >"$work/$(basename "$deck").jsonl" || fail "pivrel-cli cannot read $deck"
    head -n 1 "$work/$(basename "$deck").jsonl" | grep -q '"accepted":true' || fail "$deck is not taken as a deck"
    [ -n "$(card_ids "$deck")" ] || fail "$deck has no card"
    if grep -q '"Title":""' "$work/$(basename "$deck").jsonl"; then
        fail "$deck has a card without a title"
    fi
done

for deck in "${decks[@]}"; do
    dir=$(dirname "$deck")
    while IFS= read -r target; do
        case "$target" in
        http:* | https:*) continue ;;
        \#*) file=$deck card=${target#\#} ;;
        *\#*\(*\))
            # A call of a script function: the script must exist and compile.
            file=$dir/${target%%#*} card=
            [ -f "$file" ] && { "$cli" wmls compile "$file" -o "$work/call.wmlsc" >/dev/null \
                || fail "$(basename "$deck") points to $target: the script does not compile"; } ;;
        *\#*) file=$dir/${target%%#*} card=${target#*#} ;;
        *) file=$dir/$target card= ;;
        esac
        [ -f "$file" ] || fail "$(basename "$deck") points to $target: no such file"
        if [ -n "$card" ]; then
            [ -f "$work/$(basename "$file").jsonl" ] || "$cli" elements "$file" >"$work/$(basename "$file").jsonl"
            card_ids "$file" | grep -qx "$card" || fail "$(basename "$deck") points to $target: no such card"
        fi
    done < <(targets "$deck")
done

# The help explains what the program offers: each of these must be found in it.
help="$data/Help/Help.wml"
for topic in "location box" Back Forward Reload Stop Home Bookmark Reopen Proxy "background" \
    "View size" "Save As" pivrel-cli "--screenshot" PIVREL_HOME F1; do
    grep -qi -- "$topic" "$help" || fail "the help deck does not mention $topic"
done
echo "PASS"

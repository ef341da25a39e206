#!/usr/bin/env bash
# pivrel --print-pdf as a WML author uses it: the shown card printed to a PDF file through the
# window's print engine. Checks the page count and the text of the pages with poppler-utils.
# Usage: print_pdf_test.sh PIVREL DATA_DIR IMAGES_CORPUS
set -euo pipefail
pivrel=$1 data=$2 pictures=$3
here=$(cd "$(dirname "$0")" && pwd)
. "$here/e2e_lib.sh"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/home"

# print EXPECTED_STATUS OUT ARGS...: one headless print with a time limit.
print() {
    local expected=$1 out=$2 status=0
    shift 2
    PIVREL_HOME="$work/home" QT_QPA_PLATFORM=offscreen \
        timeout 30 "$pivrel" --print-pdf "$out" "$@" >"$work/stdout" 2>"$work/stderr" || status=$?
    [ "$status" -ne 124 ] || fail "printing $* did not end within 30 s"
    [ "$status" -eq "$expected" ] || {
        cat "$work/stderr" >&2
        fail "printing $* exited with $status, not $expected"
    }
}

pages() { pdfinfo "$1" | sed -n 's/^Pages: *//p'; }

# A card shorter than a page: one A4 page with the card's text.
print 0 "$work/short.pdf" "$data/samples/welcome.wml"
[ "$(pages "$work/short.pdf")" = 1 ] || fail "a short card printed $(pages "$work/short.pdf") pages"
pdfinfo "$work/short.pdf" | grep -q 'Page size: *595.* x 841.* pts (A4)\|Page size: *595 x 842 pts (A4)' \
    || fail "not printed on A4: $(pdfinfo "$work/short.pdf" | grep 'Page size')"
pdftotext "$work/short.pdf" - | grep -q "Welcome" || fail "the card's text is missing"

# A card of several pages: every line of the deck once, none cut between two pages.
{
    echo '<?xml version="1.0"?><wml><card id="long" title="Long"><p>'
    for i in $(seq 1 400); do echo "Row number $i of the long card<br/>"; done
    echo '</p></card></wml>'
} >"$work/long.wml"
print 0 "$work/long.pdf" "$work/long.wml"
count=$(pages "$work/long.pdf")
[ "$count" -gt 3 ] || fail "400 lines printed on $count pages"
pdftotext "$work/long.pdf" - | tr -d '\f' >"$work/long.txt"
for i in $(seq 1 400); do
    n=$(grep -c "^Row number $i of the long card\$" "$work/long.txt" || true)
    [ "$n" = 1 ] || fail "line $i printed $n times"
done

# Pictures and filled inputs print as they show: each control is a picture of its own.
cp "$pictures/checker-16x16" "$work/checker.wbmp"
cat >"$work/form.wml" <<'DECK'
<?xml version="1.0"?>
<wml><card id="form" title="Form"><p>
Picture: <img src="checker.wbmp" alt="checker"/><br/>
Name: <input name="who" value="Filled in"/><br/>
Choice: <select name="pick" value="b"><option value="a">First</option><option value="b">Second</option></select>
</p></card></wml>
DECK
print 0 "$work/form.pdf" "$work/form.wml"
pdftotext "$work/form.pdf" - | grep -q "Name:" || fail "the form's text is missing"
images=$(pdfimages -list "$work/form.pdf" | tail -n +3 | wc -l)
[ "$images" -ge 3 ] || fail "the picture and the two filled controls gave $images images"

# The card named by --card.
print 0 "$work/card.pdf" --card summary "$data/samples/forms.wml"
pdftotext "$work/card.pdf" - | grep -q "Your order\|order" || fail "the named card was not printed"

# Failures: status 1 and the reason; bad usage status 2.
print 1 "$work/missing.pdf" "$work/no-such-deck.wml"
grep -q "pivrel: failed" "$work/stderr" || fail "no reason given for a missing deck"
[ ! -e "$work/missing.pdf" ] || fail "a failed print left a file"
print 1 "$work/nocard.pdf" --card nowhere "$data/samples/welcome.wml"
grep -q 'no card "nowhere"' "$work/stderr" || fail "no reason given for a missing card"
print 2 "$work/usage.pdf"
echo "print_pdf_test: ok"

#!/usr/bin/env bash
# The headless render as a WML author's build check uses it: a deck that shows gives status 0
# and a picture of the window, one that cannot be shown status 1 with the reason on stderr and
# no picture.
# Usage: screenshot_test.sh PIVREL SCREEN_PROBE DATA_DIR
set -euo pipefail
pivrel=$1 probe=$2 data=$3
here=$(cd "$(dirname "$0")" && pwd)
. "$here/e2e_lib.sh"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/home"

# render EXPECTED_STATUS OUT ARGS...: runs one headless render with a time limit.
render() {
    local expected=$1 out=$2 status=0
    shift 2
    PIVREL_HOME="$work/home" QT_QPA_PLATFORM=offscreen \
        timeout 30 "$pivrel" --screenshot "$out" "$@" >"$work/stdout" 2>"$work/stderr" || status=$?
    [ "$status" -ne 124 ] || fail "the render of $* did not end within 30 s"
    [ "$status" -eq "$expected" ] || {
        cat "$work/stderr" >&2
        fail "the render of $* exited with $status, not $expected"
    }
}

# A deck that shows, at the size asked for.
render 0 "$work/welcome.png" --size 300x280 "file://$data/samples/welcome.wml"
[ -s "$work/welcome.png" ] || fail "no picture written"
[ "$("$probe" size "$work/welcome.png")" = "300 280" ] \
    || fail "the picture is $("$probe" size "$work/welcome.png"), not 300 x 280"
check_not_blank "$probe" "$work/welcome.png" 16

# Another card of the same deck, and a deck with inputs and lists, at the default size.
render 0 "$work/table.png" --card table "file://$data/samples/welcome.wml"
check_not_blank "$probe" "$work/table.png" 16
render 0 "$work/forms.png" "file://$data/samples/forms.wml"
check_not_blank "$probe" "$work/forms.png" 16
render 0 "$work/help.png" "file://$data/Help/Help.wml"
check_not_blank "$probe" "$work/help.png" 16

# A file that does not exist: status 1, a reason, and no picture left behind.
render 1 "$work/missing.png" "file://$work/no such deck.wml"
[ -s "$work/stderr" ] || fail "a missing file gave no reason on stderr"
[ ! -e "$work/missing.png" ] || fail "a failed render still wrote a picture"

# Nothing listens on the discard port of the loopback address: the fetch fails at once.
render 1 "$work/refused.png" "http://127.0.0.1:9/deck.wml"
[ -s "$work/stderr" ] || fail "a refused connection gave no reason on stderr"

# A picture that cannot be written is a failure too, not a silent success.
render 1 "$work/no/such/folder/out.png" "file://$data/samples/welcome.wml"
[ -s "$work/stderr" ] || fail "an unwritable picture gave no reason on stderr"

# The headless render leaves no settings behind: the user did not change any.
[ ! -e "$work/home/Pivrel.ini" ] || fail "the render wrote Pivrel.ini"
echo "PASS"

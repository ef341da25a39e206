#!/usr/bin/env bash
# `cmake --install` of a build tree into a fresh prefix: the programs, the shipped files where
# the window looks for them, and the desktop integration; the installed program answers.
# Usage: install_test.sh BUILD_DIR
set -euo pipefail
build=$1
here=$(cd "$(dirname "$0")" && pwd)
. "$here/e2e_lib.sh"

prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null || fail "cmake --install failed"

for file in bin/pivrel bin/pivrel-cli share/pivrel/Help/Help.wml share/pivrel/samples/welcome.wml \
    share/pivrel/pics/skin1.bmp share/pivrel/icons/pivrel-64.png share/applications/pivrel.desktop \
    share/icons/hicolor/scalable/apps/pivrel.svg share/icons/hicolor/48x48/apps/pivrel.png \
    share/mime/packages/pivrel.xml; do
    [ -e "$prefix/$file" ] || fail "the install lacks $file"
done
grep -q '^Exec=pivrel %u$' "$prefix/share/applications/pivrel.desktop" || fail "the menu entry does not run pivrel %u"
grep -q '^MimeType=text/vnd.wap.wml;application/vnd.wap.wmlc;$' "$prefix/share/applications/pivrel.desktop" \
    || fail "the menu entry lacks the WML types"
if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$prefix/share/applications/pivrel.desktop" || fail "the menu entry is not valid"
fi
"$prefix/bin/pivrel" --version | grep -q '^Pivrel 2\.2' || fail "the installed program does not tell its version"
# pivrel-cli finds its picture module where the install put it.
"$prefix/bin/pivrel-cli" elements "$here/../data/pictures/gif-deck.wml" | grep -q '"SourceWidth":17,' \
    || fail "the installed pivrel-cli does not decode a GIF picture"
echo "PASS"

#!/usr/bin/env bash
# Installs the build into a temporary prefix as a user would (cmake --install) and checks that a
# desktop finds everything: the programs, the desktop entry and metainfo (both validated), the
# icons, the man pages, the MIME type that sends .sty files to Korvane, and the audio module.
# Usage: check-install.sh BUILD_DIR
set -euo pipefail
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

cmake --install "$build" --prefix "$prefix" >/dev/null

for file in \
    bin/korvane bin/korvane-cli \
    share/applications/korvane.desktop \
    share/metainfo/io.korvane.Korvane.metainfo.xml \
    share/mime/packages/io.korvane.Korvane.xml \
    share/icons/hicolor/scalable/apps/korvane.svg \
    share/icons/hicolor/16x16/apps/korvane.png share/icons/hicolor/24x24/apps/korvane.png \
    share/icons/hicolor/32x32/apps/korvane.png share/icons/hicolor/48x48/apps/korvane.png \
    share/icons/hicolor/64x64/apps/korvane.png share/icons/hicolor/128x128/apps/korvane.png \
    share/icons/hicolor/256x256/apps/korvane.png \
    share/man/man1/korvane.1 share/man/man1/korvane-cli.1; do
    [ -s "$prefix/$file" ] || fail "$file is not installed"
done
for program in korvane korvane-cli; do
    [ -x "$prefix/bin/$program" ] || fail "bin/$program is not executable"
done

# Each PNG holds the size its folder names (the width and height of the PNG header).
for png in "$prefix"/share/icons/hicolor/*x*/apps/korvane.png; do
    size=$(basename "$(dirname "$(dirname "$png")")")
    actual=$(od -An -tu1 -j16 -N8 "$png" | awk '{print ($1*16777216+$2*65536+$3*256+$4) "x" ($5*16777216+$6*65536+$7*256+$8)}')
    [ "$actual" = "$size" ] || fail "$png is $actual, not $size"
done

desktop="$prefix/share/applications/korvane.desktop"
desktop-file-validate "$desktop" || fail "desktop-file-validate"
grep -qx 'Exec=korvane %f' "$desktop" || fail "the desktop entry does not pass the opened file"
grep -qx 'MimeType=application/x-yamaha-style;' "$desktop" || fail "the desktop entry names no style MIME type"
appstreamcli validate --no-net "$prefix/share/metainfo/io.korvane.Korvane.metainfo.xml" ||
    fail "appstreamcli validate"

# The MIME package compiles, and the type it defines is the one the desktop entry names.
mime="$prefix/share/mime"
update-mime-database "$mime" 2>"$prefix/mime.log" || { cat "$prefix/mime.log"; fail "update-mime-database"; }
[ -f "$mime/application/x-yamaha-style.xml" ] || fail "no application/x-yamaha-style type"
grep -q '"\*\.sty"' "$mime/packages/io.korvane.Korvane.xml" || fail "no *.sty glob"
grep -q 'value="MThd" offset="0"' "$mime/packages/io.korvane.Korvane.xml" || fail "no MThd magic"

# What a file manager concludes: a style is ours, a TeX package named .sty stays TeX, and a MIDI
# song stays MIDI, although it starts with "MThd" too.
root=$(cd "$(dirname "$0")/../.." && pwd)
mkdir "$prefix/probe"
cp "$root/examples/ballad.sty" "$prefix/probe/style.sty"
cp "$root/examples/ballad.sty" "$prefix/probe/song.mid"
printf '\\NeedsTeXFormat{LaTeX2e}\n\\ProvidesPackage{probe}\n' >"$prefix/probe/package.sty"
for probe in style.sty:application/x-yamaha-style package.sty:text/x-tex song.mid:audio/midi; do
    type=$(XDG_DATA_DIRS="$prefix/share:/usr/share" XDG_DATA_HOME="$prefix/none" \
        gio info -a standard::content-type "$prefix/probe/${probe%%:*}" | sed -n 's/.*content-type: //p')
    [ "$type" = "${probe#*:}" ] || fail "${probe%%:*} is taken for '$type', not ${probe#*:}"
done

# The man pages format without warnings, and the tool's page names every command and exit code.
for page in korvane korvane-cli; do
    warnings=$(groff -man -ww -z "$prefix/share/man/man1/$page.1" 2>&1) || fail "groff $page.1"
    [ -z "$warnings" ] || fail "$page.1: $warnings"
done
cli_page="$prefix/share/man/man1/korvane-cli.1"
for word in 'info' 'models' 'convert' '\\-\\-json' '\\-\\-model' '\\-\\-by\\-name' \
    '\\-\\-copy\\-all' '\\-\\-assign' '\\-\\-force' '\\-\\-output' '^\.B 0$' '^\.B 1$' '^\.B 2$'; do
    grep -q -- "$word" "$cli_page" || fail "korvane-cli.1 does not mention $word"
done

"$prefix/bin/korvane-cli" --help >/dev/null || fail "the installed korvane-cli does not run"

# The audio module is installed in the library folder, and the installed tool loads that one.
module=$(find "$prefix" -name korvane-audio.so)
case "$module" in
"$prefix"/lib*/korvane/korvane-audio.so) ;;
*) fail "the audio module is installed as '$module', not LIBDIR/korvane/korvane-audio.so" ;;
esac
loaded=$(LD_DEBUG=files "$prefix/bin/korvane-cli" ports 2>&1 >/dev/null)
grep -q "file=$module " <<<"$loaded" || fail "the installed korvane-cli ports does not load $module"

[ "$failures" -eq 0 ] && echo "Installed into a temporary prefix: every file in place and valid."
exit $((failures > 0))

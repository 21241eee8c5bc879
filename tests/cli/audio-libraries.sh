#!/usr/bin/env bash
# Converting loads no audio library: korvane-cli links none of FluidSynth, RtMidi, JACK, ALSA,
# PulseAudio, SDL or X11 (the window none but Qt's own X11), and convert, info, models and batch
# never open the audio module that brings them (the loader's own log of every object it loads),
# while ports does. A copy of the tool without its module still converts, and ports then fails
# with the reason. The module carries no registry of temporary files of its own.
#   audio-libraries.sh KORVANE_CLI STYLE [KORVANE_WINDOW]
set -u
cli=$1
style=$2
window=${3:-}
audio='fluidsynth|rtmidi|jack|asound|SDL|pulse|X11|korvane-audio'
status=0
fail() { echo "FAIL: $*"; status=1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

linked=$(ldd "$cli" | grep -E "$audio") && fail "korvane-cli links: $linked"
if [ -n "$window" ]; then
    # Qt itself draws on X11.
    linked=$(ldd "$window" | grep -E "${audio/|X11/}") && fail "the window links: $linked"
fi

# Every object the dynamic loader maps during a run, by name.
loaded() { LD_DEBUG=files "$@" 2>&1 >/dev/null | sed -n 's/.*file=\([^ ]*\) .*/\1/p'; }
mkdir "$work/in" "$work/out"
cp "$style" "$work/in/a.sty"
for run in "convert $style --model PSR-9000 --by-name -o $work/a.sty" "info $style" "models" \
    "batch --model PSR-9000 --by-name $work/in $work/out" "--help"; do
    # shellcheck disable=SC2086
    found=$(loaded "$cli" $run | grep -E "$audio" | tr '\n' ' ')
    [ -z "$found" ] || fail "korvane-cli $run loads $found"
done
found=$(loaded "$cli" ports)
grep -q 'korvane-audio\.so' <<<"$found" || fail "korvane-cli ports does not load the audio module"
# The module writes no file of its own: it carries no second registry of temporary files, whose
# signal handler would not know the program's.
module=$(grep -m1 'korvane-audio\.so' <<<"$found")
if [ -n "$module" ] && nm -C "$module" | grep -E 'InstallTemporaryFileCleanup|g_temporaries'; then
    fail "the audio module carries its own registry of temporary files"
fi

cp "$cli" "$work/korvane-cli"
"$work/korvane-cli" convert "$style" --model PSR-9000 --by-name -o "$work/b.sty" >/dev/null ||
    fail "korvane-cli without its audio module does not convert"
said=$("$work/korvane-cli" ports 2>&1)
code=$?
[ "$code" -eq 1 ] || fail "ports without the audio module exits $code, not 1"
[[ "$said" == "korvane-cli: the audio module could not be loaded: $(dirname "$work")/lib"*"/korvane/korvane-audio.so: cannot open shared object file: No such file or directory" ]] ||
    fail "ports without the audio module says: $said"
exit $status

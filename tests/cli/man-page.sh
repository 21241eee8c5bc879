#!/usr/bin/env bash
# The man page names every command that `korvane-cli --help` lists and every option that each
# command's --help lists.  Usage: man-page.sh KORVANE_CLI MAN_PAGE
set -euo pipefail
cli=$1
page=$(groff -man -Tascii -P-cbou "$2" 2>/dev/null)
failures=0
commands=$("$cli" --help | sed -n '/^Commands:/,/^$/s/^  \([a-z]\+\) .*/\1/p')
[ -n "$commands" ] || { echo "korvane-cli --help lists no commands"; exit 1; }
for command in '' $commands; do
    grep -q -- "korvane-cli $command" <<<"$page" || { echo "no 'korvane-cli $command'"; failures=$((failures + 1)); }
    # The names column of the options: "-o, --output OUT", "IN", "--model NAME".
    for option in $("$cli" $command --help | sed -n '/^Options:/,/^$/s/^  \([^ ].*\)/\1/p' |
        sed 's/  .*//; s/,/ /g'); do
        grep -qw -- "$option" <<<"$page" || { echo "$command: no $option"; failures=$((failures + 1)); }
    done
done
exit $((failures > 0))

#!/usr/bin/env bash
# Checks the layering of the source tree: each core folder includes only the folders below it,
# nothing in the core or korvane-cli includes Qt, and the korvane-cli binary links no Qt library.
#   check-layers.sh SOURCE_DIR [KORVANE_CLI_BINARY]
# The link order of the CMake libraries catches a call that runs upward; this catches the
# includes, which a header-only use would slip past the linker.
set -u
src="$1/src"
cli_binary="${2:-}"
status=0

# folder: the folders its files may include (besides itself and the standard library)
declare -A allowed=(
    [core/platform]=""
    [core/style]="platform"
    [core/settings]="platform"
    [core/assignment]="platform style settings"
    [core/audition]="platform style settings assignment"
    [core/patterns]="platform style settings assignment"
    [core/batch]="platform style settings assignment patterns"
    [cli]="cli platform style settings assignment audition patterns batch"
    [web]="platform style settings assignment patterns audition batch"
)

for folder in "${!allowed[@]}"; do
    [ -d "$src/$folder" ] || continue
    own=${folder#core/}
    while IFS=: read -r file line include; do
        target=$(sed -E 's/.*#include "([^/"]+)\/.*/\1/' <<<"$include")
        ok=0
        for permitted in $own ${allowed[$folder]}; do
            [ "$target" = "$permitted" ] && ok=1
        done
        if [ $ok -eq 0 ]; then
            echo "$file:$line: $folder may not include $target: $include"
            status=1
        fi
    done < <(grep -rn --exclude-dir=node_modules -E '^#include "[^/"]+/' "$src/$folder" || true)
    if grep -rn -E '#include *<Q[A-Za-z]' "$src/$folder"; then
        echo "$folder includes Qt"
        status=1
    fi
done

# Every call to the operating system goes through core/platform, which has a POSIX and a
# Windows implementation; elsewhere neither a POSIX header nor a POSIX call may appear.
posix_headers='unistd|fcntl|sys/[a-z_]+|signal|csignal|dirent|pwd|grp|poll|dlfcn|termios|pthread|spawn|syslog|windows|io'
posix_calls='isatty|fileno|fstat|lstat|fsync|fchmod|fchown|mkstemp|mkostemp|mkfifo|readlink|symlink|getc_unlocked|fdopen|popen|geteuid|getuid|umask|setenv|unsetenv|putenv|sigaction|sigprocmask|STDOUT_FILENO|STDERR_FILENO|STDIN_FILENO'
for folder in core/style core/settings core/assignment core/patterns core/batch core/audition cli app; do
    [ -d "$src/$folder" ] || continue
    if grep -rn -E "^#include *<($posix_headers)(\.h)?>" "$src/$folder"; then
        echo "$folder includes a system header; system calls belong in core/platform"
        status=1
    fi
    if grep -rn -E "(^|[^A-Za-z0-9_:.>])(::)?($posix_calls)\b" "$src/$folder" | grep -v -E '^[^:]+:[0-9]+: *//'; then
        echo "$folder calls the system directly; such calls belong in core/platform"
        status=1
    fi
done

for folder in "$src"/core/*/; do
    name=core/$(basename "$folder")
    [ -n "${allowed[$name]+set}" ] || { echo "$name has no layering rule in check-layers.sh"; status=1; }
done

if [ -n "$cli_binary" ] && ldd "$cli_binary" | grep -i -E 'libQt'; then
    echo "korvane-cli links Qt"
    status=1
fi
[ $status -eq 0 ] && echo "layering holds"
exit $status

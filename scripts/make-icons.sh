#!/usr/bin/env bash
# Makes the PNG sizes of the icon from resources/korvane.svg (rsvg-convert, Debian librsvg2-bin).
# Run it after changing the SVG and commit the result.
set -euo pipefail
resources=$(cd "$(dirname "$0")/../resources" && pwd)
for size in 16 24 32 48 64 128 256; do
    mkdir -p "$resources/icons/${size}x${size}"
    rsvg-convert -w "$size" -h "$size" "$resources/korvane.svg" \
        -o "$resources/icons/${size}x${size}/korvane.png"
done

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

# The Windows icon (korvane-cli.exe's) from the same PNGs: an ICO file that holds them as they are
# (Windows reads PNG images in an icon since Vista): a 6-byte header, a 16-byte entry per image,
# then the images.
python3 - "$resources" <<'PYTHON'
import struct, sys
resources = sys.argv[1]
sizes = [16, 24, 32, 48, 64, 256]
images = [open(f"{resources}/icons/{s}x{s}/korvane.png", "rb").read() for s in sizes]
header = struct.pack("<HHH", 0, 1, len(images))
offset = len(header) + 16 * len(images)
entries = b""
for size, image in zip(sizes, images):
    side = 0 if size == 256 else size  # 0 stands for 256
    entries += struct.pack("<BBBBHHII", side, side, 0, 0, 1, 32, len(image), offset)
    offset += len(image)
open(f"{resources}/korvane.ico", "wb").write(header + entries + b"".join(images))
PYTHON

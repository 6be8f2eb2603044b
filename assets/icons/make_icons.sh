#!/usr/bin/env bash
# Renders skylark.svg into the PNG sizes the desktop's icon theme wants (needs rsvg-convert,
# Debian package librsvg2-bin). Run it from this folder after changing the SVG.
set -euo pipefail
for size in 16 24 32 48 64 128 256; do
    rsvg-convert -w "$size" -h "$size" skylark.svg -o "skylark-$size.png"
done

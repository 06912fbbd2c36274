#!/usr/bin/env bash
# Renders the icon's PNG sizes from tellvane.svg (needs rsvg-convert, Debian's librsvg2-bin).
set -euo pipefail
cd "$(dirname "$0")"
for size in 16 22 24 32 48 64 128 256; do
    rsvg-convert --width="$size" --height="$size" --output="tellvane-$size.png" tellvane.svg
done

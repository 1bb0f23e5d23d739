#!/usr/bin/env bash
# Renders the README's pictures, one per scene, and the title as an animated
# WebP (six seconds at 20 frames a second: under a megabyte), with the
# program itself.
#   docs/make-stills.sh [path/to/velmora]
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
velmora="${1:-$here/../build/velmora}"
while read -r name at; do
  "$velmora" still --at "$at" --out "$here/stills/$name.png" >/dev/null
  echo "$name.png: $at s"
done <<'LIST'
1-drill-rig 22.6
1-ribbons 46
2-metaballs 60.5
3-creature 100
3-greetings 115.25
4-glowing-cube 147
5-closing-picture 182
LIST
"$velmora" capture --out "$here/title.webp" --from 20 --to 26 --fps 20

#!/usr/bin/env bash
# Renders a picture of resources/pictures for the Windows resources:
#   render-picture.sh bmp SVG WIDTH HEIGHT OUT.bmp
#     a 16-colour bitmap; transparency falls on white, and the palette is
#     chosen from the picture's own colours (the mean of each colour box, so
#     that the flat areas keep their colours and gradients become bands)
#   render-picture.sh ico SVG OUT.ico SIZE...
#     an icon with one square image of each size, transparency kept
set -euo pipefail

kind=${1:?usage: render-picture.sh bmp|ico ...}
shift
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

case "$kind" in
bmp)
  svg=$1 width=$2 height=$3 out=$4
  rsvg-convert --width "$width" --height "$height" --background-color white "$svg" -o "$work/picture.png"
  pngtopnm "$work/picture.png" >"$work/picture.ppm"
  # A picture of 16 colours or fewer keeps them as they are.
  if [ "$(ppmhist -noheader "$work/picture.ppm" | wc -l)" -gt 16 ]; then
    pnmquant -meanpixel -nofloyd 16 "$work/picture.ppm" 2>/dev/null >"$work/quantised.ppm"
  else
    cp "$work/picture.ppm" "$work/quantised.ppm"
  fi
  ppmtobmp -bpp 4 "$work/quantised.ppm" 2>/dev/null >"$work/picture.bmp"
  mv "$work/picture.bmp" "$out"
  ;;
ico)
  svg=$1 out=$2
  shift 2
  images=()
  for size in "$@"; do
    rsvg-convert --width "$size" --height "$size" "$svg" -o "$work/$size.png"
    images+=("$work/$size.png")
  done
  icotool --create --output="$work/picture.ico" "${images[@]}"
  mv "$work/picture.ico" "$out"
  ;;
*)
  echo "render-picture.sh: unknown kind $kind" >&2
  exit 2
  ;;
esac

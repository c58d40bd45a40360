#!/usr/bin/env bash
# Makes the bench corpus: N copies (default 300) of one 12-megapixel JPEG of noise
# that carries a real camera's Exif (copied from the GPS sample DSCN0010.jpg).
#
#   bench/make-corpus.sh OUTDIR [N]
#
# OUTDIR must not exist yet or be empty. Put it on a tmpfs (/dev/shm) for timings:
# disk write-back makes single runs vary several-fold. Needs the build's
# velloran-noise-jpeg (BUILD_DIR, default build/) and exiftool.
set -euo pipefail

usage() {
  echo "usage: bench/make-corpus.sh OUTDIR [N]" >&2
  exit 2
}
[ $# -ge 1 ] && [ $# -le 2 ] || usage
out=$1
count=${2:-300}
[[ $count =~ ^[1-9][0-9]*$ ]] || usage

repo=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$repo/build}
noise=$build/bench/velloran-noise-jpeg
camera=${VELLORAN_SAMPLES:-$repo/../shared/samples}/gps/DSCN0010.jpg
[ -x "$noise" ] || { echo "make-corpus: build velloran-noise-jpeg first ($noise)" >&2; exit 1; }
[ -f "$camera" ] || { echo "make-corpus: no sample $camera" >&2; exit 1; }
command -v exiftool >/dev/null || { echo "make-corpus: exiftool is missing" >&2; exit 1; }
if [ -e "$out" ] && [ -n "$(ls -A "$out")" ]; then
  echo "make-corpus: $out is not empty" >&2
  exit 1
fi
mkdir -p "$out"

first=$out/photo-00001.jpg
"$noise" 4000 3000 "$first"
# Every tag the camera wrote (Exif, GPS, the thumbnail) but its maker note, then the
# real pixel size. The writer leaves a photo unchanged when exiv2 cannot carry its
# maker note into a new Exif layout, as with this camera's: the corpus measures
# writes, so it goes without.
exiftool -q -overwrite_original -TagsFromFile "$camera" -all:all \
  -ExifImageWidth=4000 -ExifImageHeight=3000 "$first"
exiftool -q -overwrite_original -MakerNotes:all= "$first"
for ((i = 2; i <= count; i++)); do
  cp "$first" "$(printf '%s/photo-%05d.jpg' "$out" "$i")"
done
echo "$count photos of $(stat -c %s "$first") bytes in $out"

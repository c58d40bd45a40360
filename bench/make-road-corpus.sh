#!/usr/bin/env bash
# Makes the whole-road corpus: N photos (default 10,000) in folders of 100 under
# OUTDIR/photos, NOISE of them (default 300) 12-megapixel JPEGs of noise with a
# camera's Exif (bench/make-corpus.sh), the rest the readable sample photos in turn
# (../shared/samples: camera, gps, orientation, xmp, tiff; not invalid/). The photos
# are hard links to one copy of each distinct file under OUTDIR/masters, so the
# corpus takes little room however large N is: only the outputs of a run take room.
# Each photo has a name of its own (a number before the sample's name), so names
# built from a date and the photo's name do not collide.
#
#   bench/make-road-corpus.sh OUTDIR [N] [NOISE]
#
# OUTDIR must not exist yet or be empty; put it on a tmpfs (/dev/shm). Needs the
# build's velloran-noise-jpeg (BUILD_DIR, default build/) and exiftool.
set -euo pipefail

usage() {
  echo "usage: bench/make-road-corpus.sh OUTDIR [N] [NOISE]" >&2
  exit 2
}
[ $# -ge 1 ] && [ $# -le 3 ] || usage
out=$1
count=${2:-10000}
noise=${3:-300}
[[ $count =~ ^[1-9][0-9]*$ ]] && [[ $noise =~ ^[0-9]+$ ]] && [ "$noise" -le "$count" ] || usage

repo=$(cd "$(dirname "$0")/.." && pwd)
samples=${VELLORAN_SAMPLES:-$repo/../shared/samples}
command -v exiftool >/dev/null || { echo "make-road-corpus: exiftool is missing" >&2; exit 1; }
[ -d "$samples/camera" ] || { echo "make-road-corpus: no samples in $samples" >&2; exit 1; }
if [ -e "$out" ] && [ -n "$(ls -A "$out")" ]; then
  echo "make-road-corpus: $out is not empty" >&2
  exit 1
fi
mkdir -p "$out/masters" "$out/photos"

# One copy of every readable sample. The writer will not lay out anew the Exif of
# cameras whose maker notes it cannot carry; their copies go without maker notes,
# as in the road tests.
masters=()
for folder in camera gps orientation xmp tiff; do
  for file in "$samples/$folder"/*; do
    [ -f "$file" ] || continue
    copy="$out/masters/$folder-$(basename "$file")"
    cp "$file" "$copy"
    chmod u+w "$copy"
    name=$(basename "$file")
    if [ "$folder" = gps ] || [[ $name == Konica_Minolta* ]] || [[ $name == Nikon_COOLPIX* ]]; then
      exiftool -q -overwrite_original -MakerNotes:all= "$copy"
    fi
    masters+=("$copy")
  done
done
if [ "$noise" -gt 0 ]; then
  BUILD_DIR=${BUILD_DIR:-$repo/build} "$repo/bench/make-corpus.sh" "$out/masters/noise" 1 >/dev/null
fi

# Noise photos spread evenly through the folders.
every=$(( noise > 0 ? count / noise : count + 1 ))
made_noise=0
next_sample=0
for ((i = 1; i <= count; i++)); do
  printf -v folder '%s/photos/%03d' "$out" $(( (i - 1) / 100 ))
  printf -v number '%05d' "$i"
  [ -d "$folder" ] || mkdir "$folder"
  if [ "$made_noise" -lt "$noise" ] && [ $(( i % every )) -eq 0 ]; then
    ln "$out/masters/noise/photo-00001.jpg" "$folder/$number-noise.jpg"
    made_noise=$((made_noise + 1))
  else
    master=${masters[$next_sample]}
    next_sample=$(( (next_sample + 1) % ${#masters[@]} ))
    base=${master##*/}
    ln "$master" "$folder/$number-${base#*-}"
  fi
done

bytes=$(find "$out/photos" -type f -printf '%s\n' | awk '{ s += $1 } END { printf "%.0f", s }')
echo "$count photos ($made_noise 12 MP noise JPEGs, $((count - made_noise)) of ${#masters[@]} samples) in $out/photos:"
echo "$((bytes / 1000000)) MB as listed, $(du -sm "$out" | cut -f 1) MB on disk (hard links)"

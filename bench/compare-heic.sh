#!/usr/bin/env bash
# Times one edit of HEIC photos: velloran-bench write with WRITERS writers at once
# (default 8; each keeps a fork of one exiftool running) against exiftool -o over the same
# folder in one process and against WRITERS processes of exiftool -fast -o (the photos
# split as xargs -P runs them, as a power user runs it on all cores), and prints the
# seconds and the ratios.
#
#   bench/compare-heic.sh [COPIES]
#
# The corpus is COPIES (default 100) copies of ../shared/samples/heif/IMG_3578.heic
# in a new folder under TMPDIR (default /tmp), removed afterwards; for timings set
# TMPDIR to a tmpfs (TMPDIR=/dev/shm bench/compare-heic.sh). The edit: artist, copyright and
# DateTimeOriginal one day later. Needs exiftool and the build's velloran-bench
# (BUILD_DIR, default build/).
set -euo pipefail

copies=${1:-100}
writers=${WRITERS:-8}
repo=$(cd "$(dirname "$0")/.." && pwd)
bench=${BUILD_DIR:-$repo/build}/bench/velloran-bench
sample=$repo/../shared/samples/heif/IMG_3578.heic
[ -x "$bench" ] || { echo "compare-heic: build velloran-bench first ($bench)" >&2; exit 1; }
[ -r "$sample" ] || { echo "compare-heic: no sample at $sample" >&2; exit 1; }
command -v exiftool >/dev/null || { echo "compare-heic: needs exiftool" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/velloran-heic.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir "$work/corpus"
for i in $(seq -w 1 "$copies"); do cp "$sample" "$work/corpus/IMG_$i.heic"; done

cat >"$work/settings.json" <<JSON
{ "\$class": "MetaDataObject", "editingOption": 0,
  "Artist": "Velloran Bench", "Copyright": "(c) 2024 Velloran Bench",
  "dateTimeConfigOriginalDate": { "\$class": "DateTimeConfiguration", "tagConfigureOption": 4,
    "stringIncDecDay": "1", "stringIncDecMonth": "0", "stringIncDecYear": "0" } }
JSON

# timed: the wall time of one command (bench/timing.sh).
source "$repo/bench/timing.sh"

t_velloran=$(timed "$bench" write --jobs "$writers" --settings "$work/settings.json" --out "$work/velloran" "$work/corpus")
summary=$(grep ' photos, ' "$work/last.log" | tail -n 1)
grep -q ", 0 errors," <<<"$summary" || { echo "compare-heic: velloran-bench reported errors: $summary" >&2; exit 1; }
check=$(exiftool -s3 -Artist -Copyright -DateTimeOriginal "$work/velloran/IMG_$(seq -w 1 "$copies" | head -n 1).heic" | paste -sd '|')
rm -rf "$work/velloran"

mkdir "$work/exiftool"
t_exiftool=$(timed exiftool -q -o "$work/exiftool/" -Artist="Velloran Bench" -Copyright="(c) 2024 Velloran Bench" \
  "-DateTimeOriginal+=0:0:1 0:0:0" "$work/corpus")

rm -rf "$work/exiftool"
mkdir "$work/exiftool"
per_process=$(( (copies + writers - 1) / writers ))
wide() { printf '%s\0' "$work"/corpus/*.heic | xargs -0 -P "$writers" -n "$per_process" "$@"; }
t_exiftool_wide=$(timed wide exiftool -q -fast -o "$work/exiftool/" -Artist="Velloran Bench" \
  -Copyright="(c) 2024 Velloran Bench" "-DateTimeOriginal+=0:0:1 0:0:0")

echo "$copies copies of $(basename "$sample"), in $work"
printf '%-34s %9s\n' "tool" "seconds"
printf '%-34s %9.3f\n' "velloran-bench write --jobs $writers" "$t_velloran" "exiftool -o (one process)" "$t_exiftool" \
  "exiftool -fast -o, $writers at once" "$t_exiftool_wide"
awk -v v="$t_velloran" -v e="$t_exiftool" -v w="$t_exiftool_wide" \
  'BEGIN { printf "velloran / exiftool: %.2f; against %s exiftools: %.2f\n", v / e, "'"$writers"'", v / w }'
echo "velloran-bench: $summary"
echo "first output read back: $check"

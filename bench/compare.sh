#!/usr/bin/env bash
# Times the same edits on the same photos with velloran-bench write (one writer, then
# WRITERS at once, default 8), exiftool -o (one process, then WRITERS processes of
# exiftool -fast, as xargs -P runs them) and the exiv2 command line after cp, next
# to plain cp of the files (one process, and WRITERS at once: the floor of WRITERS
# writers), and prints one table of seconds and ratios to both, all from one run:
# each row is the best of ROUNDS rounds (default 3) in which every tool runs once.
#
#   bench/compare.sh CORPUS_DIR
#
# The edits: artist, copyright, IPTC city, two IPTC keywords, one XMP text
# (Xmp.aux.Lens, an XMP field the editor writes) and DateTimeOriginal one day
# later; velloran and exiftool also declare the IPTC texts UTF-8. Outputs go to a
# folder beside CORPUS_DIR and are removed after each run. Put the corpus on a
# tmpfs (/dev/shm): disk write-back makes single runs on a disk vary several-fold.
# Make a corpus with bench/make-corpus.sh. Needs exiftool, exiv2 and the build's
# velloran-bench (BUILD_DIR, default build/).
set -euo pipefail

[ $# -eq 1 ] || { echo "usage: bench/compare.sh CORPUS_DIR" >&2; exit 2; }
corpus=$(cd "$1" && pwd)
repo=$(cd "$(dirname "$0")/.." && pwd)
bench=${BUILD_DIR:-$repo/build}/bench/velloran-bench
[ -x "$bench" ] || { echo "compare: build velloran-bench first ($bench)" >&2; exit 1; }
command -v exiftool >/dev/null && command -v exiv2 >/dev/null || { echo "compare: needs exiftool and exiv2" >&2; exit 1; }
shopt -s nullglob
photos=("$corpus"/*.jpg)
[ ${#photos[@]} -gt 0 ] || { echo "compare: no .jpg in $corpus" >&2; exit 1; }

work=$(mktemp -d "$(dirname "$corpus")/velloran-compare.XXXXXX")
trap 'rm -rf "$work"' EXIT

# exiv2 sets one fixed date: right for a corpus of copies of one photo, as make-corpus makes.
original=$(exiv2 -q -Pv -K Exif.Photo.DateTimeOriginal "${photos[0]}")
shifted=$(date -u -d "$(echo "$original" | sed -E 's/^([0-9]{4}):([0-9]{2}):([0-9]{2})/\1-\2-\3/') UTC + 1 day" \
  '+%Y:%m:%d %H:%M:%S')

cat >"$work/settings.json" <<JSON
{ "\$class": "MetaDataObject", "editingOption": 0,
  "Artist": "Velloran Bench", "Copyright": "(c) 2024 Velloran Bench",
  "IPTC_City": "Lyon", "IPTC_Keywords": "bench, noise", "XMP_Lens": "Bench Lens 50mm",
  "dateTimeConfigOriginalDate": { "\$class": "DateTimeConfiguration", "tagConfigureOption": 4,
    "stringIncDecDay": "1", "stringIncDecMonth": "0", "stringIncDecYear": "0" } }
JSON
{
  echo "set Exif.Image.Artist Ascii Velloran Bench"
  echo "set Exif.Image.Copyright Ascii (c) 2024 Velloran Bench"
  printf 'set Iptc.Envelope.CharacterSet String \033%%G\n'
  echo "set Iptc.Application2.City String Lyon"
  echo "add Iptc.Application2.Keywords String bench"
  echo "add Iptc.Application2.Keywords String noise"
  echo "set Xmp.aux.Lens XmpText Bench Lens 50mm"
  echo "set Exif.Photo.DateTimeOriginal Ascii $shifted"
} >"$work/exiv2.cmd"

# timed: the wall time of one command (bench/timing.sh).
source "$repo/bench/timing.sh"

copy_corpus() { mkdir "$1" && cp "${photos[@]}" "$1/"; }

# The photos split into WRITERS runs of xargs -P, as a power user runs a tool on all cores.
writers=${WRITERS:-8}
per_process=$(( (${#photos[@]} + writers - 1) / writers ))
wide() { printf '%s\0' "${photos[@]}" | xargs -0 -P "$writers" -n "$per_process" "$@"; }
copy_corpus_wide() { mkdir "$1" && wide cp -t "$1"; }

best() { awk -v t="$1" -v best="${2:-inf}" 'BEGIN { print (best == "inf" || t < best) ? t : best }'; }

# The batch with one writer (photos one after another) and with WRITERS at once.
velloran_write() {
  t=$(timed "$bench" write --jobs "$1" --settings "$work/settings.json" --out "$work/velloran" "$corpus")
  summary=$(grep ' photos, ' "$work/last.log" | tail -n 1)
  grep -q ", 0 errors," <<<"$summary" || { echo "compare: velloran-bench reported errors: $summary" >&2; exit 1; }
  check=$(exiftool -s3 -Artist -City -Keywords -XMP-aux:Lens -DateTimeOriginal "$work/velloran/$(basename "${photos[0]}")" | paste -sd '|')
  rm -rf "$work/velloran"
}

exiftool_one() {
  mkdir "$work/exiftool"
  t=$(timed exiftool -q -o "$work/exiftool/" -IPTC:CodedCharacterSet=UTF8 -Artist="Velloran Bench" \
    -Copyright="(c) 2024 Velloran Bench" -IPTC:City=Lyon -IPTC:Keywords=bench -IPTC:Keywords=noise \
    -XMP-aux:Lens="Bench Lens 50mm" "-DateTimeOriginal+=0:0:1 0:0:0" "${photos[@]}")
  rm -rf "$work/exiftool"
}

exiftool_wide() {
  mkdir "$work/exiftool"
  t=$(timed wide exiftool -q -fast -o "$work/exiftool/" -IPTC:CodedCharacterSet=UTF8 \
    -Artist="Velloran Bench" -Copyright="(c) 2024 Velloran Bench" -IPTC:City=Lyon -IPTC:Keywords=bench \
    -IPTC:Keywords=noise -XMP-aux:Lens="Bench Lens 50mm" "-DateTimeOriginal+=0:0:1 0:0:0")
  rm -rf "$work/exiftool"
}

exiv2_after_cp() { copy_corpus "$work/exiv2" && exiv2 -m "$work/exiv2.cmd" mo "$work/exiv2"/*.jpg; }

# Every row is the best of ROUNDS runs (default 3), the tools taking turns within
# each round, so that a passing load on the machine falls on all of them alike.
rounds=${ROUNDS:-3}
for run in $(seq "$rounds"); do
  t=$(timed copy_corpus "$work/cp")
  rm -rf "$work/cp"
  cp_best=$(best "$t" "${cp_best:-}")
  t=$(timed copy_corpus_wide "$work/cp")
  rm -rf "$work/cp"
  cp_wide_best=$(best "$t" "${cp_wide_best:-}")
  velloran_write 1
  t_velloran1=$(best "$t" "${t_velloran1:-}")
  velloran_write "$writers"
  t_velloran=$(best "$t" "${t_velloran:-}")
  exiftool_one
  t_exiftool=$(best "$t" "${t_exiftool:-}")
  exiftool_wide
  t_exiftool_wide=$(best "$t" "${t_exiftool_wide:-}")
  t=$(timed exiv2_after_cp)
  rm -rf "$work/exiv2"
  t_exiv2=$(best "$t" "${t_exiv2:-}")
done

bytes=$(du -cb "${photos[@]}" | tail -n 1 | cut -f 1)
row() {
  awk -v name="$1" -v t="$2" -v cp="$cp_best" -v wide="$cp_wide_best" \
    'BEGIN { printf "%-32s %9.3f %9.2f %9.2f\n", name, t, t / cp, t / wide }'
}
echo "${#photos[@]} photos, $((bytes / 1000000)) MB, in $corpus; each row the best of $rounds runs"
printf '%-32s %9s %9s %9s\n' "tool" "seconds" "x cp" "x cp -P$writers"
row "cp" "$cp_best"
row "cp, $writers at once" "$cp_wide_best"
row "velloran-bench write -j 1" "$t_velloran1"
row "velloran-bench write -j $writers" "$t_velloran"
row "exiftool -o" "$t_exiftool"
row "exiftool -fast -o, $writers at once" "$t_exiftool_wide"
row "cp + exiv2 -m" "$t_exiv2"
awk -v v="$t_velloran" -v w="$t_velloran1" -v e="$t_exiftool" -v ew="$t_exiftool_wide" \
  'BEGIN { printf "velloran / exiftool: %.2f with one writer, %.2f with '"$writers"'; %.2f against '"$writers"' exiftools\n", w / e, v / e, v / ew }'
echo "velloran-bench: $summary"
echo "first output read back: $check"

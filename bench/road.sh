#!/usr/bin/env bash
# The whole road on a corpus, then exiftool on the same photos, one table.
#
#   bench/road.sh CORPUS_DIR [bench arguments]
#
# CORPUS_DIR is what bench/make-road-corpus.sh made (its photos/ folder is added),
# or any folder of photos. When CORPUS_DIR does not exist yet, the corpus is made
# there first (ROAD_PHOTOS photos, default 10000, ROAD_NOISE of them 12 MP noise,
# default 300) and removed at the end, so one command does the whole measure:
#   bench/road.sh /dev/shm/road
# The outputs go beside the added folder and are removed afterwards. Needs the
# build's velloran_road_bench and velloran-noise-jpeg (BUILD_DIR, default build/)
# and exiftool. Arguments after CORPUS_DIR go to the bench (--no-exiftool,
# --keep-output, --artist TEXT, --read-threads N).
set -euo pipefail

[ $# -ge 1 ] || { echo "usage: bench/road.sh CORPUS_DIR [bench arguments]" >&2; exit 2; }
repo=$(cd "$(dirname "$0")/.." && pwd)
bench=${BUILD_DIR:-$repo/build}/bench/road/velloran_road_bench
[ -x "$bench" ] || { echo "road: build velloran_road_bench first ($bench)" >&2; exit 1; }
command -v exiftool >/dev/null || { echo "road: exiftool is missing" >&2; exit 1; }

if [ ! -e "$1" ]; then
  made=$1
  trap 'rm -rf "$made"' EXIT
  "$repo/bench/make-road-corpus.sh" "$made" "${ROAD_PHOTOS:-10000}" "${ROAD_NOISE:-300}"
fi
corpus=$(cd "$1" && pwd)
shift
[ -d "$corpus/photos" ] && corpus=$corpus/photos

echo "exiftool $(exiftool -ver), $(nproc) cores, $(free -g | awk '/^Mem:/ { print $2 " GB" }'), commit $(git -C "$repo" rev-parse --short HEAD)"
QT_QPA_PLATFORM=offscreen "$bench" "$@" "$corpus"

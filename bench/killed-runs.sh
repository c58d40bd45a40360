#!/usr/bin/env bash
# Kills velloran-bench write mid-run again and again and counts what the killed
# runs leave behind: temporary files beside the photos (".velloran-*") and
# folders of ours in the temporary folder. Each run should remove what the runs
# before it left, so after a last run that ends normally nothing is left.
#
#   bench/killed-runs.sh [ROUNDS] [COPIES]
#
# ROUNDS (default 44) runs each get SIGKILL after a random 0.2 to 1.5 s; the
# photos are COPIES (default 100) copies each of a HEIC and a PNG sample that
# exiftool writes, edited in place, each run with an artist of its own. Prints the
# leftovers after every kill, and after the last, normal run. Needs exiftool and
# the build's velloran-bench (BENCH, default build/bench/velloran-bench).
set -euo pipefail

rounds=${1:-44}
copies=${2:-100}
repo=$(cd "$(dirname "$0")/.." && pwd)
bench=${BENCH:-$repo/build/bench/velloran-bench}
samples=$repo/../shared/samples
[ -x "$bench" ] || { echo "killed-runs: build velloran-bench first ($bench)" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/velloran-killed.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/photos" "$work/tmp" "$work/home"
for i in $(seq -w 1 "$copies"); do
  cp "$samples/makers/QuickTime.heic" "$work/photos/IMG_$i.heic"
  cp "$samples/makers/PNG.png" "$work/photos/PNG_$i.png"
done

# The run's own temporary folder and home, so that only its leftovers are counted;
# env gives way to the run itself, so that the kill reaches it.
run=(env TMPDIR="$work/tmp" HOME="$work/home" XDG_CACHE_HOME="$work/home/.cache"
  "$bench" write --keep-source --jobs 4 --settings "$work/settings.json" "$work/photos")
settings() {
  printf '{ "$class": "MetaDataObject", "editingOption": 0, "Artist": "Run %s" }\n' "$1" >"$work/settings.json"
}
count() { find "$1" -mindepth 1 -maxdepth 1 -name "$2" | wc -l; }
leftovers() {
  printf 'beside the photos %3d   in TMPDIR: bench folders %3d, exiftool folders %3d\n' \
    "$(count "$work/photos" '.velloran-*')" \
    "$(( $(count "$work/tmp" 'VelloranBench-*') + $(count "$work/tmp" 'velloran-bench-copies-*') ))" \
    "$(count "$work/tmp" 'velloran-exiftool-*')"
}

for round in $(seq 1 "$rounds"); do
  settings "$round"
  "${run[@]}" >/dev/null 2>&1 & pid=$!
  sleep "$(awk -v s="$RANDOM" 'BEGIN { srand(s); printf "%.2f", 0.2 + rand() * 1.3 }')"
  kill -KILL "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  printf 'after kill %2d: ' "$round"; leftovers
done
settings last
"${run[@]}" >/dev/null 2>&1
printf 'after a run that ended: '; leftovers

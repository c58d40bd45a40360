#!/usr/bin/env bash
# Start-up time of the application: from the first line of main to the first
# expose of the main window, as the application logs it ("main window shown N ms
# after start", category velloran.app). Several builds take turns, so that the
# load of a shared machine falls on each alike.
#
#   bench/startup.sh [-n STARTS] BINARY [BINARY...]
#
# Each start has fresh, empty settings, data, cache and runtime folders and is ended
# by SIGTERM once the line is logged. Prints every start's figure, then per binary
# the median and the mean. Needs a display: run it under
#   xvfb-run -a -s "-screen 0 1280x800x24" bench/startup.sh -n 10 build/velloran
# or with QT_QPA_PLATFORM=offscreen.
set -euo pipefail

starts=10
if [ "${1:-}" = "-n" ]; then
  starts=$2
  shift 2
fi
[ $# -ge 1 ] && [[ $starts =~ ^[1-9][0-9]*$ ]] || {
  echo "usage: bench/startup.sh [-n STARTS] BINARY [BINARY...]" >&2
  exit 2
}
for binary in "$@"; do
  [ -x "$binary" ] || { echo "startup: $binary is no program" >&2; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# One start: prints its milliseconds, or "-" when the line did not come within 20 s.
one_start() {
  local binary=$1 home
  home=$(mktemp -d "$work/start.XXXXXX")
  mkdir -p "$home/config" "$home/data" "$home/cache" "$home/runtime"
  chmod 700 "$home/runtime"
  : >"$home/log"
  XDG_CONFIG_HOME=$home/config XDG_DATA_HOME=$home/data XDG_CACHE_HOME=$home/cache \
    XDG_RUNTIME_DIR=$home/runtime QT_LOGGING_RULES="velloran.app.info=true" \
    "$binary" >"$home/log" 2>&1 &
  local pid=$! waited=0 ms=-
  while [ $waited -lt 400 ]; do
    ms=$(sed -n 's/.*main window shown \([0-9]*\) ms after start.*/\1/p' "$home/log" | head -1)
    [ -n "$ms" ] && break
    kill -0 $pid 2>/dev/null || break
    sleep 0.05
    waited=$((waited + 1))
  done
  kill -TERM $pid 2>/dev/null || true
  wait $pid 2>/dev/null || true
  echo "${ms:--}"
}

declare -A figures
for ((i = 1; i <= starts; i++)); do
  line="start $i:"
  for binary in "$@"; do
    ms=$(one_start "$binary")
    figures[$binary]+="$ms "
    line+=" $ms"
  done
  echo "$line"
done
echo "load average $(cut -d' ' -f1-3 /proc/loadavg)"
for binary in "$@"; do
  echo "${figures[$binary]}" | tr ' ' '\n' | grep -E '^[0-9]+$' | sort -n | awk -v b="$binary" '
    { v[NR] = $1; sum += $1 }
    END {
      if (NR == 0) { print b ": no figure"; exit }
      median = NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
      printf "%s: median %.1f ms, mean %.1f ms, %d starts\n", b, median, sum / NR, NR
    }'
done

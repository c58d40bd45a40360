#!/usr/bin/env bash
# Starts the real application on a virtual X server (run under xvfb-run), waits until
# its main window is mapped with its icon, checks that a second start hands over to it, ends it
# with SIGTERM as a logout would, and checks a clean exit and a written preset archive.
# Usage: smoke-test.sh path/to/velloran
set -euo pipefail
app="$1"
work="$(mktemp -d)"
pid=""
trap 'kill "$pid" 2>/dev/null || true; rm -rf "$work"' EXIT
mkdir -p "$work/config" "$work/data" "$work/run" "$work/home"
chmod 700 "$work/run"
export HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" XDG_RUNTIME_DIR="$work/run"
export QT_QPA_PLATFORM=xcb QT_LOGGING_RULES="velloran.*=true"
unset SESSION_MANAGER

"$app" >"$work/out.log" 2>&1 &
pid=$!

fail() {
  echo "smoke test: $*" >&2
  echo "--- application output ---" >&2
  cat "$work/out.log" >&2
  exit 1
}

# The application logs when its main window is first exposed on the screen.
for _ in $(seq 1 200); do
  grep -q "main window shown" "$work/out.log" && break
  kill -0 "$pid" 2>/dev/null || fail "the application ended before its window was shown"
  sleep 0.05
done
grep -q "main window shown" "$work/out.log" || fail "the main window was not shown within 10 s"
grep "main window shown" "$work/out.log"
if command -v xwininfo >/dev/null; then
  # Whole outputs are read before they are searched: a reader that stops early would
  # end the writer with SIGPIPE and fail the pipeline under pipefail.
  tree="$(xwininfo -root -tree)"
  window="$(awk '/"Velloran": \("velloran"/ { print $1; exit }' <<<"$tree")"
  [ -n "$window" ] || fail "no window named Velloran of the class velloran"
  info="$(xwininfo -id "$window")"
  [[ "$info" == *"Map State: IsViewable"* ]] || fail "the main window is not mapped"
  # The window carries the application's icon, as the installed desktop entry does.
  if command -v xprop >/dev/null; then
    icon="$(xprop -id "$window" _NET_WM_ICON)"
    [[ "$icon" == *"Icon ("* ]] || fail "the main window has no icon"
  fi
fi

# A second start hands over to the first and ends.
"$app" >"$work/second.log" 2>&1 || fail "the second start failed: $(cat "$work/second.log")"
grep -q "already running" "$work/second.log" || fail "the second start did not find the first"
kill -0 "$pid" 2>/dev/null || fail "the first start ended when the second came"

kill -TERM "$pid"
rc=0
wait "$pid" || rc=$?
[ "$rc" -eq 0 ] || fail "the application ended with $rc"
grep -q "PROJECT_SESSION" "$work/config/Velloran/Velloran.ini" || fail "no preset archive was written"
echo "smoke test: passed"

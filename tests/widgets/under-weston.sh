#!/usr/bin/env bash
# Runs a program as a client of weston's headless backend, a Wayland compositor of
# its own in a private runtime folder. Exits 77 (skipped) where weston or Qt's
# Wayland platform cannot be had.
set -u
program=("$@")
if ! command -v weston >/dev/null 2>&1; then
  echo "weston is not installed (scripts/setup-debian installs it): skipped" >&2
  exit 77
fi
runtime=$(mktemp -d)
chmod 700 "$runtime"
socket="velloran-test"
export XDG_RUNTIME_DIR="$runtime"
weston --backend=headless-backend.so --use-pixman --socket="$socket" --idle-time=0 \
  --width=1280 --height=800 --debug >"$runtime/weston.log" 2>&1 &
weston_pid=$!
cleanup() {
  kill "$weston_pid" 2>/dev/null
  wait "$weston_pid" 2>/dev/null
  rm -rf "$runtime"
}
trap cleanup EXIT
for _ in $(seq 50); do
  [ -S "$runtime/$socket" ] && break
  kill -0 "$weston_pid" 2>/dev/null || break
  sleep 0.1
done
if [ ! -S "$runtime/$socket" ]; then
  echo "weston could not start: skipped" >&2
  cat "$runtime/weston.log" >&2
  exit 77
fi
# The headless backend has no seat: Qt's Wayland text input would look for one as a
# focused field draws its cursor, so the fields take their keys the plain way.
WAYLAND_DISPLAY="$socket" VELLORAN_WAYLAND_DISPLAY="$runtime/$socket" QT_QPA_PLATFORM=wayland QT_IM_MODULE=compose \
  "${program[@]}"

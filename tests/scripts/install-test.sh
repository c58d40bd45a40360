#!/usr/bin/env bash
# Installs a built tree twice, under a staging DESTDIR with the prefix /usr (as a
# package build does) and straight into a prefix of its own (as a user does), and
# checks that the binary, the desktop entry and the icon land where menus and docks
# look for them, that the entry is valid and names the installed binary and icon.
#
#   tests/scripts/install-test.sh BUILD_DIR PATH_TO_DESKTOP_FILE_VALIDATE
set -uo pipefail
build=$1
validate=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# check ROOT: ROOT is where the prefix's folders bin/ and share/ ended up
check() {
  local root=$1 bin entry icon
  bin="$root/bin/velloran"
  entry="$root/share/applications/velloran.desktop"
  icon="$root/share/icons/hicolor/scalable/apps/velloran.svg"
  [ -x "$bin" ] || fail "no executable $bin"
  [ -f "$entry" ] || fail "no desktop entry $entry"
  [ -f "$icon" ] || fail "no icon $icon"
  [ -f "$entry" ] || return
  "$validate" "$entry" || fail "$entry does not validate"
  grep -qx 'Exec=velloran' "$entry" || fail "the entry does not start the installed binary"
  grep -qx 'Icon=velloran' "$entry" || fail "the entry does not name the installed icon"
  grep -q '<svg' "$icon" 2>/dev/null || fail "$icon is not an SVG drawing"
}

DESTDIR="$work/stage" cmake --install "$build" --prefix /usr >"$work/stage.log" 2>&1 ||
  fail "staged install failed: $(cat "$work/stage.log")"
check "$work/stage/usr"

cmake --install "$build" --prefix "$work/prefix" >"$work/prefix.log" 2>&1 ||
  fail "install into a prefix failed: $(cat "$work/prefix.log")"
check "$work/prefix"

# Nothing of ours lands outside the usual folders.
extra=$(cd "$work/prefix" && find . -type f | grep -v -e '^./bin/velloran$' -e '^./share/applications/' \
  -e '^./share/icons/hicolor/' || true)
[ -z "$extra" ] || fail "unexpected installed files: $extra"

[ "$failures" -eq 0 ] && echo "install: passed"
exit $((failures > 0))

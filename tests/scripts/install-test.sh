#!/usr/bin/env bash
# Installs a built tree twice, under a staging DESTDIR with the prefix /usr (as a
# package build does) and straight into a prefix of its own (as a user does), and
# checks that every installed file lands where menus, docks, software centres and
# man look for it: the entry is valid and names the installed binary and icon, the
# metainfo and the entry agree (appstreamcli over the installed tree), and the
# manual page renders without a warning.
#
#   tests/scripts/install-test.sh BUILD_DIR DESKTOP_FILE_VALIDATE APPSTREAMCLI
set -uo pipefail
build=$1
validate=$2
appstreamcli=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# check ROOT: ROOT is where the prefix's folders bin/ and share/ ended up
check() {
  local root=$1 bin entry icon metainfo man doc warnings
  bin="$root/bin/velloran"
  entry="$root/share/applications/velloran.desktop"
  icon="$root/share/icons/hicolor/scalable/apps/velloran.svg"
  metainfo="$root/share/metainfo/org.velloran.Velloran.metainfo.xml"
  man="$root/share/man/man1/velloran.1.gz"
  doc="$root/share/doc/velloran"
  [ -x "$bin" ] || fail "no executable $bin"
  for f in "$entry" "$icon" "$metainfo" "$man" "$doc/copyright" "$doc/changelog.gz"; do
    [ -f "$f" ] || fail "no $f"
  done
  if [ -f "$entry" ]; then
    "$validate" "$entry" || fail "$entry does not validate"
    grep -qx 'Exec=velloran' "$entry" || fail "the entry does not start the installed binary"
    grep -qx 'Icon=velloran' "$entry" || fail "the entry does not name the installed icon"
  fi
  grep -q '<svg' "$icon" 2>/dev/null || fail "$icon is not an SVG drawing"
  if [ -f "$man" ]; then
    gzip -t "$man" || fail "$man is not gzip data"
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$man" 2>&1 >/dev/null)
    [ -z "$warnings" ] || fail "man warns about $man: $warnings"
  fi
  if [ -f "$doc/changelog.gz" ]; then
    zcat "$doc/changelog.gz" | head -1 | grep -q '^velloran (' || fail "the changelog does not start with an entry"
  fi
}

DESTDIR="$work/stage" cmake --install "$build" --prefix /usr >"$work/stage.log" 2>&1 ||
  fail "staged install failed: $(cat "$work/stage.log")"
check "$work/stage/usr"
# The staged tree as a software centre reads it: the metainfo's launchable must
# name the installed desktop entry.
"$appstreamcli" validate-tree --no-net "$work/stage" >"$work/tree.log" 2>&1 ||
  fail "appstreamcli validate-tree: $(cat "$work/tree.log")"

cmake --install "$build" --prefix "$work/prefix" >"$work/prefix.log" 2>&1 ||
  fail "install into a prefix failed: $(cat "$work/prefix.log")"
check "$work/prefix"

# Nothing of ours lands outside the usual folders.
extra=$(cd "$work/prefix" && find . -type f | grep -v -e '^./bin/velloran$' -e '^./share/applications/' \
  -e '^./share/icons/hicolor/' -e '^./share/metainfo/' -e '^./share/man/man1/' -e '^./share/doc/velloran/' || true)
[ -z "$extra" ] || fail "unexpected installed files: $extra"

[ "$failures" -eq 0 ] && echo "install: passed"
exit $((failures > 0))

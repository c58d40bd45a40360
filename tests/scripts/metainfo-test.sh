#!/usr/bin/env bash
# The AppStream metainfo that software centres read: it passes appstreamcli's
# checks without the network, its newest release is the project's version, and
# every screenshot it names is a picture of docs/ (the web site serves that folder).
#
#   tests/scripts/metainfo-test.sh SOURCE_DIR PROJECT_VERSION APPSTREAMCLI
set -uo pipefail
source_dir=$1
version=$2
appstreamcli=$3
metainfo="$source_dir/resources/metainfo/org.velloran.Velloran.metainfo.xml"
failures=0

fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

"$appstreamcli" validate --no-net "$metainfo" || fail "appstreamcli does not accept $metainfo"

newest=$(grep -o '<release version="[^"]*"' "$metainfo" | head -1 | sed 's/.*version="\(.*\)"/\1/')
[ "$newest" = "$version" ] || fail "the newest release in the metainfo is '$newest', the project is $version"

shots=$(grep -o '<image[^>]*>[^<]*</image>' "$metainfo" | sed 's/<[^>]*>//g')
[ -n "$shots" ] || fail "the metainfo names no screenshot"
for url in $shots; do
  case "$url" in
  https://velloran.org/docs/*.png)
    [ -f "$source_dir/docs/${url#https://velloran.org/docs/}" ] || fail "$url is no picture in docs/"
    ;;
  *) fail "$url is not a picture of docs/ on the web site" ;;
  esac
done

[ "$failures" -eq 0 ] && echo "metainfo: passed"
exit $((failures > 0))

#!/usr/bin/env bash
# Runs scripts/check-include-cycles on small made-up trees: folders that include each
# other, directly or around a ring, fail; includes that run one way pass.
#
#   tests/scripts/check-include-cycles-test.sh PATH_TO_CHECK_INCLUDE_CYCLES
set -uo pipefail
check=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

# expect pass|fail FILE:INCLUDED ...: a tree whose FILE includes the header INCLUDED,
# each header made too
expect() {
  local want=$1 pair file target output status
  shift
  rm -rf "$work/src"
  for pair in "$@"; do
    file=${pair%%:*} target=${pair#*:}
    mkdir -p "$work/src/$(dirname "$file")" "$work/src/$(dirname "$target")"
    touch "$work/src/$target"
    printf '#include "%s"\n' "$target" >>"$work/src/$file"
  done
  output=$("$check" "$work" 2>&1)
  status=$?
  if { [ "$want" = pass ] && [ $status -ne 0 ]; } || { [ "$want" = fail ] && [ $status -ne 1 ]; }; then
    echo "expected the check to $want on: $* (exit $status)"
    echo "$output"
    failures=$((failures + 1))
  fi
}

expect fail batch/alerts/A.h:batch/intake/S.h batch/intake/S.cpp:batch/alerts/A.h
expect fail app/W.cpp:form/widgets/F.h form/widgets/F.cpp:controls/K.h controls/K.cpp:app/W.h
expect pass batch/alerts/A.h:model/L.h batch/intake/S.cpp:batch/alerts/A.h batch/intake/S.h:model/L.h
expect pass app/W.cpp:app/V.h app/V.cpp:app/W.h
# A tree where no include names a folder at all has nothing to find.
expect pass app/W.cpp:V.h app/V.cpp:W.h
# An include of a header that is not in src/ (one the build generates) is no arrow:
# the same tree is a cycle while the header is there and none once it is gone.
expect fail batch/run/widgets/W.cpp:batch/run/R.h batch/run/R.cpp:batch/run/widgets/ui_W.h
rm -f "$work/src/batch/run/widgets/ui_W.h"
"$check" "$work" >/dev/null 2>&1 || { echo "an include of a header not in src/ made an arrow"; failures=$((failures + 1)); }

[ $failures -eq 0 ] && echo "check-include-cycles: every case as expected"
exit $((failures > 0))

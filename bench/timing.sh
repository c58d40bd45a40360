# Sourced by the comparison scripts of bench/.
#
# timed COMMAND [ARGS...]: prints the seconds of wall time of one command, after the
# page cache is written back. The command's output goes to $work/last.log (the caller
# makes $work); when it fails, the log is printed and the script ends.
timed() {
  sync
  local start end
  start=$(date +%s.%N)
  "$@" >"$work/last.log" 2>&1 || {
    echo "$(basename "$0" .sh): failed: $*" >&2
    cat "$work/last.log" >&2
    exit 1
  }
  end=$(date +%s.%N)
  awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f", b - a }'
}

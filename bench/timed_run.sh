# Sourced by the benchmarks. timed_run DIR COMMAND...: runs the command
# (its output thrown away, its errors kept in DIR/err) and prints
# "SECONDS MB CPU": the wall clock to the millisecond, the peak resident
# memory and the processor seconds, user and system, of every thread; or
# "FAILED" when the command fails.
timed_run() {
  local dir=$1 start end
  shift
  start=$EPOCHREALTIME
  if /usr/bin/time -f "%M %U %S" -o "$dir/time" "$@" >/dev/null 2>"$dir/err"; then
    end=$EPOCHREALTIME
    awk -v s="$start" -v e="$end" '{ printf "%.3f %d %.2f", e - s, ($1 + 1023) / 1024, $2 + $3 }' "$dir/time"
  else
    echo FAILED
  fi
}

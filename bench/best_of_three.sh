# Sourced by the benchmark scripts. best_of_three TIME_FILE COMMAND...: runs COMMAND three times under
# /usr/bin/time and sets best (wall seconds of the fastest run), rss (its peak kB) and cpu (its user +
# system seconds).
best_of_three() {
  local times=$1 wall kb seconds used
  shift
  best="" rss="" cpu=""
  for _ in 1 2 3; do
    /usr/bin/time -v -o "$times" "$@" >/dev/null
    wall=$(sed -n 's/.*Elapsed (wall clock) time (h:mm:ss or m:ss): //p' "$times")
    used=$(awk -F': ' '/User time|System time/ { s += $2 } END { print s }' "$times")
    kb=$(sed -n 's/.*Maximum resident set size (kbytes): //p' "$times")
    seconds=$(awk -F: '{ s = 0; for (i = 1; i <= NF; i++) s = s * 60 + $i; print s }' <<<"$wall")
    if [ -z "$best" ] || awk -v a="$seconds" -v b="$best" 'BEGIN { exit !(a < b) }'; then best=$seconds; rss=$kb; cpu=$used; fi
  done
}

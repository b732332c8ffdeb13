# Sourced by the checks that follow a viewer ($viewer) on a desktop through the frame probe's log,
# $work/frames: how many frames it drew, waits on them, and on its end.
since() { awk -v from="$1" -v now="$EPOCHREALTIME" 'BEGIN { printf "%.2f", now - from }'; }
frame_count() { wc -l <"$work/frames"; }
wait_frames() { # until the frame log has $1 lines, for at most 120 s and while the viewer runs
  for _ in $(seq 1200); do
    [ "$(frame_count)" -lt "$1" ] || return 0
    [ -e "/proc/$viewer" ] || break
    sleep 0.1
  done
  [ ! -s "$work/stdout" ] || sed 's/^/  /' "$work/stdout"
  [ -e "/proc/$viewer" ] || { wait "$viewer" && status=0 || status=$?; viewer=""
    echo "FAIL: the viewer ended with status $status after $(frame_count) frames, not $1"; exit 1; }
  echo "FAIL: $(frame_count) frames drawn after 120 s, not $1"; exit 1
}
# The frame intervals from line $1 to line $2 of the log, one a line, sorted.
intervals() {
  awk -v a="$1" -v b="$2" 'NR > a && NR <= b { print $2 - p } { p = $2 }' "$work/frames" | sort -g
}
median() { awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
# How long a close request may wait: 1 s where a shown frame (lines $1 to $2) takes less than half a
# second, half a second more than the longest of them where they take longer.
close_limit() { intervals "$1" "$2" | awk 'END { print ($1 < 0.5 ? 1 : 0.5 + $1) }'; }
ended_within() { # the viewer's status, once it has ended within $1 seconds
  timeout "$1" tail -s 0.05 --pid="$viewer" -f /dev/null ||
    { echo "FAIL: still running $1 s later"; exit 1; }
  local pid=$viewer && viewer="" && wait "$pid"
}
# Hidden, it gets no frame callbacks, yet draws at most 4 frames a second, and answers; shown, its
# frames come at the compositor's pace, each at least 0.1 s sooner than a hidden one (the median of
# each); hidden again, a close request sent right after a frame, when its wait has just begun, ends
# it within close_limit of the shown frames. Sets $status.
hidden_then_closed() { # ACT: a command that takes hide, show or close
  $1 hide
  local hidden at drawn shown limit asked
  hidden=$(frame_count) at=$EPOCHREALTIME
  sleep 4
  wait_frames $((hidden + 3)) # still drawing, however slowly: not stuck in the buffer swap
  drawn=$(($(frame_count) - hidden))
  awk -v n="$drawn" -v s="$(since "$at")" 'BEGIN {
    printf "Hidden: %d frames in %.1f s\n", n, s; exit !(n <= 4 * s + 2) }' ||
    { echo "FAIL: more than 4 frames a second while hidden"; exit 1; }
  $1 show
  shown=$(frame_count)
  wait_frames $((shown + 7)) # the first one's interval still began hidden
  awk -v h="$(intervals $((hidden + 1)) "$shown" | median)" \
    -v s="$(intervals $((shown + 1)) $((shown + 7)) | median)" 'BEGIN {
    printf "A frame every %.3f s hidden, %.3f s shown\n", h, s; exit !(s < h - 0.1) }' ||
    { echo "FAIL: shown, held to the hidden pace"; exit 1; }
  limit=$(close_limit $((shown + 1)) $((shown + 7)))
  $1 hide
  wait_frames $(($(frame_count) + 3)) # and at once after the last of them
  asked=$EPOCHREALTIME
  $1 close
  status=0
  ended_within "$limit" || status=$?
  echo "Frames drawn: $(frame_count); status $status, $(since "$asked") s" \
    "after the close request to the hidden window"
}

# Sourced by the checks that run a built viewer as a user would, without the frame probe (under
# Wine, under qemu): starting it, waiting for its window and pictures, and what a picture shows.
# The caller sets $work (a scratch folder) and $project, and runs a virtual display.

# The window manager's close request, sent by close_window built here for this machine.
cc -o "$work/close_window" "$project/tools/close_window.c" -lX11

# Runs COMMAND in DIR in the background, its standard output in $work/out.
start() {
  (cd "$1" && shift && exec timeout 300 "$@" </dev/null >"$work/out" 2>>"$work/stderr") &
  viewer=$!
}
finish() {
  status=0
  wait "$viewer" || status=$?
  viewer=""
  [ "$status" -eq "$1" ] || { echo "FAIL: status $status, not $1"; exit 1; }
}
# Retries the command for at most $1 seconds; on failure, shows what the viewer printed so far and
# names the windows shown.
wait_for() {
  local limit=$1 deadline=$((SECONDS + $1))
  shift
  until "$@"; do
    [ "$SECONDS" -lt "$deadline" ] || {
      for log in "$work/out" "$work/stderr"; do [ ! -s "$log" ] || sed 's/^/  /' "$log"; done
      echo "FAIL: $* within $limit s; shown:" $(xdotool search --onlyvisible --name . getwindowname %@)
      exit 1
    }
    sleep 0.2
  done
}
# A shown window named by the pattern $1; the viewer's is the 800 × 600 one (a console started
# by its shortcut bears the shortcut's name too).
found() {
  for window in $(xdotool search --onlyvisible --name "$1" 2>/dev/null); do
    [ -z "${2:-}" ] || xdotool getwindowgeometry "$window" | grep -q "Geometry: $2" || continue
    return 0
  done
  return 1
}
# ImageMagick 7's command is magick, 6's convert.
magick=$(command -v magick || echo convert)
shot() { import -window "$window" "$work/shot.png" 2>/dev/null; }
# The share of a region of the last shot drawn in the fog colour, the background.
fog() {
  "$magick" "$work/shot.png" -crop "$1" +repage -fill white -opaque 'rgb(237,233,232)' \
    -fill black +opaque white -format '%[fx:mean]' info:
}
shows_start_view() { # [-]: the picture alone
  shot && tr -d '\r' <"$work/out" >"$work/report" &&
    bash "$project/tests/support/check-viewer-run" "${1:-$work/report}" "$work/shot.png" >"$work/match"
}
flew_forward() { shot && awk -v now="$(fog 400x300+200+150)" -v was="$centre" 'BEGIN { exit !(now > 1.3 * was) }'; }
turned_right() { shot && awk -v l="$(fog 400x600+0+0)" -v r="$(fog 400x600+400+0)" 'BEGIN { exit !(l > 2 * r) }'; }
hold() { # KEY CHECK: holds the key until the picture passes the check
  xdotool keydown "$1"
  wait_for 180 "$2"
  xdotool keyup "$1"
}
# The output of a run without shader files: the report, then the compiler's message.
reports_missing_shaders() {
  tr -d '\r' <"$work/out" >"$work/report"
  [[ "$(<"$work/report")" =~ ^160000$'\n'"OpenGL version: "[^$'\n']+$'\n'"GLSL version: "[^$'\n']+$'\n'"Shader compilation error:"$'\n'[^$'\n']+$ ]] ||
    { cat "$work/report"; echo "FAIL: the message without shaders"; exit 1; }
  sed 's/^/  /' "$work/report"
}

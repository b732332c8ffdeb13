# Sourced by the scripts that run the viewer on a virtual X display of their own.
# start_virtual_display RUNTIME-DIR: starts Xvfb on a free display (its process in $xvfb, for the
# caller's trap to end) and gives whatever is started from here that display only: no Wayland
# display, which GLFW 3.4 would try first, and RUNTIME-DIR as the runtime directory.
start_virtual_display() {
  local displayfd number
  mkdir -p "$1"
  exec {displayfd}<> <(:)
  Xvfb -displayfd "$displayfd" -screen 0 1024x768x24 -nolisten tcp >"$1/xvfb.log" 2>&1 &
  xvfb=$!
  read -r -t 30 -u "$displayfd" number ||
    { cat "$1/xvfb.log"; echo "Xvfb gave no display within 30 s (its output is above)"; exit 1; }
  export DISPLAY=":$number" XDG_RUNTIME_DIR="$1" XDG_SESSION_TYPE=x11
  unset WAYLAND_DISPLAY
}

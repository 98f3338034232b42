# Helpers for the end-to-end tests: a virtual display with a window manager,
# the program's window found by its title, its client area on screen, pixels
# read from screenshots. Sourced by the test scripts.

e2e_fail() {
  echo "FAIL: $*" >&2
  exit 1
}

e2e_note() {
  echo "e2e: $*"
}

# Starts Xvfb (1280 x 800) and openbox on a free display; sets DISPLAY.
e2e_start_display() {
  local n
  for n in $(seq 20 80); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || break
  done
  export DISPLAY=":$n"
  Xvfb "$DISPLAY" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
  E2E_XVFB=$!
  for _ in $(seq 100); do
    xdpyinfo >/dev/null 2>&1 && break
    sleep 0.1
  done
  xdpyinfo >/dev/null 2>&1 || e2e_fail "Xvfb did not start on $DISPLAY"
  openbox >/dev/null 2>&1 &
  E2E_WM=$!
  sleep 1
}

e2e_stop_display() {
  [ -n "${E2E_PROGRAM:-}" ] && kill "$E2E_PROGRAM" 2>/dev/null
  [ -n "${E2E_WM:-}" ] && kill "$E2E_WM" 2>/dev/null
  [ -n "${E2E_XVFB:-}" ] && kill "$E2E_XVFB" 2>/dev/null
  wait 2>/dev/null || true
}

# Waits up to $2 seconds (default 30) for a visible window titled exactly $1;
# prints its id.
e2e_wait_window() {
  local title=$1 limit=${2:-30} id
  for _ in $(seq $((limit * 5))); do
    id=$(xdotool search --onlyvisible --name "^${title}\$" 2>/dev/null | head -n 1)
    if [ -n "$id" ]; then
      echo "$id"
      return 0
    fi
    sleep 0.2
  done
  return 1
}

# Waits until the window titled $1 has kept the same id and geometry for half
# a second (the window manager has framed and placed it); prints its id.
e2e_settled_window() {
  local title=$1 limit=${2:-60} id last="" now
  for _ in $(seq $((limit * 2))); do
    id=$(e2e_wait_window "$title" "$limit") || return 1
    now="$id $(e2e_geometry "$id" 2>/dev/null)"
    if [ "$now" = "$last" ] && [ "$(echo "$now" | wc -w)" -eq 5 ]; then
      echo "$id"
      return 0
    fi
    last=$now
    sleep 0.5
  done
  return 1
}

# Prints "x y width height" of the window's own area (the client area) on the
# screen.
e2e_geometry() {
  xwininfo -id "$1" | awk '
    /Absolute upper-left X/ { x = $NF }
    /Absolute upper-left Y/ { y = $NF }
    /^ *Width:/ { w = $NF }
    /^ *Height:/ { h = $NF }
    END { print x, y, w, h }'
}

# Takes a screenshot of the whole screen into $1.
e2e_shot() {
  import -window root "$1" 2>/dev/null || e2e_fail "screenshot $1"
}

# Prints "r g b" of pixel ($2, $3) of the image $1.
e2e_pixel() {
  convert "$1" -crop "1x1+$2+$3" -depth 8 txt:- | awk 'NR == 2 {
    sub(/^[^(]*\(/, ""); sub(/\).*$/, ""); gsub(/,/, " "); print $1, $2, $3 }'
}

# True when colour "$1" (r g b) is within $3 of "$2" on every channel.
e2e_near() {
  local a=($1) b=($2) tolerance=$3 i d
  for i in 0 1 2; do
    d=$((a[i] - b[i]))
    [ ${d#-} -le "$tolerance" ] || return 1
  done
  return 0
}

# Prints "r g b" of each pixel (x, y) given as pairs after the image $1, one
# line per pixel, in one pass over the image: fast enough to sample a show
# that cuts every second.
e2e_pixels() {
  local file=$1 format=""
  shift
  while [ $# -ge 2 ]; do
    format="$format%[fx:int(255*p{$1,$2}.r+0.5)] %[fx:int(255*p{$1,$2}.g+0.5)] %[fx:int(255*p{$1,$2}.b+0.5)]\n"
    shift 2
  done
  convert "$file" -format "$format" info:
}

# Helpers for the end-to-end tests: a virtual display with a window manager,
# the program's window found by its title, its client area on screen, pixels
# read from screenshots. Sourced by the test scripts.

# Ends the script as failed. With a desktop up, first says how it fares:
# a window manager that died or complained is not the program's fault.
e2e_fail() {
  echo "FAIL: $*" >&2
  [ -n "${E2E_DESKTOP_LOG:-}" ] && e2e_desktop_report >&2
  exit 1
}

e2e_note() {
  echo "e2e: $*"
}

# Makes the script's scratch folder, $work; it goes, with the display, when
# the script ends.
e2e_work() {
  work=$(mktemp -d)
  trap 'e2e_stop_display; rm -rf "$work"' EXIT
}

# Starts Xvfb (1280 x 800) and openbox on a free display; sets DISPLAY.
e2e_start_display() {
  e2e_start_desktop openbox
}

# Starts the desktop named $1 and sets what its programs need to reach it:
#   openbox, mutter, xfwm4, kwin  the window manager (mutter and kwin on X11)
#                                 in Xvfb (1280 x 800), with a session bus
#   none                          Xvfb alone, as in a kiosk session
#   sway, cage                    the compositor headless, as the desktop's
#                                 user: sway 1280 x 800 at 30 Hz with its
#                                 bar (30 px at the top), cage at its fixed
#                                 1280 x 720 at 60 Hz
# Always sets DISPLAY (for sway and cage their XWayland); for sway and cage
# also WAYLAND_DISPLAY, XDG_RUNTIME_DIR, SWAYSOCK and E2E_VNC_SOCKET (sway)
# and E2E_WAYLAND=1, which takes screenshots from the compositor. Start programs with
# e2e_launch.
e2e_start_desktop() {
  local desktop=$1 attempt
  unset WAYLAND_DISPLAY SWAYSOCK E2E_VNC_SOCKET E2E_WAYLAND
  E2E_DESKTOP=()
  case $desktop in
    sway | cage)
      e2e_start_compositor "$desktop"
      return
      ;;
    openbox | mutter | xfwm4 | kwin | none) ;;
    *) e2e_fail "unknown desktop '$desktop'" ;;
  esac
  # Now and then a fresh Xvfb takes no client (three starts in some 200
  # here): the window manager cannot open the display, and the server then
  # also ignores SIGTERM for a while. The display is started afresh then.
  for attempt in 1 2 3; do
    e2e_start_x11 "$desktop" && return
    e2e_note "attempt $attempt: $desktop did not come up on ${DISPLAY:-no display}: $(tail -n 3 "$E2E_DESKTOP_LOG" | tr '\n' ' ')" >&2
    e2e_stop_desktop
    rm -f "$E2E_DESKTOP_LOG"
  done
  e2e_fail "$desktop did not come up in three attempts"
}

# Starts Xvfb and the window manager $1 (see e2e_start_desktop); returns
# non-zero when either does not come up.
e2e_start_x11() {
  local desktop=$1 n number
  # A display whose number no lock or socket claims, taken for sure only
  # once this Xvfb names it on -displayfd (it accepts connections then):
  # another run can start its server on the same number in between, and
  # this Xvfb then ends, and the next number is tried. The numbers from 20
  # leave the low ones to the compositors' XWayland. No reset when the last
  # client leaves: the next program started on a desktop without a window
  # manager would find the server in the middle of it.
  E2E_DESKTOP_LOG=$(mktemp)
  number=$(mktemp)
  E2E_XVFB=""
  for n in $(seq 20 99); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
    Xvfb ":$n" -displayfd 3 -noreset -screen 0 1280x800x24 -nolisten tcp \
      3>"$number" >>"$E2E_DESKTOP_LOG" 2>&1 &
    E2E_XVFB=$!
    for _ in $(seq 300); do
      [ -s "$number" ] || ! kill -0 "$E2E_XVFB" 2>/dev/null && break
      sleep 0.1
    done
    [ -s "$number" ] && break
    e2e_stop_desktop
  done
  rm -f "$number"
  [ -n "$E2E_XVFB" ] || return 1
  export DISPLAY=":$n"
  timeout 10 xdpyinfo >/dev/null 2>&1 || return 1
  # Each bus starts after DISPLAY is set: the services it starts on demand
  # (KDE's global shortcuts) open the display too.
  case $desktop in
    none) return 0 ;;
    openbox) openbox >>"$E2E_DESKTOP_LOG" 2>&1 & ;;
    mutter) dbus-run-session -- mutter --x11 --replace --sm-disable >>"$E2E_DESKTOP_LOG" 2>&1 & ;;
    xfwm4) dbus-run-session -- xfwm4 --replace --compositor=off >>"$E2E_DESKTOP_LOG" 2>&1 & ;;
    kwin) KWIN_COMPOSE=N dbus-run-session -- kwin_x11 --replace >>"$E2E_DESKTOP_LOG" 2>&1 & ;;
  esac
  E2E_DESKTOP+=($!)
  # The window manager has taken over once it names itself on the root.
  # Without it no close or maximise would be answered.
  for _ in $(seq 300); do
    if timeout 5 xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; then
      sleep 1
      return 0
    fi
    kill -0 "${E2E_DESKTOP[-1]}" 2>/dev/null || return 1
    sleep 0.1
  done
  return 1
}

# Ends the desktop's processes and Xvfb; what does not end on SIGTERM
# within 5 s is killed.
e2e_stop_desktop() {
  local pid pids=()
  for pid in "${E2E_DESKTOP[@]}"; do
    pids+=($(e2e_process_tree "$pid"))
  done
  [ -n "${E2E_XVFB:-}" ] && pids+=("$E2E_XVFB")
  E2E_DESKTOP=()
  E2E_XVFB=""
  [ ${#pids[@]} -gt 0 ] || return 0
  kill "${pids[@]}" 2>/dev/null
  for _ in $(seq 50); do
    kill -0 "${pids[@]}" 2>/dev/null || break
    sleep 0.1
  done
  for pid in "${pids[@]}"; do
    kill -0 "$pid" 2>/dev/null && kill -9 "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
  done
  return 0
}

# The user the compositors and their programs run as: sway refuses to run as
# root, so as root a system user of the tests' own is made once; anyone else
# runs them as themselves.
e2e_desktop_user() {
  if [ "$(id -u)" -ne 0 ]; then
    id -un
    return
  fi
  id -u vimbora-e2e >/dev/null 2>&1 ||
    useradd --system --no-create-home --shell /usr/sbin/nologin vimbora-e2e ||
    e2e_fail "could not make the user vimbora-e2e"
  echo vimbora-e2e
}

# Runs a command (leading NAME=VALUE words set its environment) as the
# desktop's user, with only the environment of the compositor's session.
e2e_as_user() {
  local user
  user=$(e2e_desktop_user)
  local run=(env -i PATH="$PATH" HOME="$XDG_RUNTIME_DIR" XDG_RUNTIME_DIR="$XDG_RUNTIME_DIR")
  [ "$user" = "$(id -un)" ] || run=(setpriv --reuid "$user" --regid "$user" --clear-groups "${run[@]}")
  (cd / && exec "${run[@]}" "$@")
}

# sway or cage on wlroots' headless backend, without input devices. The
# session's first command lets root's X tools into XWayland and writes the
# display's name.
e2e_start_compositor() {
  local desktop=$1 user hello
  user=$(e2e_desktop_user)
  XDG_RUNTIME_DIR=$(mktemp -d /tmp/vimbora-e2e-run.XXXXXX)
  export XDG_RUNTIME_DIR
  E2E_RUNTIME=$XDG_RUNTIME_DIR
  E2E_DESKTOP_LOG=$XDG_RUNTIME_DIR/log
  chown "$user" "$XDG_RUNTIME_DIR"
  chmod 700 "$XDG_RUNTIME_DIR"
  hello='xhost +si:localuser:root >/dev/null; echo "$DISPLAY" >"$XDG_RUNTIME_DIR/x-display"'
  if [ "$desktop" = sway ]; then
    printf '%s\n' 'output HEADLESS-1 mode --custom 1280x800@30Hz' 'bar {' '  position top' '  height 30' '}' \
      "exec sh -c '$hello'" >"$XDG_RUNTIME_DIR/sway.conf"
    chmod 644 "$XDG_RUNTIME_DIR/sway.conf"
    e2e_as_user WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 \
      sway -c "$XDG_RUNTIME_DIR/sway.conf" >"$E2E_DESKTOP_LOG" 2>&1 &
  else
    # cage shows one program: the session's own is a sleeper without a
    # window, and the show started next is the window cage shows.
    e2e_as_user WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 \
      cage -- sh -c "$hello; exec sleep infinity" >"$E2E_DESKTOP_LOG" 2>&1 &
  fi
  E2E_DESKTOP+=($!)
  for _ in $(seq 100); do
    [ -s "$XDG_RUNTIME_DIR/x-display" ] && break
    sleep 0.1
  done
  [ -s "$XDG_RUNTIME_DIR/x-display" ] ||
    e2e_fail "$desktop did not start: $(tail -n 5 "$E2E_DESKTOP_LOG")"
  DISPLAY=$(cat "$XDG_RUNTIME_DIR/x-display")
  WAYLAND_DISPLAY=$(cd "$XDG_RUNTIME_DIR" && ls wayland-? | head -n 1)
  export DISPLAY WAYLAND_DISPLAY E2E_WAYLAND=1
  if [ "$desktop" = sway ]; then
    SWAYSOCK=$(ls "$XDG_RUNTIME_DIR"/sway-ipc.*.sock)
    export SWAYSOCK
    # The headless sway has no keyboard or pointer: wayvnc's virtual ones
    # type and click into Wayland windows (tests/e2e/vnc_input.cpp).
    E2E_VNC_SOCKET=$XDG_RUNTIME_DIR/vnc
    e2e_as_user WAYLAND_DISPLAY="$WAYLAND_DISPLAY" wayvnc -u "$E2E_VNC_SOCKET" \
      >>"$E2E_DESKTOP_LOG" 2>&1 &
    E2E_DESKTOP+=($!)
    for _ in $(seq 50); do
      [ -S "$E2E_VNC_SOCKET" ] && break
      sleep 0.1
    done
    [ -S "$E2E_VNC_SOCKET" ] || e2e_fail "wayvnc did not start: $(tail -n 5 "$E2E_DESKTOP_LOG")"
    export E2E_VNC_SOCKET
  fi
}

# Starts the program given as arguments (leading NAME=VALUE words set its
# environment) on the desktop, as the desktop's user; sets E2E_PROGRAM.
e2e_launch() {
  if [ -n "${E2E_WAYLAND:-}" ]; then
    e2e_as_user DISPLAY="$DISPLAY" WAYLAND_DISPLAY="$WAYLAND_DISPLAY" "$@" &
  else
    env "$@" &
  fi
  E2E_PROGRAM=$!
}

# Prints the process $1 and all its descendants.
e2e_process_tree() {
  local child
  echo "$1"
  for child in $(ps -o pid= --ppid "$1" 2>/dev/null); do
    e2e_process_tree "$child"
  done
}

e2e_stop_display() {
  [ -n "${E2E_PROGRAM:-}" ] && kill $(e2e_process_tree "$E2E_PROGRAM") 2>/dev/null
  e2e_stop_desktop
  wait 2>/dev/null || true
  [ -n "${E2E_RUNTIME:-}" ] && rm -rf "$E2E_RUNTIME"
  [ -n "${E2E_DESKTOP_LOG:-}" ] && rm -f "$E2E_DESKTOP_LOG"
  return 0
}

# Says whether the desktop's processes still run, and the end of what they
# wrote: where a check failed, it tells a desktop that died or complained
# from a fault of the program.
e2e_desktop_report() {
  local pid
  for pid in ${E2E_XVFB:-} "${E2E_DESKTOP[@]}"; do
    kill -0 "$pid" 2>/dev/null || e2e_note "desktop process $pid has exited"
  done
  [ -s "${E2E_DESKTOP_LOG:-}" ] && tail -n 15 "$E2E_DESKTOP_LOG" | sed 's/^/e2e: desktop: /'
  return 0
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

# Waits up to $1 seconds for the program ($E2E_PROGRAM) to end and sets
# E2E_STATUS to its exit status; fails the test when it still runs then.
# Given a window id as $2, first closes it through the window manager, asking
# again every 2 s: a close asked before the window manager has taken the
# window goes nowhere. (Not for a command substitution: only this shell can
# wait for its child.)
e2e_wait_exit() {
  local limit=$1 id=${2:-} tick
  for tick in $(seq $((limit * 10))); do
    [ -n "$id" ] && [ $((tick % 20)) -eq 1 ] && wmctrl -i -c "$id" 2>/dev/null
    kill -0 "$E2E_PROGRAM" 2>/dev/null || break
    sleep 0.1
  done
  kill -0 "$E2E_PROGRAM" 2>/dev/null && e2e_fail "the program did not end within $limit s"
  wait "$E2E_PROGRAM"
  E2E_STATUS=$?
  E2E_PROGRAM=""
}

# Closes the window $1 and returns the program's exit status; fails the test
# when the program does not end within 30 s.
e2e_close() {
  e2e_wait_exit 30 "$1"
  return $E2E_STATUS
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
  if [ -n "${E2E_WAYLAND:-}" ]; then
    grim "$1" 2>/dev/null || e2e_fail "screenshot $1"
    return
  fi
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

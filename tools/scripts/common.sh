# Shared by ./run and ./test: installs what is missing and builds.
# shellcheck shell=bash

QUELLON_PACKAGES=(
  cmake ninja-build g++ pkg-config clang-format
  qt6-base-dev qt6-qpa-plugins qt6-serialport-dev qt6-translations-l10n
  qt6-httpserver-dev qt6-websockets-dev
  chromium chromium-driver
  libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-plugins-bad
  gstreamer1.0-plugins-ugly gstreamer1.0-libav gstreamer1.0-pulseaudio gstreamer1.0-x
  timgm6mb-soundfont
  libasound2-dev libasound2-plugins
  fonts-wqy-microhei
  pulseaudio pulseaudio-utils xvfb xauth imagemagick ffmpeg
  openbox x11-utils xdotool
  dpkg-dev file lintian
)

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

ensure_packages() {
  local missing=()
  local p
  for p in "${QUELLON_PACKAGES[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
      missing+=("$p")
    fi
  done
  if [ "${#missing[@]}" -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    as_root apt-get update -q
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q "${missing[@]}"
  fi
}

# Warnings are errors in the builds of both commands: the code stays clean.
build_project() {
  local top=$1
  if [ ! -f "$top/build/build.ninja" ]; then
    cmake -G Ninja -S "$top" -B "$top/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUELLON_WERROR=ON
  else
    cmake -S "$top" -B "$top/build" -DQUELLON_WERROR=ON >/dev/null
  fi
  cmake --build "$top/build"
  # GStreamer builds its plugin registry at its first start on a machine,
  # which can take longer than the console waits for a new sound engine to
  # answer. One start here, with nothing to do, builds it.
  "$top/build/audio/quellon-audio" --role warm-up </dev/null >/dev/null || true
}

# A private PulseAudio with a null sink and source, when no sound server is
# reachable. Sets PULSE_PID (empty when none was started) and exports
# QUELLON_REQUIRE_SOUND=1 once a server answers. Call stop_private_sound_server.
start_private_sound_server() {
  PULSE_PID=""
  if pactl info >/dev/null 2>&1; then
    export QUELLON_REQUIRE_SOUND=1
    return
  fi
  command -v pulseaudio >/dev/null || return
  QUELLON_RUNTIME_DIR=$(mktemp -d)
  chmod 700 "$QUELLON_RUNTIME_DIR"
  export XDG_RUNTIME_DIR="$QUELLON_RUNTIME_DIR"
  pulseaudio --daemonize=no --exit-idle-time=-1 -n --use-pid-file=no --disable-shm=yes \
    --load=module-native-protocol-unix \
    --load="module-null-sink sink_name=nullsink" \
    --load="module-null-source source_name=nullsrc" >"$QUELLON_RUNTIME_DIR/pulse.log" 2>&1 &
  PULSE_PID=$!
  local _
  for _ in $(seq 50); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done
  if pactl info >/dev/null 2>&1; then
    export QUELLON_REQUIRE_SOUND=1
  else
    echo "warning: the private sound server did not start (see $QUELLON_RUNTIME_DIR/pulse.log)"
  fi
}

stop_private_sound_server() {
  if [ -n "${PULSE_PID:-}" ]; then
    kill "$PULSE_PID" 2>/dev/null || true
    wait "$PULSE_PID" 2>/dev/null || true
  fi
  if [ -n "${QUELLON_RUNTIME_DIR:-}" ]; then rm -rf "$QUELLON_RUNTIME_DIR"; fi
}

# Waits up to $1 seconds for the command after the process id $2 to succeed
# while that process lives. Returns 0 once it succeeds with the process alive,
# 1 when the process has ended, 2 when the time ran out.
wait_for_start() {
  local seconds=$1 pid=$2
  shift 2
  local _
  for _ in $(seq $((seconds * 10))); do
    kill -0 "$pid" 2>/dev/null || return 1
    if "$@"; then
      kill -0 "$pid" 2>/dev/null || return 1
      return 0
    fi
    sleep 0.1
  done
  return 2
}

# The process id of the X server that holds display number $1, when it runs.
x_display_holder() {
  local lock="/tmp/.X$1-lock" pid
  [ -r "$lock" ] || return 1
  pid=$(tr -d ' \n' <"$lock")
  [ -n "$pid" ] && [ -d "/proc/$pid" ] || return 1
  echo "$pid"
}

# A virtual display $1 (":99") for a machine without one. A server that holds
# it already is used as it is and left alone. Otherwise the program $3 (Xvfb
# by default) is started with its output in $2 and XVFB_PID set; it is ready
# when its socket is there and its lock names it. Returns 1 with a message
# when it did not start. stop_virtual_display ends what this started.
start_virtual_display() {
  local display=$1 log=$2 program=${3:-Xvfb}
  local number=${display#:}
  local socket="/tmp/.X11-unix/X$number"
  XVFB_PID=""
  if [ -S "$socket" ] && x_display_holder "$number" >/dev/null; then
    return 0
  fi
  # The socket of a server that was killed would pass for the new one's.
  rm -f "$socket" 2>/dev/null || true
  "$program" "$display" -screen 0 1280x800x24 -nolisten tcp >"$log" 2>&1 &
  XVFB_PID=$!
  local status=0
  wait_for_start 15 "$XVFB_PID" virtual_display_ready "$number" "$XVFB_PID" || status=$?
  if [ "$status" -ne 0 ]; then
    if [ "$status" -eq 1 ]; then
      echo "The virtual display $display did not start: $program ended at once." >&2
    else
      echo "The virtual display $display did not start: no socket $socket within 15 seconds." >&2
    fi
    echo "Its log is $log" >&2
    stop_virtual_display
    return 1
  fi
}

virtual_display_ready() {
  [ -S "/tmp/.X11-unix/X$1" ] && [ "$(x_display_holder "$1")" = "$2" ]
}

# The openbox window manager on the display $DISPLAY, when no window manager
# runs there yet, so that the demo's windows are stacked, framed and focused
# as on a school's desktop. Sets WM_PID (empty when none was started). Call
# stop_window_manager.
start_window_manager() {
  local log=$1
  WM_PID=""
  command -v openbox >/dev/null || return 0
  if xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; then
    return 0
  fi
  openbox --sm-disable >"$log" 2>&1 &
  WM_PID=$!
  local _
  for _ in $(seq 50); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && return 0
    sleep 0.1
  done
  echo "warning: the window manager did not start (see $log)"
}

stop_window_manager() {
  if [ -n "${WM_PID:-}" ]; then
    kill "$WM_PID" 2>/dev/null || true
    wait "$WM_PID" 2>/dev/null || true
    WM_PID=""
  fi
}

stop_virtual_display() {
  if [ -n "${XVFB_PID:-}" ]; then
    kill "$XVFB_PID" 2>/dev/null || true
    wait "$XVFB_PID" 2>/dev/null || true
    XVFB_PID=""
  fi
}

# The zone controller simulator $1 on a pseudo-terminal linked at $2, its
# output in $3, its commands read from the FIFO $4 (which it holds open for
# writing too, so that the end of one writer is not the end of its input).
# Sets ZONESIM_PID. Returns 1 with a message when it did not start.
# stop_zone_simulator ends it.
start_zone_simulator() {
  local program=$1 link=$2 log=$3 input=$4
  ZONESIM_PID=""
  # A link left by a simulator that was killed would pass for the new one's.
  if [ -L "$link" ]; then rm -f "$link"; fi
  "$program" --link "$link" <>"$input" >"$log" 2>&1 &
  ZONESIM_PID=$!
  local status=0
  wait_for_start 15 "$ZONESIM_PID" test -e "$link" || status=$?
  if [ "$status" -ne 0 ]; then
    if [ "$status" -eq 1 ]; then
      echo "The zone controller simulator did not start: $program ended at once." >&2
    else
      echo "The zone controller simulator did not start: no link $link within 15 seconds." >&2
    fi
    echo "Its log is $log" >&2
    stop_zone_simulator
    return 1
  fi
}

stop_zone_simulator() {
  if [ -n "${ZONESIM_PID:-}" ]; then
    kill "$ZONESIM_PID" 2>/dev/null || true
    wait "$ZONESIM_PID" 2>/dev/null || true
    ZONESIM_PID=""
  fi
}

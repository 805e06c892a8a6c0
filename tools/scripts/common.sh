# Shared by ./run and ./test: installs what is missing and builds.
# shellcheck shell=bash

QUELLON_PACKAGES=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-qpa-plugins qt6-serialport-dev qt6-multimedia-dev qt6-translations-l10n
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-plugins-bad
  gstreamer1.0-plugins-ugly gstreamer1.0-libav gstreamer1.0-pulseaudio timgm6mb-soundfont
  libasound2-dev libasound2-plugins
  fonts-wqy-microhei
  pulseaudio pulseaudio-utils xvfb xauth imagemagick ffmpeg
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

build_project() {
  local top=$1
  if [ ! -f "$top/build/build.ninja" ]; then
    cmake -G Ninja -S "$top" -B "$top/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo
  fi
  cmake --build "$top/build"
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

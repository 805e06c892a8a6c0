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

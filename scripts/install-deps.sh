#!/usr/bin/env bash
# Installs the Debian/Ubuntu packages the program needs (and, with --test, what its tests need),
# but only those that are missing.
set -euo pipefail

packages=(build-essential cmake pkg-config qt6-base-dev qt6-svg-dev libsdl2-dev libpulse-dev libsndfile1-dev libpipewire-0.3-dev fonts-liberation2
  qt6-translations-l10n)
if [ "${1:-}" = "--test" ]; then
  packages+=(googletest libgtest-dev libbenchmark-dev xvfb xdotool imagemagick x11-utils sox espeak-ng pulseaudio pulseaudio-utils python3
    desktop-file-utils appstream dpkg-dev lintian man-db weston qt6-wayland clang-format stress-ng libx11-dev libxdamage-dev openbox
    at-spi2-core gir1.2-atspi-2.0 python3-gi dbus pipewire pipewire-bin pipewire-pulse wireplumber)
fi

# Ableton Link (header-only) without its recommends: they pull in boost, which Link does not need.
nodeps=(ableton-link-dev)

missing=() missing_nodeps=()
for p in "${nodeps[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing_nodeps+=("$p")
done
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && [ ${#missing_nodeps[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]} ${missing_nodeps[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
[ ${#missing[@]} -eq 0 ] || $sudo apt-get install -y -q "${missing[@]}"
[ ${#missing_nodeps[@]} -eq 0 ] || $sudo apt-get install -y -q --no-install-recommends "${missing_nodeps[@]}"

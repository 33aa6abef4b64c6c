#!/usr/bin/env bash
# Installs the Debian packages that building, testing and running Vorlix
# need, when they are missing. Safe to run again: it installs nothing when
# everything is there.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  qt6-base-dev qt6-qpa-plugins libgl-dev qt6-translations-l10n qt6-charts-dev libqt6opengl6-dev
  libsqlcipher-dev sqlcipher
  libquazip1-qt6-dev poppler-utils
  libbenchmark-dev clang-format-14 clang-tidy-14
  xvfb xauth xdotool x11-apps libxcb1-dev
  fonts-wqy-microhei
  librsvg2-bin file desktop-file-utils appstream lintian
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$package")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
if [ "$(id -u)" -ne 0 ]; then
  sudo="sudo"
fi
echo "Installing: ${missing[*]}"
$sudo apt-get update -q
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"

#!/usr/bin/env bash
# Installs every Debian package the project needs to build, test and run.
# Idempotent: does nothing (and prints nothing) when all of them are present.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  libtbb-dev nlohmann-json3-dev libgtest-dev libgmock-dev libbenchmark-dev
  libpng-dev libjpeg62-turbo-dev libtiff-dev libgif-dev
  imagemagick python3
  libwxgtk3.2-dev libgl1-mesa-dri libgl-dev xvfb xauth xdotool x11-apps x11-utils openbox fonts-dejavu-core
  pandoc weasyprint
  # Help > User Manual hands the PDF to the desktop's opener; on a machine
  # without a PDF viewer a small one is brought in (file tells the opener
  # the type when no desktop is running).
  xdg-utils file zathura zathura-pdf-poppler
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null

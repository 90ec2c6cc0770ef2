#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need. Idempotent: runs
# apt-get only when something is missing. Works as root or through sudo.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config clang libclang-rt-14-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev qt6-base-dev-tools libqt6opengl6-dev libgl-dev
  libfreetype-dev libfontconfig-dev zlib1g-dev libpng-dev libtiff-dev
  libjpeg-dev libgif-dev libcurl4-openssl-dev
  libgs-dev ghostscript libkpathsea-dev
  texlive-binaries texlive-base texlive-fonts-recommended texlive-latex-base cm-super-minimal cm-super lmodern
  poppler-utils xvfb xauth python3 fonts-dejavu-core fonts-dejavu-extra dvipng fonts-unfonts-core xdg-utils shared-mime-info libglib2.0-bin
  tango-icon-theme qt6-translations-l10n
  libx11-dev libxext-dev libxtst-dev
  texlive-lang-korean latex-cjk-korean fonts-baekmuk fonts-unfonts-extra
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "setup: all packages present"
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"

#!/usr/bin/env bash
# Installs every Debian package that building, running and testing Varnet needs.
# Idempotent: packages already present are left alone; apt-get update runs only
# when something is missing.
set -euo pipefail

PACKAGES=(
  build-essential cmake make pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev
  qt6-charts-dev libqt6opengl6-dev      # the charts beside the scores (Charts needs the OpenGL module's CMake files)
  libsqlite3-dev
  libxlsxwriter-dev
  libxml2-dev                           # HTML parser for the results pages
  libgtest-dev libgmock-dev googletest
  libbenchmark-dev
  fonts-wqy-microhei
  unzip
  locales                               # the Chinese locale the tests also run under
  qt6-translations-l10n                 # Qt's own dialogs and buttons in Chinese
  clang libclang-rt-dev llvm            # make fuzz: libFuzzer, the sanitizers, llvm-symbolizer
  clang-format git                      # make format-check
  librsvg2-bin                          # the icon's PNG sizes, drawn from its SVG
  chromium                              # the report and the guide checked in a headless browser
  optipng                               # the guide's pictures kept small
  dpkg-dev desktop-file-utils appstream # the Debian package and its checks
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"

#!/usr/bin/env bash
# Installs the Debian packages the project needs, only those that are missing.
set -euo pipefail
PKGS=(
  g++ cmake ninja-build pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev qt6-base-dev-tools libgl-dev
  # windows on a Wayland session without X; the display check asks X and Wayland displays with
  # their client libraries (headers only: the libraries are loaded when a display is asked)
  qt6-wayland libxcb1-dev libwayland-dev
  libxlsxwriter-dev
  xvfb xauth openbox
  # fuzzing with libFuzzer, sanitizers
  clang-14 libclang-rt-14-dev
  # independent readers that judge our files, and the comparison database of the benchmarks
  python3 python3-ezdxf python3-dbf python3-openpyxl gdal-bin libdbd-xbase-perl hp2xx
  libocct-data-exchange-dev libocct-foundation-dev libocct-modeling-data-dev
  libsqlite3-dev
  # setfacl and getfacl for the tests of access lists on saved files
  acl
  # the peak memory of whole runs in the process benchmark; the system calls of the output benchmark
  time strace
  # Qt's own dialogs in the program's language; PDF pages to PNG for the print checks
  qt6-translations-l10n poppler-utils
  # the sans fonts most desktops substitute for "Arial", so that the picture checks run with each
  fonts-urw-base35 fonts-liberation
  # Korean and Chinese menus: one font family with Hangul and the Chinese characters
  fonts-noto-cjk
)
missing=()
for p in "${PKGS[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  echo "Installing: ${missing[*]}"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

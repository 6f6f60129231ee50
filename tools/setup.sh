#!/usr/bin/env bash
# Brings a fresh Debian 12 machine to a state where Orvaq builds and its tests run.
# Idempotent: installs only what is missing and prints nothing when nothing is.
set -euo pipefail

PKGS=(
  build-essential cmake ninja-build pkg-config git file
  mingw-w64 g++-mingw-w64-i686-posix binutils-mingw-w64-i686
  wine wine32:i386 wine64 fonts-wine xvfb x11-utils xdotool imagemagick fonts-liberation
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  clang-14 libclang-rt-14-dev
  libcivetweb-dev
  iproute2 iputils-ping curl python3 locales procps psmisc
  libopencv-dev
  nsis
)

need_root() { [ "$(id -u)" = 0 ] || { echo "setup: run as root" >&2; exit 1; }; }

missing=()
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  need_root
  dpkg --add-architecture i386
  apt_stale=1
fi
for p in "${PKGS[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed'; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -gt 0 ] || [ -n "${apt_stale:-}" ]; then
  need_root
  echo "setup: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
exit 0

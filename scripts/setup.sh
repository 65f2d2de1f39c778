#!/usr/bin/env bash
# Makes a fresh Debian machine ready to build and test: the Debian packages the project needs,
# and a Wine prefix of the project's own under build/. Idempotent and quiet when all is there.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)

packages=(
  cmake make g++
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 mingw-w64-x86-64-dev
  clang
  wine wine64
  xvfb x11-utils xauth imagemagick fonts-dejavu-core
  googletest
  libcli11-dev nlohmann-json3-dev
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "setup: missing packages; as root run:" >&2
    echo "  apt-get update && apt-get install -y --no-install-recommends ${missing[*]}" >&2
    exit 1
  fi
  echo "setup: installing ${missing[*]}" >&2
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq >/dev/null
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# The project's Wine prefix. DestroyWindow waits about 2 s for a window manager when Wine
# manages its windows; with no window manager under Xvfb, unmanaged windows close at once.
prefix="$here/build/wineprefix"
if [ ! -f "$prefix/.tessarine-ready" ]; then
  mkdir -p "$prefix"
  export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  wineboot -i >/dev/null 2>&1 || true
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
  wineserver -w
  touch "$prefix/.tessarine-ready"
fi

#!/usr/bin/env bash
# Makes a fresh Debian machine ready to build and test: the Debian packages the project needs,
# and a Wine prefix of the project's own under build/. Idempotent and quiet when all is there.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)

# The 32-bit scan server needs Wine's 32-bit half (wine32, from the i386 architecture) and the
# i686 compilers.
packages=(
  cmake make g++
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 mingw-w64-x86-64-dev
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686 mingw-w64-i686-dev
  clang libclang-rt-14-dev
  wine wine64 wine32:i386
  xvfb x11-utils xauth imagemagick fonts-dejavu-core
  chromium
  googletest
  libcli11-dev nlohmann-json3-dev
  unzip python3 dpkg-dev
  # A JUnit reader as CI tools use, for the check's JUnit output.
  python3-junitparser
  # An independent reader of the Linux server's dumps.
  lldb
  # A comma-decimal locale, for plug-ins that switch the process to one.
  locales
  # Real Linux plug-ins by others, for the Linux server's tests.
  lsp-plugins-vst dpf-plugins-vst dragonfly-reverb-vst iem-plugin-suite-vst zam-plugins
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "setup: missing packages; as root run:" >&2
    echo "  dpkg --add-architecture i386 && apt-get update && apt-get install -y --no-install-recommends ${missing[*]}" >&2
    exit 1
  fi
  echo "setup: installing ${missing[*]}" >&2
  export DEBIAN_FRONTEND=noninteractive
  dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
  apt-get update -qq >/dev/null
  # The i386 libraries must match their amd64 versions, so some amd64 ones are upgraded too.
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# de_DE.UTF-8, as a GUI toolkit started under LANG=de_DE.UTF-8 sets it.
if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
  if [ "$(id -u)" -eq 0 ]; then localedef -i de_DE -f UTF-8 de_DE.UTF-8 >/dev/null 2>&1 || true
  else echo "setup: as root run: localedef -i de_DE -f UTF-8 de_DE.UTF-8" >&2; fi
fi

# The project's Wine prefix. DestroyWindow waits about 2 s for a window manager when Wine
# manages its windows; with no window manager under Xvfb, unmanaged windows close at once.
prefix="$here/build/wineprefix"
# A prefix made before wine32 was installed runs nothing afterwards, 64-bit programs included
# ("could not load kernel32.dll"); updating it anew gives it its 32-bit half.
if [ -f "$prefix/.tessarine-ready" ] && [ ! -f "$prefix/drive_c/windows/syswow64/kernel32.dll" ]; then
  echo "setup: updating the Wine prefix for 32-bit programs" >&2
  rm -f "$prefix/.update-timestamp"
  WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" wineboot -u >/dev/null 2>&1 || true
  WINEPREFIX="$prefix" wineserver -w
fi
if [ ! -f "$prefix/.tessarine-ready" ]; then
  mkdir -p "$prefix"
  export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  wineboot -i >/dev/null 2>&1 || true
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
  wineserver -w
  touch "$prefix/.tessarine-ready"
fi

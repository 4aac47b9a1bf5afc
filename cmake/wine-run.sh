#!/bin/sh
# Runs a Windows program of this build under wine64, in a Wine prefix and HOME of the
# build's own (build/<preset>/wine), never the user's. CTest uses it as the
# cross-compiling emulator; it also works by hand: cmake/wine-run.sh build/win64/bin/x.exe
set -eu
exe=$1
bin_dir=$(cd "$(dirname "$exe")" && pwd)
wine_root=${QARN_WINE_ROOT:-$(dirname "$bin_dir")/wine}
mkdir -p "$wine_root/home"
export HOME="$wine_root/home"
export WINEPREFIX="${QARN_WINEPREFIX:-$wine_root/prefix}"
export WINEARCH=win64
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko installers, no menu entries or file associations in the user's desktop.
export WINEDLLOVERRIDES="mscoree=;mshtml=;winemenubuilder.exe=d${WINEDLLOVERRIDES:+;$WINEDLLOVERRIDES}"
export XDG_DATA_HOME="$HOME/.local/share" XDG_CONFIG_HOME="$HOME/.config" XDG_CACHE_HOME="$HOME/.cache"
loader=${QARN_WINE_LOADER:-/usr/lib/wine/wine64}
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  # A fresh prefix takes seconds; concurrent first runs wait for the one that creates it.
  mkdir -p "$WINEPREFIX"
  (
    flock 9
    [ -f "$WINEPREFIX/system.reg" ] || "$loader" wineboot -i >/dev/null 2>&1 || true
  ) 9>"$wine_root/prefix.lock"
fi
exec "$loader" "$@"

#!/bin/sh
# Runs one group of end-to-end scenarios:
#   run_e2e.sh ROOT LOCALE FILTER DRIVER SETUP PRODUCT
# ROOT is the group's own folder: a fresh Wine prefix and HOME are made there for every run
# (Wine links the desktop and documents folders to HOME, and the scenarios install into the
# prefix), so nothing lands in the user's home and each run starts from a clean system.
# LOCALE is the system Wine starts (LC_ALL; de_DE.UTF-8 makes a German Windows). Without a
# display the run goes under Xvfb.
set -eu
root=$1 locale=$2 filter=$3 driver=$4 setup=$5 product=$6

if [ ! -f "$setup" ]; then
  echo "setup.exe not found at $setup: build the native preset first (its mksetup packs it)" >&2
  exit 1
fi

if [ -z "${DISPLAY:-}" ] && [ -z "${QARN_E2E_UNDER_XVFB:-}" ]; then
  export QARN_E2E_UNDER_XVFB=1
  exec xvfb-run -a -s "-screen 0 1024x768x24" sh "$0" "$@"
fi

rm -rf "$root"
mkdir -p "$root/home"
export HOME="$root/home"
export XDG_DATA_HOME="$HOME/.local/share" XDG_CONFIG_HOME="$HOME/.config" XDG_CACHE_HOME="$HOME/.cache"
export WINEPREFIX="$root/prefix" WINEARCH=win64 WINEDEBUG=-all
# No menu entries or file associations on the user's desktop, no Mono or Gecko installers.
export WINEDLLOVERRIDES="mscoree=;mshtml=;winemenubuilder.exe=d"
export LC_ALL="$locale"
wine=${QARN_WINE_LOADER:-/usr/lib/wine/wine64}
wineserver=${QARN_WINESERVER:-/usr/lib/wine/wineserver}

# The prefix's server and its helpers must not outlive the run (nor hold its output open).
stop_wine() { "$wineserver" -k >/dev/null 2>&1 || true; }
trap stop_wine EXIT

"$wine" wineboot -i >/dev/null 2>&1 || true
"$wineserver" -w
status=0
QARN_E2E_SETUP="$setup" QARN_E2E_PRODUCT="$product" \
  "$wine" "$driver" --gtest_color=no --gtest_filter="$filter" </dev/null || status=$?
exit $status

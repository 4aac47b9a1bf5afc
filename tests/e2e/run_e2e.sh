#!/bin/sh
# Runs one group of end-to-end scenarios:
#   run_e2e.sh ROOT LOCALE FILTER DRIVER SETUP PRODUCT
# ROOT is the group's own folder: a fresh Wine prefix and HOME are made there for every run
# (Wine links the desktop and documents folders to HOME, and the scenarios install into the
# prefix), so nothing lands in the user's home and each run starts from a clean system.
# LOCALE is the system Wine starts (LC_ALL; de_DE.UTF-8 makes a German Windows). Without a
# display the run goes under Xvfb. QARN_E2E_WINE_ARCH=win32 makes the prefix a 32-bit
# Windows, for the win32 build's programs (win64 otherwise).
#
# With QARN_E2E_WANTS_FULL_DRIVE=1, drive E: is a small disk of its own: a tmpfs at
# ROOT/full-drive (mounting needs root), sized by full_drive_size.py so that the product
# fills it up to one of the small files at the end of its archive. The scenarios learn of it
# from QARN_E2E_FULL_DRIVE (the drive, E:), or why there is none from
# QARN_E2E_FULL_DRIVE_REFUSED. It is unmounted at the end.
set -eu
root=$1 locale=$2 filter=$3 driver=$4 setup=$5 product=$6
here=$(cd "$(dirname "$0")" && pwd)

if [ ! -f "$setup" ]; then
  echo "setup.exe not found at $setup: build the native preset first (its mksetup packs it)" >&2
  exit 1
fi

if [ -z "${DISPLAY:-}" ] && [ -z "${QARN_E2E_UNDER_XVFB:-}" ]; then
  export QARN_E2E_UNDER_XVFB=1
  exec xvfb-run -a -s "-screen 0 1024x768x24" sh "$0" "$@"
fi

full_drive="$root/full-drive"
unmount_full_drive() {
  if mountpoint -q "$full_drive" 2>/dev/null; then
    umount "$full_drive" 2>/dev/null || umount -l "$full_drive" || true
  fi
}
# A run that was killed may have left its disk mounted.
unmount_full_drive
rm -rf "$root"
mkdir -p "$root/home"
export HOME="$root/home"
export XDG_DATA_HOME="$HOME/.local/share" XDG_CONFIG_HOME="$HOME/.config" XDG_CACHE_HOME="$HOME/.cache"
arch=${QARN_E2E_WINE_ARCH:-win64}
export WINEPREFIX="$root/prefix" WINEARCH="$arch" WINEDEBUG=-all
# No menu entries or file associations on the user's desktop, no Mono or Gecko installers.
export WINEDLLOVERRIDES="mscoree=;mshtml=;winemenubuilder.exe=d"
export LC_ALL="$locale"
if [ "$arch" = win32 ]; then wine=/usr/lib/wine/wine; else wine=/usr/lib/wine/wine64; fi
wineserver=${QARN_WINESERVER:-/usr/lib/wine/wineserver}

# The prefix's server and its helpers must not outlive the run (nor hold its output open);
# then the disk goes.
stop_wine() {
  "$wineserver" -k >/dev/null 2>&1 || true
  unmount_full_drive
}
trap stop_wine EXIT

"$wine" wineboot -i >/dev/null 2>&1 || true
"$wineserver" -w

if [ "${QARN_E2E_WANTS_FULL_DRIVE:-}" = 1 ]; then
  size=$(python3 "$here/full_drive_size.py" "$setup" "$product")
  kb=${size%% *}
  mkdir -p "$full_drive"
  if [ -n "${QARN_NO_TMPFS:-}" ]; then
    export QARN_E2E_FULL_DRIVE_REFUSED="$QARN_NO_TMPFS"
    echo "no full drive: $QARN_NO_TMPFS" >&2
  elif why=$(mount -t tmpfs -o "size=${kb}k,mode=0755" tmpfs "$full_drive" 2>&1); then
    ln -s "$full_drive" "$WINEPREFIX/dosdevices/e:"
    export QARN_E2E_FULL_DRIVE=E:
    echo "drive E: is a tmpfs of $kb KB; the demo product fills it before ${size#* }"
  else
    export QARN_E2E_FULL_DRIVE_REFUSED="mount -t tmpfs was refused (${why})"
    echo "no full drive: $QARN_E2E_FULL_DRIVE_REFUSED" >&2
  fi
fi

status=0
QARN_E2E_SETUP="$setup" QARN_E2E_PRODUCT="$product" \
  "$wine" "$driver" --gtest_color=no --gtest_filter="$filter" </dev/null || status=$?
exit $status

# shellcheck shell=sh
# Wine for this build's Windows programs, kept inside the build tree: a prefix and a HOME of
# the build's own (the user's ~/.wine and desktop are never touched), no Mono or Gecko
# installers, no menu entries or file associations, no debug chatter.
#
# Sourced (POSIX sh) by cmake/wine-run.sh, which CTest runs for every Windows test program,
# and by scripts/test.sh, which creates the prefix once and keeps a wineserver alive.
#
#   qarn_wine_env ROOT [ARCH]  exports the environment: prefix ROOT/prefix, HOME ROOT/home;
#                              ARCH win64 (default: a 64-bit Windows, the wine64 loader) or
#                              win32 (a 32-bit Windows, the i386 loader of wine32:i386)
#   qarn_wine_prefix_init      creates the prefix if it is not there; concurrent callers
#                              wait for the one that creates it

QARN_WINESERVER=${QARN_WINESERVER:-/usr/lib/wine/wineserver}

# The loader that starts programs of a Windows of ARCH.
qarn_wine_loader_for() {
  case $1 in
    win32) echo /usr/lib/wine/wine ;;
    *) echo /usr/lib/wine/wine64 ;;
  esac
}

qarn_wine_env() {
  qarn_wine_root=$1
  qarn_wine_arch=${2:-win64}
  QARN_WINE_LOADER=${QARN_WINE_LOADER_OVERRIDE:-$(qarn_wine_loader_for "$qarn_wine_arch")}
  export QARN_WINE_LOADER
  mkdir -p "$qarn_wine_root/home"
  export HOME="$qarn_wine_root/home"
  export WINEPREFIX="${QARN_WINEPREFIX:-$qarn_wine_root/prefix}"
  export WINEARCH="$qarn_wine_arch"
  export WINEDEBUG="${WINEDEBUG:--all}"
  case "${WINEDLLOVERRIDES:-}" in
    *winemenubuilder.exe=d*) ;;
    *) export WINEDLLOVERRIDES="mscoree=;mshtml=;winemenubuilder.exe=d${WINEDLLOVERRIDES:+;$WINEDLLOVERRIDES}" ;;
  esac
  export XDG_DATA_HOME="$HOME/.local/share" XDG_CONFIG_HOME="$HOME/.config" XDG_CACHE_HOME="$HOME/.cache"
}

qarn_wine_prefix_init() {
  [ -f "$WINEPREFIX/system.reg" ] && return 0
  # A fresh prefix takes seconds (about 20 on a busy machine).
  mkdir -p "$WINEPREFIX"
  (
    flock 9
    [ -f "$WINEPREFIX/system.reg" ] || "$QARN_WINE_LOADER" wineboot -i >/dev/null 2>&1 || true
  ) 9>"$qarn_wine_root/prefix.lock"
}

# Starts Xvfb on a free display with the screen size given (such as 800x600x24). The
# display number goes to DIR/display, the process id to DIR/xvfb.pid and its output to
# DIR/xvfb.log; DISPLAY is exported. Fails when no display came up within 10 seconds.
qarn_start_xvfb() {
  local dir=$1 screen=$2
  mkdir -p "$dir"
  rm -f "$dir/display"
  Xvfb -displayfd 3 -screen 0 "$screen" -nolisten tcp 3>"$dir/display" >"$dir/xvfb.log" 2>&1 &
  echo $! >"$dir/xvfb.pid"
  for _ in $(seq 50); do
    [[ -s $dir/display ]] && break
    sleep 0.2
  done
  [[ -s $dir/display ]] || { cat "$dir/xvfb.log" >&2; echo "Xvfb did not start" >&2; return 1; }
  DISPLAY=:$(tr -d '\n' <"$dir/display")
  export DISPLAY
}

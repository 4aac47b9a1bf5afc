#!/usr/bin/env bash
# The whole check of the project, as CI runs it on a fresh Debian 12 machine:
#
#   scripts/test.sh
#
# Installs missing Debian packages; builds the presets native, asan, native32, win32, win64
# and fuzz; runs the unit tests natively, under ASan/UBSan, as 32-bit Linux programs and as
# Windows programs under Wine; runs
# the end-to-end tests (label e2e) under Xvfb; runs every libFuzzer target for a while.
# Stops at the first failing stage, naming it. Logs: build/logs/test/.
#
#   QARN_FUZZ_SECONDS=N   seconds per fuzz target (default 30)
#   QARN_VERBOSE=1        show every stage's full output, not just its summary
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
root=$PWD

export QARN_LOG_DIR=$root/build/logs/test
rm -rf "$QARN_LOG_DIR"
# shellcheck source=scripts/stages.sh
source scripts/stages.sh
# shellcheck source=scripts/wine-env.sh
source scripts/wine-env.sh

fuzz_seconds=${QARN_FUZZ_SECONDS:-30}
wine_root=$root/build/win64/wine   # where cmake/wine-run.sh keeps the win64 build's Wine
session_dir=$wine_root/session     # what the Windows session started, for the cleanup

# --- Stage bodies (each runs in a subshell with set -e) --------------------------------------

run_ctest() {
  local preset=$1
  shift
  ctest --preset "$preset" -j "$(nproc)" "$@"
  grep -E 'tests passed' "$QARN_STAGE_LOG" | tail -n1 >"$QARN_STAGE_NOTE" || true
}

# One display and one Wine prefix with a persistent wineserver for all Windows tests: a Wine
# process starts in about 1.5 s with a running server and far slower without one, and the
# end-to-end tests need a display that every Wine process (and Wine's desktop process) shares.
start_windows_session() {
  mkdir -p "$session_dir"
  rm -f "$session_dir"/*
  qarn_start_xvfb "$session_dir" 1280x1024x24
  echo "Xvfb on display $DISPLAY"

  qarn_wine_env "$wine_root"
  qarn_wine_prefix_init
  # The registry reaches the prefix's files when the server that created it exits.
  "$QARN_WINESERVER" -w
  [[ -f $WINEPREFIX/system.reg ]] || { echo "creating the Wine prefix $WINEPREFIX failed"; return 1; }
  # The server outlives this stage: it must not hold the stage's output open.
  "$QARN_WINESERVER" -p </dev/null >"$session_dir/wineserver.log" 2>&1
  touch "$session_dir/wineserver"

  # Wine starts its helper processes (services, device drivers, the desktop's explorer)
  # from the first program that needs them, and they inherit that program's output. Were a
  # test program the first, CTest would wait for the end of its output as long as the
  # wineserver lives. So they start here, with output of their own.
  "$QARN_WINE_LOADER" explorer.exe /desktop </dev/null >"$session_dir/explorer.log" 2>&1 &
  wait_for_wine_process 'explorer.exe /desktop'
  wait_for_wine_process 'services.exe'
  "$QARN_WINE_LOADER" cmd.exe /c exit </dev/null >"$session_dir/first-program.log" 2>&1
  echo "display $DISPLAY, Wine prefix build/win64/wine/prefix, wineserver and desktop up" \
    | tee "$QARN_STAGE_NOTE"
}

# Waits (up to 30 s) for a process of this session's Wine prefix whose command line
# contains the text.
wait_for_wine_process() {
  local text=$1 pid
  for _ in $(seq 150); do
    for pid in $(pgrep -f "$text" || true); do
      if tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qx "WINEPREFIX=$WINEPREFIX"; then
        return 0
      fi
    done
    sleep 0.2
  done
  echo "Wine's $text did not start"
  return 1
}

stop_windows_session() {
  if [[ -f $session_dir/wineserver ]]; then
    (qarn_wine_env "$wine_root" && "$QARN_WINESERVER" -k) >/dev/null 2>&1 || true
    rm -f "$session_dir/wineserver"
  fi
  if [[ -f $session_dir/xvfb.pid ]]; then
    kill "$(cat "$session_dir/xvfb.pid")" 2>/dev/null || true
    rm -f "$session_dir/xvfb.pid"
  fi
}
trap stop_windows_session EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# The end-to-end suite: every test labelled e2e drives the real programs on the session's
# display, one at a time (they share the screen and the keyboard focus).
run_e2e() {
  local count
  count=$(ctest --preset win64 -N -L e2e | sed -n 's/^Total Tests: *//p')
  if [[ ${count:-0} == 0 ]]; then
    echo "no tests labelled e2e" | tee "$QARN_STAGE_NOTE"
    return 0
  fi
  ctest --preset win64 -j 1 -L e2e
  grep -E 'tests passed' "$QARN_STAGE_LOG" | tail -n1 >"$QARN_STAGE_NOTE" || true
}

run_fuzzer() {
  scripts/fuzz.sh "$1" "$fuzz_seconds"
  grep -E "^$1: " "$QARN_STAGE_LOG" | tail -n1 | sed "s/^$1: //" >"$QARN_STAGE_NOTE"
}

# --- Stages ------------------------------------------------------------------------------------

qarn_stage "packages" scripts/install-packages.sh

qarn_stage "native: build" qarn_build_preset native
qarn_stage "native: unit tests" run_ctest native

qarn_stage "asan: build" qarn_build_preset asan
qarn_stage "asan: unit tests" run_ctest asan

qarn_stage "native32: build" qarn_build_preset native32
qarn_stage "native32: unit tests" run_ctest native32

qarn_stage "win32: build" qarn_build_preset win32

qarn_stage "win64: build" qarn_build_preset win64
qarn_stage "win64: Xvfb and Wine session" start_windows_session
DISPLAY=:$(tr -d '\n' <"$session_dir/display")
export DISPLAY
qarn_stage "win64: unit tests (Wine)" run_ctest win64 -LE e2e
qarn_stage "win64: end-to-end (Xvfb)" run_e2e
stop_windows_session

qarn_stage "fuzz: build" qarn_build_preset fuzz
for target in $(scripts/fuzz.sh list); do
  qarn_stage "fuzz: $target" run_fuzzer "$target"
done

qarn_summary
echo
echo "All stages passed."

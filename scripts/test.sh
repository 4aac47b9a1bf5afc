#!/usr/bin/env bash
# The whole check of the project, as CI runs it on a fresh Debian 12 machine:
#
#   scripts/test.sh
#
# Installs missing Debian packages; finds out what this machine can do (run 32-bit Linux
# programs, mount a tmpfs, run Wine); builds the presets native, asan, native32, win32,
# win64 and fuzz; runs the unit tests natively, under ASan/UBSan, as 32-bit Linux programs
# and as Windows programs under Wine, 64-bit and (where the machine runs 32-bit programs
# and 32-bit Wine installs) 32-bit, the shipped build; runs the end-to-end tests (label
# e2e) under Xvfb for both Windows builds; runs every libFuzzer target for a while.
# A stage this machine cannot run is skipped with the reason, never failed; everything
# else must pass. Stops at the first failing stage, naming it. Logs: build/logs/test/.
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
display_dir=$root/build/logs/display   # the Xvfb display all Windows stages share
caps_dir=$root/build/logs/capabilities # what this machine can do, one file per capability

# --- What this machine can do ------------------------------------------------------------
# Machines of one kind differ: some kernels refuse 32-bit programs, some sandboxes refuse
# mounts. Each probe writes its capability's file: empty when the machine has it, else the
# reason, which the stages that need it show when they are skipped.

# A tiny 32-bit program, built and started: the kernel answers, not a guess.
probe_32bit_programs() {
  local dir=$root/build/probe why
  mkdir -p "$dir"
  if ! why=$(printf 'int main(void) { return 0; }\n' | gcc -m32 -x c - -o "$dir/probe32" 2>&1); then
    echo "this machine cannot build 32-bit programs (gcc -m32: $(head -n 1 <<<"$why"))"
  elif ! why=$("$dir/probe32" 2>&1); then
    echo "this machine does not run 32-bit programs ($(tail -n 1 <<<"$why" | sed 's/^.*: //'))"
  fi
}

probe_tmpfs() {
  local dir=$root/build/probe/tmpfs why
  mkdir -p "$dir"
  if why=$(mount -t tmpfs -o size=64k tmpfs "$dir" 2>&1); then
    umount "$dir" || umount -l "$dir"
  else
    echo "this machine cannot mount a tmpfs ($(head -n 1 <<<"$why"))"
  fi
}

probe_wine64() {
  local why
  if ! command -v Xvfb >/dev/null; then
    echo "Xvfb is not installed"
  elif [[ ! -x /usr/lib/wine/wine64 ]]; then
    echo "wine64 is not installed"
  elif ! why=$(/usr/lib/wine/wine64 --version 2>&1); then
    echo "wine64 does not start ($(head -n 1 <<<"$why"))"
  fi
}

probe_capabilities() {
  mkdir -p "$caps_dir"
  probe_32bit_programs >"$caps_dir/run32"
  probe_tmpfs >"$caps_dir/tmpfs"
  probe_wine64 >"$caps_dir/wine64"
  local name
  for name in run32 tmpfs wine64; do
    printf '%-7s %s\n' "$name" "$(if [[ -s $caps_dir/$name ]]; then cat "$caps_dir/$name"; else echo yes; fi)"
  done | tee "$QARN_STAGE_NOTE"
}

# 32-bit Wine, where the machine runs 32-bit programs: installed beside the project's
# packages when apt can add it without removing anything, then started once. Writes the
# capability's file; only a failure of the script itself fails the stage.
install_wine32() {
  local status=0
  scripts/install-packages.sh --wine32 2>"$caps_dir/wine32.err" || status=$?
  if ((status == 3)); then
    echo "32-bit Wine cannot be had: $(tail -n 1 "$caps_dir/wine32.err")" | tee "$caps_dir/wine32" >"$QARN_STAGE_NOTE"
    return 0
  fi
  cat "$caps_dir/wine32.err" >&2
  ((status == 0)) || return "$status"
  local why
  if ! why=$(/usr/lib/wine/wine --version 2>&1); then
    echo "32-bit Wine does not start ($(tail -n 1 <<<"$why"))" | tee "$caps_dir/wine32" >"$QARN_STAGE_NOTE"
    return 0
  fi
  : >"$caps_dir/wine32"
  echo "wine32:i386 installed, $why" >"$QARN_STAGE_NOTE"
}

# The reason a capability is missing; empty when the machine has it.
missing() {
  cat "$caps_dir/$1" 2>/dev/null || echo "not probed"
}

# --- Stage bodies (each runs in a subshell with set -e) --------------------------------------

run_ctest() {
  local preset=$1
  shift
  ctest --preset "$preset" -j "$(nproc)" "$@"
  grep -E 'tests passed' "$QARN_STAGE_LOG" | tail -n1 >"$QARN_STAGE_NOTE" || true
}

# One display for all Windows tests, and per Windows build one Wine prefix with a
# persistent wineserver: a Wine process starts in about 1.5 s with a running server and far
# slower without one, and the end-to-end tests need a display that every Wine process (and
# Wine's desktop process) shares.
start_display() {
  mkdir -p "$display_dir"
  qarn_start_xvfb "$display_dir" 1280x1024x24
  echo "Xvfb on display $DISPLAY" | tee "$QARN_STAGE_NOTE"
}

stop_display() {
  if [[ -f $display_dir/xvfb.pid ]]; then
    kill "$(cat "$display_dir/xvfb.pid")" 2>/dev/null || true
    rm -f "$display_dir/xvfb.pid"
  fi
}

# The Wine of a Windows build (win64 or win32), kept where cmake/wine-run.sh looks for it.
wine_root_of() { echo "$root/build/$1/wine"; }
wine_arch_of() { echo "$1"; }

start_windows_session() {
  local preset=$1
  local wine_root session_dir
  wine_root=$(wine_root_of "$preset")
  session_dir=$wine_root/session
  mkdir -p "$session_dir"
  rm -f "$session_dir"/*

  qarn_wine_env "$wine_root" "$(wine_arch_of "$preset")"
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
  echo "display $DISPLAY, Wine prefix build/$preset/wine/prefix ($WINEARCH), wineserver and desktop up" \
    | tee "$QARN_STAGE_NOTE"
}

# Waits (up to 60 s) for a process of this session's Wine prefix whose command line
# contains the text.
wait_for_wine_process() {
  local text=$1 pid
  for _ in $(seq 300); do
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
  local preset=$1 wine_root
  wine_root=$(wine_root_of "$preset")
  if [[ -f $wine_root/session/wineserver ]]; then
    (qarn_wine_env "$wine_root" "$(wine_arch_of "$preset")" && "$QARN_WINESERVER" -k) >/dev/null 2>&1 || true
    rm -f "$wine_root/session/wineserver"
  fi
}

stop_everything() {
  stop_windows_session win64
  stop_windows_session win32
  stop_display
}
trap stop_everything EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# The end-to-end suite of a Windows build: every test labelled e2e drives the real programs
# on the session's display, one at a time (they share the screen and the keyboard focus).
run_e2e() {
  local preset=$1 count
  count=$(ctest --preset "$preset" -N -L e2e | sed -n 's/^Total Tests: *//p')
  if [[ ${count:-0} == 0 ]]; then
    echo "no tests labelled e2e" | tee "$QARN_STAGE_NOTE"
    return 0
  fi
  ctest --preset "$preset" -j 1 -L e2e
  {
    grep -E 'tests passed' "$QARN_STAGE_LOG" | tail -n1
    if [[ -n ${QARN_NO_TMPFS:-} ]]; then
      echo "full-drive scenario skipped: $QARN_NO_TMPFS"
    fi
  } >"$QARN_STAGE_NOTE" || true
}

run_fuzzer() {
  scripts/fuzz.sh "$1" "$fuzz_seconds"
  grep -E "^$1: " "$QARN_STAGE_LOG" | tail -n1 | sed "s/^$1: //" >"$QARN_STAGE_NOTE"
}

# The Windows stages of one build: a Wine session, the unit tests, the end-to-end groups.
windows_stages() {
  local preset=$1 why=$2
  if [[ -n $why ]]; then
    qarn_skip "$preset: Wine session" "$why"
    qarn_skip "$preset: unit tests (Wine)" "$why"
    qarn_skip "$preset: end-to-end (Xvfb)" "$why"
    return 0
  fi
  qarn_stage "$preset: Wine session" start_windows_session "$preset"
  qarn_stage "$preset: unit tests (Wine)" run_ctest "$preset" -LE e2e
  qarn_stage "$preset: end-to-end (Xvfb)" run_e2e "$preset"
  stop_windows_session "$preset"
}

# --- Stages ------------------------------------------------------------------------------------

qarn_stage "packages" scripts/install-packages.sh
qarn_stage "capabilities" probe_capabilities
run32_missing=$(missing run32)
if [[ -n $run32_missing ]]; then
  qarn_skip "packages: 32-bit Wine" "$run32_missing"
  echo "$run32_missing" >"$caps_dir/wine32"
else
  qarn_stage "packages: 32-bit Wine" install_wine32
fi
tmpfs_missing=$(missing tmpfs)
if [[ -n $tmpfs_missing ]]; then
  # Tests that need a full disk of their own say so instead of failing under CI.
  export QARN_NO_TMPFS=$tmpfs_missing
fi

qarn_stage "native: build" qarn_build_preset native
qarn_stage "native: unit tests" run_ctest native

qarn_stage "asan: build" qarn_build_preset asan
qarn_stage "asan: unit tests" run_ctest asan

qarn_stage "native32: build" qarn_build_preset native32
if [[ -n $run32_missing ]]; then
  qarn_skip "native32: unit tests" "$run32_missing"
else
  qarn_stage "native32: unit tests" run_ctest native32
fi

qarn_stage "win32: build" qarn_build_preset win32
qarn_stage "win64: build" qarn_build_preset win64

wine64_missing=$(missing wine64)
if [[ -z $wine64_missing || -z $(missing wine32) ]]; then
  qarn_stage "Xvfb display" start_display
  DISPLAY=:$(tr -d '\n' <"$display_dir/display")
  export DISPLAY
fi
windows_stages win64 "$wine64_missing"
# The shipped 32-bit programs, in a 32-bit Windows.
windows_stages win32 "$(missing wine32)"
stop_display

qarn_stage "fuzz: build" qarn_build_preset fuzz
for target in $(scripts/fuzz.sh list); do
  qarn_stage "fuzz: $target" run_fuzzer "$target"
done

qarn_summary
echo
echo "All stages passed."

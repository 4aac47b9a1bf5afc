#!/usr/bin/env bash
# What the project does so far, on a fresh Debian 12 machine:
#
#   scripts/demo.sh [--interactive]
#
# Installs missing Debian packages, builds mksetup (preset native) and reads the two real
# archives made by the original archiver, which lie beside the checkout in
# ../shared/fixtures/real (or $QARN_SHARED_DIR/fixtures/real): lists them and tests every
# entry. Without them that part is skipped with a note.
#
# Then the installer itself: builds setup.exe (preset win64: the stub, the demo product and
# its archive, packed by the native mksetup) and runs it under Wine, in a Wine prefix and
# HOME of its own under build/demo (under Xvfb when there is no display). It drives the
# dialog as a user would (the proposed settings, OK, the success message), once on an
# English and once on a German system, prints what was installed (files, registry values,
# shortcuts, settings file) and saves screenshots of the dialog in build/demo. On the
# English system it then removes the product again, as the list of installed programs
# would: a file of the user's own and the product's settings are added, the uninstall
# entry's command runs, its question is answered Yes, and the demo prints the report and
# what is left (the settings file and the user's file). With --interactive and a display,
# you use the dialog yourself instead.
#
# QARN_VERBOSE=1 shows the build output too.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
root=$PWD

interactive=0
for arg in "$@"; do
  case $arg in
    --interactive) interactive=1 ;;
    -h | --help) sed -n '2,/^set -euo/p' "${BASH_SOURCE[0]}" | sed -e '$d' -e 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "demo: unknown argument $arg (try --help)" >&2; exit 2 ;;
  esac
done

export QARN_LOG_DIR=$root/build/logs/demo
rm -rf "$QARN_LOG_DIR"
# shellcheck source=scripts/stages.sh
source scripts/stages.sh
# shellcheck source=scripts/wine-env.sh
source scripts/wine-env.sh

shared=${QARN_SHARED_DIR:-../shared}
real=$shared/fixtures/real
mksetup=build/native/bin/mksetup

section() {
  printf '\n==== %s\n' "$*"
}

# demo_run EXPECTED_STATUS COMMAND...: shows the command and its output, and stops the demo
# when the exit status is not the expected one. The output stays in $demo_output.
demo_output=
demo_run() {
  local expected=$1 status=0
  shift
  printf '\n$ %s\n' "$*"
  demo_output=$("$@" 2>&1) || status=$?
  printf '%s\n' "$demo_output"
  if ((status != expected)); then
    printf '\ndemo: "%s" ended with exit status %d, expected %d\n' "$*" "$status" "$expected" >&2
    exit 1
  fi
  printf '(exit status %d, as expected)\n' "$status"
}

# The sample archives are a bonus of the demo, not its point: without them the listing
# and testing are skipped with a note, and the installer part runs all the same.
have_fixtures=1
check_fixtures() {
  local f
  for f in test_v2.rar test_v2solid5.rar; do
    [[ -f $real/$f ]] || have_fixtures=0
  done
}

build_mksetup() {
  cmake --preset native
  cmake --build --preset native -j "$(nproc)" --target mksetup
}

# --- The installer -------------------------------------------------------------------------

demo_dir=$root/build/demo
setup_exe=$root/build/win64/bin/setup.exe
demo_driver=$root/build/win64/bin/setup-demo-driver.exe
own_display=0

# setup.exe (the stub, the demo product packed onto it by the native mksetup) and the
# driver that works its dialog.
build_installer() {
  cmake --preset win64
  cmake --build --preset win64 -j "$(nproc)" --target setup-demo-driver
  [[ -f $setup_exe ]] || { echo "setup.exe was not made (see the build output above)"; return 1; }
  echo "setup.exe: $(stat -c %s "$setup_exe") bytes" >"$QARN_STAGE_NOTE"
}

# A display of our own when there is none: Xvfb exactly the size of the Wine desktop, so
# that a screenshot of the whole screen is a screenshot of the desktop.
start_display() {
  qarn_start_xvfb "$demo_dir" 800x600x24 || { echo "demo: no display" >&2; exit 1; }
  own_display=1
}

stop_display() {
  if [[ -f $demo_dir/xvfb.pid ]]; then
    kill "$(cat "$demo_dir/xvfb.pid")" 2>/dev/null || true
    rm -f "$demo_dir/xvfb.pid"
  fi
}

screenshot() {
  if ((own_display)); then
    import -window root "$1"
  else
    import -window "Default - Wine desktop" "$1"
  fi
}

# Runs the demo driver with ARGS... and takes a screenshot at each of its stops, named
# SIGNAL/TAG-SHOT for the SHOTS given, into build/demo/setup-TAG-SHOT.png.
driver_with_screenshots() {
  local signal=$1 tag=$2 shots=$3 shot
  shift 3
  "$QARN_WINE_LOADER" "$demo_driver" "$@" </dev/null &
  local driver_pid=$!
  for shot in $shots; do
    while [[ ! -e $signal/$tag-$shot ]] && kill -0 "$driver_pid" 2>/dev/null; do sleep 0.2; done
    if [[ -e $signal/$tag-$shot ]]; then
      sleep 0.5  # let the window finish painting
      screenshot "$demo_dir/setup-$tag-$shot.png"
      echo "(screenshot: build/demo/setup-$tag-$shot.png)"
      touch "$signal/$tag-$shot.done"
    fi
  done
  wait "$driver_pid"
}

# Runs setup.exe on a fresh Windows system of the given language (LC_ALL: Wine takes the
# system language from it) and drives its dialog; TAG names the Wine prefix and the
# screenshots. With "uninstall" as third argument, the product is then removed again
# through its uninstall entry. The prefix and its HOME live in build/demo/wine-TAG, so
# nothing lands in the user's home; its Wine processes end with the run.
installer_run() {
  local tag=$1 locale=$2 then=${3:-}
  local wine_root=$demo_dir/wine-$tag
  rm -rf "$wine_root"
  mkdir -p "$wine_root/signal"
  (
    qarn_wine_env "$wine_root"
    # For Wine, which takes the system language from it; bash's own complaint that the
    # locale is not installed here is beside the point.
    export LC_ALL=$locale 2>/dev/null
    trap '"$QARN_WINESERVER" -k >/dev/null 2>&1 || true' EXIT
    qarn_wine_prefix_init
    # A Wine desktop window of its own: the dialog gets its frame and caption drawn, and
    # the screenshots show just the desktop.
    "$QARN_WINE_LOADER" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
    "$QARN_WINE_LOADER" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 800x600 /f >/dev/null 2>&1
    "$QARN_WINESERVER" -w
    export QARN_E2E_SETUP=$setup_exe
    driver_with_screenshots "$wine_root/signal" "$tag" "dialog success" drive "$wine_root/signal" "$tag"
    if [[ $then == uninstall ]]; then
      section "UnInst.exe on the English system: the uninstall entry removes what setup installed"
      driver_with_screenshots "$wine_root/signal" "$tag-uninstall" "question report" \
        uninstall "$wine_root/signal" "$tag-uninstall"
    fi
  )
}

# --interactive: setup.exe on your display, in the system language of your LC_ALL (English
# when unset); afterwards the report of what it installed.
installer_interactive() {
  local wine_root=$demo_dir/wine-interactive
  rm -rf "$wine_root"
  (
    qarn_wine_env "$wine_root"
    export LC_ALL=${LC_ALL:-en_US.UTF-8} 2>/dev/null
    trap '"$QARN_WINESERVER" -k >/dev/null 2>&1 || true' EXIT
    qarn_wine_prefix_init
    "$QARN_WINESERVER" -w
    echo "setup.exe is running on $DISPLAY ($LC_ALL); the demo goes on when its dialog has ended."
    "$QARN_WINE_LOADER" "$setup_exe" </dev/null || true
    if "$QARN_WINE_LOADER" reg query 'HKCU\Software\Obrelux\QARN' /v Dir >/dev/null 2>&1; then
      "$QARN_WINE_LOADER" "$demo_driver" report </dev/null
    else
      echo "Nothing was installed."
    fi
  )
}

check_fixtures
qarn_stage "packages" scripts/install-packages.sh
qarn_stage "build mksetup (preset native)" build_mksetup

if ((have_fixtures)); then
  section "A solid archive: the second entry is coded as matches into the first one's window"
  demo_run 0 "$mksetup" list "$real/test_v2solid5.rar"
  demo_run 0 "$mksetup" test "$real/test_v2solid5.rar"

  section "Every packing method, and pMM.bin, packed in multimedia (audio) mode"
  demo_run 0 "$mksetup" list "$real/test_v2.rar"
  # The decoder has no audio path, so pMM.bin must fail its checksum, on its own and cleanly.
  demo_run 1 "$mksetup" test "$real/test_v2.rar"
  if ! grep -q '^FAILED  pMM.bin' <<<"$demo_output" || [[ $(grep -c '^OK ' <<<"$demo_output") -ne 6 ]]; then
    echo "demo: expected the six entries p0.bin to p5.bin to pass and pMM.bin to fail" >&2
    exit 1
  fi
else
  echo "note: the sample archives ($real/test_v2.rar, test_v2solid5.rar) are not here; listing and testing them is skipped (set QARN_SHARED_DIR to the folder holding fixtures/real)."
fi

qarn_stage "build setup.exe (preset win64)" build_installer
trap stop_display EXIT
if ((interactive)) && [[ -n ${DISPLAY:-} ]]; then
  section "setup.exe: your turn"
  installer_interactive
else
  if ((interactive)); then
    echo "demo: --interactive needs a display (DISPLAY is not set); driving the dialog instead" >&2
  fi
  [[ -n ${DISPLAY:-} ]] || start_display
  rm -f "$demo_dir"/setup-*.png
  section "setup.exe on an English system: the proposed settings, OK, the success message"
  installer_run english en_US.UTF-8 uninstall
  section "setup.exe on a German system: German defaults and texts, and the settings file"
  installer_run german de_DE.UTF-8
fi

section "Done"
if ((have_fixtures)); then
  echo "test_v2solid5.rar: both entries pass, the solid one decoded through the first one's window."
  echo "test_v2.rar: p0.bin to p5.bin pass; pMM.bin fails its checksum, as expected (exit status 1)."
else
  echo "The sample archives were not here: their listing and test were skipped."
fi
if ((interactive)) && [[ -n ${DISPLAY:-} ]]; then
  echo "setup.exe: run by you; its Wine prefix is build/demo/wine-interactive."
else
  echo "setup.exe: installed Zentrivo on an English and on a German system; screenshots in build/demo/."
  echo "UnInst.exe: removed it again on the English system, keeping the settings file and the user's file."
fi

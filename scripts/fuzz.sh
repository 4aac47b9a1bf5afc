#!/usr/bin/env bash
# Runs the libFuzzer targets of the fuzz preset.
#
#   scripts/fuzz.sh TARGET SECONDS    one target, e.g. scripts/fuzz.sh fuzz_decode 60
#   scripts/fuzz.sh all SECONDS       every target, one after the other
#   scripts/fuzz.sh list              the names of the targets
#
# Builds the fuzz preset first (a no-op when it is up to date). Each target starts from its
# committed seeds, fuzz/corpus/<target>/, copied into a work corpus build/fuzz/corpus/<target>/
# that keeps growing from run to run; the committed seeds are never modified. A crash, a
# leak, undefined behaviour or an input that takes over 10 s fails the run; the input is kept
# in build/fuzz/artifacts/<target>/. Extra libFuzzer options can follow after `--`.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

usage() {
  echo "usage: scripts/fuzz.sh TARGET|all SECONDS [-- libFuzzer options] | scripts/fuzz.sh list" >&2
  exit 2
}

build=build/fuzz
ensure_built() {
  if [[ ! -f $build/CMakeCache.txt ]]; then
    cmake --preset fuzz >/dev/null
  fi
  if ! out=$(cmake --build --preset fuzz -j "$(nproc)" 2>&1); then
    echo "$out" >&2
    echo "fuzz.sh: building the fuzz preset failed" >&2
    exit 1
  fi
}

all_targets() {
  find "$build/bin" -maxdepth 1 -type f -name 'fuzz_*' -perm -u+x -printf '%f\n' | sort
}

# run_target NAME SECONDS [libFuzzer options...]
run_target() {
  local target=$1 seconds=$2
  shift 2
  local exe=$build/bin/$target
  local work=$build/corpus/$target artifacts=$build/artifacts/$target/ log=$build/logs/$target.log
  [[ -x $exe ]] || { echo "fuzz.sh: no fuzz target '$target' (have: $(all_targets | xargs))" >&2; return 2; }
  mkdir -p "$work" "$artifacts" "$(dirname "$log")"
  if [[ -d fuzz/corpus/$target ]]; then
    cp -n fuzz/corpus/"$target"/* "$work"/ 2>/dev/null || true
  fi
  echo "fuzzing $target for $seconds s (work corpus $work, log $log)"
  local status=0
  "$exe" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
    -artifact_prefix="$artifacts" "$@" "$work" >"$log" 2>&1 || status=$?
  local runs
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n1)
  if ((status != 0)); then
    tail -n 50 "$log"
    echo "$target: FAILED (exit status $status) after ${runs:-?} executions; input kept in $artifacts; full log $log"
    return 1
  fi
  echo "$target: ${runs:-?} executions in $seconds s (work corpus: $(find "$work" -type f | wc -l) inputs)"
}

[[ $# -ge 1 ]] || usage
if [[ $1 == list ]]; then
  ensure_built
  all_targets
  exit 0
fi
[[ $# -ge 2 && $2 =~ ^[0-9]+$ ]] || usage
what=$1 seconds=$2
shift 2
if [[ $# -gt 0 ]]; then
  [[ $1 == -- ]] || usage
  shift
fi

ensure_built
if [[ $what == all ]]; then
  failed=0
  for target in $(all_targets); do
    run_target "$target" "$seconds" "$@" || failed=1
  done
  exit $failed
fi
run_target "$what" "$seconds" "$@"

# shellcheck shell=bash
# Stage runner for the project's scripts (sourced by bash scripts).
#
#   qarn_stage "name" command [args...]
#
# Runs the command in a subshell with `set -e`, its output going to a log of its own under
# $QARN_LOG_DIR (also to the terminal when QARN_VERBOSE=1). Prints one line per stage, with
# the time taken and whatever the stage wrote to "$QARN_STAGE_NOTE". On failure it shows
# the end of the log, names the stage, prints the summary so far and exits non-zero.
#   qarn_skip "name" "reason"
#
# Records a stage that this machine cannot run, with the reason, in its line and in the
# summary. qarn_summary prints the table of all stages, and as its last line how many
# passed and how many were skipped.

QARN_LOG_DIR=${QARN_LOG_DIR:-build/logs}
qarn_stage_lines=()
qarn_stage_count=0
qarn_passed_count=0
qarn_skipped_count=0
qarn_start_seconds=$SECONDS

qarn_duration() {
  local s=$1
  if ((s >= 60)); then printf '%dm%02ds' $((s / 60)) $((s % 60)); else printf '%ds' "$s"; fi
}

qarn_stage() {
  local name=$1
  shift
  qarn_stage_count=$((qarn_stage_count + 1))
  mkdir -p "$QARN_LOG_DIR"
  local slug
  slug=$(printf '%02d-%s' "$qarn_stage_count" "$name" | tr -c 'A-Za-z0-9_.-' '-' | sed 's/-\{2,\}/-/g; s/-$//')
  local log="$QARN_LOG_DIR/$slug.log" note="$QARN_LOG_DIR/$slug.note"
  : >"$note"
  printf '==> %s\n' "$name"
  local start=$SECONDS status=0
  export QARN_STAGE_LOG=$log QARN_STAGE_NOTE=$note
  # The subshell is not part of an && or || list, so that set -e holds inside it.
  set +e
  if [[ ${QARN_VERBOSE:-0} == 1 ]]; then
    (set -e; "$@") 2>&1 | tee "$log"
    status=${PIPESTATUS[0]}
  else
    (set -e; "$@") >"$log" 2>&1
    status=$?
  fi
  set -e
  local took
  took=$(qarn_duration $((SECONDS - start)))
  if ((status != 0)); then
    if [[ ${QARN_VERBOSE:-0} != 1 ]]; then
      echo "---- last lines of $log ----"
      tail -n 60 "$log"
      echo "----"
    fi
    qarn_stage_lines+=("$(printf '  FAILED  %-30s %7s' "$name" "$took")")
    qarn_summary
    printf '\nFAILED: stage "%s" (exit status %d). Full log: %s\n' "$name" "$status" "$log" >&2
    exit 1
  fi
  local first=1 line
  while IFS= read -r line || [[ -n $line ]]; do
    if ((first)); then
      qarn_stage_lines+=("$(printf '  ok      %-30s %7s  %s' "$name" "$took" "$line")")
      first=0
    else
      qarn_stage_lines+=("$(printf '          %-30s %7s  %s' "" "" "$line")")
    fi
  done <"$note"
  ((first)) && qarn_stage_lines+=("$(printf '  ok      %-30s %7s' "$name" "$took")")
  qarn_passed_count=$((qarn_passed_count + 1))
  printf '    ok (%s)\n' "$took"
}

qarn_skip() {
  local name=$1 reason=$2
  qarn_stage_count=$((qarn_stage_count + 1))
  qarn_skipped_count=$((qarn_skipped_count + 1))
  printf '==> %s\n    skipped: %s\n' "$name" "$reason"
  qarn_stage_lines+=("$(printf '  skipped %-30s %7s  %s' "$name" "" "skipped: $reason")")
}

qarn_summary() {
  printf '\nSummary (%s in all)\n' "$(qarn_duration $((SECONDS - qarn_start_seconds)))"
  printf '%s\n' "${qarn_stage_lines[@]}"
  printf '%d stages passed, %d skipped\n' "$qarn_passed_count" "$qarn_skipped_count"
}

# Configures and builds one preset with every core.
qarn_build_preset() {
  cmake --preset "$1"
  cmake --build --preset "$1" -j "$(nproc)"
}

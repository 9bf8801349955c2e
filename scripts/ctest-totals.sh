# shellcheck shell=bash
# The counting of "./dev.sh test" (source it; the sourcing script defines
# say, which writes a line to standard error).
#
# run_ctest NAME LOG ARGS...: runs ctest with ARGS, keeps its output in LOG,
# and adds its counts to TOTAL_PASSED and TOTAL_FAILED. Finding no tests is
# an error, and a test that did not run (skipped or disabled) counts as
# failed: it tested nothing.
TOTAL_PASSED=0
TOTAL_FAILED=0
run_ctest() {
  local name=$1 log=$2
  shift 2
  local status
  set +e
  ctest --no-tests=error "$@" 2>&1 | tee "$log"
  status=${PIPESTATUS[0]}
  set -e
  local summary total failed skipped disabled
  summary=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1 || true)
  skipped=$(grep -cE '^\s+[0-9]+ - .* \(Skipped\)$' "$log" || true)
  disabled=$(grep -cE '^\s+[0-9]+ - .* \(Disabled\)$' "$log" || true)
  if [[ -n "$summary" ]]; then
    failed=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/' <<<"$summary")
    total=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\2/' <<<"$summary")
    # ctest's total counts skipped tests as passed and leaves disabled ones out.
    TOTAL_PASSED=$((TOTAL_PASSED + total - failed - skipped))
    TOTAL_FAILED=$((TOTAL_FAILED + failed + skipped + disabled))
    say "$name: $summary"
    if ((skipped + disabled > 0)); then
      say "$name: $skipped skipped and $disabled disabled tests did not run: counted as failed"
      status=1
    fi
  else
    say "$name: no ctest summary (exit status $status)"
    ((status == 0)) || TOTAL_FAILED=$((TOTAL_FAILED + 1))
  fi
  return "$status"
}

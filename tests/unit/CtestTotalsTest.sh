#!/usr/bin/env bash
# The counting of "./dev.sh test" (scripts/ctest-totals.sh): a ctest session
# that finds no tests, as in a build whose tests were lost, fails the total
# and run_ctest, so that the run does not end green.
#
#   CtestTotalsTest.sh <scripts/ctest-totals.sh>
#
# Without pipefail: the status taken is ctest's own, not the pipe's through
# tee, whatever the options of the shell that sources the counting.
set -u

say() { printf '%s\n' "$*" >&2; }
# shellcheck source-path=SCRIPTDIR source=../../scripts/ctest-totals.sh
source "$1"
empty=$(mktemp -d "${TMPDIR:-/tmp}/lumidial-no-tests.XXXXXX") || exit 1
trap 'rm -rf "$empty"' EXIT

status=0
run_ctest empty "$empty/ctest.log" --test-dir "$empty" || status=$?
if ((status == 0 || TOTAL_PASSED != 0 || TOTAL_FAILED != 1)); then
  echo "FAIL: a ctest session that found no tests: run_ctest returned $status, the totals" \
    "$TOTAL_PASSED passed and $TOTAL_FAILED failed (expected a non-zero status, 0 passed and 1 failed)"
  exit 1
fi
echo "PASS: a ctest session that finds no tests counts as one failure"

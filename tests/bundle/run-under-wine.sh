#!/usr/bin/env bash
# Runs the Windows test bundle under Wine as a user runs it on Windows:
# unpacked into C:\lumidial-tests\ of the session's prefix and started as
# "cmd /c run-tests.cmd /installer". ./dev.sh test runs it in a Wine session
# of its own (scripts/wine-env.sh: DISPLAY and WINEPREFIX set):
#
#   tests/bundle/run-under-wine.sh ZIP ARTIFACTS
#
# Under Wine every scenario must pass but the Wine-only ones, which the
# drivers skip here ("Wine only: ...") and ctest runs instead: any other
# skip, and a disabled test, counts as failed. The last line says
# "bundle: N passed, N failed" with those counted; the exit status is 0 only
# when nothing failed. On failure the results folder (XML files and
# screenshots) is copied to ARTIFACTS.
set -euo pipefail

zip=$1 artifacts=$2
name=$(basename "$zip" .zip)
folder="$WINEPREFIX/drive_c/lumidial-tests"
results="$folder/$name/results"
log=$(mktemp "${TMPDIR:-/tmp}/lumidial-bundle.XXXXXX.log")
trap 'rm -f "$log"' EXIT

rm -rf "$folder"
mkdir -p "$folder"
(cd "$folder" && cmake -E tar xf "$zip")

# The runner stops a driver after 15 minutes; the time-out here is for a
# runner that hangs itself. In a time zone five and a half hours east of
# UTC: the clock must show the machine's local time, which on a machine kept
# at UTC could not be told from the universal time.
started=$SECONDS
set +e
TZ=LUM-5:30 timeout --kill-after=30 3000 wine cmd /c "C:\\lumidial-tests\\$name\\run-tests.cmd" /installer /timeout:15 \
  </dev/null 2>&1 | sed -u 's/\r$//' | tee "$log"
status=${PIPESTATUS[0]}
set -e
echo "[bundle] run-tests.cmd ended with exit status $status after $((SECONDS - started)) s"

passed=0 failed=1
if [[ "$(tail -n 1 "$log")" =~ ^([0-9]+)\ passed,\ ([0-9]+)\ failed,\ ([0-9]+)\ skipped$ ]]; then
  passed=${BASH_REMATCH[1]} failed=${BASH_REMATCH[2]}
else
  echo "[bundle] no summary line: counted as one failure"
fi

# The tests that did not run, as the runner sums them up by reason
# ("SKIPPED N: reason", a disabled test among them): only the Wine-only ones
# may be skipped here.
not_run=$(awk '/^SKIPPED [0-9]+: / && !/^SKIPPED [0-9]+: Wine only:/ { n += $2 } END { print n + 0 }' "$log")
if ((not_run > 0)); then
  echo "[bundle] $not_run tests did not run under Wine, where they must: counted as failed"
  awk '/^SKIPPED [0-9]+: / { show = !/Wine only:/; if (show) print; next }
       /^    / { if (show) print; next } { show = 0 }' "$log"
  failed=$((failed + not_run))
fi

if ((status != 0 && failed == 0)); then
  echo "[bundle] exit status $status with no failed test: counted as one failure"
  failed=1
fi
if ((failed > 0)); then
  rm -rf "$artifacts"
  mkdir -p "$(dirname "$artifacts")"
  cp -r "$results" "$artifacts" 2>/dev/null && echo "[bundle] results and screenshots: $artifacts"
fi
echo "bundle: $passed passed, $failed failed"
((failed == 0))

#!/usr/bin/env bash
# Runs the Windows test bundle under Wine as a user runs it on Windows, on a
# machine with a user's own state, three times, and checks what each leaves:
# docs/testing-on-windows.md ("Under Wine") says what and why. ./dev.sh test
# runs it in a Wine session of its own (scripts/wine-env.sh: DISPLAY and
# WINEPREFIX set):
#
#   tests/bundle/run-under-wine.sh ZIP RESULTS STATE-PROBE
#
# STATE-PROBE is lumidial_state_probe.exe. The first and the last run leave
# their results folders in RESULTS/run-1 and RESULTS/run-3, the checks here
# theirs in RESULTS/checks.xml, in GoogleTest's form: scripts/results.py
# counts them all. Its last line says "bundle: N passed, N failed"; the exit
# status is 0 only when nothing failed.
set -uo pipefail

zip=$1 out=$2 probe=$3
name=$(basename "$zip" .zip)
folder="$WINEPREFIX/drive_c/lumidial-tests"
bundle="C:\\lumidial-tests\\$name"
results="$folder/$name/results"
summary=$(cd "$(dirname "$0")/../../scripts" && pwd)/results.py

# The checks' file is closed only at the end: a run that stops half-way
# leaves it cut short, which counts as a failure.
rm -rf "$out" "$folder"
mkdir -p "$out" "$folder"
checks="$out/checks.xml"
printf '<?xml version="1.0" encoding="UTF-8"?>\n<testsuites>\n<testsuite name="RunUnderWine">\n' >"$checks"
(cd "$folder" && cmake -E tar xf "$zip") || exit 1

check() { # check WHAT COMMAND...: one check, written to $checks; fails as it does
  local result=ok failure=''
  "${@:2}" || result=FAILED failure='<failure message=""/>'
  echo "[bundle] $result: $1"
  printf '<testcase classname="RunUnderWine" name="%s" status="run" result="completed">%s</testcase>\n' \
    "$1" "$failure" >>"$checks"
  [[ "$result" == ok ]]
}
# Polls COMMAND until it succeeds, for at most SECONDS.
within() {
  local deadline=$((SECONDS + $1))
  until "${@:2}" >/dev/null 2>&1; do ((SECONDS < deadline)) || return 1; sleep 0.2; done
}
state() { timeout 60 wine "$probe" </dev/null | sed 's/\r$//'; }
same_state() {
  local now
  now=$(state)
  [[ "$now" == "$before" ]] || { diff -u --label before <(echo "$before") --label now <(echo "$now") | head -n 40; false; }
}
other_state() { [[ "$(state)" != "$before" ]]; }
# The processes of this session's bundle: their programs or packages lie in
# it, and they run in this prefix (other sessions' runs look alike).
ours() {
  local pid
  for pid in $(pgrep -f 'C:\\lumidial-tests\\'); do
    tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX" && ps -o pid=,args= -p "$pid"
  done
}
none_left() { [[ -z "$(ours)" ]]; }
reg() { timeout 60 wine reg "$@" /f >/dev/null || { echo "[bundle] could not set up: reg $*"; exit 1; }; }

# Whether the runner's exit status $1 says what its results (folder $2) say,
# as scripts/results.py counts them: 0 when everything passed, 1 otherwise.
verdict() { "$summary" run --bundle run "$2" >/dev/null; (($? == $1)); }

# In a time zone five and a half hours east of UTC: the clock must show the
# machine's local time, which on a machine kept at UTC could not be told
# from the universal time.
run_tests() {
  TZ=LUM-5:30 timeout --kill-after=30 3000 wine cmd /c "$bundle\\run-tests.cmd" "$@" </dev/null 2>&1 |
    sed -u 's/\r$//'
}

# A user's machine.
settings='HKCU\Software\Orvane\Lumidial' desktop='HKCU\Control Panel\Desktop'
reg add "$settings" /v ClockMoveDirection /t REG_DWORD /d 2
reg add "$settings" /v FlashSecond /t REG_DWORD /d 0
reg add "$settings" /v CountDownTime /t REG_SZ /d '31.12.2026 23:59:00'
reg add "$settings" /v ClockColour /t REG_BINARY /d 00ff40007f
reg add "$desktop" /v SCRNSAVE.EXE /t REG_SZ /d 'C:\windows\system32\Lumidial.scr'
reg add "$desktop" /v ScreenSaveActive /t REG_SZ /d 1
reg add "$desktop" /v ScreenSaveTimeOut /t REG_SZ /d 600
# The settings key's owner and group, set by the user's administrator: not
# those a key made anew gets, nor Wine's for a key without its own.
timeout 60 wine "$probe" 'O:BAG:SYD:(A;;KA;;;BA)(A;;KA;;;SY)(A;;KR;;;BU)' >/dev/null ||
  { echo "[bundle] could not set up the settings key's owner"; exit 1; }
raised=$(awk -F '\t' '$2 == "LUMIDIAL_MSI_RAISED" { print $3 }' "$folder/$name/bin/bundle.txt" | tr -d '\r')
timeout 120 wine msiexec /i "$bundle\\$raised" /qn || { echo "[bundle] could not install $raised"; exit 1; }
before=$(state)
check "the user's state is set up (a Lumidial installed among it)" grep -q '^installed: ' <<<"$before"

echo "[bundle] 1. every scenario"
started=$SECONDS
run_tests /installer /timeout:15
status=$?
echo "[bundle] run-tests.cmd ended with exit status $status after $((SECONDS - started)) s"
cp -r "$results" "$out/run-1"
check "run-tests.cmd's exit status ($status) says what its results say" verdict "$status" "$out/run-1"
check "the user's state after the run is the state before" same_state

echo "[bundle] 2. the runner ended from outside while the settings key is read-only"
run_tests /filter:Dialog.StoredValuesAreShownAndSavedBack >/dev/null &
interrupted=$!
# The box saying the settings could not be saved shows while it is.
if check "the read-only key's box shows" within 120 xdotool search --name '^Orvane Lumidial$'; then
  timeout 60 wine taskkill /f /im lumidial_run_tests.exe >/dev/null 2>&1 || true
  check "no process of the run is left" within 30 none_left || ours
  # Its driver went with it: it wrote no results, and put nothing back.
  check "the driver ended with its runner, half-way" test ! -e "$results/lumidial_e2e.xml"
  check "what the scenario changed is left for the next run to put back" other_state
fi
wait "$interrupted"

echo "[bundle] 3. a filtered run after it"
run_tests /filter:Dialog.StoredDirectionOutsideTheListShowsNoSelectionAndSavesMinusOne
status=$?
cp -r "$results" "$out/run-3"
check "the filtered run's exit status ($status) says what its results say" verdict "$status" "$out/run-3"
check "the filtered run put back the state the ended one left" same_state

printf '</testsuite>\n</testsuites>\n' >>"$checks"
echo
"$summary" bundle --bundle bundle "$out"

#!/usr/bin/env bash
# "./dev.sh run /s" on a machine without a display: the private screen is
# copied to a PNG that shows the green clock and is replaced whole by a new
# file (never found half-written) again and again, and Ctrl-C (SIGINT to the run's process group,
# as a terminal sends it) stops everything the run started.
#
#   HeadlessRunTest.sh <source folder> <Windows build folder>
#
# ctest runs it in the Windows build; it starts a run of its own with its own
# X server and Wine prefix.
set -uo pipefail

root=$1 build=$2
limit=240 # seconds for each wait: the run checks the build and boots a prefix first
log=$(mktemp "${TMPDIR:-/tmp}/lumidial-headless.XXXXXX")
run=

fail() {
  echo "FAIL: $*"
  echo "--- output of ./dev.sh run /s:"
  cat "$log"
  exit 1
}
cleanup() {
  if [[ -n "$run" ]]; then kill -TERM -- "-$run" 2>/dev/null; fi
  rm -f "$log"
}
trap cleanup EXIT

# Polls "$@" until it succeeds, for up to $limit seconds.
poll() {
  local end=$((SECONDS + limit))
  until "$@"; do
    ((SECONDS < end)) || return 1
    sleep 0.5
  done
}
# The first line of the run's output that matches the sed pattern $1, as $2.
said() { sed -n "s/^$1\$/$2/p" "$log" | head -n 1; }
alive() { [[ "$(ps -o stat= -p "$1" 2>/dev/null)" =~ ^[^Z] ]]; }

# Without a display, as a job of its own as an interactive shell starts it:
# in a process group of its own, and with SIGINT not ignored (without job
# control, a background job would ignore it).
set -m
env -u DISPLAY -u LUMIDIAL_KEEP_DISPLAY LUMIDIAL_WIN64_BUILD="$build" JOBS=1 \
  "$root/dev.sh" run /s >"$log" 2>&1 </dev/null &
run=$!
set +m

picture=
told_or_ended() {
  picture=$(said '\[dev\] the private screen is copied to \(.*\) about every second' '\1')
  [[ -n "$picture" ]] || ! alive "$run"
}
poll told_or_ended || fail "never said where the picture is"
[[ -n "$picture" ]] || fail "ended before saying where the picture is"
[[ "$picture" == "$(cd "$build" && pwd)/"*.png ]] || fail "the picture $picture is not a PNG in the build folder"

# The clock: pure green (0, 255, 0) within the clock's 978 x 327 panel and
# spanning most of it, on a 1280 x 1024 screen. Every read of an existing
# picture must succeed: a failed one found it half-written.
torn=0
shows_clock() {
  [[ -f "$picture" ]] || return 1
  local w h bw bh
  read -r w h bw bh < <(convert "$picture" -fill black +opaque '#00FF00' \
    -format '%w %h %@\n' info: 2>/dev/null | sed 's/[x+]/ /; s/+.*//') || { torn=$((torn + 1)); return 1; }
  [[ -n "$bh" ]] || { torn=$((torn + 1)); return 1; }
  ((w == 1280 && h == 1024 && bw >= 400 && bw <= 978 && bh >= 200 && bh <= 327))
}
poll shows_clock || fail "the picture never showed the clock"
((torn == 0)) || fail "the picture could not be read $torn times (half-written?)"
first=$(stat -c %i "$picture")
renewed() { [[ "$(stat -c %i "$picture")" != "$first" ]]; }
poll renewed || fail "the picture is never replaced whole by a new one"

kill -INT -- "-$run"
ended() { ! alive "$run"; }
poll ended || fail "still running $limit s after Ctrl-C"
wait "$run"
status=$?
run=
((status == 130)) || fail "ended with status $status after Ctrl-C, not 130"

# Nothing the run started is left: its X server, its Wine prefix and every
# process of it (the wineserver leaves the session), the picture copier.
read -r display xvfb < <(said '\[wine-env\] Xvfb on :\([0-9]*\) .*, pid \([0-9]*\)' '\1 \2')
prefix=$(said '\[wine-env\] booting prefix \(.*\)' '\1')
[[ -n "${display:-}" && -n "${xvfb:-}" && -n "$prefix" ]] || fail "could not tell its X server and prefix"
alive "$xvfb" && fail "its Xvfb (pid $xvfb) is still running"
[[ -e "/tmp/.X$display-lock" ]] && fail "the lock of display :$display is left"
[[ -e "$prefix" ]] && fail "its Wine prefix $prefix is left"
left=$(grep -lsxzF "WINEPREFIX=$prefix" /proc/[0-9]*/environ)
[[ -z "$left" ]] || fail "processes of its prefix are left: $left"
left=$(pgrep -af "screen-copier $picture")
[[ -z "$left" ]] || fail "the picture copier is left: $left"
echo "PASS: $picture showed the clock; Ctrl-C stopped everything"

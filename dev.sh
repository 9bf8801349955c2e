#!/usr/bin/env bash
# Lumidial developer script (Debian 12).
#
#   ./dev.sh run [switches...]   install what is missing, build, and run
#                                build/win64/Lumidial.scr under Wine, e.g.
#                                "./dev.sh run /s" (on $DISPLAY if set,
#                                otherwise on a private Xvfb, whose screen
#                                is copied to build/win64/screen.png about
#                                every second; Ctrl-C stops it all)
#   ./dev.sh test                install what is missing, build, run the
#                                native unit tests, then the Windows-side
#                                tests under Wine on a private Xvfb, then
#                                the Windows test bundle as a user runs it
#                                (cmd /c run-tests.cmd) on a private Xorg
#                                with two monitors, in German, on a user's
#                                machine whose state it must put back,
#                                also when ended from outside, then
#                                the scaled-screen tests on a private Xorg
#                                (dummy driver, one monitor whose size the
#                                tests set), then the several-monitor tests on a
#                                private Xorg (dummy driver); last,
#                                scripts/results.py counts it all and checks
#                                that every scenario ran once, in ctest or in
#                                the bundle
#   ./dev.sh build               install what is missing and build only
#   ./dev.sh bundle              build the Windows test bundle,
#                                build/win64/Lumidial-tests-<version>.zip
#                                (the saver, the end-to-end tests and
#                                run-tests.cmd, built for Windows 10 and
#                                11, run so far only under Wine 8); prints
#                                its path
#   ./dev.sh pictures            make the README's pictures anew from the
#                                build, under Wine on a private Xvfb: the
#                                clock at 10:08, the settings dialog, its
#                                Appearance dialog and the preview, as
#                                docs/clock.png, docs/dialog.png,
#                                docs/appearance.png and docs/preview.png,
#                                and the clock in orange filling the screen
#                                as docs/clock-orange.png; then on a private
#                                Xorg with two monitors, a clock on each, as
#                                docs/monitors.png
#   ./dev.sh package             build the release: the MSI package,
#                                Lumidial.scr and SHA256SUMS, in
#                                build/win64/release/; prints the package's
#                                path. The same commit gives the same bytes.
#   ./dev.sh package --sign KEY.p12 [--password-file FILE] [--timestamp URL]
#                                the same, with Lumidial.scr and then the
#                                package signed (Authenticode, SHA-256) with
#                                the key and certificate in KEY.p12. The
#                                password comes from FILE (its first line)
#                                or from $LUMIDIAL_SIGN_PASSWORD, never from
#                                the command line; a key without a password
#                                needs neither. URL: an RFC 3161 time-stamp
#                                server. The first line of FILE or of
#                                $LUMIDIAL_SIGN_PASSWORD, without a trailing
#                                CR, is the password.
#   ./dev.sh verify-release FILE...
#                                checks downloaded release files (Lumidial.scr,
#                                the .msi, SHA256SUMS; signed or not) against
#                                the commit they name: builds it in a
#                                temporary worktree of this checkout and
#                                compares; one line a file. Exits 0 only
#                                when every file matches.
#
# Builds go to build/native and build/win64 (override with
# LUMIDIAL_NATIVE_BUILD / LUMIDIAL_WIN64_BUILD); JOBS sets the build
# parallelism (default 2).
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
CALLER_DIR=$PWD # where relative paths on the command line start
cd "$ROOT"

NATIVE_BUILD=${LUMIDIAL_NATIVE_BUILD:-build/native}
WIN64_BUILD=${LUMIDIAL_WIN64_BUILD:-build/win64}
JOBS=${JOBS:-2}

say() { printf '[dev] %s\n' "$*" >&2; }
die() { say "error: $*"; exit 1; }

usage() {
  sed -n '2,/^[^#]/p' "$0" | sed -n 's/^# \{0,1\}//p'
  exit "${1:-0}"
}

# Signals end the script through its EXIT trap (which stops what it started).
trap 'exit 130' INT
trap 'exit 143' TERM

# shellcheck source=scripts/packages.sh
source "$ROOT/scripts/packages.sh"
# shellcheck source=scripts/wine-env.sh
source "$ROOT/scripts/wine-env.sh"

build_all() {
  lumidial_ensure_packages || die "could not install the required packages"

  say "building the native configuration in $NATIVE_BUILD"
  cmake -S . -B "$NATIVE_BUILD" >/dev/null || die "native configuration failed"
  cmake --build "$NATIVE_BUILD" -j "$JOBS" || die "native build failed"

  build_windows
}

# The Windows configuration only (all of it, or the given targets).
build_windows() {
  say "building the Windows configuration in $WIN64_BUILD"
  cmake -S . -B "$WIN64_BUILD" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-x86_64.cmake" \
    >/dev/null || die "Windows configuration failed"
  cmake --build "$WIN64_BUILD" -j "$JOBS" ${1:+--target "$@"} || die "Windows build failed"
  [[ -f "$WIN64_BUILD/Lumidial.scr" ]] || die "$WIN64_BUILD/Lumidial.scr was not built"
}

# Copies the private X screen to the PNG file $1 about every second, in the
# background: each picture is written beside it and renamed over it, so a
# viewer never reads half a file. The copier runs in a process group of its
# own, so that stopping it ends a copy in progress too, and it ends by
# itself once this script has gone.
SCREEN_COPIER_PID=
screen_copier_start() {
  # shellcheck disable=SC2016  # expanded by the copier's shell
  setsid bash -c 'while kill -0 "$2" 2>/dev/null; do
      import -window root "png:$1.part" 2>/dev/null && mv -f "$1.part" "$1"
      sleep 1
    done' screen-copier "$1" "$$" &
  SCREEN_COPIER_PID=$!
}

screen_copier_stop() {
  [[ -n "$SCREEN_COPIER_PID" ]] || return 0
  kill -TERM -- "-$SCREEN_COPIER_PID" 2>/dev/null || kill -TERM "$SCREEN_COPIER_PID" 2>/dev/null || true
  wait "$SCREEN_COPIER_PID" 2>/dev/null || true
  SCREEN_COPIER_PID=
}

# shellcheck disable=SC2119  # wine_env_start takes no arguments here
cmd_run() {
  lumidial_ensure_packages || die "could not install the required packages"
  build_windows
  local saver="$WIN64_BUILD/Lumidial.scr"
  if [[ -n "${DISPLAY:-}" ]]; then
    # The developer's own display and Wine prefix: settings persist. A new
    # prefix is made without offering to install Mono and Gecko.
    say "running wine $saver $* on $DISPLAY"
    export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
    export WINEPREFIX=${WINEPREFIX:-$HOME/.wine}
    [[ -d "$WINEPREFIX/drive_c" ]] || wineboot -i >/dev/null 2>&1 || true
    wine_env_install_fonts
    exec wine "$saver" "$@"
  fi
  say "no DISPLAY: starting a private Xvfb and Wine prefix"
  wine_env_start || die "could not start the Wine environment"
  # Stops the copier first, so the last picture shows the saver, not the
  # session going down.
  trap 'screen_copier_stop; wine_env_stop' EXIT
  local picture
  picture="$(cd "$WIN64_BUILD" && pwd)/screen.png"
  screen_copier_start "$picture"
  say "the private screen is copied to $picture about every second"
  say "running wine $saver $* on $DISPLAY (Ctrl-C to stop)"
  local status=0
  # In the background so that a signal ends the wait at once; the EXIT trap
  # then stops the wineserver, which ends the saver with it.
  wine "$saver" "$@" &
  wait $! || status=$?
  exit "$status"
}

# The pictures are made by a Windows program of the end-to-end tests' (it
# sets the saver up as they do, and they compare the clock's picture with
# the build's clock), in a session of the same screen size as theirs.
cmd_pictures() {
  lumidial_ensure_packages || die "could not install the required packages"
  build_windows Lumidial lumidial_pictures
  local made name
  made=$(mktemp -d "${TMPDIR:-/tmp}/lumidial-pictures.XXXXXX")
  wine_env_start || die "could not start the Wine environment"
  # shellcheck disable=SC2064  # the folder's name now
  trap "rm -rf '$made'; wine_env_stop" EXIT
  LUMIDIAL_SCR="$(cd "$WIN64_BUILD" && pwd)/Lumidial.scr" wine "$WIN64_BUILD/tests/e2e/lumidial_pictures.exe" \
    "$(winepath -w "$made")" || die "the pictures could not be made"
  wine_env_stop
  # The clock on every monitor: a 1024 x 768 monitor right of the primary,
  # its top level with the primary's; the desk below it shows dark grey.
  WINE_ENV_MONITORS="1280x1024+0+0 1024x768+1280+0" wine_env_start || die "could not start the Wine environment"
  xsetroot -solid '#202020'
  LUMIDIAL_SCR="$(cd "$WIN64_BUILD" && pwd)/Lumidial.scr" wine "$WIN64_BUILD/tests/e2e/lumidial_pictures.exe" \
    --every-monitor "$(winepath -w "$made")" || die "the picture of every monitor could not be made"
  mkdir -p docs
  for name in clock clock-orange dialog appearance preview monitors; do
    # No time or date in the file: the same pixels give the same bytes.
    convert "$made/$name.bmp" -strip -define png:exclude-chunks=date,time "docs/$name.png" ||
      die "could not write docs/$name.png"
    say "docs/$name.png"
  done
}

# What ./dev.sh test hands scripts/results.py to count: each ctest session's
# JUnit file, the bundle's results folder, and each driver's scenarios.
RESULTS=()

# run_ctest NAME ARGS...: a ctest session, its results in $LOGS/NAME.xml.
# Its exit status is not needed: the file says all it would (finding no
# tests too), and no file counts as a failure.
run_ctest() {
  local name=$1
  shift
  ctest --no-tests=error --output-junit "$LOGS/$name.xml" "$@" || true
  RESULTS+=(--ctest "$name" "$LOGS/$name.xml")
}

# shellcheck disable=SC2119
cmd_test() {
  build_all
  LOGS=$(mktemp -d "${TMPDIR:-/tmp}/lumidial-ctest.XXXXXX")

  say "native tests"
  run_ctest native --test-dir "$NATIVE_BUILD" --output-on-failure -j "$JOBS"

  say "starting the Wine environment for the Windows-side tests"
  wine_env_start || die "could not start the Wine environment"
  rm -rf "$WIN64_BUILD/tests/e2e/artifacts"
  # Every scenario of every driver (the bundle's list names them all): each
  # must run once, in ctest or in the bundle.
  local kind name path
  while IFS=$'\t' read -r kind name path; do
    [[ "$kind" == driver ]] || continue
    wine "$path" --gtest_list_tests >"$LOGS/$name.scenarios" || say "$name could not list its scenarios"
    RESULTS+=(--scenarios "$LOGS/$name.scenarios")
  done <"$WIN64_BUILD/tests/bundle/bundle.txt"
  # The Windows-side tests share one screen and one pointer: one at a time.
  say "Windows-side tests under Wine ($DISPLAY, $WINEPREFIX)"
  run_ctest windows --test-dir "$WIN64_BUILD" --output-on-failure -j 1 -LE 'multimon|hidpi'
  wine_env_stop

  # The Windows test bundle as a user runs it (all but the Wine-only
  # scenarios), on two monitors, so that the covers of the other ones show,
  # on a German user's machine (day-first dates, 24-hour time), so that a
  # scenario written for one locale's formats fails. (Wine takes the locale
  # from LC_ALL; Debian need not have it, and bash's warning is kept quiet.)
  # tests/bundle/run-under-wine.sh leaves its results, its own checks among
  # them, in bundle-results.
  cmake --build "$WIN64_BUILD" --target bundle lumidial_state_probe >/dev/null ||
    die "the test bundle could not be built"
  say "starting a Wine environment with two monitors, in German, for the test bundle"
  export LC_ALL=de_DE.UTF-8 2>/dev/null
  WINE_ENV_MONITORS="1280x1024+0+0 1024x768+1280+0" wine_env_start || die "could not start the Wine environment"
  say "the test bundle under Wine ($DISPLAY, $WINEPREFIX)"
  local bundle_results="$WIN64_BUILD/tests/e2e/artifacts/bundle-results"
  tests/bundle/run-under-wine.sh "$(<"$WIN64_BUILD/tests/bundle/bundle-path.txt")" "$bundle_results" \
    "$WIN64_BUILD/tests/bundle/lumidial_state_probe.exe" || true
  RESULTS+=(--bundle bundle "$bundle_results")
  wine_env_stop
  unset LC_ALL 2>/dev/null

  # The clock on scaled screens: one monitor whose size the tests change
  # while the saver runs, so Xorg's dummy driver; 2560 x 1600 to start with,
  # room for a clock twice its 96-DPI size.
  say "starting a Wine environment with a 2560 x 1600 screen"
  WINE_ENV_MONITORS="2560x1600+0+0" wine_env_start || die "could not start the Wine environment"
  say "scaled-screen tests under Wine ($DISPLAY, $WINEPREFIX)"
  run_ctest hidpi --test-dir "$WIN64_BUILD" --output-on-failure -j 1 -L hidpi
  wine_env_stop

  # Run mode on several monitors needs an X server whose monitors can come
  # and go: a session of its own, on Xorg's dummy driver.
  say "starting a Wine environment with several monitors"
  WINE_ENV_MONITORS="1280x1024+1024+0" wine_env_start || die "could not start the Wine environment"
  say "several-monitor tests under Wine ($DISPLAY, $WINEPREFIX)"
  run_ctest multimon --test-dir "$WIN64_BUILD" --output-on-failure -j 1 -L multimon
  wine_env_stop
  if [[ -n "$(find "$WIN64_BUILD/tests/e2e/artifacts" -name '*.bmp' -print -quit 2>/dev/null)" ]]; then
    say "screenshots of failed end-to-end checks: $WIN64_BUILD/tests/e2e/artifacts/"
  fi

  echo
  local status=0
  /usr/bin/python3 scripts/results.py dev.sh "${RESULTS[@]}" || status=$?
  rm -rf "$LOGS"
  return "$status"
}

# ./dev.sh bundle: the zip's path is the only thing on standard output.
cmd_bundle() {
  lumidial_ensure_packages || die "could not install the required packages"
  build_windows bundle >&2
  cat "$WIN64_BUILD/tests/bundle/bundle-path.txt"
}

# A path given on the command line, made absolute from the caller's folder.
caller_path() {
  case "$1" in
    /*) printf '%s\n' "$1" ;;
    *) printf '%s\n' "$CALLER_DIR/$1" ;;
  esac
}

# ./dev.sh package [--sign KEY.p12 ...]: builds, and hands the release over
# to scripts/release.py (it prints the package's path, the only thing on
# standard output). The signing password is read once, here: the first line
# of the file or of $LUMIDIAL_SIGN_PASSWORD, without a trailing CR (a file
# written on Windows); release.py gets it on its standard input, for the key
# check before the build and for the signing after it, so that it never
# stands on a command line.
cmd_package() {
  local key='' password_file='' timestamp='' password='' signing=()
  while (($#)); do
    case "$1" in
      --sign) (($# >= 2)) || usage 2; key=$(caller_path "$2"); shift 2 ;;
      --password-file) (($# >= 2)) || usage 2; password_file=$(caller_path "$2"); shift 2 ;;
      --timestamp) (($# >= 2)) || usage 2; timestamp=$2; shift 2 ;;
      *) usage 2 ;;
    esac
  done
  if [[ -z "$key" && -n "$password_file$timestamp" ]]; then
    die "--password-file and --timestamp go with --sign KEY.p12"
  fi
  lumidial_ensure_packages || die "could not install the required packages"

  local release_py=(/usr/bin/python3 "$ROOT/scripts/release.py")
  if [[ -n "$key" ]]; then
    signing=(--sign "$key")
    [[ -z "$timestamp" ]] || signing+=(--timestamp "$timestamp")
    if [[ -n "$password_file" ]]; then
      [[ -z "${LUMIDIAL_SIGN_PASSWORD+set}" ]] ||
        die "the password is given twice: by --password-file and by LUMIDIAL_SIGN_PASSWORD"
      [[ -f "$password_file" && -r "$password_file" ]] ||
        die "password file $password_file: not a readable file"
      IFS= read -r password <"$password_file" || true # a last line without its newline is read too
      signing+=(--password-on-stdin)
    elif [[ -n "${LUMIDIAL_SIGN_PASSWORD:-}" ]]; then
      password=${LUMIDIAL_SIGN_PASSWORD%%$'\n'*}
      signing+=(--password-on-stdin)
    fi
    password=${password%$'\r'}
    "${release_py[@]}" check-key "${signing[@]}" <<<"$password" || exit
  fi
  build_windows msi >&2
  exec "${release_py[@]}" package "$WIN64_BUILD" "${signing[@]}" <<<"$password"
}

# ./dev.sh verify-release FILE...: scripts/release.py rebuilds the commit
# the files name and compares; file names start in the caller's folder.
cmd_verify_release() {
  (($#)) || usage 2
  lumidial_ensure_packages || die "could not install the required packages"
  JOBS=$JOBS exec /usr/bin/python3 "$ROOT/scripts/release.py" verify-release "$CALLER_DIR" "$@"
}

case "${1:-}" in
  run) shift; cmd_run "$@" ;;
  test) shift; (($# == 0)) || usage 2; cmd_test ;;
  build) shift; build_all ;;
  bundle) shift; (($# == 0)) || usage 2; cmd_bundle ;;
  pictures) shift; (($# == 0)) || usage 2; cmd_pictures ;;
  package) shift; cmd_package "$@" ;;
  verify-release) shift; cmd_verify_release "$@" ;;
  -h | --help | help) usage 0 ;;
  *) usage 2 ;;
esac

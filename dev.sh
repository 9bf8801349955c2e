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
#                                the scaled-screen tests on a private Xorg
#                                (dummy driver, one monitor whose size the
#                                tests set), then the several-monitor tests on a
#                                private Xorg (dummy driver)
#   ./dev.sh build               install what is missing and build only
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

# Runs ctest with the given arguments, keeps its output in $2's log, and adds
# its counts to the totals. Finding no tests is an error, and a test that did
# not run (skipped or disabled) counts as failed: it tested nothing.
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

# shellcheck disable=SC2119
cmd_test() {
  build_all
  local failed=0 logs
  logs=$(mktemp -d "${TMPDIR:-/tmp}/lumidial-ctest.XXXXXX")

  say "native tests"
  run_ctest native "$logs/native.log" --test-dir "$NATIVE_BUILD" --output-on-failure \
    -j "$JOBS" || failed=1

  say "starting the Wine environment for the Windows-side tests"
  wine_env_start || die "could not start the Wine environment"
  rm -rf "$WIN64_BUILD/tests/e2e/artifacts"
  # The Windows-side tests share one screen and one pointer: one at a time.
  say "Windows-side tests under Wine ($DISPLAY, $WINEPREFIX)"
  run_ctest windows "$logs/windows.log" --test-dir "$WIN64_BUILD" --output-on-failure \
    -j 1 -LE 'multimon|hidpi' || failed=1
  wine_env_stop

  # The clock on scaled screens: one monitor whose size the tests change
  # while the saver runs, so Xorg's dummy driver; 2560 x 1600 to start with,
  # room for a clock twice its 96-DPI size.
  say "starting a Wine environment with a 2560 x 1600 screen"
  WINE_ENV_MONITORS="2560x1600+0+0" wine_env_start || die "could not start the Wine environment"
  say "scaled-screen tests under Wine ($DISPLAY, $WINEPREFIX)"
  run_ctest hidpi "$logs/hidpi.log" --test-dir "$WIN64_BUILD" --output-on-failure \
    -j 1 -L hidpi || failed=1
  wine_env_stop

  # Run mode on several monitors needs an X server whose monitors can come
  # and go: a session of its own, on Xorg's dummy driver.
  say "starting a Wine environment with several monitors"
  WINE_ENV_MONITORS="1280x1024+1024+0" wine_env_start || die "could not start the Wine environment"
  say "several-monitor tests under Wine ($DISPLAY, $WINEPREFIX)"
  run_ctest multimon "$logs/multimon.log" --test-dir "$WIN64_BUILD" --output-on-failure \
    -j 1 -L multimon || failed=1
  if ((failed)) && compgen -G "$WIN64_BUILD/tests/e2e/artifacts/*" >/dev/null; then
    say "screenshots of failed end-to-end checks: $WIN64_BUILD/tests/e2e/artifacts/"
  fi
  rm -rf "$logs"

  echo
  echo "dev.sh: $TOTAL_PASSED passed, $TOTAL_FAILED failed"
  ((failed == 0 && TOTAL_FAILED == 0))
}

# A path given on the command line, made absolute from the caller's folder.
caller_path() {
  case "$1" in
    /*) printf '%s\n' "$1" ;;
    *) printf '%s\n' "$CALLER_DIR/$1" ;;
  esac
}

# Signing (./dev.sh package --sign): the key, its password (SIGN_PASSWORD,
# when SIGN_HAS_PASSWORD is 1) and the time-stamp server's options. The
# password is read once, by sign_read_password; the key check and the
# signing tool both get exactly that, through a pipe: it never stands on a
# command line.
SIGN_KEY=
SIGN_PASSWORD=
SIGN_HAS_PASSWORD=0
SIGN_TIMESTAMP=()

# sign_read_password [FILE]: the first line of FILE, else of
# $LUMIDIAL_SIGN_PASSWORD, without a trailing CR (a file written on Windows).
sign_read_password() {
  if (($#)); then
    IFS= read -r SIGN_PASSWORD <"$1" || true # a last line without its newline is read too
  else
    SIGN_PASSWORD=${LUMIDIAL_SIGN_PASSWORD%%$'\n'*}
  fi
  SIGN_PASSWORD=${SIGN_PASSWORD%$'\r'}
  SIGN_HAS_PASSWORD=1
}

# Checks before anything is built that the key opens with its password and
# that its certificate is valid now; says what is wrong if not.
sign_check_key() {
  [[ -e "$SIGN_KEY" ]] || die "signing key $SIGN_KEY: no such file"
  [[ -f "$SIGN_KEY" && -r "$SIGN_KEY" ]] || die "signing key $SIGN_KEY: not a readable file"
  local cert passin=(-passin pass:)
  # The password on openssl's standard input: its first line is all of it.
  ((SIGN_HAS_PASSWORD)) && passin=(-passin stdin)
  # Keys exported with the old algorithms (RC2, 3DES) need OpenSSL's legacy
  # provider; try without it first.
  if ! cert=$(openssl pkcs12 -in "$SIGN_KEY" -nokeys -clcerts "${passin[@]}" 2>/dev/null <<<"$SIGN_PASSWORD") &&
    ! cert=$(openssl pkcs12 -legacy -in "$SIGN_KEY" -nokeys -clcerts "${passin[@]}" 2>/dev/null <<<"$SIGN_PASSWORD"); then
    if ((SIGN_HAS_PASSWORD)); then
      die "signing key $SIGN_KEY: cannot be opened with the password given (wrong password, or not a PKCS#12 file)"
    fi
    die "signing key $SIGN_KEY: cannot be opened without a password (give it with --password-file FILE or in LUMIDIAL_SIGN_PASSWORD), or not a PKCS#12 file"
  fi
  [[ "$cert" == *"BEGIN CERTIFICATE"* ]] || die "signing key $SIGN_KEY: holds no certificate of its own key"
  local not_before not_after now
  not_before=$(openssl x509 -noout -startdate <<<"$cert" | sed 's/^notBefore=//')
  not_after=$(openssl x509 -noout -enddate <<<"$cert" | sed 's/^notAfter=//')
  now=$(date +%s)
  if (($(date -d "$not_after" +%s) <= now)); then
    die "signing key $SIGN_KEY: its certificate expired on $not_after"
  fi
  if (($(date -d "$not_before" +%s) > now)); then
    die "signing key $SIGN_KEY: its certificate is not valid before $not_before"
  fi
}

# sign_file IN OUT: Authenticode signature, SHA-256, time-stamped when a
# server was given. osslsigncode writes OUT only when it succeeds.
sign_file() {
  if ((SIGN_HAS_PASSWORD)); then
    # printf is a shell builtin: the password goes into the pipe, not into a
    # process's arguments.
    sign_file_with "$1" "$2" -readpass <(printf '%s' "$SIGN_PASSWORD")
  else
    sign_file_with "$1" "$2"
  fi
}

# sign_file_with IN OUT [PASSWORD OPTIONS...]
sign_file_with() {
  local in=$1 out=$2 log
  shift 2
  log=$(osslsigncode sign -pkcs12 "$SIGN_KEY" "$@" -h sha256 -n "Lumidial screen saver" \
    "${SIGN_TIMESTAMP[@]}" -in "$in" -out "$out" 2>&1) || {
    printf '%s\n' "$log" >&2
    if ((${#SIGN_TIMESTAMP[@]})); then
      die "signing $(basename "$in") failed (time-stamp server ${SIGN_TIMESTAMP[1]}): nothing was replaced"
    fi
    die "signing $(basename "$in") failed: nothing was replaced"
  }
}

# build_arg BUILD NAME: what CMake wrote for package.py after --NAME
# (installer/msi.args: the source date "epoch", the "commit", ...).
build_arg() { sed -n "/^--$2\$/{n;p;q}" "$1/installer/msi.args"; }

# Says which commit and source date the build in BUILD is made from.
say_source() {
  local epoch
  epoch=$(build_arg "$1" epoch)
  say "built from commit $(build_arg "$1" commit), source date $epoch ($(date -u -d "@$epoch" '+%Y-%m-%d %H:%M:%S UTC'))"
}

# package_saver SOURCE BUILD SAVER OUTPUT: the package that SOURCE's
# package.py makes of SAVER with the arguments of the build in BUILD (a
# signed saver's package; the package a signed release's saver is checked in).
package_saver() {
  local python
  python=$(sed -n 's/^LUMIDIAL_PYTHON:FILEPATH=//p' "$2/CMakeCache.txt")
  "${python:-/usr/bin/python3}" "$1/installer/package.py" "@$2/installer/msi.args" --saver "$3" --output "$4"
}

# Builds the release into $WIN64_BUILD/release: the MSI package, the
# Lumidial.scr inside it and SHA256SUMS of both, signed when asked; prints
# the package's path (the only thing on standard output). The release is
# made in a folder beside it and takes the old one's place only when it is
# complete: a failure leaves the previous release as it was.
cmd_package() {
  local timestamp='' password_file=
  while (($#)); do
    case "$1" in
      --sign) (($# >= 2)) || usage 2; SIGN_KEY=$(caller_path "$2"); shift 2 ;;
      --password-file) (($# >= 2)) || usage 2; password_file=$(caller_path "$2"); shift 2 ;;
      --timestamp) (($# >= 2)) || usage 2; timestamp=$2; shift 2 ;;
      *) usage 2 ;;
    esac
  done
  if [[ -z "$SIGN_KEY" && -n "$password_file$timestamp" ]]; then
    die "--password-file and --timestamp go with --sign KEY.p12"
  fi
  lumidial_ensure_packages || die "could not install the required packages"

  if [[ -n "$SIGN_KEY" ]]; then
    if [[ -n "$password_file" ]]; then
      [[ -z "${LUMIDIAL_SIGN_PASSWORD+set}" ]] ||
        die "the password is given twice: by --password-file and by LUMIDIAL_SIGN_PASSWORD"
      [[ -f "$password_file" && -r "$password_file" ]] ||
        die "password file $password_file: not a readable file"
      sign_read_password "$password_file"
    elif [[ -n "${LUMIDIAL_SIGN_PASSWORD:-}" ]]; then
      sign_read_password
    fi
    [[ -z "$timestamp" ]] || SIGN_TIMESTAMP=(-ts "$timestamp")
    sign_check_key
  fi

  build_windows msi >&2
  local version
  version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$WIN64_BUILD/CMakeCache.txt")
  local msi_name="Lumidial-$version-x64.msi"
  local msi="$WIN64_BUILD/$msi_name" scr="$WIN64_BUILD/Lumidial.scr"
  [[ -n "$version" && -f "$msi" ]] || die "no package in $WIN64_BUILD"
  say_source "$WIN64_BUILD"

  local release="$WIN64_BUILD/release" next
  next=$(mktemp -d "$WIN64_BUILD/.release.XXXXXX")
  chmod "$(printf '%o' $((0777 & ~$(umask))))" "$next" # as mkdir makes it
  # shellcheck disable=SC2064  # the folder's name now
  trap "rm -rf '$next'" EXIT
  if [[ -z "$SIGN_KEY" ]]; then
    cp "$scr" "$next/Lumidial.scr"
    cp "$msi" "$next/$msi_name"
  else
    say "signing Lumidial.scr with $SIGN_KEY"
    sign_file "$scr" "$next/Lumidial.scr"
    # Whoever has the unsigned build can check a signed release against it.
    if ! osslsigncode remove-signature -in "$next/Lumidial.scr" -out "$next/stripped.scr" >/dev/null 2>&1 ||
      ! cmp -s "$next/stripped.scr" "$scr"; then
      die "the signed Lumidial.scr without its signature is not the unsigned one"
    fi
    rm -f "$next/stripped.scr"
    say "packaging the signed Lumidial.scr"
    package_saver "$ROOT" "$WIN64_BUILD" "$next/Lumidial.scr" "$next/unsigned.msi" ||
      die "packaging the signed Lumidial.scr failed"
    say "signing the package"
    sign_file "$next/unsigned.msi" "$next/$msi_name"
    rm -f "$next/unsigned.msi"
  fi
  (cd "$next" && sha256sum "$msi_name" Lumidial.scr >SHA256SUMS) || die "could not write SHA256SUMS"

  # The new release takes the old one's place in one step: the two folders
  # are swapped, so that an interruption at any moment leaves one whole
  # release at $release. $next then holds the previous one.
  if [[ -e "$release" ]]; then
    /usr/bin/python3 "$ROOT/scripts/release.py" exchange "$next" "$release" ||
      die "could not move the release into $release"
  else
    mv -T "$next" "$release" || die "could not move the release into $release"
  fi
  rm -rf "$next"
  trap - EXIT
  echo "$(cd "$release" && pwd)/$msi_name"
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
  package) shift; cmd_package "$@" ;;
  verify-release) shift; cmd_verify_release "$@" ;;
  -h | --help | help) usage 0 ;;
  *) usage 2 ;;
esac

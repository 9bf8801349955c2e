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
#   ./dev.sh pictures            make the README's pictures anew from the
#                                build, under Wine on a private Xvfb: the
#                                clock at 10:08, the settings dialog and the
#                                preview, as docs/clock.png, docs/dialog.png
#                                and docs/preview.png
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
  mkdir -p docs
  for name in clock dialog preview; do
    # No time or date in the file: the same pixels give the same bytes.
    convert "$made/$name.ppm" -strip -define png:exclude-chunks=date,time "docs/$name.png" ||
      die "could not write docs/$name.png"
    say "docs/$name.png"
  done
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

# joined SEPARATOR WORDS...: the words with SEPARATOR between them.
joined() {
  local separator=$1 text=${2:-} word
  shift 2 || return 0
  for word; do text+=$separator$word; done
  printf '%s\n' "$text"
}

# The scripts/release.py helper (reading release files, swapping folders).
release_py() { /usr/bin/python3 "$ROOT/scripts/release.py" "$@"; }

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
    release_py exchange "$next" "$release" || die "could not move the release into $release"
  else
    mv -T "$next" "$release" || die "could not move the release into $release"
  fi
  rm -rf "$next"
  trap - EXIT
  echo "$(cd "$release" && pwd)/$msi_name"
}

# ./dev.sh verify-release FILE...: the files given, and those a SHA256SUMS
# among them lists beside it, as shown to the user (VERIFY_NAMES), where they
# are (VERIFY_PATHS) and what they are (VERIFY_KINDS: scr, msi or sums).
# The commit's rebuild is made in VERIFY_WORK, which goes when dev.sh ends.
VERIFY_NAMES=()
VERIFY_PATHS=()
VERIFY_KINDS=()
VERIFY_WORK=
VERIFY_ERROR= # why osslsigncode could not read a file
declare -A VERIFY_SEEN=()

verify_add() {
  local name=$1 path real kind magic
  path=$(caller_path "$1")
  [[ -f "$path" && -r "$path" ]] || die "$name: not a readable file"
  real=$(realpath "$path")
  [[ -z "${VERIFY_SEEN[$real]:-}" ]] || return 0
  VERIFY_SEEN[$real]=1
  # By content, not name: downloads get renamed.
  magic=$(od -An -tx1 -N8 "$path" | tr -d ' \n')
  case "$magic" in
    4d5a*) kind=scr ;;
    d0cf11e0a1b11ae1) kind=msi ;;
    *) grep -qE '^[0-9a-fA-F]{64} [ *]' "$path" ||
      die "$name: neither a Windows program, a Windows Installer package nor a SHA256SUMS file"
      kind=sums ;;
  esac
  VERIFY_NAMES+=("$name") VERIFY_PATHS+=("$path") VERIFY_KINDS+=("$kind")
}

verify_cleanup() {
  [[ -n "$VERIFY_WORK" ]] || return 0
  git -C "$ROOT" worktree remove --force "$VERIFY_WORK/src" >/dev/null 2>&1 || true
  rm -rf "$VERIFY_WORK"
  git -C "$ROOT" worktree prune >/dev/null 2>&1 || true
}

# The commit a release file names, or nothing.
verify_file_commit() {
  case "$1" in
    scr) release_py commit "$2" 2>/dev/null ;;
    msi) msiinfo export "$2" Property 2>/dev/null | tr -d '\r' |
      awk -F '\t' '$1 == "LumidialSourceCommit" { print $2 }' ;;
  esac
}

# strip_signature scr|msi IN OUT: 0 when IN was signed (OUT is IN without
# its signature), 1 when it was not, 2 when osslsigncode cannot read it.
strip_signature() {
  local log
  # osslsigncode says so of a program, but not of a package, without one.
  if [[ "$1" == msi ]] && ! msiinfo streams "$2" 2>/dev/null | grep -q '^.DigitalSignature$'; then
    return 1
  fi
  log=$(osslsigncode remove-signature -in "$2" -out "$3" 2>&1) && return 0
  [[ "$log" == *"No signature found"* ]] && return 1
  VERIFY_ERROR=$(grep -v '^PE checksum' <<<"$log" | head -n 1)
  return 2
}

# Who signed FILE (the certificate in its signature that issued no other)
# and whether the signature verifies against this system's certificate
# authorities. An untrusted certificate is no difference from the commit: it
# is said, not counted.
signature_report() {
  local log signer='' verdict
  if osslsigncode extract-signature -pem -in "$1" -out "$VERIFY_WORK/signature.pem" >/dev/null 2>&1; then
    signer=$(openssl pkcs7 -in "$VERIFY_WORK/signature.pem" -print_certs -noout 2>/dev/null | awk '
      BEGIN { n = 0 }
      /^subject=/ { subject[n] = substr($0, 9) }
      /^issuer=/ { issuer[n++] = substr($0, 8) }
      END {
        for (a = 0; a < n; a++) {
          leaf = 1
          for (b = 0; b < n; b++) if (b != a && issuer[b] == subject[a]) leaf = 0
          if (leaf) { print subject[a] " (issued by " issuer[a] ")"; exit }
        }
      }')
    rm -f "$VERIFY_WORK/signature.pem"
  fi
  log=$(osslsigncode verify -in "$1" 2>&1)
  if [[ "$log" == *"Signature verification: ok"* ]]; then
    verdict="the signature verifies"
  elif [[ "$log" == *MISMATCH* ]]; then
    verdict="the signature does not verify: the file was changed after it was signed"
  else
    verdict="the signature does not verify here: $(sed -n 's/^[[:space:]]*Error: //p' <<<"$log" | head -n 1)"
  fi
  echo "  signed by ${signer:-an unreadable certificate}: $verdict (osslsigncode verify)"
}

# pe_difference THEIRS OURS: empty when the same, else where they differ.
pe_difference() {
  cmp -s "$1" "$2" || release_py pe-diff "$1" "$2"
}

# msi_differences THEIRS OURS: the tables and streams in which two packages
# differ, and for the cabinet, the files in it.
msi_differences() {
  local dir found=() file
  dir=$(mktemp -d "$VERIFY_WORK/compare.XXXXXX")
  mkdir "$dir/theirs" "$dir/ours"
  if ! msidump -s -t -d "$dir/theirs" "$1" >/dev/null 2>&1 || ! msidump -s -t -d "$dir/ours" "$2" >/dev/null 2>&1; then
    echo "not a package msidump can read"
    return
  fi
  # The cabinet (what the package installs) first; the summary information
  # is dumped both as a table and as the stream "\005SummaryInformation".
  while IFS= read -r file; do
    cmp -s "$dir/theirs/$file" "$dir/ours/$file" && continue
    case "$file" in
      _Streams/*.cab) found=("stream ${file#_Streams/} ($(cabinet_differences "$1" "$2"))" "${found[@]}") ;;
      _SummaryInformation.idt) found+=("the summary information") ;;
      _Streams/?SummaryInformation) ;;
      *.idt) found+=("table ${file%.idt}") ;;
      _Streams/*) found+=("stream ${file#_Streams/}") ;;
    esac
  done < <(cd "$dir" && find theirs ours -type f | cut -d/ -f2- | LC_ALL=C sort -u)
  joined ', ' "${found[@]}"
}

# The files that differ between two packages' cabinets.
cabinet_differences() {
  local dir found=() file
  dir=$(mktemp -d "$VERIFY_WORK/cabinet.XXXXXX")
  mkdir "$dir/theirs" "$dir/ours"
  (cd "$dir/theirs" && msiextract "$1" >/dev/null 2>&1) && (cd "$dir/ours" && msiextract "$2" >/dev/null 2>&1)
  while IFS= read -r file; do
    if [[ ! -f "$dir/theirs/$file" || ! -f "$dir/ours/$file" ]]; then
      found+=("$file only in $([[ -f "$dir/ours/$file" ]] && echo "the rebuild" || echo "it")")
    elif [[ "$file" == *.scr ]]; then
      cmp -s "$dir/theirs/$file" "$dir/ours/$file" || found+=("its $file: $(pe_difference "$dir/theirs/$file" "$dir/ours/$file")")
    else
      cmp -s "$dir/theirs/$file" "$dir/ours/$file" || found+=("its $file")
    fi
  done < <(cd "$dir" && find theirs ours -type f | cut -d/ -f2- | sort -u)
  ((${#found[@]})) || found=("the cabinet itself")
  joined '; ' "${found[@]}"
}

# verify_scr NAME PATH INDEX COMMIT OURS: one line, and the signature's.
verify_scr() {
  local theirs=$VERIFY_WORK/theirs-$3.scr signed=0 status=0 difference
  strip_signature scr "$2" "$theirs" || status=$?
  case $status in
    0) signed=1 ;;
    1) theirs=$2 ;;
    *) echo "$1: differs from commit $4: not a Windows program osslsigncode can read ($VERIFY_ERROR)"; return 1 ;;
  esac
  difference=$(pe_difference "$theirs" "$5/Lumidial.scr")
  if [[ -z "$difference" ]]; then
    echo "$1: identical to commit $4$( ((signed)) && echo ", without its signature")"
  else
    echo "$1: differs from commit $4: $difference"
  fi
  ((signed == 0)) || signature_report "$2"
  [[ -z "$difference" ]]
}

# verify_msi NAME PATH INDEX COMMIT OURS SOURCE BUILD: an unsigned package
# is compared byte for byte. A signed one holds the signed saver: the saver
# without its signature is compared with the rebuild's, and the package
# without its signature with the one the commit's package.py makes of that
# saver, by their tables and streams (removing a signature rewrites the
# compound file around them).
verify_msi() {
  local dir=$VERIFY_WORK/msi-$3 status=0 found=() ours_msi saver difference
  ours_msi=$(echo "$5"/*.msi)
  mkdir -p "$dir/files"
  strip_signature msi "$2" "$dir/stripped.msi" || status=$?
  case $status in
    0)
      (cd "$dir/files" && msiextract "$2" >/dev/null 2>&1)
      saver=$(find "$dir/files" -name Lumidial.scr | head -n 1)
      if [[ -z "$saver" ]]; then
        found+=("it holds no Lumidial.scr")
      else
        strip_signature scr "$saver" "$dir/saver.scr" || cp "$saver" "$dir/saver.scr"
        difference=$(pe_difference "$dir/saver.scr" "$5/Lumidial.scr")
        [[ -z "$difference" ]] || found+=("its Lumidial.scr: $difference")
        if package_saver "$6" "$7" "$saver" "$dir/remade.msi" >/dev/null 2>&1; then
          difference=$(msi_differences "$dir/stripped.msi" "$dir/remade.msi")
          [[ -z "$difference" ]] || found+=("$difference")
        else
          found+=("the commit's package.py cannot package its Lumidial.scr")
        fi
      fi ;;
    1)
      if ! cmp -s "$2" "$ours_msi"; then
        difference=$(msi_differences "$2" "$ours_msi")
        found+=("${difference:-the same tables and streams in another compound file}")
      fi ;;
    *) found+=("not a package osslsigncode can read ($VERIFY_ERROR)") ;;
  esac
  if ((${#found[@]} == 0)); then
    echo "$1: identical to commit $4$( ((status == 0)) && echo ", its tables and streams without its signature")"
  else
    echo "$1: differs from commit $4: $(joined '; ' "${found[@]}")"
  fi
  ((status != 0)) || signature_report "$2"
  ((${#found[@]} == 0))
}

# verify_sums NAME PATH COMMIT OURS: the rebuild's SHA256SUMS, or (for a
# signed release) the sums of the release's files beside it, which have lines
# of their own.
verify_sums() {
  local dir sum name found=()
  if cmp -s "$2" "$4/SHA256SUMS"; then
    echo "$1: identical to commit $3"
    return 0
  fi
  dir=$(dirname "$2")
  while read -r sum name; do
    name=${name#\*}
    if [[ ! -f "$dir/$name" ]]; then
      found+=("$name is not beside it")
    elif [[ "$(sha256sum <"$dir/$name" | cut -d' ' -f1)" != "${sum,,}" ]]; then
      found+=("the sum of $name is not that file's")
    fi
  done <"$2"
  [[ "$(awk '{ print $2 }' "$2" | sort)" == "$(awk '{ print $2 }' "$4/SHA256SUMS" | sort)" ]] ||
    found+=("it lists $(awk '{ print $2 }' "$2" | xargs), the rebuild $(awk '{ print $2 }' "$4/SHA256SUMS" | xargs)")
  if ((${#found[@]} == 0)); then
    echo "$1: the right sums of the files beside it, whose own lines say how they compare"
    return 0
  fi
  echo "$1: differs from commit $3: $(joined '; ' "${found[@]}")"
  return 1
}

cmd_verify_release() {
  (($#)) || usage 2
  lumidial_ensure_packages || die "could not install the required packages"
  local arg i sum name
  for arg in "$@"; do verify_add "$arg"; done
  # The files a SHA256SUMS lists beside it are part of the release.
  local listed=() folder
  for i in "${!VERIFY_KINDS[@]}"; do
    [[ "${VERIFY_KINDS[i]}" == sums ]] || continue
    folder=$(dirname "${VERIFY_PATHS[i]}")
    while read -r sum name; do
      name=${name#\*}
      if [[ -f "$folder/$name" ]]; then
        name=$(dirname "${VERIFY_NAMES[i]}")/$name
        listed+=("${name#./}")
      fi
    done <"${VERIFY_PATHS[i]}"
  done
  for arg in "${listed[@]}"; do verify_add "$arg"; done

  local commit='' first='' named
  for i in "${!VERIFY_KINDS[@]}"; do
    [[ "${VERIFY_KINDS[i]}" != sums ]] || continue
    named=$(verify_file_commit "${VERIFY_KINDS[i]}" "${VERIFY_PATHS[i]}")
    [[ -n "$named" ]] || die "${VERIFY_NAMES[i]}: names no commit it was built from (not a Lumidial release, or one made before releases named it)"
    if [[ -z "$commit" ]]; then
      commit=$named first=${VERIFY_NAMES[i]}
    elif [[ "$named" != "$commit" ]]; then
      die "the files name different commits: $first names $commit, ${VERIFY_NAMES[i]} names $named"
    fi
  done
  [[ -n "$commit" ]] || die "no Lumidial.scr or package among the files: nothing names the commit to rebuild"
  [[ "$commit" != unknown ]] || die "$first was built from a source tree without git: it names no commit to rebuild"
  [[ "$commit" != *-dirty ]] ||
    die "$first was built from commit ${commit%-dirty} with changes that were never committed: no commit rebuilds it"
  [[ "$commit" =~ ^[0-9a-f]{40}$ ]] || die "$first names \"$commit\", which is not a commit id"
  local error
  error=$(git -C "$ROOT" rev-parse --git-dir 2>&1 >/dev/null) ||
    die "verify-release rebuilds the commit from this checkout, but git cannot read $ROOT: $error"
  git -C "$ROOT" cat-file -e "$commit^{commit}" 2>/dev/null ||
    die "commit $commit, which $first was built from, is not in this checkout ($ROOT): fetch it (git fetch), or run verify-release in a clone that has it"

  local epoch
  epoch=$(git -C "$ROOT" log -1 --format=%ct "$commit")
  VERIFY_WORK=$(mktemp -d "${TMPDIR:-/tmp}/lumidial-verify.XXXXXX")
  trap verify_cleanup EXIT
  git -C "$ROOT" worktree add --detach -q "$VERIFY_WORK/src" "$commit" >&2 ||
    die "cannot check out commit $commit into $VERIFY_WORK/src"
  say "rebuilding commit $commit with its source date $epoch ($(date -u -d "@$epoch" '+%Y-%m-%d %H:%M:%S UTC')) in $VERIFY_WORK"
  # The commit's own ./dev.sh, as whoever made the release ran it; its
  # build's output is the progress shown meanwhile.
  (cd "$VERIFY_WORK/src" && env -u LUMIDIAL_SIGN_PASSWORD SOURCE_DATE_EPOCH="$epoch" \
    LUMIDIAL_WIN64_BUILD="$VERIFY_WORK/build" JOBS="$JOBS" ./dev.sh package >/dev/null) ||
    die "building commit $commit failed"

  local ours=$VERIFY_WORK/build/release failed=0
  for i in "${!VERIFY_KINDS[@]}"; do
    case "${VERIFY_KINDS[i]}" in
      scr) verify_scr "${VERIFY_NAMES[i]}" "${VERIFY_PATHS[i]}" "$i" "$commit" "$ours" || failed=1 ;;
      msi) verify_msi "${VERIFY_NAMES[i]}" "${VERIFY_PATHS[i]}" "$i" "$commit" "$ours" \
        "$VERIFY_WORK/src" "$VERIFY_WORK/build" || failed=1 ;;
      sums) verify_sums "${VERIFY_NAMES[i]}" "${VERIFY_PATHS[i]}" "$commit" "$ours" || failed=1 ;;
    esac
  done
  if ((failed)); then
    say "some files differ from commit $commit"
    return 1
  fi
  say "every file matches commit $commit"
}

case "${1:-}" in
  run) shift; cmd_run "$@" ;;
  test) shift; (($# == 0)) || usage 2; cmd_test ;;
  build) shift; build_all ;;
  pictures) shift; (($# == 0)) || usage 2; cmd_pictures ;;
  package) shift; cmd_package "$@" ;;
  verify-release) shift; cmd_verify_release "$@" ;;
  -h | --help | help) usage 0 ;;
  *) usage 2 ;;
esac

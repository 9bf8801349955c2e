# shellcheck shell=bash disable=SC2015,SC2154
# Helpers of the release tests (source it). "A && B || fail" fails when
# either fails; $source_dir and $build are the tests' own.

fail() {
  echo "FAIL: $*"
  exit 1
}

# The PE time stamp of a Windows program, in seconds since 1970, as
# scripts/release.py reads it.
RELEASE_PY=$(cd "$(dirname "${BASH_SOURCE[0]}")/../../scripts" && pwd)/release.py
pe_time_stamp() { /usr/bin/python3 "$RELEASE_PY" pe-time-stamp "$1"; }

# msi_summary PACKAGE FIELD: a line of msiinfo's summary ("Created",
# "Last saved", "Revision number (UUID)"), times in UTC.
msi_summary() {
  TZ=UTC msiinfo suminfo "$1" | sed -n "s/^$2: //p"
}

# msi_property PACKAGE NAME: a value of the package's Property table.
msi_property() {
  msiinfo export "$1" Property | tr -d '\r' | awk -F '\t' -v name="$2" '$1 == name { print $2 }'
}

# A time as msiinfo shows it.
utc_ctime() {
  TZ=UTC LC_ALL=C date -d "@$1" '+%a %b %e %H:%M:%S %Y'
}

# Everything about the files of a folder that a replacement would change:
# names, contents, inode numbers and modification times.
folder_state() {
  (cd "$1" && for file in *; do
    printf '%s %s %s\n' "$(sha256sum "$file")" "$(stat -c %i "$file")" "$(stat -c %Y.%y "$file")"
  done)
}

# clone_dev BUILD [ENV=VALUE...] COMMAND...: COMMAND (a clone's dev.sh, or
# a prefix that runs it) building into BUILD, without a source date or a
# password from the test's own environment.
clone_dev() {
  local build=$1
  env -u SOURCE_DATE_EPOCH -u LUMIDIAL_SIGN_PASSWORD LUMIDIAL_WIN64_BUILD="$build" JOBS="${JOBS:-2}" "${@:2}"
}
# typed [ENV=VALUE...] COMMAND...: the command as a user types it, for messages.
typed() {
  local command="$*"
  printf 'dev.sh %s' "${command##*dev.sh }"
}

# packaged LOG BUILD [ENV=VALUE...] COMMAND...: clone_dev making a package,
# its standard error in LOG; says how long it took. Sets PACKAGE to the
# package it printed; a failed packaging ends the test with its error.
PACKAGE=
# shellcheck disable=SC2034  # PACKAGE is for the tests that source this
packaged() {
  local log=$1 start=$SECONDS
  PACKAGE=$(clone_dev "${@:2}" 2>"$log") || {
    tail -n 30 "$log"
    fail "$(typed "${@:3}") failed: $(sed -n 's/^\[dev\] error: //p' "$log" | tail -n 1)"
  }
  echo "$(typed "${@:3}"): $((SECONDS - start)) s"
}

# package_of SAVER OUTPUT: the package that the clone's package.py makes of
# SAVER with the build's arguments ($source_dir, $build).
package_of() {
  /usr/bin/python3 "$source_dir/installer/package.py" "@$build/installer/msi.args" --saver "$1" --output "$2"
}

# throwaway_keys WORK: the signing tests' keys, made once in WORK/keys, the
# folder it enters: signer.p12 (password in "password"; "password-crlf" as
# Windows writes it, then another line; "wrong" not) and open.p12 (none),
# both certificate signer.pem; other.pem, which signed nothing; old.p12,
# expired 10 days ago.
throwaway_keys() {
  local keys=$1/keys
  [[ -f "$keys/old.p12" ]] || (
    rm -rf "$keys" && mkdir -p "$keys" && cd "$keys" &&
      openssl req -x509 -newkey rsa:2048 -nodes -keyout signer.key -out signer.pem -days 7 \
        -subj "/CN=Lumidial release test" -addext extendedKeyUsage=codeSigning 2>/dev/null &&
      openssl req -x509 -newkey rsa:2048 -nodes -keyout other.key -out other.pem -days 7 \
        -subj "/CN=Someone else" 2>/dev/null &&
      faketime -f '-20d' openssl req -x509 -newkey rsa:2048 -nodes -keyout old.key -out old.pem -days 10 \
        -subj "/CN=Lumidial expired" 2>/dev/null &&
      printf 'correct horse battery\n' >password && printf 'wrong horse\n' >wrong &&
      printf 'correct horse battery\r\nnot the password\r\n' >password-crlf &&
      openssl pkcs12 -export -inkey signer.key -in signer.pem -out signer.p12 -passout file:password &&
      openssl pkcs12 -export -inkey signer.key -in signer.pem -out open.p12 -passout pass: &&
      openssl pkcs12 -export -inkey old.key -in old.pem -out old.p12 -passout pass:
  ) || fail "openssl could not make the throwaway keys"
  cd "$keys" || fail "cannot enter $keys"
}

# commit_at DIR TIME ARGS...: "git commit ARGS" in DIR by the tests' own
# committer at TIME (seconds since 1970), the same commit wherever it is made.
commit_at() {
  local dir=$1 time=$2
  shift 2
  GIT_COMMITTER_DATE="@$time +0000" git -C "$dir" -c user.name="Lumidial release test" \
    -c user.email=release-test@lumidial.invalid -c commit.gpgsign=false commit -q --no-verify --allow-empty "$@"
}

#!/usr/bin/env bash
# shellcheck disable=SC2015  # "A && B || fail" here fails when either fails
# "./dev.sh package --sign" that cannot sign: a wrong password (in a file,
# in the environment), no password for a key that has one, a missing key,
# an expired certificate, a time-stamp server that does not answer. Each
# ends with an error that says what is wrong, and leaves the previous
# release exactly as it was (the same files, not rewritten) with nothing
# half-made beside it.
#
#   FailedSigningTest.sh <work folder>
#
# Uses the first clone and build of CleanBuildsTest.sh.
set -uo pipefail

work=$1
# shellcheck source-path=SCRIPTDIR source=common.sh
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

source_dir=$work/a/src build=$work/a/build release=$work/a/build/release
[[ -x "$source_dir/dev.sh" && -f "$release/SHA256SUMS" ]] ||
  fail "no trial release in $work: Release.TwoCleanBuildsOfOneCommitAreIdentical makes it"

keys=$work/failing-keys
rm -rf "$keys" && mkdir -p "$keys" || fail "cannot make $keys"
cd "$keys" || fail "cannot enter $keys"
# The expired certificate: ten days long, made twenty days ago.
openssl req -x509 -newkey rsa:2048 -nodes -keyout signer.key -out signer.pem -days 7 \
  -subj "/CN=Lumidial release test" 2>/dev/null &&
  faketime -f '-20d' openssl req -x509 -newkey rsa:2048 -nodes -keyout old.key -out old.pem -days 10 \
    -subj "/CN=Lumidial expired" 2>/dev/null &&
  printf 'correct horse battery\n' >password && printf 'wrong horse\n' >wrong &&
  openssl pkcs12 -export -inkey signer.key -in signer.pem -out signer.p12 -passout file:password &&
  openssl pkcs12 -export -inkey old.key -in old.pem -out old.p12 -passout pass: ||
  fail "openssl could not make the throwaway keys"
# A port on this machine where nothing listens.
port=$(/usr/bin/python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')

before=$(folder_state "$release")
[[ -n "$before" ]] || fail "the previous release is empty"

# refused "EXPECTED ERROR" [ENV=VALUE...] -- ARGS...
refused() {
  local expected=$1 assignments=()
  shift
  while [[ "$1" != -- ]]; do assignments+=("$1"); shift; done
  shift
  local output status
  output=$(env -u SOURCE_DATE_EPOCH -u LUMIDIAL_SIGN_PASSWORD "${assignments[@]}" LUMIDIAL_WIN64_BUILD="$build" \
    JOBS="${JOBS:-2}" "$source_dir/dev.sh" package "$@" 2>&1)
  status=$?
  ((status != 0)) || fail "./dev.sh package $* succeeded"
  [[ "$(grep '^\[dev\] error:' <<<"$output" | tail -n 1)" == *"$expected"* ]] || {
    printf '%s\n' "$output" | tail -n 15
    fail "./dev.sh package $* did not end with an error saying \"$expected\""
  }
  [[ "$(folder_state "$release")" == "$before" ]] || fail "./dev.sh package $* changed the previous release"
  local left
  left=$(find "$build" -maxdepth 1 -name '.release.*' -o -maxdepth 1 -name 'release.old')
  [[ -z "$left" ]] || fail "./dev.sh package $* left $left"
  echo "refused as it should: ${assignments[*]} $*"
  echo "  $(grep '^\[dev\] error:' <<<"$output" | tail -n 1)"
}

refused "wrong password" -- --sign signer.p12 --password-file wrong
refused "wrong password" LUMIDIAL_SIGN_PASSWORD='wrong horse' -- --sign signer.p12
refused "without a password" -- --sign signer.p12
refused "no such file" -- --sign missing.p12 --password-file password
refused "expired on" -- --sign old.p12
refused "time-stamp server http://127.0.0.1:$port/" -- --sign signer.p12 --password-file password \
  --timestamp "http://127.0.0.1:$port/"
echo "PASS: each failed signing said why and left the previous release as it was"

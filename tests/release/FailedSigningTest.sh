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

throwaway_keys "$work"
dev=$source_dir/dev.sh
# A port on this machine where nothing listens.
port=$(/usr/bin/python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')

before=$(folder_state "$release")
[[ -n "$before" ]] || fail "the previous release is empty"

# refused "EXPECTED ERROR" [ENV=VALUE...] COMMAND...: clone_dev in the build,
# which must fail with that error and leave the previous release as it was.
refused() {
  local expected=$1 output left
  output=$(clone_dev "$build" "${@:2}" 2>&1) && fail "$(typed "${@:2}") succeeded"
  [[ "$(grep '^\[dev\] error:' <<<"$output" | tail -n 1)" == *"$expected"* ]] || {
    printf '%s\n' "$output" | tail -n 15
    fail "$(typed "${@:2}") did not end with an error saying \"$expected\""
  }
  [[ "$(folder_state "$release")" == "$before" ]] || fail "$(typed "${@:2}") changed the previous release"
  left=$(find "$build" -maxdepth 1 -name '.release.*' -o -maxdepth 1 -name 'release.old')
  [[ -z "$left" ]] || fail "$(typed "${@:2}") left $left"
  local shown="${*:2}"
  echo "refused as it should: ${shown//"$source_dir"\//}"
  echo "  $(grep '^\[dev\] error:' <<<"$output" | tail -n 1)"
}

refused "wrong password" "$dev" package --sign signer.p12 --password-file wrong
refused "wrong password" LUMIDIAL_SIGN_PASSWORD='wrong horse' "$dev" package --sign signer.p12
refused "without a password" "$dev" package --sign signer.p12
refused "no such file" "$dev" package --sign missing.p12 --password-file password
refused "expired on" "$dev" package --sign old.p12
refused "time-stamp server http://127.0.0.1:$port/" "$dev" package --sign signer.p12 --password-file password \
  --timestamp "http://127.0.0.1:$port/"
echo "PASS: each failed signing said why and left the previous release as it was"

#!/usr/bin/env bash
# shellcheck disable=SC2015  # "A && B || fail" here fails when either fails
# "./dev.sh verify-release FILE..." as a user runs it on downloaded files:
# the unsigned release and the signed one of the commit checked out match
# it (exit 0; the self-signed certificate is said, not counted); a
# Lumidial.scr with one byte of its code changed and a package holding that
# file instead of the commit's differ, each naming where (exit 1); a file
# naming a commit the checkout lacks is refused before anything is built.
# No worktree or temporary folder is left.
#
#   VerifyReleaseTest.sh <work folder>
#
# Uses the first clone and build of CleanBuildsTest.sh, its copy of the
# unsigned release, and the signed release SignedReleaseTest.sh left there.
set -uo pipefail

work=$1
# shellcheck source-path=SCRIPTDIR source=common.sh
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

source_dir=$work/a/src build=$work/a/build unsigned=$work/unsigned signed=$work/a/build/release
[[ -x "$source_dir/dev.sh" && -f "$unsigned/SHA256SUMS" && -f "$signed/Lumidial.scr" ]] &&
  ! cmp -s "$signed/Lumidial.scr" "$unsigned/Lumidial.scr" ||
  fail "no unsigned and signed trial releases in $work: the tests before this one make them"
commit=$(git -C "$source_dir" rev-parse HEAD)
export TMPDIR=$work/verify-tmp
rm -rf "$TMPDIR" "$work/tampered" && mkdir -p "$TMPDIR" "$work/tampered" || fail "cannot make $TMPDIR"

# verify LOG FILE...: the clone's verify-release; its standard output in
# LOG, and its exit status.
verify() {
  local log=$1
  shift
  env -u SOURCE_DATE_EPOCH JOBS="${JOBS:-2}" "$source_dir/dev.sh" verify-release "$@" >"$log" 2>"$log.err"
}
# says LOG LINE...: LOG has each line.
says() {
  local log=$1 line
  shift
  for line; do
    grep -qxF -- "$line" "$log" || { cat "$log" "$log.err" | grep -v '^\[ *[0-9]*%\]'; fail "verify-release did not say: $line"; }
  done
}

verify "$work/good.log" "$unsigned/SHA256SUMS" "$signed/SHA256SUMS" || { cat "$work/good.log"; fail "verify-release failed on releases of $commit"; }
name=$(basename "$(echo "$unsigned"/*.msi)")
signer="  signed by CN = Lumidial release test (issued by CN = Lumidial release test): the signature does not verify here: self-signed certificate (osslsigncode verify)"
says "$work/good.log" "$unsigned/SHA256SUMS: identical to commit $commit" "$unsigned/$name: identical to commit $commit" \
  "$unsigned/Lumidial.scr: identical to commit $commit" "$signed/Lumidial.scr: identical to commit $commit, without its signature" \
  "$signed/$name: identical to commit $commit, its tables and streams without its signature" "$signer" \
  "$signed/SHA256SUMS: the right sums of the files beside it, whose own lines say how they compare"
[[ "$(grep -cxF "$signer" "$work/good.log")" == 2 ]] || fail "verify-release did not name the signer of both signed files"
grep -q "rebuilding commit $commit with its source date $(git -C "$source_dir" log -1 --format=%ct)" "$work/good.log.err" ||
  fail "verify-release did not say the commit and the source date it rebuilt"
echo "the unsigned and the signed release of $commit match it"

# One byte of the code (the section .text, where the mingw objdump places it).
text_offset=$(x86_64-w64-mingw32-objdump -h "$unsigned/Lumidial.scr" | awk '$2 == ".text" { print $6 }')
cp "$unsigned/Lumidial.scr" "$work/tampered/Lumidial.scr" &&
  printf '\xcc' | dd of="$work/tampered/Lumidial.scr" bs=1 seek=$((0x$text_offset + 4096)) conv=notrunc status=none &&
  ! cmp -s "$work/tampered/Lumidial.scr" "$unsigned/Lumidial.scr" &&
  /usr/bin/python3 "$source_dir/installer/package.py" "@$build/installer/msi.args" \
    --saver "$work/tampered/Lumidial.scr" --output "$work/tampered/$name" || fail "cannot make the tampered files"
verify "$work/tampered.log" "$work/tampered/Lumidial.scr" "$work/tampered/$name" && fail "verify-release passed changed files"
says "$work/tampered.log" "$work/tampered/Lumidial.scr: differs from commit $commit: .text (1 byte)"
grep -qF "$work/tampered/$name: differs from commit $commit: stream lumidial.cab (its Lumidial.scr: .text (1 byte))" \
  "$work/tampered.log" || { cat "$work/tampered.log"; fail "verify-release did not say the package holds another Lumidial.scr"; }
echo "a changed Lumidial.scr and a package holding it differ, and say where"

# A commit this checkout does not have, in place of the one the file names.
/usr/bin/python3 - "$unsigned/Lumidial.scr" "$work/tampered/elsewhere.scr" "$commit" <<'EOF' ||
import sys
data = open(sys.argv[1], "rb").read()
commit = sys.argv[3].encode("utf-16-le")
assert commit in data
open(sys.argv[2], "wb").write(data.replace(commit, ("0" * 40).encode("utf-16-le")))
EOF
  fail "cannot make a file naming another commit"
verify "$work/elsewhere.log" "$work/tampered/elsewhere.scr" && fail "verify-release passed a file of a commit not in the checkout"
grep -q "error: commit 0\{40\}, which .* is not in this checkout" "$work/elsewhere.log.err" ||
  { cat "$work/elsewhere.log.err"; fail "verify-release did not say the commit is not in the checkout"; }
! grep -q 'building the Windows configuration' "$work/elsewhere.log.err" || fail "verify-release built for a commit it lacks"

[[ "$(git -C "$source_dir" worktree list | wc -l)" == 1 && -z "$(ls -A "$TMPDIR")" ]] ||
  fail "verify-release left a worktree or files behind: $(git -C "$source_dir" worktree list) $(ls -A "$TMPDIR")"
echo "PASS: verify-release tells releases of the commit from changed files, and refuses a commit it lacks"

#!/usr/bin/env bash
# shellcheck disable=SC2015  # "A && B || fail" here fails when either fails
# "./dev.sh verify-release FILE..." as a user runs it on downloaded files,
# in a checkout that has gone on by a commit: the unsigned release and the
# signed one of the commit before match it (exit 0; the self-signed
# certificate is said, not counted); a Lumidial.scr with one byte of its
# code changed and a package holding that file instead of the commit's,
# unsigned and signed again, and a Lumidial.scr with one byte of its
# manifest changed, differ, each naming where; the unsigned release's
# SHA256SUMS without the Lumidial.scr it lists beside it says so (exit 1). Refused
# before anything is built: a file naming a commit the checkout lacks or none, and
# the releases built from a tree with a staged change and a new file
# ("<commit>-dirty") and from one without git ("unknown"), each saying why.
# No worktree or temporary folder is left.
#
#   VerifyReleaseTest.sh <work folder>
#
# Uses the first clone and build of CleanBuildsTest.sh, its copy of the
# unsigned release, and the signed release and the throwaway key
# SignedReleaseTest.sh left there; packages the dirty and the git-less
# releases in that build.
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
rm -rf "$TMPDIR" "$work/tampered" "$work/tampered-signed" "$work/saverless" &&
  mkdir -p "$TMPDIR" "$work/tampered" "$work/tampered-signed" "$work/saverless" || fail "cannot make $TMPDIR"
# Work goes on after a release: a commit on top, a day later.
commit_at "$source_dir" "$(($(git -C "$source_dir" log -1 --format=%ct) + 86400))" -m "Later work" &&
  later=$(git -C "$source_dir" rev-parse HEAD) || fail "cannot commit on top of $commit"

# verify LOG FILE...: the clone's verify-release; its standard output in
# LOG, and its exit status.
verify() { clone_dev "$build" "$source_dir/dev.sh" verify-release "${@:2}" >"$1" 2>"$1.err"; }
# says LOG LINE...: LOG has each line.
says() {
  local log=$1 line
  shift
  for line; do
    grep -qxF -- "$line" "$log" || { cat "$log" "$log.err" | grep -v '^\[ *[0-9]*%\]'; fail "verify-release did not say: $line"; }
  done
}
# refused LOG REASON FILE...: verify-release ends with REASON, before building.
refused() {
  local log=$1 reason=$2
  shift 2
  verify "$log" "$@" && fail "verify-release passed $*"
  [[ "$(tail -n 1 "$log.err")" == "[dev] error: $reason" ]] && ! grep -q 'building the Windows configuration' "$log.err" ||
    { cat "$log.err"; fail "verify-release did not refuse $* before building, saying: $reason"; }
}

verify "$work/good.log" "$unsigned/SHA256SUMS" "$signed/SHA256SUMS" || { cat "$work/good.log"; fail "verify-release failed on releases of $commit"; }
name=$(basename "$(echo "$unsigned"/*.msi)")
signer="  signed by CN = Lumidial release test (issued by CN = Lumidial release test): the signature does not verify here: self-signed certificate (osslsigncode verify)"
says "$work/good.log" "$unsigned/SHA256SUMS: identical to commit $commit" "$unsigned/$name: identical to commit $commit" \
  "$unsigned/Lumidial.scr: identical to commit $commit" "$signed/Lumidial.scr: identical to commit $commit, without its signature" \
  "$signed/$name: identical to commit $commit, its tables and streams without its signature" "$signer" \
  "$signed/SHA256SUMS: the right sums of the files beside it, whose own lines say how they compare"
[[ "$(grep -cxF "$signer" "$work/good.log")" == 2 ]] || fail "verify-release did not name the signer of both signed files"
grep -q "rebuilding commit $commit with its source date $(pe_time_stamp "$unsigned/Lumidial.scr") " "$work/good.log.err" ||
  fail "verify-release did not say the commit and the source date it rebuilt"
echo "the unsigned and the signed release of $commit match it"

# One byte of the code (the section .text, where the mingw objdump places it);
# then that file and its package signed with the throwaway key, as whoever
# changed them could (signing sets the PE checksum anew).
text_offset=$(x86_64-w64-mingw32-objdump -h "$unsigned/Lumidial.scr" | awk '$2 == ".text" { print $6 }')
sign() { osslsigncode sign -pkcs12 "$work/keys/open.p12" -pass "" -h sha256 -in "$1" -out "$2" >/dev/null; }
# patched COPY OFFSET BYTE: the unsigned Lumidial.scr with BYTE at OFFSET, as COPY.
patched() { cp "$unsigned/Lumidial.scr" "$1" && printf %b "$3" | dd of="$1" bs=1 seek="$2" conv=notrunc status=none; }
patched "$work/tampered/Lumidial.scr" $((0x$text_offset + 4096)) '\xcc' &&
  ! cmp -s "$work/tampered/Lumidial.scr" "$unsigned/Lumidial.scr" &&
  package_of "$work/tampered/Lumidial.scr" "$work/tampered/$name" &&
  sign "$work/tampered/Lumidial.scr" "$work/tampered-signed/Lumidial.scr" &&
  package_of "$work/tampered-signed/Lumidial.scr" "$work/tampered-signed/unsigned.msi" &&
  sign "$work/tampered-signed/unsigned.msi" "$work/tampered-signed/$name" &&
  (cd "$work/tampered-signed" && sha256sum "$name" Lumidial.scr | head -c -1 >SHA256SUMS) ||
  fail "cannot make the tampered files"
# One byte of the resources: the manifest's key of the common controls, so
# that Windows would look for another assembly's DLLs. A download without
# its saver: the unsigned release's sums and package only.
key_at=$(grep -obaF 6595b64144ccf1df "$unsigned/Lumidial.scr" | cut -d: -f1)
[[ -n "$key_at" ]] && patched "$work/tampered/manifest.scr" "$key_at" 7 &&
  ! cmp -s "$work/tampered/manifest.scr" "$unsigned/Lumidial.scr" &&
  cp "$unsigned/SHA256SUMS" "$unsigned/$name" "$work/saverless/" ||
  fail "cannot make the changed manifest and the release without its saver"
# The signed ones are named only by their sums, whose last line has no newline.
verify "$work/tampered.log" "$work/tampered/Lumidial.scr" "$work/tampered/$name" \
  "$work/tampered-signed/SHA256SUMS" "$work/tampered/manifest.scr" "$work/saverless/SHA256SUMS" &&
  fail "verify-release passed changed files"
says "$work/tampered.log" "$work/tampered/Lumidial.scr: differs from commit $commit: .text (1 byte)" \
  "$work/tampered/manifest.scr: differs from commit $commit: .rsrc (1 byte)" \
  "$work/saverless/SHA256SUMS: differs from commit $commit: Lumidial.scr is not beside it" \
  "$work/tampered-signed/SHA256SUMS: the right sums of the files beside it, whose own lines say how they compare" \
  "$work/tampered/$name: differs from commit $commit: stream lumidial.cab (its Lumidial.scr: .text (1 byte)), table MsiFileHash, the summary information" \
  "$work/tampered-signed/Lumidial.scr: differs from commit $commit: the PE checksum, .text (1 byte)" \
  "$work/tampered-signed/$name: differs from commit $commit: its Lumidial.scr: the PE checksum, .text (1 byte)"
echo "a changed Lumidial.scr and a package holding it differ, signed or not, and say where; so does a release without its saver"

# A commit this checkout does not have, in place of the one the file names.
/usr/bin/python3 - "$unsigned/Lumidial.scr" "$work/tampered/elsewhere.scr" "$commit" <<'EOF' ||
import sys
data = open(sys.argv[1], "rb").read()
commit = sys.argv[3].encode("utf-16-le")
assert commit in data
open(sys.argv[2], "wb").write(data.replace(commit, ("0" * 40).encode("utf-16-le")))
EOF
  fail "cannot make a file naming another commit"
elsewhere=$work/tampered/elsewhere.scr
refused "$work/elsewhere.log" "commit $(printf '%040d' 0), which $elsewhere was built from, is not in this \
checkout ($source_dir): fetch it (git fetch), or run verify-release in a clone that has it" "$elsewhere"
# A program whose version block has no commit in it.
sed 's/S\x00o\x00u\x00r\x00c\x00e\x00C\x00o\x00m\x00m\x00i\x00t\x00/S\x00o\x00u\x00r\x00c\x00e\x00X\x00o\x00m\x00m\x00i\x00t\x00/' \
  "$unsigned/Lumidial.scr" >"$work/tampered/nameless.scr" && ! cmp -s "$work/tampered/nameless.scr" "$unsigned/Lumidial.scr" ||
  fail "cannot make a file naming no commit"
refused "$work/nameless.log" "$work/tampered/nameless.scr: names no commit it was built from (not a Lumidial release, \
or one made before releases named it)" "$work/tampered/nameless.scr"

echo changed >>"$source_dir/README.md" && git -C "$source_dir" add README.md && echo new >"$source_dir/notes.txt" ||
  fail "cannot change the checkout"
packaged "$work/dirty-package.log" "$build" "$source_dir/dev.sh" package
refused "$work/dirty.log" "$PACKAGE was built from commit $later with changes that were never committed: no commit rebuilds it" \
  "$PACKAGE" "$build/release/Lumidial.scr"
mv "$source_dir/.git" "$work/git-aside" || fail "cannot move $source_dir/.git aside"
packaged "$work/unknown-package.log" "$build" "$source_dir/dev.sh" package
mv "$work/git-aside" "$source_dir/.git" || fail "cannot put $source_dir/.git back"
refused "$work/unknown.log" "$PACKAGE was built from a source tree without git: it names no commit to rebuild" \
  "$PACKAGE" "$build/release/Lumidial.scr"
echo "releases built from a changed tree and from one without git are refused, saying why"

[[ "$(git -C "$source_dir" worktree list | wc -l)" == 1 && -z "$(ls -A "$TMPDIR")" ]] ||
  fail "verify-release left a worktree or files behind: $(git -C "$source_dir" worktree list) $(ls -A "$TMPDIR")"
echo "PASS: verify-release tells releases of the commit from changed files, and refuses a commit it lacks and changed or git-less builds"

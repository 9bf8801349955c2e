#!/usr/bin/env bash
# shellcheck disable=SC2015  # "A && B || fail" here fails when either fails
# Two clean builds of the commit checked out, each from its own clone in a
# folder of its own (committed anew there, its author date a day before its
# commit date, as a rebase or an amendment leaves a commit), the second at a
# clock moved three days ahead (and in another time zone, as another user,
# with another umask), give the same Lumidial.scr, package and SHA256SUMS,
# byte for byte. Both name the commit; their times are the commit's time
# (not its author's); with SOURCE_DATE_EPOCH set, that time.
# Where git cannot read the checkout (another user's), the build stops and
# says why; in a tree without git it says the date it takes.
#
#   CleanBuildsTest.sh <source folder> <work folder>
#
# Leaves in the work folder what the signing tests use: the first clone and
# its build (a/src, a/build) and a copy of the second build's release
# (unsigned/).
set -uo pipefail

root=$1 work=$2
# shellcheck source-path=SCRIPTDIR source=common.sh
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

head=$(git -C "$root" rev-parse --verify HEAD 2>/dev/null) ||
  fail "$root is not a git checkout: the test builds clones of its commit"
commit_time=$(git -C "$root" log -1 --format=%ct HEAD)
if [[ -n "$(git -C "$root" status --porcelain --untracked-files=no 2>/dev/null)" ]]; then
  echo "note: $root has uncommitted changes; the builds are of commit $head without them"
fi

rm -rf "$work"
mkdir -p "$work" || fail "cannot make $work"

# clone_commit DIR: the checked-out commit alone, in a repository of its
# own, committed anew: the same commit in every clone.
clone_commit() {
  git init -q "$1" &&
    git -C "$1" fetch -q --depth 1 --no-tags "$root" HEAD &&
    git -C "$1" checkout -q --detach FETCH_HEAD &&
    [[ "$(git -C "$1" rev-parse HEAD)" == "$head" ]] &&
    commit_at "$1" "$commit_time" --amend --no-edit --date="@$((commit_time - 86400)) +0000"
}

a=$work/a b=$work/b/another/place
clone_commit "$a/src" || fail "cannot clone $head into $a/src"
clone_commit "$b/lumidial-source" || fail "cannot clone $head into $b/lumidial-source"
commit=$(git -C "$a/src" rev-parse HEAD)
[[ "$(git -C "$b/lumidial-source" rev-parse HEAD)" == "$commit" ]] || fail "the clones' commits differ"

packaged "$work/a.log" "$a/build" "$a/src/dev.sh" package
msi_a=$PACKAGE

# The second build sees a clock three days ahead; the shell it runs in
# writes down the time it sees, to show that it did.
seen="$work/b-clock"
# shellcheck disable=SC2016  # expanded by that shell
packaged "$work/b.log" "$b/out/win64-second" \
  faketime -f '+3d' env TZ=Pacific/Kiritimati USER=someone-else LOGNAME=someone-else \
  bash -c 'date +%s >"$0"; umask 0077; exec "$@"' "$seen" "$b/lumidial-source/dev.sh" package
msi_b=$PACKAGE
ahead=$(($(cat "$seen") - $(date +%s)))
((ahead > 2 * 86400)) || fail "the second build's clock was not moved ahead (by $ahead s)"

release_a=$(dirname "$msi_a") release_b=$(dirname "$msi_b")
[[ "$release_a" == "$a/build/release" && "$release_b" == "$b/out/win64-second/release" ]] ||
  fail "the releases are not in the build folders' release/: $msi_a, $msi_b"
name=$(basename "$msi_a")
for file in Lumidial.scr "$name" SHA256SUMS; do
  [[ -s "$release_a/$file" ]] || fail "the first release has no $file"
  cmp -s "$release_a/$file" "$release_b/$file" || {
    cmp -l "$release_a/$file" "$release_b/$file" | head -n 20
    fail "$file differs between the two builds ($(cmp -l "$release_a/$file" "$release_b/$file" | wc -l) bytes)"
  }
done
(cd "$release_a" && sha256sum -c --strict SHA256SUMS) || fail "sha256sum -c SHA256SUMS fails"
[[ "$(awk '{ print $2 }' "$release_a/SHA256SUMS" | sort | tr '\n' ' ')" == "$name Lumidial.scr " ]] ||
  fail "SHA256SUMS does not list exactly the package and Lumidial.scr: $(cat "$release_a/SHA256SUMS")"
echo "identical: Lumidial.scr, $name, SHA256SUMS"

# The times in them are the commit's, and the package code is a name-based
# GUID (version 5), not a random one.
[[ "$(pe_time_stamp "$release_a/Lumidial.scr")" == "$commit_time" ]] ||
  fail "the PE time stamp is $(pe_time_stamp "$release_a/Lumidial.scr"), not the commit's time $commit_time"
for field in Created "Last saved"; do
  [[ "$(msi_summary "$msi_a" "$field")" == "$(utc_ctime "$commit_time")" ]] ||
    fail "the package's \"$field\" is $(msi_summary "$msi_a" "$field"), not the commit's time $(utc_ctime "$commit_time")"
done
grep -q "built from commit $commit, source date $commit_time " "$work/a.log" ||
  fail "./dev.sh package did not say the commit and source date it used: $(grep 'built from' "$work/a.log")"
strings -el "$release_a/Lumidial.scr" | grep -qx "$commit" || fail "Lumidial.scr's version block does not name $commit"
[[ "$(msi_property "$msi_a" LumidialSourceCommit)" == "$commit" ]] || fail "the package does not name $commit"
package_code=$(msi_summary "$msi_a" "Revision number (UUID)")
[[ "$package_code" =~ ^\{[0-9A-F]{8}-[0-9A-F]{4}-5[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}\}$ ]] ||
  fail "the package code $package_code is not a name-based (version 5) GUID"

mkdir -p "$work/unsigned" || fail "cannot make $work/unsigned"
cp "$release_b"/* "$work/unsigned/" || fail "cannot keep the unsigned release"

# SOURCE_DATE_EPOCH, when set, is the time instead (relinks and repackages
# the second build); a package with other content gets another package code.
epoch=1600000000
packaged "$work/b-epoch.log" "$b/out/win64-second" SOURCE_DATE_EPOCH=$epoch \
  "$b/lumidial-source/dev.sh" package
[[ "$(pe_time_stamp "$release_b/Lumidial.scr")" == "$epoch" ]] ||
  fail "with SOURCE_DATE_EPOCH=$epoch the PE time stamp is $(pe_time_stamp "$release_b/Lumidial.scr")"
[[ "$(msi_summary "$msi_b" Created)" == "$(utc_ctime "$epoch")" ]] ||
  fail "with SOURCE_DATE_EPOCH=$epoch the package was created $(msi_summary "$msi_b" Created)"
[[ "$(msi_summary "$msi_b" "Revision number (UUID)")" != "$package_code" ]] ||
  fail "a package with another Lumidial.scr kept the package code $package_code"
[[ "$(msi_property "$msi_b" UpgradeCode)" == "$(msi_property "$msi_a" UpgradeCode)" ]] ||
  fail "the upgrade code changed with the source date"

# A copy of the checkout that belongs to another user, whom git does not
# trust; nothing trusts it for git here (no global or system setting).
foreign=$work/foreign
cp -a "$a/src" "$foreign" && chown -R 12345:12345 "$foreign" ||
  fail "cannot give a copy of the checkout to another user (uid 12345): the test needs root, as CI runs it"
: >"$work/empty-gitconfig"
output=$(cd "$foreign" && clone_dev "$work/foreign-build" GIT_CONFIG_GLOBAL="$work/empty-gitconfig" \
  GIT_CONFIG_NOSYSTEM=1 ./dev.sh package 2>&1) &&
  fail "./dev.sh package succeeded in a checkout git cannot read, without SOURCE_DATE_EPOCH"
for said in "dubious ownership" "git config --global --add safe.directory $foreign" "or set SOURCE_DATE_EPOCH"; do
  [[ "$output" == *"$said"* ]] || { tail -n 25 <<<"$output"; fail "the refusal does not say \"$said\""; }
done
rm -rf "$foreign" "$work/foreign-build"
# An archive of the commit: the fixed date, said in one line, and no commit.
mkdir "$work/archive" && git -C "$a/src" archive HEAD | tar -x -C "$work/archive" || fail "cannot unpack an archive of $commit"
output=$(env -u SOURCE_DATE_EPOCH cmake -S "$work/archive" -B "$work/archive-build" \
  -DCMAKE_TOOLCHAIN_FILE="$work/archive/cmake/mingw-w64-x86_64.cmake" 2>&1 >/dev/null) || fail "cannot configure the archive"
[[ "$output" == *"1980-01-01 00:00:00 UTC"*SOURCE_DATE_EPOCH* && "$(wc -l <<<"$output")" == 1 ]] ||
  fail "the archive's build did not say in one line which date it took and what a matching rebuild needs: $output"
[[ "$(sed -n '/^--commit$/{n;p}' "$work/archive-build/installer/msi.args")" == unknown ]] ||
  fail "the archive's build names a commit"
rm -rf "$work/archive" "$work/archive-build"

echo "PASS: two clean builds of $commit are identical and name it; times from the commit or SOURCE_DATE_EPOCH, never a silent 1980"

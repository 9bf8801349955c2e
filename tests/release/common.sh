# shellcheck shell=bash
# Helpers of the release tests (source it).

fail() {
  echo "FAIL: $*"
  exit 1
}

# The PE time stamp of a Windows program, in seconds since 1970: the
# IMAGE_FILE_HEADER's TimeDateStamp, 8 bytes after the "PE\0\0" signature
# whose offset stands at 0x3C.
pe_time_stamp() {
  local pe
  pe=$(od -An -tu4 -j60 -N4 "$1" | tr -d ' ')
  od -An -tu4 -j$((pe + 8)) -N4 "$1" | tr -d ' '
}

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

# packaged LOG BUILD [ENV=VALUE...] COMMAND...: COMMAND (a clone's dev.sh
# package, or a prefix that runs it) building into BUILD, without a source
# date or a password from the test's own environment, its standard error in
# LOG. Sets PACKAGE to the package it printed; a failed packaging ends the
# test with its error.
PACKAGE=
# shellcheck disable=SC2034  # PACKAGE is for the tests that source this
packaged() {
  local log=$1 build=$2 command
  shift 2
  PACKAGE=$(env -u SOURCE_DATE_EPOCH -u LUMIDIAL_SIGN_PASSWORD LUMIDIAL_WIN64_BUILD="$build" \
    JOBS="${JOBS:-2}" "$@" 2>"$log") || {
    tail -n 30 "$log"
    command="$*"
    fail "dev.sh ${command##*dev.sh } failed: $(sed -n 's/^\[dev\] error: //p' "$log" | tail -n 1)"
  }
}

# commit_at DIR TIME ARGS...: "git commit ARGS" in DIR by the tests' own
# committer at TIME (seconds since 1970), the same commit wherever it is made.
commit_at() {
  local dir=$1 time=$2
  shift 2
  GIT_COMMITTER_DATE="@$time +0000" git -C "$dir" -c user.name="Lumidial release test" \
    -c user.email=release-test@lumidial.invalid -c commit.gpgsign=false commit -q --no-verify --allow-empty "$@"
}

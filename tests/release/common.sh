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

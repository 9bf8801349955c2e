#!/usr/bin/env bash
# shellcheck disable=SC2015  # "A && B || fail" here fails when either fails
# "./dev.sh package --sign KEY.p12" with a throwaway key and self-signed
# certificate made here: with the password in a file (written on Windows:
# CR LF, and a second line), in the environment, and for a key without one,
# each replacing the release before it whole, both Lumidial.scr and the
# package verify
# against that certificate (and not against another); SHA256SUMS checks;
# without its signature the signed Lumidial.scr is, byte for byte, the
# unsigned one of the other clean build; the package holds the signed
# Lumidial.scr, installs it under Wine's msiexec and uninstalls again.
#
#   SignedReleaseTest.sh <work folder>
#
# Uses the first clone and build of CleanBuildsTest.sh and its copy of the
# unsigned release; runs in the Windows-side session (WINEPREFIX, DISPLAY),
# whose prefix it leaves with nothing installed.
set -uo pipefail

work=$1
# shellcheck source-path=SCRIPTDIR source=common.sh
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

source_dir=$work/a/src build=$work/a/build unsigned=$work/unsigned
[[ -x "$source_dir/dev.sh" && -f "$unsigned/Lumidial.scr" ]] ||
  fail "no trial builds in $work: Release.TwoCleanBuildsOfOneCommitAreIdentical makes them"
[[ -n "${WINEPREFIX:-}" && -n "${DISPLAY:-}" ]] ||
  fail "needs the Windows-side session's Wine prefix and display (./dev.sh test starts them)"

throwaway_keys "$work"
dev=$source_dir/dev.sh

# What this test writes (osslsigncode does not overwrite a file).
rm -rf "$work/stripped.scr" "$work/stripped.msi" "$work/remade.msi" "$work/extracted" \
  "$work/dump-stripped" "$work/dump-remade"

# verifies FILE CERTIFICATE: osslsigncode accepts FILE's signature with
# CERTIFICATE as the trusted root.
verifies() { osslsigncode verify -CAfile "$2" -in "$1" >"$work/verify.log" 2>&1; }
# both_verify WHAT: the package just made and its Lumidial.scr verify
# against the signer's certificate, which osslsigncode names.
release=$build/release
both_verify() {
  local file
  for file in "$PACKAGE" "$release/Lumidial.scr"; do
    verifies "$file" signer.pem || { cat "$work/verify.log"; fail "$1: $file does not verify"; }
    grep -q "Signer's certificate:" "$work/verify.log" && grep -q "Subject: /CN=Lumidial release test" "$work/verify.log" ||
      fail "osslsigncode verify does not name the signer of $file"
  done
}

packaged "$work/sign.log" "$build" "$dev" package --sign open.p12
both_verify "signed with a key without password"
packaged "$work/sign.log" "$build" LUMIDIAL_SIGN_PASSWORD='correct horse battery' "$dev" package --sign signer.p12
both_verify "password from the environment"

# The release as a user gets it, with the password in a file.
packaged "$work/sign.log" "$build" "$dev" package --sign signer.p12 --password-file password-crlf
msi=$PACKAGE name=$(basename "$PACKAGE")
[[ "$msi" == "$release/$name" ]] || fail "the package is $msi, not in $release"
[[ "$(cd "$release" && echo *)" == "$name Lumidial.scr SHA256SUMS" ]] ||
  fail "the release holds $(cd "$release" && echo *), not the package, Lumidial.scr and SHA256SUMS"
[[ -d "$release" && ! -L "$release" && -z "$(find "$build" -maxdepth 1 -name '.release.*')" ]] ||
  fail "after three releases $release is not a plain folder, or a previous one is left beside it"
(cd "$release" && sha256sum -c --strict SHA256SUMS) || fail "sha256sum -c SHA256SUMS fails"
both_verify "password in a file"
for file in "$msi" "$release/Lumidial.scr"; do
  verifies "$file" other.pem && fail "$file verifies against a certificate that did not sign it"
done
echo "signed: both files verify against the signer's certificate only; SHA256SUMS checks"

cmp -s "$release/Lumidial.scr" "$unsigned/Lumidial.scr" && fail "the signed Lumidial.scr is the unsigned one"
osslsigncode remove-signature -in "$release/Lumidial.scr" -out "$work/stripped.scr" >/dev/null ||
  fail "osslsigncode remove-signature failed"
cmp "$work/stripped.scr" "$unsigned/Lumidial.scr" ||
  fail "the signed Lumidial.scr without its signature is not the other build's unsigned one"
echo "stripped: the signed Lumidial.scr without its signature is the unsigned one, byte for byte"

# The package: the signed saver inside, another package code than the
# unsigned package's, the same product and upgrade codes.
mkdir "$work/extracted" && (cd "$work/extracted" && msiextract "$msi" >/dev/null) ||
  fail "msiextract could not unpack $msi"
packed=$(find "$work/extracted" -name Lumidial.scr)
[[ -n "$packed" ]] && cmp -s "$packed" "$release/Lumidial.scr" || fail "the package does not hold the signed Lumidial.scr"
[[ "$(msi_summary "$msi" "Revision number (UUID)")" != "$(msi_summary "$unsigned/$name" "Revision number (UUID)")" ]] ||
  fail "the signed and the unsigned package have the same package code"
# Its signature stripped, the package has the tables and streams of the
# package made from the signed Lumidial.scr (osslsigncode rewrites the
# compound file around them, so the bytes differ): the check docs/releases.md gives.
osslsigncode remove-signature -in "$msi" -out "$work/stripped.msi" >/dev/null ||
  fail "osslsigncode remove-signature failed on the package"
package_of "$release/Lumidial.scr" "$work/remade.msi" || fail "package.py failed"
mkdir "$work/dump-stripped" "$work/dump-remade" &&
  msidump -s -t -d "$work/dump-stripped" "$work/stripped.msi" >/dev/null &&
  msidump -s -t -d "$work/dump-remade" "$work/remade.msi" >/dev/null || fail "msidump failed"
diff -r "$work/dump-stripped" "$work/dump-remade" ||
  fail "the signed package without its signature is not the package of the signed Lumidial.scr"
product_code=$(msi_property "$msi" ProductCode)
for property in ProductCode UpgradeCode ProductVersion; do
  [[ -n "$(msi_property "$msi" $property)" && "$(msi_property "$msi" $property)" == "$(msi_property "$unsigned/$name" $property)" ]] ||
    fail "$property differs between the signed and the unsigned package"
done

# Installed and removed as an administrator deploys it. Shortcuts would make
# Wine's menu builder write desktop entries outside the prefix: off meanwhile.
installed=$WINEPREFIX/drive_c/windows/system32/Lumidial.scr
uninstall_key="HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$product_code"
[[ ! -e "$installed" ]] || fail "a Lumidial.scr is installed before the test: $installed"
wine_package=$(winepath -w "$msi" 2>/dev/null)
[[ -n "$wine_package" ]] || fail "winepath cannot name $msi"
msiexec() { timeout 300 wine msiexec "$@" /qn >/dev/null 2>&1; }
cleanup() {
  if [[ -e "$installed" ]]; then msiexec /x "$wine_package"; fi
  timeout 60 wine reg delete 'HKCU\Software\Wine\DllOverrides' /v winemenubuilder.exe /f >/dev/null 2>&1
}
trap cleanup EXIT
timeout 60 wine reg add 'HKCU\Software\Wine\DllOverrides' /v winemenubuilder.exe /t REG_SZ /d '' /f \
  >/dev/null 2>&1 || fail "could not switch Wine's menu builder off"

msiexec /i "$wine_package" # its exit status is cut to 8 bits under Wine: judged by what it did
[[ -f "$installed" ]] || fail "msiexec /i did not install $installed"
cmp -s "$installed" "$release/Lumidial.scr" || fail "the installed Lumidial.scr is not the signed one"
verifies "$installed" signer.pem || fail "the installed Lumidial.scr does not verify"
timeout 60 wine reg query "$uninstall_key" >/dev/null 2>&1 || fail "no installed-programs entry $uninstall_key"
msiexec /x "$wine_package"
[[ ! -e "$installed" ]] || fail "msiexec /x left $installed"
timeout 60 wine reg query "$uninstall_key" >/dev/null 2>&1 && fail "msiexec /x left the entry $uninstall_key"
echo "PASS: the signed release verifies, strips to the unsigned build, installs its signed saver and uninstalls"

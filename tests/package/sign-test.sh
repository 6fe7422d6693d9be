#!/usr/bin/env bash
# Signed releases: a copy of the install folder and its package signed through
# the build's own path (scripts/make-msi.sh with PAVO_SIGN_PFX) with a
# throw-away certificate, checked with osslsigncode, then installed, run and
# uninstalled by PackageTest.
#
#   sign-test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=${1:?usage: sign-test.sh BUILD_DIR SOURCE_DIR}
source_dir=${2:?usage: sign-test.sh BUILD_DIR SOURCE_DIR}

work=$(mktemp -d /tmp/pavo-sign-test.XXXXXX)
trap 'rm -rf "$work"' EXIT
fail() { echo "sign-test: FAILED: $*" >&2; exit 1; }
# Wine's Z: drive is the Linux root.
windows_path() { local path=${1//\//\\}; echo "Z:$path"; }

openssl req -x509 -newkey rsa:2048 -sha256 -nodes -days 2 -subj "/CN=Pavo Throw-away Signing" \
    -addext "keyUsage=critical,digitalSignature" -addext "extendedKeyUsage=codeSigning" \
    -keyout "$work/key.pem" -out "$work/cert.pem" 2>/dev/null
openssl pkcs12 -export -inkey "$work/key.pem" -in "$work/cert.pem" -out "$work/sign.pfx" -passout pass:throw-away

cp -r "$build/dist" "$work/dist"
rm -rf "$work/dist/Log" "$work/dist/config"
version=$(msiinfo export "$build/package/PavoAgent.msi" Property | awk -F'\t' '$1 == "ProductVersion" { print $2 }')
[ -n "$version" ] || fail "no version in $build/package/PavoAgent.msi"
PAVO_SIGN_PFX=$work/sign.pfx PAVO_SIGN_PASSWORD=throw-away \
    bash "$source_dir/scripts/make-msi.sh" "$work/dist" "$source_dir/deploy/package/PavoAgent.wxs" "$version" \
    "$work/package/PavoAgent.msi" "$build/bin/PavoSetup.dll" | grep -v unimplemented || true
[ -f "$work/package/PavoAgent.msi" ] || fail "no signed package"

verify() { osslsigncode verify -CAfile "$work/cert.pem" -in "$1" >"$work/verify.log" 2>&1; }
for file in "$work/dist/PavoAgent.exe" "$work/dist/PavoService.exe" "$work/package/PavoAgent.msi"; do
    verify "$file" || { cat "$work/verify.log" >&2; fail "$(basename "$file") does not verify"; }
    grep -q "Pavo Throw-away Signing" "$work/verify.log" || fail "$(basename "$file") is not signed by the test certificate"
done
echo "sign-test: both programs and the package verify"

# The check means something: the build's own package is unsigned, and a signed
# program changed after signing fails.
verify "$build/package/PavoAgent.msi" && fail "the default build's package carries a signature"
cp "$work/dist/PavoAgent.exe" "$work/changed.exe"
printf 'X' | dd of="$work/changed.exe" bs=1 seek=4096 conv=notrunc 2>/dev/null
verify "$work/changed.exe" && fail "a program changed after signing still verifies"

# The signed programs, installed from the signed package, pass the install test.
package=$(windows_path "$work/package/PavoAgent.msi")
PAVO_TEST_PACKAGE=$package PAVO_TEST_DIST=$(windows_path "$work/dist") \
PAVO_TEST_TIMEOUT=240 PAVO_WINEDLLOVERRIDES="winemenubuilder.exe=d" \
    bash "$source_dir/scripts/wine-run.sh" "$build/bin/PackageTest.exe" --gtest_color=no \
    --gtest_filter=PackageTest.InstallsRunsTheServiceAndUninstallsKeepingUserData 2>&1 | tee "$work/install-test.log"
[ "${PIPESTATUS[0]}" = 0 ] || fail "the signed package does not pass the install test"
grep -qF "package under test: $package" "$work/install-test.log" || fail "the install test did not take the signed package"
echo "sign-test: passed"

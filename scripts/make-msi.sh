#!/usr/bin/env bash
# Builds the installer package from the staged install folder.
#
#   scripts/make-msi.sh DIST_DIR PACKAGE.wxs VERSION OUTPUT.msi SETUP.dll
#
# SETUP.dll holds the package's custom actions; it goes into the package's
# Binary table, not into the install folder.
#
# Everything in DIST_DIR except the two programs (which PACKAGE.wxs names
# itself) goes into a fragment generated here with wixl-heat, so a data folder
# that appears in the install folder (skin/, font/, ...) is packaged without
# touching PACKAGE.wxs. Files the programs write at run time (Log/, config/)
# are never packaged. Nothing is rebuilt when the inputs are unchanged.
#
# With PAVO_SIGN_PFX set (scripts/sign.sh) both programs in DIST_DIR and the
# package are signed; without it nothing is, and a program left signed by an
# earlier build loses its signature.
set -euo pipefail

dist=${1:?usage: make-msi.sh DIST_DIR PACKAGE.wxs VERSION OUTPUT.msi SETUP.dll}
wxs=${2:?usage: make-msi.sh DIST_DIR PACKAGE.wxs VERSION OUTPUT.msi SETUP.dll}
version=${3:?usage: make-msi.sh DIST_DIR PACKAGE.wxs VERSION OUTPUT.msi SETUP.dll}
out=${4:?usage: make-msi.sh DIST_DIR PACKAGE.wxs VERSION OUTPUT.msi SETUP.dll}
setup_dll=${5:?usage: make-msi.sh DIST_DIR PACKAGE.wxs VERSION OUTPUT.msi SETUP.dll}
[ -f "$setup_dll" ] || { echo "make-msi: $setup_dll is missing" >&2; exit 1; }

for program in PavoAgent.exe PavoService.exe; do
    [ -f "$dist/$program" ] || { echo "make-msi: $dist/$program is missing" >&2; exit 1; }
done

absolute() { echo "$(cd "$(dirname "$1")" && pwd)/$(basename "$1")"; }
dist=$(absolute "$dist")
wxs=$(absolute "$wxs")
setup_dll=$(absolute "$setup_dll")
# Packages of the same install folder are made one at a time: signing
# rewrites the programs that another one may be reading.
exec 9>"$dist.lock"
flock 9
mkdir -p "$(dirname "$out")"
out=$(absolute "$out")
work=$out.d
mkdir -p "$work"

# The programs are signed before the package is made of them. A program is
# signed again when it was relinked (it has no signature) or the certificate
# changed.
if [ -n "${PAVO_SIGN_PFX:-}" ]; then
    [ -f "$PAVO_SIGN_PFX" ] || { echo "make-msi: $PAVO_SIGN_PFX (PAVO_SIGN_PFX) is missing" >&2; exit 1; }
    signing_key=$(sha256sum < "$PAVO_SIGN_PFX" | cut -d' ' -f1)
    for program in PavoAgent.exe PavoService.exe; do
        if [ "$(cat "$dist.signing-key" 2>/dev/null)" != "$signing_key" ] ||
            ! osslsigncode extract-signature -in "$dist/$program" -out "$work/signature.der" >/dev/null 2>&1; then
            bash "$(dirname "$0")/sign.sh" "$dist/$program"
        fi
        rm -f "$work/signature.der"
    done
    echo "$signing_key" > "$dist.signing-key"
else
    signing_key=unsigned
    rm -f "$dist.signing-key"
    for program in PavoAgent.exe PavoService.exe; do
        if osslsigncode extract-signature -in "$dist/$program" -out "$work/signature.der" >/dev/null 2>&1; then
            osslsigncode remove-signature -in "$dist/$program" -out "$dist/$program.unsigned" >/dev/null
            chmod --reference="$dist/$program" "$dist/$program.unsigned"
            mv -f "$dist/$program.unsigned" "$dist/$program"
            echo "make-msi: removed the signature of $program (PAVO_SIGN_PFX is not set)"
        fi
        rm -f "$work/signature.der"
    done
fi

# Relative paths: wixl resolves sources against the current folder (and
# takes no absolute path for a Binary).
data_files() {
    (cd "$dist" && find . -type f ! -path './Log/*' ! -path './config/*' \
        ! -path './PavoAgent.exe' ! -path './PavoService.exe' | LC_ALL=C sort)
}

# What the package is made of: file names, sizes and times, the package
# source, this script and the version.
signature=$( {
    echo "$version $signing_key"
    (cd "$dist" && data_files | while IFS= read -r f; do stat -c '%n %s %Y' "$f"; done
        stat -c '%n %s %Y' PavoAgent.exe PavoService.exe)
    sha256sum "$wxs" "$0" "$setup_dll" | cut -d' ' -f1
} | sha256sum | cut -d' ' -f1)
if [ -f "$out" ] && [ "$(cat "$work/signature" 2>/dev/null)" = "$signature" ]; then
    exit 0
fi

data_files | wixl-heat --var var.DistDir --prefix ./ --directory-ref INSTALLDIR --component-group DistData --win64 \
    > "$work/DistData.wxs"
rm -f "$out" "$work/signature"
# wixl reports unsupported attributes as "unimplemented" and carries on;
# anything else it prints is an error.
(cd "$dist" && wixl --arch x64 -D Version="$version" -D DistDir=. -D SetupDll="$(realpath --relative-to="$dist" "$setup_dll")" -D Win64=yes \
    -o "$out.tmp" "$wxs" "$work/DistData.wxs")

# wixl drops the rollback flags of Execute="rollback" and would leave such an
# action to run at once, in the immediate sequence. Rollback actions are named
# "Rollback..."; give them the in-script (1024) and rollback (256) flags.
rollback_flags=1280
msiinfo export "$out.tmp" CustomAction | tail -n +4 | while IFS=$'\t' read -r action type _; do
    case $action in
    Rollback*)
        msibuild "$out.tmp" -q "UPDATE \`CustomAction\` SET \`Type\` = $((type | rollback_flags)) WHERE \`Action\` = '$action'"
        ;;
    esac
done
unflagged=$(msiinfo export "$out.tmp" CustomAction | tail -n +4 | while IFS=$'\t' read -r action type _; do
    case $action in Rollback*) [ $((type & rollback_flags)) = $rollback_flags ] || echo "$action" ;; esac
done)
[ -z "$unflagged" ] || { echo "make-msi: could not mark as rollback actions: $unflagged" >&2; exit 1; }
# The administrator's settings must reach the installation's server side
# even when a user without administrator rights starts a managed install;
# wixl has no Secure="yes", so they are added to SecureCustomProperties here.
secure=$(msiinfo export "$out.tmp" Property | awk -F'\t' '$1 == "SecureCustomProperties" { print $2 }')
secure="${secure:+$secure;}SERVER_URL;REMOTE_ASSIST_URL;SERVER_CERT_SHA256"
if msiinfo export "$out.tmp" Property | grep -q '^SecureCustomProperties'; then
    msibuild "$out.tmp" -q "UPDATE \`Property\` SET \`Value\` = '$secure' WHERE \`Property\` = 'SecureCustomProperties'"
else
    msibuild "$out.tmp" -q "INSERT INTO \`Property\` (\`Property\`, \`Value\`) VALUES ('SecureCustomProperties', '$secure')"
fi

[ "$signing_key" = unsigned ] || bash "$(dirname "$0")/sign.sh" "$out.tmp"
mv -f "$out.tmp" "$out"
echo "$signature" > "$work/signature"
echo "make-msi: $out ($version, $(data_files | wc -l) data files)"

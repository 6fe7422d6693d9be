#!/usr/bin/env bash
# Signs files in place with osslsigncode (Authenticode, SHA-256): programs,
# DLLs and installer packages.
#
#   PAVO_SIGN_PFX=cert.pfx [PAVO_SIGN_PASSWORD=...] [PAVO_SIGN_TIMESTAMP_URL=http://...] \
#       scripts/sign.sh FILE...
#
# PAVO_SIGN_PFX names a PKCS#12 file with the code-signing certificate, its
# key and any intermediate certificates; PAVO_SIGN_PASSWORD is its password;
# PAVO_SIGN_TIMESTAMP_URL an RFC 3161 time-stamp server, so that signatures
# stay valid after the certificate expires. A file that is already signed is
# signed again: the new signature replaces the old one.
set -euo pipefail

pfx=${PAVO_SIGN_PFX:?sign.sh: set PAVO_SIGN_PFX to the signing certificate (.pfx)}
[ -f "$pfx" ] || { echo "sign.sh: $pfx (PAVO_SIGN_PFX) is missing" >&2; exit 1; }
command -v osslsigncode >/dev/null || { echo "sign.sh: osslsigncode is missing (Debian package osslsigncode)" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
args=(-pkcs12 "$pfx" -h sha256 -n "Pavo Integration Agent")
# From a file, so that the password never shows in the process list.
if [ -n "${PAVO_SIGN_PASSWORD:-}" ]; then
    (umask 077 && printf '%s' "$PAVO_SIGN_PASSWORD" > "$work/password")
    args+=(-readpass "$work/password")
fi
[ -z "${PAVO_SIGN_TIMESTAMP_URL:-}" ] || args+=(-ts "$PAVO_SIGN_TIMESTAMP_URL")

for file in "$@"; do
    # Signed beside the file, then moved over it in one step.
    signing=$file.signing
    if ! osslsigncode sign "${args[@]}" -in "$file" -out "$signing" > "$work/log" 2>&1; then
        rm -f "$signing"
        cat "$work/log" >&2
        echo "sign.sh: could not sign $file" >&2
        exit 1
    fi
    chmod --reference="$file" "$signing"
    mv -f "$signing" "$file"
    echo "sign.sh: signed $file"
done

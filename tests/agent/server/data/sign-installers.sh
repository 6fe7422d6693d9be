#!/usr/bin/env bash
# Makes a throw-away code-signing root and publisher, and from the fake
# installer the signed test installers: one signed, one signed and then
# changed, one never signed. Beside them: the root (test-root.cer, DER),
# the publisher's thumbprints and name (signer.txt) and every installer's
# SHA-256 (sha256.txt), the copies made before it included.
#
#   sign-installers.sh FAKE_INSTALLER.exe OUTPUT_FOLDER
set -euo pipefail
installer=${1:?usage: sign-installers.sh FAKE_INSTALLER.exe OUTPUT_FOLDER}
out=${2:?usage: sign-installers.sh FAKE_INSTALLER.exe OUTPUT_FOLDER}
work=$(mktemp -d "${TMPDIR:-/tmp}/pavo-sign.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$out"

openssl req -x509 -newkey rsa:2048 -nodes -days 30 -subj "/CN=Pavo Test Code Root" \
    -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" \
    -keyout "$work/root.key" -out "$work/root.pem" 2>/dev/null
openssl req -newkey rsa:2048 -nodes -subj "/CN=Pavo Test Publisher" \
    -keyout "$work/signer.key" -out "$work/signer.csr" 2>/dev/null
printf 'basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=codeSigning\n' >"$work/ext"
openssl x509 -req -in "$work/signer.csr" -CA "$work/root.pem" -CAkey "$work/root.key" -CAcreateserial \
    -days 30 -extfile "$work/ext" -out "$work/signer.pem" 2>/dev/null
cat "$work/signer.pem" "$work/root.pem" >"$work/chain.pem"

sign() {
    rm -f "$2"
    osslsigncode sign -certs "$work/chain.pem" -key "$work/signer.key" -h sha256 -in "$1" -out "$2" >/dev/null
}
sign "$installer" "$out/s~svc=PavoPkgTestS.exe"
# Changed after signing, where the loader does not look (the DOS stub's text):
# the program still runs, only its signature no longer matches.
sign "$installer" "$work/changed.exe"
perl -0777 -pe 's/This program cannot/This program c4nnot/' "$work/changed.exe" >"$out/t~svc=PavoPkgTestT.exe"
cmp -s "$work/changed.exe" "$out/t~svc=PavoPkgTestT.exe" && { echo "sign-installers: nothing changed" >&2; exit 1; }
cp -f "$installer" "$out/u~svc=PavoPkgTestU.exe"

openssl x509 -in "$work/root.pem" -outform DER -out "$out/test-root.cer"
{
    echo "sha1=$(openssl x509 -in "$work/signer.pem" -noout -fingerprint -sha1 | sed 's/.*=//; s/://g' | tr A-F a-f)"
    echo "sha256=$(openssl x509 -in "$work/signer.pem" -outform DER | sha256sum | cut -d' ' -f1)"
    echo "cn=Pavo Test Publisher"
} >"$out/signer.txt"
(cd "$out" && sha256sum -- *.exe) >"$out/sha256.txt"

#!/usr/bin/env bash
# The suite's release zips of one built architecture: unsigned, and signed
# with a throwaway self-signed certificate (its certificate is kept beside
# the signed zips for the verification).
set -euo pipefail
top=$1 build=$2 arch=$3 out=$4
rm -rf "$out"
mkdir -p "$out/unsigned" "$out/signed"
"$top/scripts/release" --package "$arch" "$build" "$out/unsigned"
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Verrand test signer" \
    -addext extendedKeyUsage=codeSigning -keyout "$out/key.pem" -out "$out/signed/cert.pem" 2>/dev/null
VERRAND_SIGN_CERT=$out/signed/cert.pem VERRAND_SIGN_KEY=$out/key.pem \
    "$top/scripts/release" --package "$arch" "$build" "$out/signed"
ls -l "$out"/*/*.zip

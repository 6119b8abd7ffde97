#!/bin/sh
# Signs each executable the pack tests packed, as an author does after
# packing, with the test certificates sign_installers.sh made, and verifies
# the signature against their root:
#   sign_packed.sh CERTIFICATES PACKED
set -eu
certificates=$1
found=0
for exe in "$2"/*/*.exe; do
    [ -f "$exe" ] || continue
    found=$((found + 1))
    rm -f "$exe.signed"
    osslsigncode sign -certs "$certificates/foreign.chain.pem" -key "$certificates/foreign.key" \
        -h sha256 -in "$exe" -out "$exe.signed" >/dev/null
    osslsigncode verify -CAfile "$certificates/test-root.pem" -in "$exe.signed" >/dev/null
    echo "signed and verified: $exe"
done
[ "$found" -gt 0 ] || { echo "nothing packed in $2" >&2; exit 1; }

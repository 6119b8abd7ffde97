#!/bin/sh
# Signs copies of the fake installer for the trust tests, at test time:
#   sign_installers.sh fake_installer.exe OUTDIR
# OUTDIR gets root.der (the test root the tests trust) and the fake installer
# signed by a code-signing certificate of that root for the vendor's
# organisation (vendor.exe) and for another organisation (foreign.exe). No
# certificate names a revocation list.
set -eu
installer=$1
out=$2
rm -rf "$out"
mkdir -p "$out"
cd "$out"

cat >leaf.ext <<'END'
basicConstraints=critical,CA:FALSE
keyUsage=critical,digitalSignature
extendedKeyUsage=codeSigning
END

root() { # NAME: a self-signed root that may sign certificates
    openssl req -x509 -newkey rsa:2048 -nodes -sha256 -days 3650 -keyout "$1.key" -out "$1.pem" \
        -subj "/O=Lanternshell Test/CN=$1" \
        -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" \
        2>/dev/null
}
sign() { # ROOT ORGANISATION OUTPUT: the installer signed by a new leaf of ROOT
    openssl req -newkey rsa:2048 -nodes -sha256 -keyout "$3.key" -out "$3.csr" \
        -subj "/O=$2/CN=$2 test signing" 2>/dev/null
    openssl x509 -req -in "$3.csr" -CA "$1.pem" -CAkey "$1.key" -CAcreateserial -days 3650 \
        -sha256 -extfile leaf.ext -out "$3.pem" 2>/dev/null
    cat "$3.pem" "$1.pem" >"$3.chain.pem"
    osslsigncode sign -certs "$3.chain.pem" -key "$3.key" -h sha256 -in "$installer" \
        -out "$3.exe" >/dev/null
}

root test-root
sign test-root "Microsoft Corporation" vendor
sign test-root "Other Games Ltd" foreign
openssl x509 -in test-root.pem -outform DER -out root.der

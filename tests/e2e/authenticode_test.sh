#!/usr/bin/env bash
# scripts/sign-setup.sh against a throwaway CA made here: Setup.exe signed from a PKCS #12 file
# and from a key and certificate verifies against that CA, a signature from another CA does
# not, a refused signing leaves Setup.exe as it was, and a signed Setup runs a whole e2e case.
#   authenticode_test.sh SIGN_SCRIPT SETUP_EXE E2E_SETUP_EXE E2E_COMMAND...
# E2E_COMMAND is e2e_test.py with every argument but --setup, which this test appends.
set -euo pipefail
sign=$(realpath "$1")
setup=$(realpath "$2")
e2e_setup=$(realpath "$3")
shift 3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
status=0
fail() {
  echo "FAIL: $*" >&2
  status=1
}

quietly() {
  "$@" >/dev/null 2>openssl.log || { cat openssl.log >&2; exit 1; }
}

# make_ca NAME CN
make_ca() {
  quietly openssl req -x509 -newkey rsa:2048 -nodes -keyout "$1.key" -out "$1.pem" -days 2 -subj "/CN=$2" \
    -addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign
}

# issue NAME CA CN EXTENDED_KEY_USAGE
issue() {
  printf 'basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=%s\n' "$4" >"$1.ext"
  quietly openssl req -newkey rsa:2048 -nodes -keyout "$1.key" -out "$1.csr" -subj "/CN=$3"
  quietly openssl x509 -req -in "$1.csr" -CA "$2.pem" -CAkey "$2.key" -CAcreateserial -days 2 \
    -extfile "$1.ext" -out "$1.pem"
}

make_ca ca 'Websetup Test CA'
make_ca other-ca 'Websetup Other CA'
issue vendor ca 'Websetup Test Vendor' codeSigning
issue stranger other-ca 'Websetup Stranger' codeSigning
issue server ca 'Websetup Test Server' serverAuth
export TEST_P12_PASSWORD='p12 pass phrase'
quietly openssl pkcs12 -export -inkey vendor.key -in vendor.pem -passout env:TEST_P12_PASSWORD -out vendor.p12
echo 'key pass phrase' >key.pass
quietly openssl pkey -in vendor.key -aes256 -passout file:key.pass -out vendor.enc.key

# From the PKCS #12 file into --out: the vendor's name, SHA-256 and the texts are in the
# signature, and the input stays unsigned.
cp "$setup" Setup.exe
"$sign" --pkcs12 vendor.p12 --pass-env TEST_P12_PASSWORD -n 'Websetup Test' -i https://vendor.websetup.test/ \
  --ca ca.pem -o p12.exe Setup.exe || fail "signing from the PKCS #12 file failed"
cmp -s Setup.exe "$setup" || fail "signing into --out changed the input"
osslsigncode verify -CAfile ca.pem -in p12.exe >verify.txt 2>&1 || fail "p12.exe does not verify against the test CA"
for line in 'Subject: /CN=Websetup Test Vendor' 'Message digest algorithm  : SHA256' \
  'Text description: Websetup Test' 'URL description: https://vendor.websetup.test/'; do
  grep -qF "$line" verify.txt || fail "the signature of p12.exe has no line '$line'"
done

# In place with an encrypted PEM key; removing the signature gives back the built bytes.
cp "$setup" inplace.exe
"$sign" --cert vendor.pem --key vendor.enc.key --pass-file key.pass --ca ca.pem inplace.exe ||
  fail "signing in place with the key and certificate failed"
osslsigncode verify -CAfile ca.pem -in inplace.exe >/dev/null 2>&1 || fail "inplace.exe does not verify against the test CA"
osslsigncode remove-signature -in inplace.exe -out removed.exe >/dev/null 2>&1
cmp -s removed.exe "$setup" || fail "removing the signature does not give back the unsigned Setup.exe"

# Signed by another CA's certificate: good against that CA, refused against the test CA.
"$sign" --cert stranger.pem --key stranger.key --ca other-ca.pem -o stranger.exe Setup.exe >/dev/null ||
  fail "signing with the other CA's certificate failed"
if osslsigncode verify -CAfile ca.pem -in stranger.exe >/dev/null 2>&1; then
  fail "a signature from another CA verifies against the test CA"
fi

# refused MESSAGE FILE SIGN_ARGS...: signing FILE (in refused/, a copy of Setup.exe unless
# it is there already) fails with MESSAGE on stderr and leaves the folder exactly as it was.
mkdir refused
refused() {
  local message=$1 file=refused/$2 before
  shift 2
  [ -e "$file" ] || cp "$setup" "$file"
  before=$(ls -lA --time-style=full-iso refused; md5sum refused/*)
  if "$sign" "$@" "$file" 2>err.txt; then
    fail "signing $file with $* succeeded"
  fi
  grep -qF -- "$message" err.txt || fail "signing $file with $*: no '$message' in: $(cat err.txt)"
  [ "$(ls -lA --time-style=full-iso refused; md5sum refused/*)" = "$before" ] ||
    fail "refused signing with $* changed refused/: $(ls -A refused)"
}
refused 'does not verify against ca.pem; refused/Setup.exe is unchanged' Setup.exe \
  --cert stranger.pem --key stranger.key --ca ca.pem
refused 'does not verify against ca.pem' Setup.exe --cert server.pem --key server.key --ca ca.pem
refused 'wrong password for vendor.p12' Setup.exe --pkcs12 vendor.p12 --pass-file key.pass --ca ca.pem
refused 'cannot read the key vendor.enc.key' Setup.exe --cert vendor.pem --key vendor.enc.key --ca ca.pem
refused 'no timestamp from http://127.0.0.1:9/' Setup.exe --cert vendor.pem --key vendor.key \
  -ts http://127.0.0.1:9/ --ca ca.pem
refused '--cert missing.pem: no such file' Setup.exe --cert missing.pem --key vendor.key
cp ca.pem refused/NotAProgram.exe
refused 'refused/NotAProgram.exe is not a Windows program (PE file)' NotAProgram.exe \
  --cert vendor.pem --key vendor.key --ca ca.pem

# The signed e2e Setup through one whole run.
mkdir signed-e2e
if "$sign" --cert vendor.pem --key vendor.key --ca ca.pem -o signed-e2e/Setup_e2e.exe "$e2e_setup"; then
  "$@" --setup "$work/signed-e2e/Setup_e2e.exe" || fail "the signed Setup failed its end-to-end case"
else
  fail "signing the e2e Setup failed"
fi
[ $status = 0 ] && echo "authenticode_test: all checks passed"
exit $status

#!/usr/bin/env bash
# EIF files against plain OpenSSL, both directions, with a fresh 2048-bit key: OpenSSL packs
# and eiftool loads; eiftool packs and OpenSSL decrypts; eiftool's keys read in OpenSSL.
# Catches any drift from RSAES-OAEP with SHA-1/MGF1-SHA-1, the block layout or the key forms.
# Then the vendor's signing and hashing: Ed25519 keys and signatures made by either side work
# in the other, and "File Hashes" holds exactly sha256sum's lines.
set -euo pipefail
eiftool=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
sig='Interop-Test1'
oaep=(-pkeyopt rsa_padding_mode:oaep -pkeyopt rsa_oaep_md:sha1 -pkeyopt rsa_mgf1_md:sha1)

fail() { echo "FAIL: $*" >&2; exit 1; }

openssl genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:2048 -out key.pem 2>/dev/null
openssl pkey -in key.pem -pubout -out public.pem
openssl pkcs8 -topk8 -nocrypt -in key.pem -outform DER | od -An -v -tx1 | tr -d ' \n' | tr a-f A-F >private.hex

# A description longer than one block (m = 256 - 42 = 214 bytes for 2048 bits).
{
  printf '[Download Sites]\r\none.example\r\ntwo.example\r\n[Program to run]setup.exe\r\n'
  printf '[User Info Filename]info.txt\r\n[Files to download]\r\n'
  for i in $(seq 1 12); do printf '/files/part%02d.bin -> part%02d.bin\r\n' "$i" "$i"; done
  printf '/files/setup.exe -> setup.exe\r\n'
  printf '[End]\r\nEnd\r\n'
} >description.txt
size=$(stat -c %s description.txt)
[ "$size" -gt 214 ] || fail "description too short to span blocks"

# OpenSSL -> eiftool: one piece of at most m bytes at a time.
printf '%s\0' "$sig" >openssl.eif
split -b 214 -d -a 3 description.txt piece.
for piece in piece.*; do
  openssl pkeyutl -encrypt -pubin -inkey public.pem "${oaep[@]}" -in "$piece" >>openssl.eif
done
"$eiftool" check --private-key private.hex --signature "$sig" openssl.eif >check.out || { cat check.out; fail "check refused the OpenSSL file"; }
grep -q '^Loads: yes' check.out || fail "check did not load the OpenSSL file"
grep -q '12\. /files/part12.bin -> part12.bin' check.out || fail "check lost files"
grep -q '2\. two.example' check.out || fail "check lost sites"
"$eiftool" unpack --private-key private.hex --signature "$sig" openssl.eif unpacked.txt
cmp -s description.txt unpacked.txt || fail "unpack of the OpenSSL file differs"

# eiftool -> OpenSSL: each 256-byte block decrypts to the next piece.
"$eiftool" pack --public-key public.pem --signature "$sig" description.txt eiftool.eif
[ "$(head -c 13 eiftool.eif)" = "$sig" ] || fail "signature not at the start"
tail -c +15 eiftool.eif >cipher.bin
[ $(( $(stat -c %s cipher.bin) % 256 )) -eq 0 ] || fail "cipher part not whole 256-byte blocks"
split -b 256 -d -a 3 cipher.bin block.
: >decrypted.txt
for block in block.*; do
  openssl pkeyutl -decrypt -inkey key.pem "${oaep[@]}" -in "$block" >>decrypted.txt
done
cmp -s description.txt decrypted.txt || fail "OpenSSL decryption of eiftool's file differs"

# eiftool keygen output is what OpenSSL reads as PKCS #8 DER and a PEM public key.
"$eiftool" keygen --bits 2048 own.hex own.pem
printf "$(tr -d '\n' <own.hex | sed 's/../\\x&/g')" >own.der
openssl pkey -inform DER -in own.der -pubout | cmp -s - own.pem || fail "keygen halves do not match in OpenSSL"
[ "$(tr -d '\n' <own.hex)" = "$(tr -d '\n' <own.hex | tr a-f A-F)" ] || fail "private key hex is not upper-case"

# Ed25519: a key made by OpenSSL signs in eiftool, byte for byte as OpenSSL signs, and OpenSSL
# verifies the result; a key made by eiftool is the same key to OpenSSL.
openssl genpkey -algorithm ed25519 -out openssl-signing.pem
openssl pkey -in openssl-signing.pem -pubout -out openssl-signing.pub.pem
"$eiftool" sign --signing-key openssl-signing.pem eiftool.eif
openssl pkeyutl -sign -rawin -inkey openssl-signing.pem -in eiftool.eif -out openssl.sig
cmp -s eiftool.eif.sig openssl.sig || fail "eiftool's signature differs from OpenSSL's"
openssl pkeyutl -verify -rawin -pubin -inkey openssl-signing.pub.pem -in eiftool.eif -sigfile eiftool.eif.sig \
  >/dev/null || fail "OpenSSL rejects eiftool's signature"
"$eiftool" keygen --signing own-signing.pem own-signing.pub.pem
[ "$(stat -c %a own-signing.pem)" = 600 ] || fail "signing key readable by others"
openssl pkey -in own-signing.pem -pubout | cmp -s - own-signing.pub.pem || fail "signing key halves differ in OpenSSL"
openssl pkeyutl -sign -rawin -inkey own-signing.pem -in eiftool.eif -out eiftool.eif.sig
"$eiftool" check --private-key private.hex --signature "$sig" --signing-public-key own-signing.pub.pem \
  eiftool.eif >check.out || { cat check.out; fail "check refused OpenSSL's signature by eiftool's key"; }
grep -q '^Signature: valid' check.out || fail "check did not verify the signature"
printf 'x' >>eiftool.eif
if "$eiftool" check --private-key private.hex --signature "$sig" --signing-public-key own-signing.pub.pem \
  eiftool.eif >check.out; then fail "check accepted a signature of other bytes"; fi

# pack --hashes writes sha256sum's own lines for the listed files, which check then accepts.
mkdir payload
for i in $(seq 1 12); do head -c "$((i * 1000))" /dev/urandom >"payload/part$(printf %02d "$i").bin"; done
printf 'final setup' >payload/setup.exe
"$eiftool" pack --public-key public.pem --signature "$sig" --hashes payload description.txt hashed.eif
"$eiftool" unpack --private-key private.hex --signature "$sig" hashed.eif hashed.txt
names=$(sed -n 's/^.* -> \(.*\)\r$/\1/p' description.txt)
(cd payload && sha256sum $names) | sed 's/$/\r/' >expected-hashes.txt
sed -n '/^\[File Hashes\]\r$/,/^\[End\]\r$/p' hashed.txt | sed '1d;$d' >written-hashes.txt
cmp -s expected-hashes.txt written-hashes.txt || { diff expected-hashes.txt written-hashes.txt; fail "hash lines differ from sha256sum's"; }
"$eiftool" sign --signing-key own-signing.pem hashed.eif
"$eiftool" check --private-key private.hex --signature "$sig" --signing-public-key own-signing.pub.pem \
  --files payload hashed.eif >check.out || { cat check.out; fail "check refused the packed hashes"; }
echo "OpenSSL interop passed"

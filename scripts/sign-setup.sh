#!/usr/bin/env bash
# Signs a built Setup.exe with the vendor's code-signing certificate (Authenticode, SHA-256)
# through osslsigncode, and verifies the signature before the signed file takes its place.
set -euo pipefail

me=$(basename "$0")

usage() {
  cat <<EOF
Usage: $me (--pkcs12 FILE | --cert FILE --key FILE) [options] SETUP.EXE

Signs SETUP.EXE (Authenticode, SHA-256) with the vendor's code-signing certificate, verifies
the signature, and only then replaces SETUP.EXE (or writes --out). On any failure nothing is
changed and the exit status is not 0. Sign as the last step, after the build.

The certificate and its private key, one of:
  --pkcs12 FILE          a PKCS #12 file (.pfx, .p12) holding both, as certificate vendors
                         and Windows' certificate export give them
  --cert FILE --key FILE the certificate (PEM; the CA's intermediate certificates may follow
                         it in the same file) and its private key (PEM)

The password of the PKCS #12 file or of an encrypted key (never on the command line, where
every user's process listing shows it), one of:
  --pass-file FILE       the contents of FILE (a line break at its end is not part of it)
  --pass-env NAME        the value of the environment variable NAME
Without either, the PKCS #12 file or key must have no password.

Options:
  -ts, --timestamp URL   countersign the signature at this RFC 3161 time-stamp server, so
                         that it stays valid after the certificate expires (recommended)
  -t, --legacy-timestamp URL
                         the same with a server of the older Authenticode protocol
  -n, --description TEXT the program name Windows shows for the signature
  -i, --url URL          the vendor's web address in the signature
      --ca FILE          verify against the root certificates in FILE rather than the
                         system's (a private CA, or to pin the vendor's root)
  -o, --out FILE         write the signed program to FILE and leave SETUP.EXE as it is
  -h, --help             show this text

Example:
  SIGN_PASSWORD=... $me --pkcs12 vendor.pfx --pass-env SIGN_PASSWORD \\
      -ts http://timestamp.example.com -n 'MyProduct Setup' -i https://www.example.com/ \\
      build/win32/bin/Setup.exe
EOF
}

fail() {
  echo "$me: $*" >&2
  exit 1
}

# osslsigncode's own lines, without the OpenSSL error queue it appends to a failure.
show_tool_output() {
  grep -v -E '^[0-9A-F]+:error:' "$1" | sed '/^$/d; s/^/  /' >&2 || true
}

# need_file FILE [OPTION]: the option names the file in the message.
need_file() {
  [ -e "$1" ] || fail "${2:+$2 }$1: no such file"
  if [ ! -f "$1" ] || [ ! -r "$1" ]; then fail "${2:+$2 }$1: not a readable file"; fi
}

# A PE file starts with "MZ" and holds "PE\0\0" at the offset stored at 0x3c. Checked here
# because osslsigncode would otherwise treat other files as one of its other formats.
is_pe_file() {
  local magic offset
  magic=$(od -An -tx1 -N2 "$1" | tr -d ' \n')
  [ "$magic" = 4d5a ] || return 1
  offset=$(od -An -tu4 -j60 -N4 --endian=little "$1" | tr -d ' \n')
  [ -n "$offset" ] || return 1
  [ "$(od -An -tx1 -j"$offset" -N4 "$1" | tr -d ' \n')" = 50450000 ]
}

pkcs12='' cert='' key='' pass_file='' pass_env='' ca='' out='' input=''
description='' url=''
timestamp_args=()
while [ $# -gt 0 ]; do
  case $1 in
    -h | --help) usage; exit 0 ;;
    --pkcs12 | --cert | --key | --pass-file | --pass-env | -ts | --timestamp | -t | --legacy-timestamp | \
      -n | --description | -i | --url | --ca | -o | --out)
      [ $# -ge 2 ] || fail "$1 needs a value (see --help)"
      case $1 in
        --pkcs12) pkcs12=$2 ;;
        --cert) cert=$2 ;;
        --key) key=$2 ;;
        --pass-file) pass_file=$2 ;;
        --pass-env) pass_env=$2 ;;
        -ts | --timestamp) timestamp_args=(-ts "$2") ;;
        -t | --legacy-timestamp) timestamp_args=(-t "$2") ;;
        -n | --description) description=$2 ;;
        -i | --url) url=$2 ;;
        --ca) ca=$2 ;;
        -o | --out) out=$2 ;;
      esac
      shift 2 ;;
    -*) fail "unknown option $1 (see --help)" ;;
    *)
      [ -z "$input" ] || fail "one program at a time: $input and $1"
      input=$1
      shift ;;
  esac
done

[ -n "$input" ] || { usage >&2; exit 2; }
command -v osslsigncode >/dev/null || fail "osslsigncode is not installed (Debian package osslsigncode)"
if [ -n "$pkcs12" ]; then
  [ -z "$cert$key" ] || fail "give either --pkcs12 or --cert and --key, not both"
  need_file "$pkcs12" --pkcs12
  credentials=(-pkcs12 "$pkcs12")
else
  if [ -z "$cert" ] || [ -z "$key" ]; then fail "give --pkcs12 FILE, or --cert FILE and --key FILE (see --help)"; fi
  need_file "$cert" --cert
  need_file "$key" --key
  credentials=(-certs "$cert" -key "$key")
fi
[ -z "$pass_file" ] || [ -z "$pass_env" ] || fail "give either --pass-file or --pass-env, not both"
[ -z "$pass_file" ] || need_file "$pass_file" --pass-file
if [ -n "$pass_env" ]; then
  [ -n "${!pass_env+set}" ] || fail "--pass-env $pass_env: the environment variable $pass_env is not set"
fi
[ -z "$ca" ] || need_file "$ca" --ca
need_file "$input"
is_pe_file "$input" || fail "$input is not a Windows program (PE file)"

target=${out:-$input}
target_dir=$(dirname "$target")
[ -d "$target_dir" ] || fail "--out $target: the folder $target_dir does not exist"
# The signed file is written beside its target and renamed over it only once it verifies, so
# an interrupted or failed run never leaves a half-signed Setup.exe in its place.
work=$(mktemp -d "$target_dir/.sign-setup.XXXXXX")
trap 'rm -rf "$work"' EXIT
signed=$work/signed.exe

# OpenSSL asks for a missing or wrong password on the controlling terminal; without one
# (setsid) a batch signing fails at once instead of waiting for a typist.
sign_args=(setsid -w osslsigncode sign "${credentials[@]}" -h sha256 "${timestamp_args[@]}")
[ -z "$description" ] || sign_args+=(-n "$description")
[ -z "$url" ] || sign_args+=(-i "$url")
files=(-in "$input" -out "$signed")
status=0
if [ -n "$pass_env" ]; then
  # printf is a shell builtin: the password goes through a pipe, never into an argument list.
  printf '%s\n' "${!pass_env}" | "${sign_args[@]}" -readpass - "${files[@]}" >"$work/sign.log" 2>&1 || status=$?
elif [ -n "$pass_file" ]; then
  "${sign_args[@]}" -readpass "$pass_file" "${files[@]}" >"$work/sign.log" 2>&1 </dev/null || status=$?
else
  "${sign_args[@]}" "${files[@]}" >"$work/sign.log" 2>&1 </dev/null || status=$?
fi
if [ $status -ne 0 ] || [ ! -f "$signed" ]; then
  if grep -q 'Failed to parse PKCS#12.*Wrong password' "$work/sign.log"; then
    fail "wrong password for $pkcs12"
  elif grep -q 'Failed to extract PKCS#12' "$work/sign.log"; then
    fail "$pkcs12 is not a PKCS #12 file"
  elif grep -q 'Failed to decode private key' "$work/sign.log"; then
    fail "cannot read the key $key: wrong password, or not a PEM private key"
  elif grep -q 'consistency of a private key' "$work/sign.log"; then
    fail "the key $key does not belong to the certificate $cert"
  elif [ ${#timestamp_args[@]} -gt 0 ] && grep -q -i 'timestamp' "$work/sign.log"; then
    show_tool_output "$work/sign.log"
    fail "no timestamp from ${timestamp_args[1]}; $input is unchanged"
  fi
  show_tool_output "$work/sign.log"
  fail "signing $input failed; it is unchanged"
fi

roots="the system's root certificates"
verify_args=(verify -in "$signed")
[ -z "$ca" ] || { verify_args+=(-CAfile "$ca"); roots=$ca; }
if ! osslsigncode "${verify_args[@]}" >"$work/verify.log" 2>&1 </dev/null; then
  # The signer, then what osslsigncode found wrong with it.
  grep -m2 -E '^\s*(Subject|Issuer) *:' "$work/verify.log" | sed 's/^\s*/  /' >&2 || true
  grep -E 'Error:|Unsupported|expired|MISMATCH' "$work/verify.log" | sed 's/^\s*/  /' >&2 || true
  fail "the signed file does not verify against $roots; ${out:+nothing written to $out, }$input is unchanged"
fi

chmod --reference="$input" "$signed"
mv -f "$signed" "$target"
signer=$(sed -n 's/^\s*Subject: //p' "$work/verify.log" | head -n1)
echo "$me: signed $target by $signer (SHA-256${timestamp_args[0]:+, timestamped}), verified against $roots"

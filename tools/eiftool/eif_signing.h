// The vendor's Ed25519 signing keys in the PEM forms OpenSSL reads and writes, and detached
// signatures of description files made with them.
#pragma once

#include <string>
#include <string_view>

#include "description/eif_decrypt.h"

// DER bytes as a PEM block with label ("PUBLIC KEY"), its base64 wrapped at 64 characters as
// RFC 7468 asks and OpenSSL writes it.
std::string PemBlock(std::string_view label, const std::string& der);

// A new key pair: the private key as an unencrypted PKCS #8 "PRIVATE KEY" PEM (RFC 8410, as
// 'openssl genpkey -algorithm ed25519' writes it) and the public key as a "PUBLIC KEY" PEM
// (SubjectPublicKeyInfo, as 'openssl pkey -pubout' writes it).
bool GenerateSigningKey(std::string& privatePem, std::string& publicPem, std::string& error);

// The 32 raw bytes of an Ed25519 key from its PEM. Anything else (another algorithm, an
// encrypted key, a damaged block) is false with a reason fit to show the vendor.
bool SigningSeedFromPem(std::string_view pem, std::string& seed, std::string& error);
bool SigningPublicKeyFromPem(std::string_view pem, std::string& publicKey, std::string& error);

// The public PEM belonging to a seed; and the seed's PEM itself.
std::string SigningPublicPemOf(std::string_view seed);
std::string SigningPrivatePemOf(std::string_view seed);

// The 64-byte Ed25519 signature of bytes. Ed25519 is deterministic: the same key and bytes
// always give the same signature, the one 'openssl pkeyutl -sign -rawin' makes.
std::string SignBytes(std::string_view seed, const ByteBuffer& bytes);

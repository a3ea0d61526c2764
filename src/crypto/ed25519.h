// Ed25519 signature verification: the vendor's signature over a description file.
#pragma once

#include <cstddef>
#include <cstdint>

inline constexpr std::size_t kEd25519PublicKeyBytes = 32;
inline constexpr std::size_t kEd25519SignatureBytes = 64;

// True when signature (64 bytes: R, then S little-endian) is valid for message under
// publicKey (32 bytes), checked as [S]B == R + [H(R, A, M)]A by comparing encodings. Refused:
// S not below the group order L (so a signature has exactly one form), and a key whose
// encoding is not canonical (y not below 2^255 - 19, or x = 0 with the sign bit set), not on
// the curve, or of small order (8A the identity: anyone could sign for it).
bool VerifyEd25519(const std::uint8_t* publicKey, const std::uint8_t* message, std::size_t size,
                   const std::uint8_t* signature);

// Our own decoder of zlib streams (RFC 1950: deflate data, RFC 1951, behind a two-byte header
// and followed by the Adler-32 of the output), for the pictures the build compresses.
#pragma once

#include <cstddef>
#include <cstdint>

// Decodes the zlib stream in[0, inSize) into out[0, outSize). True only when the stream is well
// formed, ends exactly at inSize, gives exactly outSize bytes and its checksum matches them.
// Never reads or writes outside the two ranges, whatever the input; after false, out may hold
// some of the output, which means nothing. Every code the stream may use is taken (stored,
// fixed and dynamic Huffman blocks, distances up to 32768), but no preset dictionary.
bool InflateZlib(const std::uint8_t* in, std::size_t inSize, std::uint8_t* out, std::size_t outSize);

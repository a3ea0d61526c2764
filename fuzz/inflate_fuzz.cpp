// Fuzz target: our zlib decoder on arbitrary streams. The first two bytes are the output size
// it is told to expect (little-endian); the output buffer is exactly that large, so the
// sanitizers see any byte read or written beyond either range. A stream taken at one size must
// be refused at every other.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "ui/inflate.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const std::size_t expected = data[0] | data[1] << 8;
  const std::vector<std::uint8_t> stream(data + 2, data + size);  // exactly as long as the stream
  std::vector<std::uint8_t> out(expected);
  if (!InflateZlib(stream.data(), stream.size(), out.data(), out.size())) return 0;
  std::vector<std::uint8_t> longer(expected + 1);
  if (InflateZlib(stream.data(), stream.size(), longer.data(), longer.size())) std::abort();
  if (expected > 0) {
    std::vector<std::uint8_t> shorter(expected - 1);
    if (InflateZlib(stream.data(), stream.size(), shorter.data(), shorter.size())) std::abort();
  }
  return 0;
}

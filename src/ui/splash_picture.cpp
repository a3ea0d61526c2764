// Unpacking the splash picture (see splash_picture.h).
#include "ui/splash_picture.h"

#include "ui/inflate.h"

namespace {
// A 16384 x 16384 picture (raster.h's limit) would be 768 MB; a damaged length must not make
// us allocate that. 32 MB holds a 24-bit picture larger than 3000 x 3000.
constexpr std::uint32_t kMaxUnpackedBytes = 32u << 20;
constexpr std::size_t kLengthBytes = 4;
}  // namespace

std::vector<std::uint8_t> UnpackPicture(const std::uint8_t* data, std::size_t size) {
  if (data == nullptr || size < kLengthBytes) return {};
  const std::uint32_t length = static_cast<std::uint32_t>(data[0]) | static_cast<std::uint32_t>(data[1]) << 8 |
                               static_cast<std::uint32_t>(data[2]) << 16 | static_cast<std::uint32_t>(data[3]) << 24;
  if (length > kMaxUnpackedBytes) return {};
  std::vector<std::uint8_t> file(length);
  if (!InflateZlib(data + kLengthBytes, size - kLengthBytes, file.data(), file.size())) return {};
  return file;
}

CEmbeddedBitmap SplashBitmapFile() {
  static const std::vector<std::uint8_t> file = [] {
    const CEmbeddedBitmap packed = PackedSplashPicture();
    return UnpackPicture(packed.data, packed.size);
  }();
  if (file.empty()) return {nullptr, 0};
  return {file.data(), file.size()};
}

// Reading a small file whole, over CFile.
#include "system/file.h"

std::optional<ByteBuffer> ReadWholeFile(const std::wstring& path, std::uint64_t limit, std::size_t extraBytes) {
  CFile file;
  if (!file.Open(path, CFile::Mode::Read)) return std::nullopt;
  const std::int64_t length = file.Length();
  if (length <= 0 || static_cast<std::uint64_t>(length) > limit) return std::nullopt;
  ByteBuffer bytes(static_cast<std::size_t>(length) + extraBytes, 0);
  std::size_t done = 0;
  while (done < static_cast<std::size_t>(length)) {
    const std::int64_t got = file.Read(bytes.data() + done, static_cast<std::size_t>(length) - done);
    // A file that shrinks or fails while it is read is as unusable as a missing one.
    if (got <= 0) return std::nullopt;
    done += static_cast<std::size_t>(got);
  }
  return bytes;
}

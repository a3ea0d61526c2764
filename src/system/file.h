// CFile: a binary file opened for reading or writing, as the description loader and the
// download worker use it, and a small file read whole. Sizes are 64-bit so files of 2 GiB and
// more compare correctly.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

using ByteBuffer = std::vector<std::uint8_t>;

class CFile {
 public:
  // CreateWrite creates the file or truncates it; Append writes at the end of an existing file
  // (and lets others read it meanwhile) and fails when the file is missing.
  enum class Mode { Read, CreateWrite, Append };

  CFile() = default;
  ~CFile();
  CFile(const CFile&) = delete;
  CFile& operator=(const CFile&) = delete;

  bool Open(const std::wstring& path, Mode mode);
  bool IsOpen() const;
  // Reads up to size bytes; returns the count read, 0 at the end, -1 on error.
  std::int64_t Read(void* buffer, std::size_t size);
  // True only when every byte was written.
  bool Write(const void* data, std::size_t size);
  // Length of the open file, or -1.
  std::int64_t Length() const;
  void Close();

  // Status by path: false when the file cannot be found; otherwise its size.
  static bool GetStatus(const std::wstring& path, std::uint64_t& size);

 private:
  // A file descriptor on Linux, a HANDLE on Windows; -1 (INVALID_HANDLE_VALUE) when closed.
  std::intptr_t m_handle = -1;
};

// The whole file followed by extraBytes zero bytes; nothing when it is missing, empty, longer
// than limit bytes or cannot be read.
std::optional<ByteBuffer> ReadWholeFile(const std::wstring& path, std::uint64_t limit, std::size_t extraBytes = 0);

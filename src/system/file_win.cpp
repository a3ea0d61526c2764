// CFile on Windows: CreateFileW, ReadFile, WriteFile, GetFileAttributesExW.
#include <windows.h>

#include "system/file.h"

namespace {
HANDLE AsHandle(std::intptr_t value) { return reinterpret_cast<HANDLE>(value); }
}  // namespace

CFile::~CFile() { Close(); }

bool CFile::Open(const std::wstring& path, Mode mode) {
  Close();
  const bool read = mode == Mode::Read;
  const DWORD access = read ? GENERIC_READ : (mode == Mode::Append ? FILE_APPEND_DATA : GENERIC_WRITE);
  const DWORD creation = mode == Mode::CreateWrite ? CREATE_ALWAYS : OPEN_EXISTING;
  // A file being appended to (the support log, say) can be read meanwhile, and appended to by
  // another run of the same product (each write lands whole at the end); one being written from
  // its start cannot.
  const DWORD share = read ? FILE_SHARE_READ : mode == Mode::Append ? FILE_SHARE_READ | FILE_SHARE_WRITE : 0;
  HANDLE h = CreateFileW(path.c_str(), access, share, nullptr, creation, FILE_ATTRIBUTE_NORMAL, nullptr);
  m_handle = reinterpret_cast<std::intptr_t>(h);
  return h != INVALID_HANDLE_VALUE;
}

bool CFile::IsOpen() const { return AsHandle(m_handle) != INVALID_HANDLE_VALUE; }

std::int64_t CFile::Read(void* buffer, std::size_t size) {
  DWORD got = 0;
  const DWORD want = size > 0x40000000u ? 0x40000000u : static_cast<DWORD>(size);
  if (!ReadFile(AsHandle(m_handle), buffer, want, &got, nullptr)) return -1;
  return got;
}

bool CFile::Write(const void* data, std::size_t size) {
  const auto* bytes = static_cast<const char*>(data);
  while (size > 0) {
    const DWORD want = size > 0x40000000u ? 0x40000000u : static_cast<DWORD>(size);
    DWORD written = 0;
    if (!WriteFile(AsHandle(m_handle), bytes, want, &written, nullptr) || written == 0) return false;
    bytes += written;
    size -= written;
  }
  return true;
}

std::int64_t CFile::Length() const {
  LARGE_INTEGER size{};
  if (!IsOpen() || !GetFileSizeEx(AsHandle(m_handle), &size)) return -1;
  return size.QuadPart;
}

void CFile::Close() {
  if (IsOpen()) CloseHandle(AsHandle(m_handle));
  m_handle = reinterpret_cast<std::intptr_t>(INVALID_HANDLE_VALUE);
}

bool CFile::GetStatus(const std::wstring& path, std::uint64_t& size) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return false;
  size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  return true;
}

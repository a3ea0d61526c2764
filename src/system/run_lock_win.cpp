// The run lock on Windows: a named mutex, which the system closes when the process ends.
#include <windows.h>
// windows.h first: sddl.h needs its types.
#include <sddl.h>

#include <memory>

#include "system/run_lock.h"

namespace {

// The user's SID as text ("S-1-5-18" for SYSTEM); empty when it cannot be had.
std::wstring CurrentUserSid() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return {};
  DWORD size = 0;
  GetTokenInformation(token, TokenUser, nullptr, 0, &size);
  auto buffer = std::make_unique<unsigned char[]>(size > 0 ? size : 1);
  std::wstring text;
  wchar_t* sid = nullptr;
  if (size > 0 && GetTokenInformation(token, TokenUser, buffer.get(), size, &size) &&
      ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.get())->User.Sid, &sid)) {
    text = sid;
    LocalFree(sid);
  }
  CloseHandle(token);
  return text;
}

}  // namespace

CRunLock::Result CRunLock::Take(const std::wstring&, const std::wstring& name) {
  Release();
  const std::wstring id = L"websetup-" + CurrentUserSid() + L"-" + name;
  // Global first, so that the same user's runs in two sessions meet; Local where a session may
  // not make global objects, or someone else's object of that name is in the way.
  for (const wchar_t* space : {L"Global\\", L"Local\\"}) {
    HANDLE mutex = CreateMutexW(nullptr, FALSE, (space + id).c_str());
    const DWORD error = GetLastError();
    if (mutex == nullptr) {
      if (error == ERROR_ACCESS_DENIED) continue;
      return Result::Unavailable;
    }
    if (error == ERROR_ALREADY_EXISTS) {
      CloseHandle(mutex);
      return Result::HeldElsewhere;
    }
    m_handle = reinterpret_cast<std::intptr_t>(mutex);
    return Result::Taken;
  }
  return Result::Unavailable;
}

void CRunLock::Release() {
  if (m_handle != -1) CloseHandle(reinterpret_cast<HANDLE>(m_handle));
  m_handle = -1;
}

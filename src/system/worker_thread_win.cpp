// Worker threads on Windows, over CreateThread.
#include <windows.h>

#include "system/worker_thread.h"

namespace {
struct CThreadStart {
  void (*proc)(void*);
  void* argument;
};

DWORD WINAPI ThreadEntry(LPVOID parameter) {
  const CThreadStart start = *static_cast<CThreadStart*>(parameter);
  delete static_cast<CThreadStart*>(parameter);
  start.proc(start.argument);
  return 0;
}
}  // namespace

bool CWorkerThread::Start(void (*proc)(void*), void* argument, bool timeCritical) {
  Join();
  auto* start = new CThreadStart{proc, argument};
  HANDLE thread = CreateThread(nullptr, 0, ThreadEntry, start, 0, nullptr);
  if (thread == nullptr) {
    delete start;
    return false;
  }
  if (timeCritical) SetThreadPriority(thread, THREAD_PRIORITY_TIME_CRITICAL);
  m_handle = thread;
  return true;
}

void CWorkerThread::Join() {
  if (m_handle == nullptr) return;
  WaitForSingleObject(static_cast<HANDLE>(m_handle), INFINITE);
  CloseHandle(static_cast<HANDLE>(m_handle));
  m_handle = nullptr;
}

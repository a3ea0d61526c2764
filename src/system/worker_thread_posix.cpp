// Worker threads on Linux. A program may not raise a thread above its others without
// privileges, so a time-critical thread keeps the normal priority here.
#include <system_error>
#include <thread>

#include "system/worker_thread.h"

bool CWorkerThread::Start(void (*proc)(void*), void* argument, bool) {
  Join();
  try {
    m_handle = new std::thread(proc, argument);
  } catch (const std::system_error&) {
    m_handle = nullptr;
  }
  return m_handle != nullptr;
}

void CWorkerThread::Join() {
  if (m_handle == nullptr) return;
  auto* thread = static_cast<std::thread*>(m_handle);
  thread->join();
  delete thread;
  m_handle = nullptr;
}

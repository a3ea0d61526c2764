// Worker threads on Linux. A program may not raise a thread above its others without
// privileges, so a time-critical thread keeps the normal priority here.
#include <thread>

#include "framework/dialog_platform.h"

void* PlatformStartThread(void (*proc)(void*), void* argument, bool) {
  try {
    return new std::thread(proc, argument);
  } catch (const std::system_error&) {
    return nullptr;
  }
}

void PlatformJoinThread(void* handle) {
  auto* thread = static_cast<std::thread*>(handle);
  thread->join();
  delete thread;
}

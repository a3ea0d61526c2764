// A thread that runs beside the caller's: the marquee beside the splash window's thread, the
// second half of a description's decryption. CreateThread on Windows, std::thread elsewhere.
#pragma once

// Join waits for the thread to end; a thread that only ever invalidates its control from afar
// (never waiting for the window's thread) can be joined from the window's thread at any time.
class CWorkerThread {
 public:
  CWorkerThread() = default;
  ~CWorkerThread() { Join(); }
  CWorkerThread(const CWorkerThread&) = delete;
  CWorkerThread& operator=(const CWorkerThread&) = delete;

  // Joins any earlier thread, then starts proc(argument); timeCritical raises its priority to
  // the highest of its process where the platform lets a program do so. False when no thread
  // could start.
  bool Start(void (*proc)(void*), void* argument, bool timeCritical);
  void Join();
  bool Joinable() const { return m_handle != nullptr; }

 private:
  void* m_handle = nullptr;  // the platform's thread
};

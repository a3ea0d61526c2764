// One run of a product at a time: a lock that a run holds until it ends, however it ends (the
// kernel releases it with the process), so a crashed run never blocks the next.
#pragma once

#include <cstdint>
#include <string>

class CRunLock {
 public:
  enum class Result {
    Taken,
    HeldElsewhere,  // another run of this user holds it
    Unavailable,    // the platform gave no lock: the run goes on without one, as it always did
  };

  CRunLock() = default;
  ~CRunLock() { Release(); }
  CRunLock(const CRunLock&) = delete;
  CRunLock& operator=(const CRunLock&) = delete;

  // Takes the lock called name for the user this process runs as. Linux: the lock file
  // name + ".lock" in folder, which must be a private folder (the one the setup temp folders
  // live in), removed again on release (a run that is killed leaves it, unlocked); Windows: a
  // named mutex, with the user's SID in its name, so that a SYSTEM run and a user's run of the
  // same product are told apart.
  Result Take(const std::wstring& folder, const std::wstring& name);
  void Release();

 private:
  std::intptr_t m_handle = -1;  // a file descriptor, or a HANDLE
  std::string m_path;           // Linux: the lock file, removed on release
};

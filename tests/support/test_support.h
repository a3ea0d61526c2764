// Shared test helpers: a fake clock, a per-test temporary folder, a message box recorder and
// small file helpers.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "framework/framework.h"
#include "system/clock.h"

// Records every pause and advances its tick by the pause; each tick query may also advance
// time by a fixed step, so loops that wait for a deadline end without real waiting.
class CFakeClock final : public IClock {
 public:
  explicit CFakeClock(std::uint32_t start = 1000, std::uint32_t stepPerTick = 0) : m_now(start), m_step(stepPerTick) {}
  std::uint32_t TickCount() override {
    const std::uint32_t now = m_now;
    m_now += m_step;
    return now;
  }
  void Sleep(std::uint32_t milliseconds) override {
    m_sleeps.push_back(milliseconds);
    m_now += milliseconds;
  }
  std::int64_t UtcSeconds() override { return m_utcSeconds; }
  // The pauses other than those of the given length, in order.
  std::vector<std::uint32_t> SleepsOtherThan(std::uint32_t milliseconds) const {
    std::vector<std::uint32_t> other;
    for (const std::uint32_t sleep : m_sleeps) {
      if (sleep != milliseconds) other.push_back(sleep);
    }
    return other;
  }
  std::uint32_t m_now;
  std::int64_t m_utcSeconds = 1394183103;  // 07-03-2014 09:05:03 UTC
  std::uint32_t m_step;
  std::vector<std::uint32_t> m_sleeps;
};

// A fresh folder under the system's temporary folder, removed with everything in it when the
// test ends.
class CTempFolder {
 public:
  CTempFolder();
  ~CTempFolder();
  CTempFolder(const CTempFolder&) = delete;
  CTempFolder& operator=(const CTempFolder&) = delete;
  const std::wstring& Path() const { return m_path; }
  // Path() + separator + relative.
  std::wstring operator/(const std::wstring& relative) const;

 private:
  std::wstring m_path;
};

// Records message boxes while it lives, instead of showing them.
class CMessageBoxRecorder {
 public:
  CMessageBoxRecorder();
  ~CMessageBoxRecorder();
  // (text, caption) of every box, in order.
  std::vector<std::pair<std::wstring, std::wstring>> m_boxes;
};

void WriteFileBytes(const std::wstring& path, const std::string& bytes);
std::string ReadFileBytes(const std::wstring& path);
void MakeReadOnly(const std::wstring& path);

// Sets an environment variable for the life of the object (inherited by started programs),
// then restores its earlier value.
class CScopedEnv {
 public:
  CScopedEnv(const std::string& name, const std::wstring& value);
  ~CScopedEnv();
  CScopedEnv(const CScopedEnv&) = delete;
  CScopedEnv& operator=(const CScopedEnv&) = delete;

 private:
  std::string m_name;
  bool m_had = false;
  std::wstring m_old;
};

// Points the platform's temporary folder (TMPDIR; TMP and TEMP on Windows) at folder.
class CScopedTempFolderEnv {
 public:
  explicit CScopedTempFolderEnv(const std::wstring& folder);

 private:
  std::vector<std::unique_ptr<CScopedEnv>> m_vars;
};

// Creates a symbolic link; false where the platform refuses.
bool MakeSymlink(const std::wstring& target, const std::wstring& link);
// Creates a named pipe (FIFO); false where the platform has none in the file system.
bool MakeNamedPipe(const std::wstring& path);
// Hands path to another user (needs root on Linux); false where that cannot be done.
bool GiveToAnotherUser(const std::wstring& path);
// Lets everybody write into the folder at path (mode 0777; on Windows an Everyone ACE that
// allows everything and is inherited), as a folder planted by somebody else may; false on failure.
bool LetEverybodyWrite(const std::wstring& path);
// Leaves the folder at path to its owner alone (mode 0700; on Windows a protected DACL with one
// ACE for the user); false on failure.
bool KeepToOwner(const std::wstring& path);
// A path of the build machine as the program under test sees it (under wine: drive Z:).
std::wstring BuildPathForTesting(const std::string& hostPath);

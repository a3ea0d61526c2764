// Shared test helpers (see test_support.h).
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <random>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "system/folders.h"
#include "websetup_config.h"

namespace fs = std::filesystem;

CTempFolder::CTempFolder() {
  static std::atomic<int> counter{0};
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::wstring name = L"websetup-test-";
  if (info != nullptr) name += fs::path(info->name()).wstring();
  name += L"-" + std::to_wstring(counter++) + L"-" + std::to_wstring(std::random_device{}());
  for (auto& c : name) {
    if (c == L'/' || c == L'\\') c = L'_';
  }
  m_path = GetTempFolder() + kPathSeparator + name;
  fs::create_directories(fs::path(m_path));
}

CTempFolder::~CTempFolder() {
  std::error_code ec;
  // Read-only entries would stop the removal on Windows.
  for (auto it = fs::recursive_directory_iterator(fs::path(m_path), ec); !ec && it != fs::recursive_directory_iterator();
       it.increment(ec)) {
    if (!it->is_symlink()) fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
  }
  fs::remove_all(fs::path(m_path), ec);
}

std::wstring CTempFolder::operator/(const std::wstring& relative) const { return m_path + kPathSeparator + relative; }

CMessageBoxRecorder::CMessageBoxRecorder() {
  SetMessageBoxRecorderForTesting(
      [this](const std::wstring& text, const std::wstring& caption) { m_boxes.emplace_back(text, caption); });
}

CMessageBoxRecorder::~CMessageBoxRecorder() { SetMessageBoxRecorderForTesting(nullptr); }

void WriteFileBytes(const std::wstring& path, const std::string& bytes) {
  std::ofstream out(fs::path(path), std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  ASSERT_TRUE(out.good()) << "cannot write test file";
}

std::string ReadFileBytes(const std::wstring& path) {
  std::ifstream in(fs::path(path), std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

void MakeReadOnly(const std::wstring& path) {
  fs::permissions(fs::path(path), fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
}

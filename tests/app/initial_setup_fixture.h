// The fixture of the retrieval tests: loopback hosts, a fake clock and a recorded run.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "app/run_names.h"
#include "app/setup_app.h"
#include "description/eif_test_support.h"
#include "download/progress_recorder.h"
#include "support/loopback_server.h"
#include "support/test_support.h"
#include "system/file_ops.h"
#include "system/path.h"
#include "system/process.h"
#include "system/program_folder.h"
#include "system/text.h"
#include "websetup_config.h"

inline const std::string kInitialPath = "/downloads/Setups/Demo/SetupInitial.eif";

inline std::string Host(const CLoopbackServer& server) { return "127.0.0.1:" + std::to_string(server.Port()); }

// An EIF of the description; comment lines make it pass the hosts' 1000-byte minimum.
inline std::string DescriptionEif(const std::string& tags) {
  return MakeEif(std::string(12, '/') + std::string(1000, 'x') + "\n" + tags + "[End]\nEnd\n");
}

inline std::string FilesTags(const std::string& sites, const std::string& files) {
  return "[Download Sites]\n" + sites + "[Files to download]\n" + files +
         "[User Info Filename]\nUserInfo.txt\n[Program to run]\nFinalSetup\n";
}

// Records what the run tells its progress window.
class CTotalRecorder final : public CWnd, public CProgressWindow {
 public:
  void SetProgressTotal(std::int64_t total) override { m_totals.push_back(total); }
  CWnd& Window() override { return *this; }
  LRESULT_T OnMessage(unsigned message, WPARAM_T wParam, LPARAM_T) override {
    if (message == WM_DOWNLOAD_PROGRESS) m_bytes += static_cast<std::int64_t>(wParam);
    return 0;
  }
  std::vector<std::int64_t> m_totals;
  std::int64_t m_bytes = 0;
};

class InitialSetupTest : public ::testing::Test {
 protected:
  explicit InitialSetupTest(CTrustSettings trust = {})
      : m_app{CDownloadHosts{FromUtf8(Host(m_primary)), FromUtf8(Host(m_secondary))}, std::move(trust), m_clock} {
    m_app.SetAppName(L"Setup_Demo_");
    m_app.SetOnlineCheckForTesting([this] { return m_online; });
    CreateFolderChain(m_programFolder);
    SetProgramFolder(m_programFolder + kPathSeparator);
    SetCurrentFolder(m_programFolder);
  }
  ~InitialSetupTest() override { SetCurrentFolder(m_startFolder); }

  bool Retrieve() { return m_app.RetrieveInitialSetup(L"Demo", m_setupTemp, &m_window, m_site); }
  std::wstring TempFile(const std::wstring& name) const { return JoinPath(m_setupTemp, name); }
  std::string Mirror(const std::string& path) const { return Host(m_primary) + path; }
  std::vector<std::wstring> Texts() const {
    std::vector<std::wstring> texts;
    for (const auto& box : m_boxes.m_boxes) texts.push_back(box.first);
    return texts;
  }

  std::wstring m_startFolder = GetCurrentFolder();
  CDirectLoopback m_direct;
  CLoopbackServer m_primary;
  CLoopbackServer m_secondary;
  CTempFolder m_temp;
  std::wstring m_programFolder = m_temp / L"program";
  std::wstring m_setupTemp = SetupTempFolderFor(m_temp.Path(), L"Demo");
  CFakeClock m_clock{1000, 50};  // time moves on, so no wait for missing data lasts forever
  CSetupApp m_app;
  CMessageBoxRecorder m_boxes;
  CTotalRecorder m_window;
  std::wstring m_site;
  bool m_online = true;
};

// A test window that records the download progress messages it receives, and the scoped
// environment that keeps any configured proxy away from loopback requests.
#pragma once

#include <memory>
#include <utility>
#include <vector>

#include "download/downloader.h"
#include "framework/framework.h"
#include "support/test_support.h"

using ProgressMessages = std::vector<std::pair<WPARAM_T, LPARAM_T>>;

class CProgressRecorder final : public CWnd {
 public:
  LRESULT_T OnMessage(unsigned message, WPARAM_T wParam, LPARAM_T lParam) override {
    if (message == WM_DOWNLOAD_PROGRESS)
      m_progress.emplace_back(wParam, lParam);
    else
      ++m_otherMessages;
    return 0;
  }
  ProgressMessages m_progress;
  int m_otherMessages = 0;
};

// Requests to 127.0.0.1 go straight to the test server, whatever proxy the machine has.
class CDirectLoopback {
 public:
  CDirectLoopback() {
    for (const char* name : {"http_proxy", "HTTP_PROXY", "all_proxy", "ALL_PROXY"}) {
      m_vars.push_back(std::make_unique<CScopedEnv>(name, L""));
    }
    m_vars.push_back(std::make_unique<CScopedEnv>("no_proxy", L"127.0.0.1,localhost"));
  }

 private:
  std::vector<std::unique_ptr<CScopedEnv>> m_vars;
};

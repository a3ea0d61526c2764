// WinINet, loaded from System32 by name: Setup.exe never imports it, so a wininet.dll planted
// beside it in a downloads folder is never loaded.
#pragma once

#include <windows.h>
#include <wininet.h>

struct CWinInetApi {
  decltype(&::InternetGetConnectedState) getConnectedState = nullptr;
  decltype(&::InternetOpenW) open = nullptr;
  decltype(&::InternetOpenUrlW) openUrl = nullptr;
  decltype(&::HttpQueryInfoW) queryInfo = nullptr;
  decltype(&::InternetQueryOptionW) queryOption = nullptr;
  decltype(&::InternetSetOptionW) setOption = nullptr;
  decltype(&::InternetSetStatusCallbackW) setStatusCallback = nullptr;
  decltype(&::InternetReadFile) readFile = nullptr;
  decltype(&::InternetCloseHandle) closeHandle = nullptr;
};

// The entry points, loaded once; null when the library or one of them cannot be loaded.
const CWinInetApi* WinInetApi();

// Tests only: every request after the call is made as if WinINet refused the status callback
// that puts the stall limit on it.
void RefuseStatusCallbackForTesting(bool refuse);

// The connection check on Windows: the system's own answer from WinINet.
#include "download/connection.h"
#include "download/wininet_api_win.h"

bool IsOnline() {
  const CWinInetApi* api = WinInetApi();
  if (api == nullptr) return false;
  // Which kind of connection it is does not matter here.
  DWORD flags = 0;
  return api->getConnectedState(&flags, 0) != FALSE;
}

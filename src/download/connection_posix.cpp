// The connection check on Linux: some interface other than loopback is up and has an
// address, which is what "a connection is configured and up" means there.
#include <ifaddrs.h>
#include <net/if.h>
#include <sys/socket.h>

#include "download/connection.h"

bool IsOnline() {
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) return false;
  bool online = false;
  for (const ifaddrs* entry = list; entry != nullptr && !online; entry = entry->ifa_next) {
    if (entry->ifa_addr == nullptr) continue;
    const int family = entry->ifa_addr->sa_family;
    const bool up = (entry->ifa_flags & IFF_UP) != 0 && (entry->ifa_flags & IFF_LOOPBACK) == 0;
    online = up && (family == AF_INET || family == AF_INET6);
  }
  freeifaddrs(list);
  return online;
}

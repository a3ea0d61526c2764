// The connection check on Linux: some interface other than loopback is up and has an
// address, which is what "a connection is configured and up" means there.
#include <ifaddrs.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <net/if.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "download/connection.h"
#include "download/connection_watch_posix.h"

namespace {

bool ScanInterfaces() {
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

}  // namespace

// Subscribed before the first scan, so no change after that scan goes unannounced.
CConnectionWatch::CConnectionWatch()
    : m_socket(socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC | SOCK_NONBLOCK, NETLINK_ROUTE)) {
  if (m_socket < 0) return;
  sockaddr_nl address{};
  address.nl_family = AF_NETLINK;
  address.nl_groups = RTMGRP_LINK | RTMGRP_IPV4_IFADDR | RTMGRP_IPV6_IFADDR;
  if (bind(m_socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    close(m_socket);
    m_socket = -1;
  }
}

CConnectionWatch::~CConnectionWatch() {
  if (m_socket >= 0) close(m_socket);
}

bool CConnectionWatch::IsOnline() {
  std::lock_guard lock(m_mutex);
  if (m_socket < 0) return ScanInterfaces();
  if (Changed()) m_known = false;
  if (!m_known) {
    m_online = ScanInterfaces();
    m_known = true;
  }
  return m_online;
}

bool CConnectionWatch::Changed() {
  // What changed does not matter, only that something did: the scan tells the rest.
  char message[8192];
  bool changed = false;
  for (;;) {
    const ssize_t n = recv(m_socket, message, sizeof message, MSG_DONTWAIT);
    if (n > 0) {
      changed = true;
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return changed;
    // ENOBUFS (announcements were dropped) or anything unexpected: scan again.
    return true;
  }
}

bool IsOnline() {
  static CConnectionWatch watch;
  return watch.IsOnline();
}

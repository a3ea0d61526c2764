// The Linux connection check, kept up to date by the kernel's announcements (Linux builds only).
#pragma once

#include <mutex>

// Answers the connection check from the interface list, and asks for that list again only
// after the kernel has announced a change of a link or of an address. A check comes before
// every download, and the list costs two requests to the kernel and a dozen system calls; an
// unchanged answer costs one. Without the announcements (no netlink socket) it asks every time.
class CConnectionWatch {
 public:
  CConnectionWatch();
  ~CConnectionWatch();
  CConnectionWatch(const CConnectionWatch&) = delete;
  CConnectionWatch& operator=(const CConnectionWatch&) = delete;

  // Some interface other than loopback is up and has an IPv4 or IPv6 address.
  bool IsOnline();

 private:
  // True when an announcement arrived (or some may have been lost) since the last call.
  bool Changed();

  std::mutex m_mutex;
  int m_socket = -1;
  bool m_known = false;
  bool m_online = false;
};

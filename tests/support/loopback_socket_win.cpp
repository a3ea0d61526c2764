// Loopback sockets on Windows (Winsock), so the WinINet transport is tested against the same
// server under wine.
#include <winsock2.h>
#include <ws2tcpip.h>

#include "support/loopback_socket.h"

namespace {
bool StartWinsock() {
  static const bool started = [] {
    WSADATA data{};
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  return started;
}

bool WaitReadable(SOCKET s, int timeoutMs) {
  WSAPOLLFD entry{};
  entry.fd = s;
  entry.events = POLLRDNORM;
  return WSAPoll(&entry, 1, timeoutMs) > 0;
}
}  // namespace

SocketHandle ListenOnLoopback(std::uint16_t& port) {
  if (!StartWinsock()) return kNoSocket;
  const SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) return kNoSocket;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  int length = sizeof(address);
  if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 || listen(s, 16) != 0 ||
      getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    closesocket(s);
    return kNoSocket;
  }
  port = ntohs(address.sin_port);
  return static_cast<SocketHandle>(s);
}

SocketHandle AcceptConnection(SocketHandle listener, int timeoutMs) {
  const auto s = static_cast<SOCKET>(listener);
  if (!WaitReadable(s, timeoutMs)) return kNoSocket;
  const SOCKET client = accept(s, nullptr, nullptr);
  return client == INVALID_SOCKET ? kNoSocket : static_cast<SocketHandle>(client);
}

std::int64_t ReceiveSome(SocketHandle socket, char* buffer, std::size_t size, int timeoutMs) {
  const auto s = static_cast<SOCKET>(socket);
  if (!WaitReadable(s, timeoutMs)) return -1;
  const int n = recv(s, buffer, static_cast<int>(size), 0);
  return n < 0 ? -1 : n;
}

bool SendAll(SocketHandle socket, const char* data, std::size_t size) {
  while (size > 0) {
    const int n = send(static_cast<SOCKET>(socket), data, static_cast<int>(size), 0);
    if (n <= 0) return false;
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

void CloseSocket(SocketHandle socket) {
  if (socket != kNoSocket) closesocket(static_cast<SOCKET>(socket));
}

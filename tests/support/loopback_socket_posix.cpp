// Loopback sockets on Linux.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "support/loopback_socket.h"

namespace {
bool WaitReadable(int fd, int timeoutMs) {
  pollfd entry{fd, POLLIN, 0};
  for (;;) {
    const int n = poll(&entry, 1, timeoutMs);
    if (n >= 0) return n > 0;
    if (errno != EINTR) return false;
  }
}
}  // namespace

SocketHandle ListenOnLoopback(std::uint16_t& port) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return kNoSocket;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  socklen_t length = sizeof(address);
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 || listen(fd, 16) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    close(fd);
    return kNoSocket;
  }
  port = ntohs(address.sin_port);
  return fd;
}

SocketHandle AcceptConnection(SocketHandle listener, int timeoutMs) {
  if (!WaitReadable(static_cast<int>(listener), timeoutMs)) return kNoSocket;
  const int fd = accept4(static_cast<int>(listener), nullptr, nullptr, SOCK_CLOEXEC);
  return fd < 0 ? kNoSocket : fd;
}

std::int64_t ReceiveSome(SocketHandle socket, char* buffer, std::size_t size, int timeoutMs) {
  if (!WaitReadable(static_cast<int>(socket), timeoutMs)) return -1;
  for (;;) {
    const ssize_t n = recv(static_cast<int>(socket), buffer, size, 0);
    if (n >= 0) return n;
    if (errno != EINTR) return -1;
  }
}

bool SendAll(SocketHandle socket, const char* data, std::size_t size) {
  while (size > 0) {
    // MSG_NOSIGNAL: a client that hangs up early must not kill the test process.
    const ssize_t n = send(static_cast<int>(socket), data, size, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

void CloseSocket(SocketHandle socket) {
  if (socket != kNoSocket) close(static_cast<int>(socket));
}

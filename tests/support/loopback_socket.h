// The few socket calls the loopback test server needs, over BSD sockets or Winsock. Only
// 127.0.0.1 is ever used.
#pragma once

#include <cstddef>
#include <cstdint>

using SocketHandle = std::intptr_t;
inline constexpr SocketHandle kNoSocket = -1;

// Listens on 127.0.0.1 at a port the system picks, stored in port; kNoSocket on failure.
SocketHandle ListenOnLoopback(std::uint16_t& port);
// Waits up to timeoutMs for a connection; kNoSocket when none came.
SocketHandle AcceptConnection(SocketHandle listener, int timeoutMs);
// Receives some bytes, waiting up to timeoutMs: the count, 0 when the peer closed, -1 on an
// error or a timeout.
std::int64_t ReceiveSome(SocketHandle socket, char* buffer, std::size_t size, int timeoutMs);
// Sends every byte; false when the peer has gone.
bool SendAll(SocketHandle socket, const char* data, std::size_t size);
void CloseSocket(SocketHandle socket);

// The misbehaving loopback HTTP server: one connection at a time and one response per
// connection, or kept connections each on a thread; every loop bounded by timeouts or sizes.
#include "support/loopback_server.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace {
// How often the serving thread looks at the stop flag while no client connects.
constexpr int kAcceptPollMs = 20;
// A client that sends no complete request head within this time is dropped, and a kept
// connection that brings no further request is closed.
constexpr int kRequestTimeoutMs = 5000;
// Waits are cut into slices this long, so that Stop never waits for one to run out.
constexpr int kWaitSliceMs = 20;
// Longest request head accepted; ours are a few hundred bytes.
constexpr std::size_t kMaxHeadBytes = 64 * 1024;
// Body bytes sent per send call (and per chunk of a chunked body).
constexpr std::uint64_t kSendPieceBytes = 64 * 1024;
constexpr std::uint64_t kPatternPeriod = 26;

std::string PatternBlock() {
  std::string block(kSendPieceBytes + kPatternPeriod, '\0');
  for (std::size_t i = 0; i < block.size(); ++i) block[i] = static_cast<char>('a' + i % kPatternPeriod);
  return block;
}

const std::string& Pattern() {
  static const std::string block = PatternBlock();
  return block;
}

// The value of a request header (name in lower case), empty when the head has none.
std::string RequestHeader(const std::string& head, const std::string& name) {
  std::string lower(head.size(), '\0');
  for (std::size_t i = 0; i < head.size(); ++i)
    lower[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(head[i])));
  const auto at = lower.find("\r\n" + name + ":");
  if (at == std::string::npos) return {};
  const auto begin = head.find_first_not_of(' ', at + name.size() + 3);
  const auto end = head.find("\r\n", at + 2);
  return begin == std::string::npos || begin >= end ? std::string() : head.substr(begin, end - begin);
}

// The response as the answer to the request's "Range: bytes=N-" (with its "If-Range"), when the
// response accepts ranges; unchanged otherwise.
CServedResponse AnswerRange(CServedResponse response, const std::string& head) {
  const std::string range = RequestHeader(head, "range");
  const std::string ifRange = RequestHeader(head, "if-range");
  if (!response.acceptRanges || range.rfind("bytes=", 0) != 0 || range.back() != '-') return response;
  if (!ifRange.empty() && ifRange != response.etag && ifRange != response.lastModified) return response;
  const std::uint64_t from = std::strtoull(range.c_str() + 6, nullptr, 10);
  if (from == 0 || from >= response.BodySize()) return response;
  response.status = 206;
  response.reason = "Partial Content";
  response.bodyOffset = from;
  response.declaredLength = response.SentSize();
  response.extraHeaders += "Content-Range: bytes " + std::to_string(from) + "-" +
                           std::to_string(response.BodySize() - 1) + "/" + std::to_string(response.BodySize()) + "\r\n";
  return response;
}

// The path of a request line, also for the absolute form that clients send to a proxy.
std::string RequestPath(const std::string& head) {
  const auto first = head.find(' ');
  const auto second = head.find(' ', first + 1);
  if (first == std::string::npos || second == std::string::npos) return {};
  std::string target = head.substr(first + 1, second - first - 1);
  const auto scheme = target.find("://");
  if (scheme != std::string::npos) {
    const auto slash = target.find('/', scheme + 3);
    target = slash == std::string::npos ? "/" : target.substr(slash);
  }
  return target;
}
}  // namespace

CServedResponse FileResponse(const std::string& body) {
  CServedResponse response;
  response.body = body;
  response.declaredLength = body.size();
  return response;
}

CServedResponse WithStatus(CServedResponse response, int status, const char* reason) {
  response.status = status;
  response.reason = reason;
  return response;
}

CServedResponse RedirectResponse(int status, const std::string& location) {
  CServedResponse response = FileResponse("moved");
  response.status = status;
  response.reason = status == 301 ? "Moved Permanently" : "Found";
  response.location = location;
  return response;
}

std::string GeneratedBody(std::uint64_t size, std::uint64_t offset) {
  std::string body;
  body.reserve(static_cast<std::size_t>(size));
  for (std::uint64_t i = 0; i < size; ++i) body.push_back(static_cast<char>('a' + (offset + i) % kPatternPeriod));
  return body;
}

CLoopbackServer::CLoopbackServer(Connections connections) : m_connections(connections) {
  m_listener = ListenOnLoopback(m_port);
  if (m_listener != kNoSocket) m_thread = std::thread([this] { Run(); });
}

CLoopbackServer::~CLoopbackServer() { Stop(); }

void CLoopbackServer::Stop() {
  m_stop = true;
  if (m_thread.joinable()) m_thread.join();
  for (std::thread& thread : m_connectionThreads) thread.join();
  m_connectionThreads.clear();
  CloseSocket(m_listener);
  m_listener = kNoSocket;
}

std::string CLoopbackServer::Origin() const { return "http://127.0.0.1:" + std::to_string(m_port); }

std::wstring CLoopbackServer::Url(const std::string& path) const {
  const std::string url = Origin() + path;
  return std::wstring(url.begin(), url.end());
}

void CLoopbackServer::Serve(const std::string& path, std::vector<CServedResponse> responses) {
  std::lock_guard lock(m_mutex);
  m_routes[path] = std::move(responses);
}

int CLoopbackServer::RequestCount(const std::string& path) const {
  std::lock_guard lock(m_mutex);
  const auto found = m_counts.find(path);
  return found == m_counts.end() ? 0 : found->second;
}

std::vector<std::string> CLoopbackServer::RequestHeads() const {
  std::lock_guard lock(m_mutex);
  return m_heads;
}

std::uint64_t CLoopbackServer::TotalBodyBytesSent(const std::string& path) const {
  std::lock_guard lock(m_mutex);
  const auto found = m_sentTotal.find(path);
  return found == m_sentTotal.end() ? 0 : found->second;
}

std::vector<int> CLoopbackServer::RequestConnections() const {
  std::lock_guard lock(m_mutex);
  return m_headConnections;
}

std::uint64_t CLoopbackServer::LastBodyBytesSent(const std::string& path) const {
  std::lock_guard lock(m_mutex);
  const auto found = m_sent.find(path);
  return found == m_sent.end() ? 0 : found->second;
}

void CLoopbackServer::Run() {
  int connections = 0;
  while (!m_stop) {
    const SocketHandle client = AcceptConnection(m_listener, kAcceptPollMs);
    if (client == kNoSocket) continue;
    const int connection = ++connections;
    if (m_connections == Connections::Keep) {
      // The connection threads are joined by Stop, after this thread has ended.
      m_connectionThreads.emplace_back([this, client, connection] {
        Serve(client, connection);
        CloseSocket(client);
      });
      continue;
    }
    Serve(client, connection);
    CloseSocket(client);
  }
}

void CLoopbackServer::Serve(SocketHandle client, int connection) {
  for (;;) {
    const std::string head = ReceiveHead(client);
    if (head.empty() || !Answer(client, head, connection) || m_connections != Connections::Keep) return;
  }
}

std::string CLoopbackServer::ReceiveHead(SocketHandle client) {
  std::string head;
  char buffer[4096];
  int waited = 0;
  while (head.find("\r\n\r\n") == std::string::npos && head.size() < kMaxHeadBytes) {
    if (m_stop || waited >= kRequestTimeoutMs) return {};
    const std::int64_t n = ReceiveSome(client, buffer, sizeof(buffer), kWaitSliceMs);
    if (n == 0) return {};
    if (n < 0) {
      waited += kWaitSliceMs;
      continue;
    }
    head.append(buffer, static_cast<std::size_t>(n));
  }
  return head;
}

bool CLoopbackServer::Pause(int ms) {
  for (int waited = 0; waited < ms && !m_stop; waited += kWaitSliceMs) {
    std::this_thread::sleep_for(std::chrono::milliseconds(std::min(kWaitSliceMs, ms - waited)));
  }
  return !m_stop;
}

CServedResponse CLoopbackServer::Pick(const std::string& path) {
  std::lock_guard lock(m_mutex);
  const int index = m_counts[path]++;
  const auto found = m_routes.find(path);
  if (found == m_routes.end() || found->second.empty()) {
    CServedResponse missing = FileResponse("not here");
    missing.status = 404;
    missing.reason = "Not Found";
    return missing;
  }
  const auto& list = found->second;
  return list[std::min<std::size_t>(static_cast<std::size_t>(index), list.size() - 1)];
}

bool CLoopbackServer::Answer(SocketHandle client, const std::string& head, int connection) {
  const std::string path = RequestPath(head);
  {
    std::lock_guard lock(m_mutex);
    m_heads.push_back(head.substr(0, head.find("\r\n\r\n")));
    m_headConnections.push_back(connection);
  }
  const CServedResponse response = AnswerRange(Pick(path), head);
  const std::uint64_t sent = SendResponse(client, response);
  std::lock_guard lock(m_mutex);
  m_sent[path] = sent;
  m_sentTotal[path] += sent;
  // Only a whole response with a length leaves the connection fit for another request.
  return response.raw.empty() && !response.closeAfterBytes && response.declaredLength && sent == response.SentSize() &&
         !response.chunked;
}

std::uint64_t CLoopbackServer::SendResponse(SocketHandle client, const CServedResponse& response) {
  if (!response.raw.empty()) return SendAll(client, response.raw.data(), response.raw.size()) ? response.raw.size() : 0;
  if (response.headStallMs > 0 && !Pause(response.headStallMs)) return 0;
  std::string head = "HTTP/1.1 " + std::to_string(response.status) + " " + response.reason + "\r\n";
  if (m_connections == Connections::CloseEach) head += "Connection: close\r\n";
  head += response.extraHeaders;
  if (response.acceptRanges) head += "Accept-Ranges: bytes\r\n";
  if (!response.etag.empty()) head += "ETag: " + response.etag + "\r\n";
  if (!response.lastModified.empty()) head += "Last-Modified: " + response.lastModified + "\r\n";
  if (response.declaredLength) head += "Content-Length: " + std::to_string(*response.declaredLength) + "\r\n";
  if (response.chunked) head += "Transfer-Encoding: chunked\r\n";
  if (!response.location.empty()) head += "Location: " + response.location + "\r\n";
  head += "\r\n";
  std::uint64_t sent = 0;
  if (!SendAll(client, head.data(), head.size())) return sent;
  if (SendBody(client, response, sent) && response.chunked && !response.closeAfterBytes) {
    SendAll(client, "0\r\n\r\n", 5);
  }
  return sent;
}

bool CLoopbackServer::SendBody(SocketHandle client, const CServedResponse& response, std::uint64_t& sent) {
  const std::uint64_t total = std::min(response.SentSize(), response.closeAfterBytes.value_or(response.SentSize()));
  bool stalled = response.stallMs == 0;
  while (sent < total && !m_stop) {
    std::uint64_t piece = std::min(kSendPieceBytes, total - sent);
    if (!stalled && sent < response.stallAfterBytes) piece = std::min(piece, response.stallAfterBytes - sent);
    if (!stalled && sent == response.stallAfterBytes) {
      if (!Pause(response.stallMs)) return false;
      stalled = true;
    }
    if (response.dripBytes > 0) {
      piece = std::min(piece, response.dripBytes);
      if (!Pause(response.dripMs)) return false;
    }
    const std::uint64_t at = response.bodyOffset + sent;
    const char* data =
        response.generatedBytes != 0 ? Pattern().data() + at % kPatternPeriod : response.body.data() + at;
    const auto size = static_cast<std::size_t>(piece);
    if (response.chunked) {
      char frame[32];
      const int n = std::snprintf(frame, sizeof(frame), "%zx\r\n", size);
      if (!SendAll(client, frame, static_cast<std::size_t>(n))) return false;
    }
    if (!SendAll(client, data, size)) return false;
    if (response.chunked && !SendAll(client, "\r\n", 2)) return false;
    sent += piece;
  }
  return sent == total;
}

std::wstring RefusedUrl(const std::string& path) {
  // A port that was just free: listening on it and closing again leaves nothing behind.
  std::uint16_t port = 0;
  CloseSocket(ListenOnLoopback(port));
  const std::string url = "http://127.0.0.1:" + std::to_string(port) + path;
  return std::wstring(url.begin(), url.end());
}

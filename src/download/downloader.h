// The download worker: one URL into one file, with four attempts, a backup copy of an earlier
// file, a length check with a grace period, an error-page test and progress messages.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "crypto/sha256_stream.h"
#include "download/http_transport.h"
#include "download/resume_rules.h"
#include "framework/framework.h"
#include "system/clock.h"
#include "system/support_log.h"

class CFile;

// Sent after every chunk written (wParam = its size, lParam = bytes received so far in the
// attempt) and once at the end of each attempt's reading (wParam 0).
inline constexpr unsigned WM_DOWNLOAD_PROGRESS = kWmUser + 100;

// A download that keeps failing is given up after this many attempts.
inline constexpr int kDownloadAttempts = 4;
// Pause after each failed attempt, the last one included, so that a busy server can recover.
inline constexpr std::uint32_t kRetryPauseMs = 2000;
// How long the data may stay short of the declared length after the server has gone quiet
// before the attempt counts as failed.
inline constexpr std::uint32_t kGracePeriodMs = 20000;
// Pause between the empty reads of the grace period. A closed connection answers every read
// at once with nothing, so without it the wait would spin a core for the whole period. Data
// that comes during the pause waits in the connection's buffers for the next read, so none is
// lost; a tenth of a second is nothing against the period, and keeps it to 200 reads.
inline constexpr std::uint32_t kEmptyReadPauseMs = 100;
// Bytes read and written at a time; also the part of a response tested for an error page.
inline constexpr std::size_t kReadChunkBytes = 1024;
// Chunks are handed to the file in 1 KB pieces but written in blocks of this size, so that a
// large file costs thousands of system calls rather than a million. A failed write surfaces
// with the chunk that fills the block, or at the end of the data.
inline constexpr std::size_t kWriteBufferBytes = 64 * 1024;
// Appended to the whole file name (extension included) of the copy kept of an earlier file.
inline constexpr const wchar_t* kBackupSuffix = L" Before Download";
// The same for the bytes a cut attempt kept for the next to resume from: apart from the
// destination, so that the earlier copy takes its name back between attempts as always.
inline constexpr const wchar_t* kPartialSuffix = L" Partial Download";

class CDownloader {
 public:
  // log, when given, gets a line for every attempt and why it failed.
  explicit CDownloader(IClock& clock = RealClock(), IHttpTransport& transport = PlatformHttpTransport(),
                       CSupportLog* log = nullptr);
  virtual ~CDownloader() = default;
  CDownloader(const CDownloader&) = delete;
  CDownloader& operator=(const CDownloader&) = delete;

  // Fetches url into destination (a path with a folder part); true when the resource arrived
  // whole, and, when expected is given, its bytes have that SHA-256 (hashed as they are
  // written; a mismatch is a failed attempt). After false, a destination that existed before
  // holds its earlier content again. With expected given, an attempt cut short resumes where the
  // last one stopped when the server offers byte ranges and a strong validator: the SHA-256 over
  // the whole file then also vouches for the bytes kept.
  bool DownloadFile(const std::wstring& url, const std::wstring& destination, WindowHandle progressWindow,
                    const std::optional<CSha256Digest>& expected = std::nullopt);

  // Replaces the connection check, so tests decide whether the machine is online.
  void SetOnlineCheckForTesting(std::function<bool()> isOnline) { m_isOnline = std::move(isOnline); }
  // Replaces the write of one block of chunks, so tests can make the disk run full.
  using ChunkWriter = std::function<bool(CFile& file, const void* data, std::size_t size)>;
  void SetChunkWriterForTesting(ChunkWriter writer) { m_writeChunk = std::move(writer); }

 private:
  enum class Outcome { Succeeded, Failed, FailedNoRetry };
  struct CAttempt;

  Outcome RunAttempt(const std::wstring& url, CAttempt& attempt);
  // Opens the destination: anew, or with the bytes an earlier attempt kept (hashed again).
  bool OpenDestination(CAttempt& attempt);
  // The destination from its first byte again: kept bytes, their hash and their progress gone.
  bool StartAgain(CAttempt& attempt);
  // Sends the request (for the rest of the file when resuming) and takes the answer's length;
  // none when the attempt cannot go on to the read loop.
  std::unique_ptr<IHttpResponse> Request(const std::wstring& url, CAttempt& attempt);
  // The answer to a resumed request: the rest is appended, a whole file starts the destination
  // again; false (the attempt fails, nothing kept) for anything else.
  bool TakeResumeAnswer(const IHttpResponse& response, CAttempt& attempt);
  // After a failed read loop: where the next attempt may resume, when the caller wants that.
  void KeepForResume(const IHttpResponse& response, CAttempt& attempt);
  Outcome ReadLoop(IHttpResponse& response, CAttempt& attempt);
  // The end of the data: the file is written out, closed and judged by its length; no
  // outcome yet while the grace period runs.
  std::optional<Outcome> EndOfData(CAttempt& attempt);
  // One chunk of data: tested, handed to the file, reported. False when a write failed.
  bool TakeChunk(const char* data, std::size_t size, CAttempt& attempt);
  bool Flush(CAttempt& attempt);
  void Report(CAttempt& attempt, std::size_t chunkBytes);
  static std::wstring ReceivedText(const CAttempt& attempt);
  void Log(const std::wstring& text);
  void LogAttempt(const std::wstring& url, int number, const CAttempt& attempt, bool succeeded);

  IClock& m_clock;
  IHttpTransport& m_transport;
  CSupportLog* m_log;
  std::function<bool()> m_isOnline;
  ChunkWriter m_writeChunk;
};

// True when chunk, read as 8-bit text up to its first zero byte, has a single TITLE element
// whose text contains "404": a server's not-found page delivered in place of the file.
bool IsErrorPageChunk(const char* chunk, std::size_t size);

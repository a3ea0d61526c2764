// The download worker's attempts, read loop, length check and error-page test.
#include "download/downloader.h"

#include <cstring>
#include <memory>
#include <optional>
#include <string_view>
#include <utility>

#include "description/element_text.h"
#include "download/connection.h"
#include "system/file.h"
#include "system/file_ops.h"
#include "system/path.h"
#include "system/text.h"

// The state of one attempt; nothing of it outlives the attempt.
struct CDownloader::CAttempt {
  std::wstring destination;
  WindowHandle window = nullptr;
  std::wstring folder;  // without its trailing separator, as the file operations take it
  std::wstring name;
  bool backupTaken = false;
  CFile file;
  std::uint64_t declaredLength = 0;
  std::uint64_t received = 0;
  // Tick of the first empty read of the current wait for missing data; none while data flows.
  std::optional<std::uint32_t> emptyReadTick;
  // A not-found page came instead of the file: this attempt can no longer succeed.
  bool errorPage = false;
  // Chunks handed to the file but not yet written; at most kWriteBufferBytes.
  std::string pending;
  // The SHA-256 the file must have, and the hash of every byte handed to it; none when the
  // caller asked for no check.
  const std::optional<CSha256Digest>* expected = nullptr;
  std::unique_ptr<CSha256Stream> hash;
  // Why the attempt failed, for the support log.
  std::wstring failure;
  // The bytes an earlier attempt kept and where this one goes on; none for a whole request.
  std::optional<CResumePoint> resume;
  // What this attempt keeps for the next when it fails; none: the next starts from zero.
  std::optional<CResumePoint> next;
  // What the support log says of the resume: where it went on and what the server answered.
  std::wstring resumeNote;
};

namespace {
// Bytes read at a time when a kept part is hashed again.
constexpr std::size_t kRehashBlockBytes = 1024 * 1024;

bool HashFile(const std::wstring& path, CSha256Stream& hash) {
  CFile file;
  if (!file.Open(path, CFile::Mode::Read)) return false;
  std::string block(kRehashBlockBytes, '\0');
  for (;;) {
    const std::int64_t got = file.Read(block.data(), block.size());
    if (got <= 0) return got == 0;
    hash.Update(block.data(), static_cast<std::size_t>(got));
  }
}
}  // namespace

CDownloader::CDownloader(IClock& clock, IHttpTransport& transport, CSupportLog* log)
    : m_clock(clock),
      m_transport(transport),
      m_log(log),
      m_isOnline(&IsOnline),
      m_writeChunk([](CFile& file, const void* data, std::size_t size) { return file.Write(data, size); }) {}

bool CDownloader::DownloadFile(const std::wstring& url, const std::wstring& destination, WindowHandle progressWindow,
                               const std::optional<CSha256Digest>& expected) {
  if (!m_isOnline()) {
    Log(L"download " + WithoutCredentials(url) + L": the connection check found no network");
    return false;
  }
  int attemptsLeft = kDownloadAttempts;
  std::optional<CResumePoint> resume;
  while (attemptsLeft > 0) {
    CAttempt attempt;
    attempt.destination = destination;
    attempt.window = progressWindow;
    attempt.expected = &expected;
    attempt.resume = std::exchange(resume, std::nullopt);
    if (expected) attempt.hash = std::make_unique<CSha256Stream>();
    const Outcome outcome = RunAttempt(url, attempt);
    const int number = kDownloadAttempts - attemptsLeft + 1;
    if (outcome == Outcome::Succeeded) {
      LogAttempt(url, number, attempt, true);
      return true;
    }
    attempt.file.Close();
    const std::wstring& folder = attempt.folder;
    const std::wstring& name = attempt.name;
    // A write that failed (a full disk) would fail again: no further attempt, nothing kept.
    attemptsLeft = outcome == Outcome::FailedNoRetry ? 0 : attemptsLeft - 1;
    if (attemptsLeft > 0 && attempt.next && RenameInFolder(folder, name, name + kPartialSuffix)) {
      resume = attempt.next;
    } else {
      DeleteFileInFolder(folder, name);
    }
    if (attempt.backupTaken) RenameInFolder(folder, name + kBackupSuffix, name);
    LogAttempt(url, number, attempt, false);
    m_clock.Sleep(kRetryPauseMs);
  }
  return false;
}

CDownloader::Outcome CDownloader::RunAttempt(const std::wstring& url, CAttempt& attempt) {
  std::wstring folder;
  SplitPath(attempt.destination, folder, attempt.name);
  attempt.folder = StripTrailingSeparator(folder);
  if (FileExists(attempt.destination)) {
    attempt.backupTaken = true;
    // An older backup copy is kept as it is: it holds the content from before the first
    // download that went wrong, and the destination is simply overwritten.
    const std::wstring backupName = attempt.name + kBackupSuffix;
    if (!FileExists(JoinPath(attempt.folder, backupName))) RenameInFolder(attempt.folder, attempt.name, backupName);
  }
  if (!OpenDestination(attempt)) {
    attempt.failure = L"the file cannot be created";
    return Outcome::Failed;
  }
  std::unique_ptr<IHttpResponse> response = Request(url, attempt);
  if (response == nullptr) {
    attempt.file.Close();
    return Outcome::Failed;
  }
  const Outcome outcome = ReadLoop(*response, attempt);
  Report(attempt, 0);
  if (outcome == Outcome::Failed && attempt.expected->has_value()) KeepForResume(*response, attempt);
  response.reset();
  attempt.file.Close();
  return outcome;
}

bool CDownloader::OpenDestination(CAttempt& attempt) {
  if (!attempt.resume) return attempt.file.Open(attempt.destination, CFile::Mode::CreateWrite);
  // The destination is here only where an older backup copy kept it from being renamed away.
  DeleteFileInFolder(attempt.folder, attempt.name);
  const bool kept = RenameInFolder(attempt.folder, attempt.name + kPartialSuffix, attempt.name) &&
                    (attempt.hash == nullptr || HashFile(attempt.destination, *attempt.hash)) &&
                    attempt.file.Open(attempt.destination, CFile::Mode::Append) &&
                    attempt.file.Length() == static_cast<std::int64_t>(attempt.resume->offset);
  if (kept) {
    attempt.received = attempt.resume->offset;
    return true;
  }
  // The kept part is lost or damaged: this attempt starts from zero after all.
  attempt.file.Close();
  DeleteFileInFolder(attempt.folder, attempt.name + kPartialSuffix);
  attempt.resume.reset();
  return StartAgain(attempt);
}

bool CDownloader::StartAgain(CAttempt& attempt) {
  attempt.file.Close();
  attempt.received = 0;
  if (attempt.hash != nullptr) attempt.hash = std::make_unique<CSha256Stream>();
  return attempt.file.Open(attempt.destination, CFile::Mode::CreateWrite);
}

std::unique_ptr<IHttpResponse> CDownloader::Request(const std::wstring& url, CAttempt& attempt) {
  const std::optional<CResumePoint>& resume = attempt.resume;
  std::unique_ptr<IHttpResponse> response =
      resume ? m_transport.OpenRange(url, CRangeRequest{resume->offset, resume->validator}) : m_transport.Open(url);
  // Nothing answered: the kept bytes are as good as they were for the next attempt.
  if (response == nullptr) {
    attempt.failure = L"no response";
    attempt.next = resume;
    return nullptr;
  }
  // An error status answers with a page about the error, never with the file asked for.
  if (response->StatusCode() >= kFirstErrorStatus) {
    attempt.failure = L"status " + DecimalText(response->StatusCode());
    return nullptr;
  }
  attempt.declaredLength = response->DeclaredLength();
  if (resume && !TakeResumeAnswer(*response, attempt)) return nullptr;
  return response;
}

bool CDownloader::TakeResumeAnswer(const IHttpResponse& response, CAttempt& attempt) {
  const CResumePoint& resume = *attempt.resume;
  switch (JudgeResumeAnswer(response, resume)) {
    case CResumeAnswer::Continues:
      attempt.declaredLength = resume.total;
      attempt.resumeNote = L"resumed at byte " + DecimalText(resume.offset);
      return true;
    case CResumeAnswer::WholeFile:
      // The file changed since, or the server ignores ranges: this answer is the whole file.
      attempt.resumeNote = L"asked to resume at byte " + DecimalText(resume.offset) + L", got the whole file";
      if (StartAgain(attempt)) return true;
      attempt.failure = L"the file cannot be created";
      return false;
    case CResumeAnswer::Other:
      break;
  }
  attempt.failure = L"asked to resume at byte " + DecimalText(resume.offset) + L" of " + DecimalText(resume.total) +
                    L", the server answered status " + DecimalText(response.StatusCode()) + L" " +
                    FromUtf8(response.HeaderValue("Content-Range")) + L"; the next attempt starts from zero";
  return false;
}

void CDownloader::KeepForResume(const IHttpResponse& response, CAttempt& attempt) {
  if (attempt.errorPage || !Flush(attempt)) return;
  attempt.file.Close();
  std::uint64_t kept = 0;
  if (!CFile::GetStatus(attempt.destination, kept)) return;
  attempt.next = ResumePointAfter(response, kept);
}

CDownloader::Outcome CDownloader::ReadLoop(IHttpResponse& response, CAttempt& attempt) {
  char buffer[kReadChunkBytes] = {};
  attempt.pending.reserve(kWriteBufferBytes);
  for (;;) {
    const std::int64_t n = response.Read(buffer, sizeof(buffer));
    if (n < 0) {
      attempt.failure = L"reading failed after " + ReceivedText(attempt);
      return Outcome::Failed;
    }
    if (n == 0) {
      if (const auto outcome = EndOfData(attempt)) return *outcome;
      m_clock.Sleep(kEmptyReadPauseMs);
      continue;
    }
    if (!TakeChunk(buffer, static_cast<std::size_t>(n), attempt)) {
      attempt.failure = L"writing the file failed (is the disk full?); no further attempt";
      return Outcome::FailedNoRetry;
    }
  }
}

std::optional<CDownloader::Outcome> CDownloader::EndOfData(CAttempt& attempt) {
  if (attempt.file.IsOpen() && !Flush(attempt)) {
    attempt.failure = L"writing the file failed (is the disk full?); no further attempt";
    return Outcome::FailedNoRetry;
  }
  // Closed so that the size read back by path is the size written.
  attempt.file.Close();
  std::uint64_t size = 0;
  if (attempt.errorPage || !CFile::GetStatus(attempt.destination, size)) {
    attempt.failure = attempt.errorPage ? L"a not-found page came instead of the file" : L"the file is gone";
    return Outcome::Failed;
  }
  if (size == attempt.declaredLength) {
    // Whole, but other bytes than the vendor listed: as failed as a cut transfer.
    const bool genuine = attempt.hash == nullptr || attempt.hash->Final() == **attempt.expected;
    if (!genuine) attempt.failure = L"its SHA-256 is not the one the description lists";
    return genuine ? Outcome::Succeeded : Outcome::Failed;
  }
  // Short of the declared length: the server may still be sending, so wait for it a while.
  const std::uint32_t now = m_clock.TickCount();
  if (!attempt.emptyReadTick) {
    attempt.emptyReadTick = now;
    return std::nullopt;
  }
  // Unsigned difference: correct across the tick counter's wrap-around.
  const std::uint32_t waited = now - *attempt.emptyReadTick;
  if (waited > kGracePeriodMs) {
    attempt.failure = ReceivedText(attempt) + L", then no more data for " + DecimalText(waited) + L" ms";
    return Outcome::Failed;
  }
  return std::nullopt;
}

bool CDownloader::TakeChunk(const char* data, std::size_t size, CAttempt& attempt) {
  attempt.received += size;
  attempt.emptyReadTick.reset();
  if (attempt.received <= kReadChunkBytes && IsErrorPageChunk(data, size)) {
    // Removed at once so that nothing of the page can pass for the file; the page is neither
    // written nor reported.
    attempt.errorPage = true;
    DeleteFileInFolder(attempt.folder, attempt.name);
    return true;
  }
  bool written = true;
  if (!attempt.file.IsOpen() && !attempt.errorPage) {
    // Data after the file was closed for a length check: appended, so none of it is lost.
    written = attempt.file.Open(attempt.destination, CFile::Mode::Append);
  }
  if (written && attempt.file.IsOpen()) {
    if (attempt.hash != nullptr) attempt.hash->Update(data, size);
    attempt.pending.append(data, size);
    if (attempt.pending.size() >= kWriteBufferBytes) written = Flush(attempt);
  }
  Report(attempt, size);
  return written;
}

bool CDownloader::Flush(CAttempt& attempt) {
  if (attempt.pending.empty()) return true;
  const bool written = m_writeChunk(attempt.file, attempt.pending.data(), attempt.pending.size());
  attempt.pending.clear();
  return written;
}

std::wstring CDownloader::ReceivedText(const CAttempt& attempt) {
  return DecimalText(attempt.received) + L" of " + DecimalText(attempt.declaredLength) + L" declared bytes";
}

void CDownloader::Log(const std::wstring& text) {
  if (m_log != nullptr) m_log->Write(text);
}

// Built only for an open log: a run without one pays nothing per attempt.
void CDownloader::LogAttempt(const std::wstring& url, int number, const CAttempt& attempt, bool succeeded) {
  if (m_log == nullptr || !m_log->IsOpen()) return;
  std::wstring text = L"download " + WithoutCredentials(url) + L" attempt " + DecimalText(number) + L" of " +
                      DecimalText(kDownloadAttempts);
  if (!attempt.resumeNote.empty()) text += L" (" + attempt.resumeNote + L")";
  if (succeeded) {
    text += L": " + DecimalText(attempt.received) + L" bytes into " + attempt.destination;
  } else {
    text += L" failed: " + attempt.failure + (attempt.backupTaken ? L"; the earlier copy is back" : L"");
    if (attempt.next) text += L"; keeps " + DecimalText(attempt.next->offset) + L" bytes to resume from";
  }
  m_log->Write(text);
}

void CDownloader::Report(CAttempt& attempt, std::size_t chunkBytes) {
  SendWindowMessage(attempt.window, WM_DOWNLOAD_PROGRESS, static_cast<WPARAM_T>(chunkBytes),
                    static_cast<LPARAM_T>(attempt.received));
}

bool IsErrorPageChunk(const char* chunk, std::size_t size) {
  const void* zero = std::memchr(chunk, 0, size);
  const std::size_t length = zero != nullptr ? static_cast<std::size_t>(static_cast<const char*>(zero) - chunk) : size;
  const std::wstring text = DecodeNarrowText(std::string_view(chunk, length));
  return ExtractElementText(text, L"TITLE").find(L"404") != std::wstring::npos;
}

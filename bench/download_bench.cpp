// Download benchmark: our worker (1 KB chunks, a progress message each) and curl fetch the same
// generated files from a loopback server; prints MB/s and peak RSS, last line "ratio R" (the
// median at 256 MB).
//   download_bench [--splash] [--repeat N] [--hash] | --hash-only | --cut
//   download_bench --hash-only
// --splash sends the progress to the real splash window (a display is needed), as a run does.
// --hash checks each of our transfers against the file's SHA-256, as a description with
// "File Hashes" makes a run do (curl only fetches).
// --hash-only prints the speed of SHA-256 alone, the platform's engine against the portable one,
// over 256 MiB in the pieces the worker reads (1 KiB) and writes (64 KiB), and in 1 MiB blocks.
// --cut: a 256 MB file whose server cuts every connection after a third, resumed with ranges and
// started again without them, against one clean transfer (takes about three minutes).
// Each size runs N times, ours and curl taking turns to go first, so that neither always
// pays for the page cache the other has filled.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "crypto/sha256_stream.h"
#include "description/file_hashes.h"
#include "download/downloader.h"
#include "support/loopback_server.h"
#include "system/file.h"
#include "system/text.h"
#include "ui/splash_dlg.h"

namespace {
constexpr std::uint64_t kMiB = 1024 * 1024;
// The size whose speeds give the ratio: large enough to dwarf start-up costs.
constexpr std::uint64_t kRatioSize = 256 * kMiB;

// Counts what reaches the progress window; forwards it to the splash window when there is one.
class CCountingWindow final : public CWnd {
 public:
  explicit CCountingWindow(CWnd* forwardTo) : m_forwardTo(forwardTo) {}
  LRESULT_T OnMessage(unsigned message, WPARAM_T wParam, LPARAM_T lParam) override {
    if (message == WM_DOWNLOAD_PROGRESS) {
      ++m_messages;
      m_bytes += wParam;
    }
    return m_forwardTo != nullptr ? SendWindowMessage(m_forwardTo, message, wParam, lParam) : 0;
  }
  CWnd* m_forwardTo;
  std::uint64_t m_messages = 0;
  std::uint64_t m_bytes = 0;
};

struct CRun {
  double seconds = 0;
  long peakRssKb = 0;
  bool ok = false;
};

double Since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

CRun RunOurs(const std::wstring& url, const std::string& path, std::uint64_t size, CCountingWindow& window,
             const std::optional<CSha256Digest>& expected) {
  CDownloader downloader;
  downloader.SetOnlineCheckForTesting([] { return true; });
  const auto start = std::chrono::steady_clock::now();
  CRun run;
  run.ok = downloader.DownloadFile(url, FromUtf8(path), &window, expected);
  run.seconds = Since(start);
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  run.peakRssKb = usage.ru_maxrss;
  std::uint64_t got = 0;
  run.ok = run.ok && CFile::GetStatus(FromUtf8(path), got) && got == size && window.m_bytes == size;
  std::filesystem::remove(path);
  return run;
}

CRun RunCurl(const std::string& url, const std::string& path, std::uint64_t size, bool removeAfter = true) {
  const auto start = std::chrono::steady_clock::now();
  const pid_t child = fork();
  if (child == 0) {
    execlp("curl", "curl", "-s", "--noproxy", "*", "-o", path.c_str(), url.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  CRun run;
  int status = 0;
  rusage usage{};
  if (child > 0 && wait4(child, &status, 0, &usage) == child) {
    run.seconds = Since(start);
    run.peakRssKb = usage.ru_maxrss;
    std::error_code error;
    run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0 && std::filesystem::file_size(path, error) == size;
  }
  if (removeAfter) std::filesystem::remove(path);
  return run;
}

double MegabytesPerSecond(std::uint64_t size, const CRun& run) {
  return run.seconds > 0 ? static_cast<double>(size) / kMiB / run.seconds : 0;
}

double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const std::size_t middle = values.size() / 2;
  return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

struct COptions {
  bool splash = false;
  int repeat = 1;
  bool hash = false;
  bool hashOnly = false;
  bool cut = false;
};

COptions ParseOptions(int argc, char** argv) {
  COptions options;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--splash") == 0) {
      options.splash = true;
    } else if (std::strcmp(argv[i], "--hash") == 0) {
      options.hash = true;
    } else if (std::strcmp(argv[i], "--hash-only") == 0) {
      options.hashOnly = true;
    } else if (std::strcmp(argv[i], "--cut") == 0) {
      options.cut = true;
    } else if (std::strcmp(argv[i], "--repeat") == 0 && i + 1 < argc) {
      options.repeat = std::max(1, std::atoi(argv[++i]));
    }
  }
  return options;
}

void PrintRun(std::uint64_t size, int round, const CRun& ours, const CRun& curl, const CCountingWindow& window) {
  std::printf(
      "%5llu MB #%d  ours %8.1f MB/s  peak RSS %6.1f MB  %llu messages%s   curl %8.1f MB/s  peak RSS %6.1f MB%s\n",
      static_cast<unsigned long long>(size / kMiB), round, MegabytesPerSecond(size, ours), ours.peakRssKb / 1024.0,
      static_cast<unsigned long long>(window.m_messages), ours.ok ? "" : " FAILED", MegabytesPerSecond(size, curl),
      curl.peakRssKb / 1024.0, curl.ok ? "" : " FAILED");
  std::fflush(stdout);
}
// SHA-256 alone: each engine over the same bytes in pieces of each size; the digests must agree.
int BenchHashOnly() {
  constexpr std::uint64_t kHashedBytes = 256 * kMiB;
  std::vector<char> block(kMiB);
  for (std::size_t i = 0; i < block.size(); ++i) block[i] = static_cast<char>(i * 131 + (i >> 9));
  for (const std::size_t piece : {std::size_t{1024}, std::size_t{64 * 1024}, std::size_t{kMiB}}) {
    std::optional<CSha256Digest> digests[2];
    for (int portable = 0; portable < 2; ++portable) {
      CSha256Stream stream(portable != 0 ? PortableSha256Engine() : PlatformSha256Engine());
      const auto start = std::chrono::steady_clock::now();
      for (std::uint64_t done = 0; done < kHashedBytes; done += block.size()) {
        for (std::size_t at = 0; at < block.size(); at += piece) stream.Update(block.data() + at, piece);
      }
      digests[portable] = stream.Final();
      const double seconds = Since(start);
      std::printf("hash %4zu KiB pieces  %-9s %8.1f MB/s\n", piece / 1024, stream.EngineName(),
                  seconds > 0 ? static_cast<double>(kHashedBytes) / kMiB / seconds : 0);
      std::fflush(stdout);
    }
    if (!digests[0] || digests[0] != digests[1]) {
      std::printf("the engines' digests differ\n");
      return 1;
    }
  }
  return 0;
}
// The digest a description would list for the file at path, from a copy fetched once by curl.
std::optional<CSha256Digest> ListedDigest(const CLoopbackServer& server, const std::string& path,
                                          const std::filesystem::path& folder, std::uint64_t size) {
  const std::string copy = (folder / "listed.bin").string();
  if (!RunCurl(server.Origin() + path, copy, size, false).ok) return std::nullopt;
  auto digest = Sha256OfFile(FromUtf8(copy));
  std::filesystem::remove(copy);
  return digest;
}

// A server that cuts every connection after a third of a 256 MB file, once offering ranges and a
// strong ETag (the worker resumes) and once ignoring them (every attempt starts again), against
// one clean transfer. Real waits: each cut costs the 20 s wait for missing data and a 2 s pause.
int BenchCut(CLoopbackServer& server, const std::filesystem::path& folder) {
  constexpr std::uint64_t size = kRatioSize;
  CServedResponse whole;
  whole.generatedBytes = size;
  whole.declaredLength = size;
  server.Serve("/clean", whole);
  const auto expected = ListedDigest(server, "/clean", folder, size);
  CCountingWindow cleanWindow(nullptr);
  const CRun clean = RunOurs(server.Url("/clean"), (folder / "ours.bin").string(), size, cleanWindow, expected);
  std::printf("clean transfer: %s in %.2f s\n", clean.ok ? "whole" : "FAILED", clean.seconds);
  for (const bool ranges : {true, false}) {
    const std::string path = ranges ? "/cut-ranges" : "/cut-plain";
    CServedResponse cut = whole;
    cut.closeAfterBytes = (size + 2) / 3;
    cut.acceptRanges = ranges;
    cut.etag = ranges ? "\"bench-1\"" : "";
    server.Serve(path, cut);
    CCountingWindow window(nullptr);
    const CRun run = RunOurs(server.Url(path), (folder / "ours.bin").string(), size, window, expected);
    const double sent = static_cast<double>(server.TotalBodyBytesSent(path)) / static_cast<double>(size);
    std::printf(
        "cut every third, %-14s %-6s after %d requests in %6.1f s (%.0fx the clean transfer); "
        "the server sent %.3fx the file\n",
        ranges ? "with ranges:" : "without ranges:", run.ok ? "whole" : "FAILED", server.RequestCount(path),
        run.seconds, clean.seconds > 0 ? run.seconds / clean.seconds : 0, sent);
    std::fflush(stdout);
  }
  return clean.ok ? 0 : 1;
}
}  // namespace

int main(int argc, char** argv) {
  const COptions options = ParseOptions(argc, argv);
  if (options.hashOnly) return BenchHashOnly();
  unsetenv("http_proxy");
  unsetenv("HTTP_PROXY");
  std::unique_ptr<CSplashDlg> splash;
  if (options.splash) {
    splash = std::make_unique<CSplashDlg>();
    if (!splash->Create()) {
      std::fprintf(stderr, "no splash window: no display\n");
      return 1;
    }
    splash->SetTopmost(true);
    splash->RedrawNow();
  }
  CLoopbackServer server;
  if (!server.IsListening()) {
    std::fprintf(stderr, "cannot listen on 127.0.0.1\n");
    return 1;
  }
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("download_bench." + std::to_string(getpid()));
  std::filesystem::create_directories(folder);
  if (options.cut) {
    const int status = BenchCut(server, folder);
    server.Stop();
    std::filesystem::remove_all(folder);
    return status;
  }
  double ratio = 0;
  for (const std::uint64_t size : {16 * kMiB, kRatioSize, 1024 * kMiB}) {
    const std::string path = "/file" + std::to_string(size / kMiB);
    CServedResponse response;
    response.generatedBytes = size;
    response.declaredLength = size;
    server.Serve(path, response);
    const std::optional<CSha256Digest> expected =
        options.hash ? ListedDigest(server, path, folder, size) : std::nullopt;
    std::vector<double> ratios;
    for (int round = 1; round <= options.repeat; ++round) {
      if (splash) {
        splash->SetProgressTotal(static_cast<std::int64_t>(size));
        splash->m_progress.SetPos(0);
      }
      CCountingWindow window(splash.get());
      CRun ours, curl;
      if (round % 2 == 1) {
        ours = RunOurs(server.Url(path), (folder / "ours.bin").string(), size, window, expected);
        curl = RunCurl(server.Origin() + path, (folder / "curl.bin").string(), size);
      } else {
        curl = RunCurl(server.Origin() + path, (folder / "curl.bin").string(), size);
        ours = RunOurs(server.Url(path), (folder / "ours.bin").string(), size, window, expected);
      }
      PrintRun(size, round, ours, curl, window);
      if (ours.seconds > 0 && curl.seconds > 0) ratios.push_back(curl.seconds / ours.seconds);
    }
    std::printf("%5llu MB  median ratio to curl %.2f over %zu runs\n", static_cast<unsigned long long>(size / kMiB),
                Median(ratios), ratios.size());
    if (size == kRatioSize) ratio = Median(ratios);
  }
  server.Stop();
  std::filesystem::remove_all(folder);
  std::printf("ratio %.2f\n", ratio);
  return 0;
}

// Description loading benchmark: load times of hostile descriptions (many placeholders, many
// listed files walked to the end, many comment lines) as ratios to a plain 16 MiB filler.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "description/eif_decrypt.h"
#include "description/setup_description.h"
#include "eif_keys.h"
#include "system/text.h"

namespace {
// Just under the largest description Load accepts, so every case is read whole.
constexpr std::size_t kLargeBytes = (16u << 20) - 64;
constexpr std::size_t kCommentBytes = 1u << 20;
constexpr int kPlaceholders = 4096;
constexpr int kListedFiles = 100000;
constexpr int kPlaceholderTags = 64;
// An EIF file of this much description: a few thousand blocks under the built-in key.
constexpr std::size_t kDecryptBytes = 256u << 10;
const std::string kFillerLine = "filler line of a large but plain description 0123456789\r\n";
const std::string kTail = "[Program to run]\r\nsetup.exe\r\n[End]\r\nEnd\r\n";

std::string Filler(std::size_t bytes) {
  std::string text;
  text.reserve(bytes + kFillerLine.size());
  while (text.size() + kFillerLine.size() <= bytes) text += kFillerLine;
  return text;
}

std::string Plain() { return "[Notes]\r\n" + Filler(kLargeBytes - kTail.size() - 16) + kTail; }

// Placeholders spread evenly through the filler, each naming one of a few short tags.
std::string Placeholders() {
  std::string tags;
  for (int i = 0; i < kPlaceholderTags; ++i) tags += "[T" + std::to_string(i) + "]value " + std::to_string(i) + "\r\n";
  const std::size_t room = kLargeBytes - tags.size() - kTail.size() - 16 - kPlaceholders * 8;
  const std::size_t gap = room / kPlaceholders;
  std::string text = tags + "[Notes]\r\n";
  for (int i = 0; i < kPlaceholders; ++i) text += Filler(gap) + "$T" + std::to_string(i % kPlaceholderTags) + "$\r\n";
  return text + kTail;
}

// Placeholders whose names hold a bracket ("$T0]$" for the header "[T0]]"), which the header
// index cannot see, with the tags behind all of them.
std::string BracketNames() {
  std::string tags;
  for (int i = 0; i < kPlaceholderTags; ++i) tags += "[T" + std::to_string(i) + "]]value " + std::to_string(i) + "\r\n";
  const std::size_t room = kLargeBytes - tags.size() - kTail.size() - 16 - kPlaceholders * 9;
  const std::size_t gap = room / kPlaceholders;
  std::string text = "[Notes]\r\n";
  for (int i = 0; i < kPlaceholders; ++i) text += Filler(gap) + "$T" + std::to_string(i % kPlaceholderTags) + "]$\r\n";
  return text + tags + kTail;
}

// One placeholder whose value, a line of almost 1 MiB, holds 2000 placeholders of a tag
// defined behind it: each of their lookups happens inside inserted text not yet scanned.
std::string InsertedText() {
  std::string big;
  for (int i = 0; i < 2000; ++i) big += "$T$" + std::string(500, 'b');
  return "[Notes]\r\n$Big$\r\n" + Filler(kLargeBytes - big.size() - kTail.size() - 64) + "[T]t\r\n[Big]" + big +
         "\r\n" + kTail;
}

// Values behind long runs of white space and followed by more (4000 characters each way),
// in a text that is white space between 4096 placeholders, the tags behind them.
std::string SpaceRuns() {
  std::string tags;
  for (int i = 0; i < kPlaceholderTags; ++i) {
    tags += "[T" + std::to_string(i) + "]" + std::string(4000, ' ') + "value\r\n" + std::string(4000, '\t') + "\r\n";
  }
  const std::string run((kLargeBytes - tags.size() - kTail.size()) / kPlaceholders - 16, ' ');
  std::string text = "[Notes]\r\n";
  for (int i = 0; i < kPlaceholders; ++i) text += "$T" + std::to_string(i % kPlaceholderTags) + "$" + run + "\r\n";
  return text + tags + kTail;
}

std::string Comments() {
  std::string text;
  while (text.size() < kCommentBytes) text += "// a comment line that Load removes, as long as most of them\r\n";
  return text + kTail;
}

std::string Files() {
  std::string text = "[Files to download]\r\n";
  for (int i = 0; i < kListedFiles; ++i) {
    const std::string name = "f" + std::to_string(i) + ".bin";
    text += "/product/" + name + " -> " + name + "\r\n";
  }
  return text + kTail;
}

// Seconds to load the file and walk its file list to the end; -1 when it does not load.
double TimeLoad(const std::string& path, int& walked) {
  CSetupDescription description;
  description.SetMissingTagHandler([](const std::wstring&) {});
  const auto start = std::chrono::steady_clock::now();
  if (!description.Load(FromUtf8(path))) return -1;
  std::wstring remote, local;
  walked = 0;
  for (bool ok = description.GetFirstFile(remote, local); ok; ok = description.GetNextFile(remote, local)) ++walked;
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double Run(const std::string& folder, const char* label, const std::string& text, double baseline) {
  const std::string path = folder + "/bench.ini";
  std::ofstream(path, std::ios::binary) << text;
  int walked = 0;
  const double seconds = TimeLoad(path, walked);
  std::printf("%-34s %9zu bytes  %8.3f s", label, text.size(), seconds);
  if (baseline > 0) std::printf("  ratio %6.2f", seconds / baseline);
  if (walked > 0) std::printf("  (%d files walked)", walked);
  std::printf("\n");
  std::fflush(stdout);
  return seconds;
}
// Decrypting an EIF file of kDecryptBytes packed with the built-in key; the time of the
// decryption alone (packing is not Setup's work).
void RunDecrypt() {
  std::string pem, error;
  ByteBuffer eif;
  const std::string text = Filler(kDecryptBytes);
  if (!PublicPemFromPrivateKey(GetBuiltInDescriptionKey(), pem, error) ||
      !PackEif(pem, GetBuiltInEifSignature(), ByteBuffer(text.begin(), text.end()), eif, error)) {
    std::printf("decrypt: cannot pack: %s\n", error.c_str());
    return;
  }
  std::optional<ByteBuffer> plain;
  std::size_t size = 0;
  const auto start = std::chrono::steady_clock::now();
  DecryptEifBytes(eif, plain, size, GetBuiltInDescriptionKey(), GetBuiltInEifSignature());
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("%-34s %9zu bytes  %8.3f s  %s\n", "decrypt EIF (built-in key)", eif.size(), seconds,
              plain && size == text.size() ? "ok" : "FAILED");
}
}  // namespace

// Arguments: the cases to run ("placeholders", "files", "comments", "brackets", "inserted",
// "spaces", "decrypt"); all when none.
int main(int argc, char** argv) {
  auto wanted = [argc, argv](const std::string& name) {
    if (argc < 2) return true;
    for (int i = 1; i < argc; ++i) {
      if (name == argv[i]) return true;
    }
    return false;
  };
  char pattern[] = "/tmp/websetup-description-bench-XXXXXX";
  if (mkdtemp(pattern) == nullptr) return 1;
  const std::string folder = pattern;
  const double baseline = Run(folder, "plain 16 MiB filler (baseline)", Plain(), 0);
  if (wanted("placeholders")) Run(folder, "16 MiB with 4096 placeholders", Placeholders(), baseline);
  if (wanted("files")) Run(folder, "100 000 listed files, walked", Files(), baseline);
  if (wanted("comments")) Run(folder, "1 MiB of comment lines", Comments(), baseline);
  if (wanted("brackets")) Run(folder, "16 MiB, 4096 bracket names", BracketNames(), baseline);
  if (wanted("inserted")) Run(folder, "4000 lookups in inserted text", InsertedText(), baseline);
  if (wanted("spaces")) Run(folder, "16 MiB, white-space runs", SpaceRuns(), baseline);
  if (wanted("decrypt")) RunDecrypt();
  std::filesystem::remove_all(folder);
  return 0;
}

// Fuzz target: EIF decryption of arbitrary bytes with the built-in key. A reject leaves no
// buffer and size 0; an accepted file has the signature and whole blocks, its buffer has the
// promised size and zero tail, its plaintext packs and decrypts to itself again, and Load
// reads it exactly as it reads the same bytes from a plain file.
#include <cryptopp/filters.h>
#include <cryptopp/hex.h>
#include <cryptopp/rsa.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "description/eif_decrypt.h"
#include "description/setup_description.h"
#include "eif_keys.h"
#include "system/text.h"

namespace {

// Enough for dozens of blocks; longer files only repeat the per-block work.
constexpr std::size_t kMaxInputBytes = 8192;

std::string g_folder;
std::string g_eifPath;
std::string g_plainPath;
std::string g_publicPem;
std::size_t g_blockBytes = 0;     // k
std::size_t g_maxPlainBytes = 0;  // m

void Require(bool condition) {
  if (!condition) std::abort();
}

void WriteFile(const std::string& path, const std::uint8_t* data, std::size_t size) {
  std::ofstream(path, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

bool StartsWithSignature(const std::uint8_t* data, std::size_t size) {
  const std::string signature = ToUtf8(GetBuiltInEifSignature());
  return size > signature.size() && std::equal(signature.begin(), signature.end(), data) && data[signature.size()] == 0;
}

struct CLoaded {
  bool result = false;
  std::wstring text;
  std::vector<std::wstring> missing;
  bool operator==(const CLoaded&) const = default;
};

CLoaded LoadFile(const std::string& path) {
  CSetupDescription description;
  CLoaded loaded;
  description.SetMissingTagHandler([&loaded](const std::wstring& name) { loaded.missing.push_back(name); });
  loaded.result = description.Load(FromUtf8(path));
  loaded.text = description.Text();
  return loaded;
}

void CheckAccepted(const std::uint8_t* data, std::size_t size, const ByteBuffer& buffer, std::size_t plainSize) {
  const std::size_t header = GetBuiltInEifSignature().size() + 1;
  Require(StartsWithSignature(data, size) && (size - header) % g_blockBytes == 0);
  const std::size_t blocks = (size - header) / g_blockBytes;
  Require(buffer.size() == blocks * g_maxPlainBytes + 1 && plainSize <= blocks * g_maxPlainBytes);
  Require(std::all_of(buffer.begin() + static_cast<std::ptrdiff_t>(plainSize), buffer.end(),
                      [](std::uint8_t b) { return b == 0; }));
  const ByteBuffer plain(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(plainSize));

  ByteBuffer packed;
  std::string error;
  Require(PackEif(g_publicPem, GetBuiltInEifSignature(), plain, packed, error));
  Require(packed.size() == header + (plainSize + g_maxPlainBytes - 1) / g_maxPlainBytes * g_blockBytes);
  WriteFile(g_eifPath, packed.data(), packed.size());
  std::optional<ByteBuffer> again;
  std::size_t againSize = 0;
  DecryptEifFile(FromUtf8(g_eifPath), again, againSize, GetBuiltInDescriptionKey(), GetBuiltInEifSignature());
  Require(again && againSize == plainSize && std::equal(plain.begin(), plain.end(), again->begin()));

  // A plain file cannot be empty, while an EIF may carry no plaintext at all.
  if (plainSize == 0) return;
  WriteFile(g_plainPath, plain.data(), plain.size());
  Require(LoadFile(g_eifPath) == LoadFile(g_plainPath));
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  char folder[] = "/tmp/websetup-eif-fuzz-XXXXXX";
  if (mkdtemp(folder) == nullptr) std::abort();
  g_folder = folder;
  std::atexit([] { std::filesystem::remove_all(g_folder); });
  g_eifPath = std::string(folder) + "/description.eif";
  g_plainPath = std::string(folder) + "/description.ini";
  setenv("XDG_DATA_HOME", folder, 1);
  std::string error;
  const std::string_view key = GetBuiltInDescriptionKey();
  if (!PublicPemFromPrivateKey(key, g_publicPem, error)) std::abort();
  CryptoPP::StringSource source(reinterpret_cast<const CryptoPP::byte*>(key.data()), key.size(), true,
                                new CryptoPP::HexDecoder);
  const CryptoPP::RSAES_OAEP_SHA_Decryptor decryptor(source);
  g_blockBytes = decryptor.FixedCiphertextLength();
  g_maxPlainBytes = decryptor.FixedMaxPlaintextLength();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > kMaxInputBytes) return 0;
  WriteFile(g_eifPath, data, size);
  std::optional<ByteBuffer> buffer;
  std::size_t plainSize = 12345;
  DecryptEifFile(FromUtf8(g_eifPath), buffer, plainSize, GetBuiltInDescriptionKey(), GetBuiltInEifSignature());
  if (!buffer) {
    Require(plainSize == 0);
    return 0;
  }
  CheckAccepted(data, size, *buffer, plainSize);
  return 0;
}

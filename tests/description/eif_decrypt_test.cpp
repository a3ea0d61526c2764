// EIF decryption: the signature check, whole-block decryption and every reject.
#include "description/eif_decrypt.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "eif_test_support.h"
#include "support/test_support.h"

namespace {

// The built-in key is 1024 bits: 128-byte blocks carrying at most 86 bytes each.
constexpr std::size_t kBlock = 128;
constexpr std::size_t kMaxPiece = 86;

class EifDecryptTest : public ::testing::Test {
 protected:
  // Decrypts bytes written to a file; nullopt when rejected.
  std::optional<ByteBuffer> Decrypt(const std::string& bytes, std::size_t& size) {
    WriteFileBytes(m_path, bytes);
    std::optional<ByteBuffer> buffer;
    size = 12345;
    DecryptEifFile(m_path, buffer, size, GetBuiltInDescriptionKey(), GetBuiltInEifSignature());
    return buffer;
  }
  static std::string Plaintext(const ByteBuffer& buffer, std::size_t size) {
    return std::string(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(size));
  }
  CTempFolder m_temp;
  std::wstring m_path = m_temp / L"SetupInitial.eif";
};

// Catches a lost or reordered piece when a description spans several blocks.
TEST_F(EifDecryptTest, RoundTripsAMultiBlockDescription) {
  std::string plain;
  for (int i = 0; i < 40; ++i) plain += "[Line " + std::to_string(i) + "]value\r\n";
  std::size_t size = 0;
  const auto buffer = Decrypt(MakeEif(plain), size);
  ASSERT_TRUE(buffer);
  EXPECT_EQ(Plaintext(*buffer, size), plain);
}

// Catches gaps or padding between short blocks, a wrong buffer length, or missing zero bytes
// behind the plaintext; with three blocks and with nine, whose later half another thread
// decrypts (a piece lost, moved or left twice where the halves meet).
TEST_F(EifDecryptTest, JoinsShortBlocksWithoutGaps) {
  const struct {
    std::vector<std::size_t> pieces;
    std::size_t size;
  } cases[] = {{{10, kMaxPiece, 1}, 97}, {{10, kMaxPiece, 1, 40, 3, 2, kMaxPiece, 7, 33}, 268}};
  for (const auto& c : cases) {
    std::string eif = EifHeader(), plain;
    for (std::size_t i = 0; i < c.pieces.size(); ++i) {
      const std::string piece(c.pieces[i], static_cast<char>('a' + i));
      eif += CipherPart(piece);
      plain += piece;
    }
    std::size_t size = 0;
    const auto buffer = Decrypt(eif, size);
    ASSERT_TRUE(buffer);
    EXPECT_EQ(size, c.size);
    EXPECT_EQ(Plaintext(*buffer, size), plain);
    ASSERT_EQ(buffer->size(), c.pieces.size() * kMaxPiece + 1);
    for (std::size_t i = size; i < buffer->size(); ++i) EXPECT_EQ((*buffer)[i], 0) << i;
  }
}

// Catches the byte-order mark being consumed here instead of by the loader.
TEST_F(EifDecryptTest, KeepsAByteOrderMark) {
  const std::string plain("\xFF\xFE[\0E\0", 6);
  std::size_t size = 0;
  const auto buffer = Decrypt(MakeEif(plain), size);
  ASSERT_TRUE(buffer);
  EXPECT_EQ(Plaintext(*buffer, size), plain);
}

// Catches a signature-only file being rejected or not given its terminating zero byte.
TEST_F(EifDecryptTest, SignatureAloneIsAnEmptyPlaintext) {
  std::size_t size = 0;
  const auto buffer = Decrypt(EifHeader(), size);
  ASSERT_TRUE(buffer);
  EXPECT_EQ(size, 0u);
  EXPECT_EQ(*buffer, ByteBuffer{0});
}

struct CRejectCase {
  const char* what;
  std::string (*make)();
};

class EifRejectTest : public EifDecryptTest, public ::testing::WithParamInterface<CRejectCase> {};

// Catches any of these files yielding a buffer (partial text included) or a non-zero size.
TEST_P(EifRejectTest, YieldsNoBuffer) {
  std::size_t size = 0;
  EXPECT_FALSE(Decrypt(GetParam().make(), size)) << GetParam().what;
  EXPECT_EQ(size, 0u);
}

std::string OtherKeyPem() {
  static const std::string pem = [] {
    std::string privateHex, publicPem, error;
    EXPECT_TRUE(GenerateDescriptionKey(kDefaultKeyBits, privateHex, publicPem, error)) << error;
    return publicPem;
  }();
  return pem;
}

INSTANTIATE_TEST_SUITE_P(
    Files, EifRejectTest,
    ::testing::Values(
        CRejectCase{"empty file", [] { return std::string(); }},
        CRejectCase{"signature with one letter in the other case",
                    [] {
                      std::string eif = MakeEif("[End]End");
                      eif[0] = static_cast<char>(eif[0] ^ 0x20);
                      return eif;
                    }},
        CRejectCase{"no zero byte after the signature", [] { return MakeEif("[End]End").substr(0, 13) + "x"; }},
        CRejectCase{"signature cut short", [] { return EifHeader().substr(0, 8); }},
        CRejectCase{
            "third block from another key",
            [] { return EifHeader() + CipherPart("one") + CipherPart("two") + CipherPart("three", OtherKeyPem()); }},
        CRejectCase{"first of nine blocks damaged",
                    [] {
                      std::string eif = MakeEif(std::string(9 * kMaxPiece, 'x'));
                      eif[20] = static_cast<char>(eif[20] ^ 1);
                      return eif;
                    }},
        CRejectCase{"last of nine blocks from another key",
                    [] { return MakeEif(std::string(8 * kMaxPiece, 'x')) + CipherPart("nine", OtherKeyPem()); }},
        CRejectCase{"cipher part of 2k + 10 bytes",
                    [] { return EifHeader() + CipherPart("one") + CipherPart("two") + std::string(10, 'x'); }},
        CRejectCase{"cipher part of 2k + 100 bytes (rounds up to three blocks)",
                    [] { return EifHeader() + CipherPart("one") + CipherPart("two") + std::string(100, 'x'); }},
        CRejectCase{"damaged block",
                    [] {
                      std::string eif = MakeEif("[End]End");
                      eif[20] = static_cast<char>(eif[20] ^ 1);
                      return eif;
                    }},
        CRejectCase{"cipher part of one byte", [] { return EifHeader() + "x"; }}));

// Catches a key text that is not a private key being used, or its error escaping.
TEST_F(EifDecryptTest, RejectsAnUnusableKey) {
  WriteFileBytes(m_path, MakeEif("[End]End"));
  for (const char* key : {"", "ZZ", "3082", "00112233445566778899"}) {
    std::optional<ByteBuffer> buffer;
    std::size_t size = 0;
    DecryptEifFile(m_path, buffer, size, key, GetBuiltInEifSignature());
    EXPECT_FALSE(buffer) << key;
  }
}

// Catches a huge file being read into memory (or its output allocated) before it is refused.
TEST_F(EifDecryptTest, RefusesHugeFilesBeforeReadingThem) {
  WriteFileBytes(m_path, EifHeader());
  std::filesystem::resize_file(std::filesystem::path(m_path), kMaxEifFileBytes + kBlock);
  std::optional<ByteBuffer> buffer;
  std::size_t size = 0;
  DecryptEifFile(m_path, buffer, size, GetBuiltInDescriptionKey(), GetBuiltInEifSignature());
  EXPECT_FALSE(buffer);
  // The limit itself, 16 MiB, on the plain reading that shares it: that much is read, one
  // byte more is not. Each file only grows: shrinking one fails under wine.
  const std::wstring limit = m_path + L".limit.ini";
  const std::wstring above = m_path + L".above.ini";
  WriteFileBytes(limit, "");
  WriteFileBytes(above, "");
  std::filesystem::resize_file(std::filesystem::path(limit), 16u << 20);
  std::filesystem::resize_file(std::filesystem::path(above), (16u << 20) + 1);
  ReadPlainFile(limit, buffer, size);
  EXPECT_EQ(size, (16u << 20) + 1);
  ReadPlainFile(above, buffer, size);
  EXPECT_FALSE(buffer);
}

// Catches a missing file being reported as anything but no buffer.
TEST_F(EifDecryptTest, MissingFileYieldsNoBuffer) {
  std::optional<ByteBuffer> buffer;
  std::size_t size = 0;
  DecryptEifFile(m_temp / L"absent.eif", buffer, size, GetBuiltInDescriptionKey(), GetBuiltInEifSignature());
  EXPECT_FALSE(buffer);
}

// Catches the plain reader dropping bytes, forgetting its terminating zero or accepting an
// empty file.
TEST_F(EifDecryptTest, ReadPlainFileAddsOneZeroByte) {
  std::optional<ByteBuffer> buffer;
  std::size_t size = 0;
  WriteFileBytes(m_path, std::string("a\0b", 3));
  ReadPlainFile(m_path, buffer, size);
  ASSERT_TRUE(buffer);
  EXPECT_EQ(size, 4u);
  EXPECT_EQ(*buffer, (ByteBuffer{'a', 0, 'b', 0}));
  WriteFileBytes(m_path, "");
  ReadPlainFile(m_path, buffer, size);
  EXPECT_FALSE(buffer);
}

}  // namespace

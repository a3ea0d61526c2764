// Our crypto against published test vectors and against Crypto++ (the vendor tool's library)
// on generated keys and random messages: the same blocks and signatures accepted and refused.
#include <cryptopp/integer.h>
#include <cryptopp/osrng.h>
#include <cryptopp/pubkey.h>
#include <cryptopp/queue.h>
#include <cryptopp/rsa.h>
#include <cryptopp/sha.h>
#include <cryptopp/xed25519.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "crypto/ed25519.h"
#include "crypto/rsa_oaep.h"
#include "crypto/sha.h"
#include "crypto/sha256_stream.h"
#include "websetup_config.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes FromHex(std::string_view hex) {
  Bytes bytes(hex.size() / 2);
  for (std::size_t i = 0; i < bytes.size(); ++i)
    bytes[i] = static_cast<std::uint8_t>(std::stoi(std::string(hex.substr(2 * i, 2)), nullptr, 16));
  return bytes;
}

template <class ByteRange>
std::string ToHex(const ByteRange& bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string text;
  for (const std::uint8_t byte : bytes) text += {kDigits[byte >> 4], kDigits[byte & 15]};
  return text;
}

// A digest the stream could not make: "none", which no expected value equals.
std::string ToHex(const std::optional<CSha256Digest>& digest) { return digest ? ToHex(*digest) : "none"; }

Bytes RandomBytes(std::mt19937& random, std::size_t size) {
  Bytes bytes(size);
  for (std::uint8_t& byte : bytes) byte = static_cast<std::uint8_t>(random());
  return bytes;
}

// The input given in pieces of `piece` bytes, so that block boundaries fall inside Update.
template <class Hash>
auto DigestInPieces(Hash& hash, const std::string& input, std::size_t repeat, std::size_t piece) {
  std::string all;
  for (std::size_t i = 0; i < repeat; ++i) all += input;
  for (std::size_t at = 0; at < all.size(); at += piece) hash.Update(all.data() + at, std::min(piece, all.size() - at));
  return hash.Final();
}

template <class Hash>
std::string HashInPieces(const std::string& input, std::size_t repeat, std::size_t piece) {
  Hash hash;
  return ToHex(DigestInPieces(hash, input, repeat, piece));
}

struct CHashVector {
  const char* input;
  std::size_t repeat;
  const char* sha1;
  const char* sha256;
  const char* sha512;
};

const std::string kTwoBlocks = "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq";

// The standard vectors: an empty message, one whose padding needs a second block, a million bytes.
const CHashVector kHashVectors[] = {
    {"", 1, "da39a3ee5e6b4b0d3255bfef95601890afd80709",
     "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855",
     "cf83e1357eefb8bdf1542850d66d8007d620e4050b5715dc83f4a921d36ce9ce47d0d13c5d85f2b0ff8318d2877eec2f63b931bd47417a8"
     "1a538327af927da3e"},
    {"abc", 1, "a9993e364706816aba3e25717850c26c9cd0d89d",
     "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad",
     "ddaf35a193617abacc417349ae20413112e6fa4e89a97ea20a9eeee64b55d39a2192992a274fc1a836ba3c23a3feebbd454d4423643ce80"
     "e2a9ac94fa54ca49f"},
    {kTwoBlocks.c_str(), 1, "84983e441c3bd26ebaae4aa1f95129e5e54670f1",
     "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1",
     "204a8fc6dda82f0a0ced7beb8e08a41657c16ef468b228a8279be331a703c33596fd15c13b1b07f9aa1d3bea57789ca031ad85c7a71dd70"
     "354ec631238ca3445"},
    {"a", 1000000, "34aa973cd4c4daa4f61eeb2bdbad27316534016f",
     "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0",
     "e718483d0ce769644e2e42c7bc15b4638e1f98b13b2044285632a803afa973ebde0ff244877ea60a4cb0432ce577c31beb009c5c2c49aa2"
     "e4eadb217ad8cc09b"},
};

std::string VectorTrace(const CHashVector& v, std::size_t piece) {
  return std::string(v.input).substr(0, 8) + " x" + std::to_string(v.repeat) + " in " + std::to_string(piece);
}

// Catches a wrong constant, round or padding: the standard vectors, whole and in pieces of 7
// bytes. SHA-256 is checked per engine below.
TEST(ShaTest, KnownDigests) {
  for (const CHashVector& v : kHashVectors) {
    for (const std::size_t piece : {std::size_t{1000000}, std::size_t{7}}) {
      SCOPED_TRACE(VectorTrace(v, piece));
      EXPECT_EQ(HashInPieces<CSha1Hash>(v.input, v.repeat, piece), v.sha1);
      EXPECT_EQ(HashInPieces<CSha512Hash>(v.input, v.repeat, piece), v.sha512);
    }
  }
}

template <class Ours, class Theirs>
void ExpectSameDigest(Ours& ours, const Bytes& message, std::size_t split) {
  ours.Update(message.data(), split);
  ours.Update(message.data() + split, message.size() - split);
  const auto digest = ours.Final();
  Bytes theirs(Theirs::DIGESTSIZE);
  Theirs().CalculateDigest(theirs.data(), message.data(), message.size());
  EXPECT_EQ(ToHex(digest), ToHex(theirs)) << message.size() << " bytes split at " << split;
}

// Catches a padding fault at some length (55/56/64 bytes for SHA-1, 111/112/128 for SHA-512)
// or in carrying a partial block from one Update to the next.
TEST(ShaTest, AgreesWithCryptoppAtEveryLength) {
  std::mt19937 random(1);
  for (std::size_t size = 0; size <= 300; ++size) {
    const Bytes message = RandomBytes(random, size);
    const std::size_t split = size == 0 ? 0 : random() % (size + 1);
    CSha1Hash sha1;
    ExpectSameDigest<CSha1Hash, CryptoPP::SHA1>(sha1, message, split);
    CSha512Hash sha512;
    ExpectSameDigest<CSha512Hash, CryptoPP::SHA512>(sha512, message, split);
  }
}

// The SHA-256 engines a payload can be hashed with: our portable code, and the platform's
// library (libcrypto on Linux, CNG under Windows and wine), which must give the same digests.
struct CSha256EngineCase {
  const char* name;
  std::unique_ptr<ISha256Engine> (*make)();
};

class Sha256EngineTest : public ::testing::TestWithParam<CSha256EngineCase> {
 protected:
  CSha256Stream Stream() const {
    std::unique_ptr<ISha256Engine> engine = GetParam().make();
    // Without this the platform case would quietly test the portable code a second time.
    EXPECT_NE(engine, nullptr) << GetParam().name << " engine unavailable";
    return CSha256Stream(std::move(engine));
  }
};

// Catches a wrong constant, round or padding in either engine: the standard vectors, whole and
// in pieces of 7 bytes, twice through one stream (an engine that cannot start afresh after its
// digest fails the second round).
TEST_P(Sha256EngineTest, KnownDigests) {
  CSha256Stream stream = Stream();
  for (const CHashVector& v : kHashVectors) {
    for (const std::size_t piece : {std::size_t{1000000}, std::size_t{7}}) {
      SCOPED_TRACE(VectorTrace(v, piece));
      for (int round = 0; round < 2; ++round)
        EXPECT_EQ(ToHex(DigestInPieces(stream, v.input, v.repeat, piece)), v.sha256);
    }
  }
}

// Catches a padding fault at some length (55/56/64 bytes) or in carrying a partial block from
// one Update to the next.
TEST_P(Sha256EngineTest, AgreesWithCryptoppAtEveryLength) {
  std::mt19937 random(1);
  CSha256Stream stream = Stream();
  for (std::size_t size = 0; size <= 300; ++size) {
    const Bytes message = RandomBytes(random, size);
    const std::size_t split = size == 0 ? 0 : random() % (size + 1);
    ExpectSameDigest<CSha256Stream, CryptoPP::SHA256>(stream, message, split);
  }
}

INSTANTIATE_TEST_SUITE_P(Engines, Sha256EngineTest,
                         ::testing::Values(CSha256EngineCase{"portable", &PortableSha256Engine},
                                           CSha256EngineCase{"platform", &PlatformSha256Engine}),
                         [](const auto& info) { return std::string(info.param.name); });

// Catches a run that quietly hashes with the portable code where the platform has its own (the
// speed is lost), or a Windows build that never reaches CNG, so the digests above were not CNG's.
TEST(Sha256StreamTest, UsesThePlatformsEngine) {
  const CSha256Stream stream;
  const std::string expected = kIsWindows ? "CNG" : "libcrypto";
  EXPECT_EQ(stream.EngineName(), expected);
  std::printf("payload SHA-256 engine: %s\n", stream.EngineName());
}

// An engine that fails at a chosen step, as a platform library may.
class CFailingEngine final : public ISha256Engine {
 public:
  enum class Step { Update, Final };
  explicit CFailingEngine(Step step) : m_step(step) {}
  bool Update(const void*, std::size_t) override { return m_step != Step::Update || std::exchange(m_failed, true); }
  bool Final(CSha256Digest& digest) override {
    digest.fill(0);
    return m_step != Step::Final || std::exchange(m_failed, true);
  }
  const char* Name() const override { return "failing"; }

 private:
  Step m_step;
  bool m_failed = false;  // fails once, then works
};

class Sha256FailureTest : public ::testing::TestWithParam<CFailingEngine::Step> {};

// Catches a failed engine reported as a digest (all zeros, or whatever it left), so bytes of
// unknown hash could pass; and a stream that stays failed after its digest was asked for.
TEST_P(Sha256FailureTest, FailedEngineGivesNoDigest) {
  CSha256Stream stream(std::make_unique<CFailingEngine>(GetParam()));
  stream.Update("abc", 3);
  stream.Update("def", 3);
  EXPECT_EQ(stream.Final(), std::nullopt);
  stream.Update("abc", 3);
  EXPECT_NE(stream.Final(), std::nullopt);
}

INSTANTIATE_TEST_SUITE_P(Steps, Sha256FailureTest,
                         ::testing::Values(CFailingEngine::Step::Update, CFailingEngine::Step::Final));

// Catches a stream that, given no engine (the platform's could not be had), hashes with nothing.
TEST(Sha256StreamTest, FallsBackToThePortableEngine) {
  CSha256Stream stream(nullptr);
  EXPECT_STREQ(stream.EngineName(), "portable");
  stream.Update("abc", 3);
  EXPECT_EQ(ToHex(stream.Final()), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
}

struct CEd25519Vector {
  const char* publicKey;
  const char* message;
  const char* signature;
};

bool Verify(const Bytes& key, const Bytes& message, const Bytes& signature) {
  return VerifyEd25519(key.data(), message.data(), message.size(), signature.data());
}

// Catches a wrong curve constant, point decoding, scalar reduction or encoding: the first
// three test vectors of RFC 8032, each also with one bit flipped in key, message or signature.
TEST(Ed25519Test, Rfc8032Vectors) {
  const CEd25519Vector vectors[] = {
      {"d75a980182b10ab7d54bfed3c964073a0ee172f3daa62325af021a68f707511a", "",
       "e5564300c360ac729086e2cc806e828a84877f1eb8e5d974d873e065224901555fb8821590a33bacc61e39701cf9b46bd25bf5f0595bbe2"
       "4655141438e7a100b"},
      {"3d4017c3e843895a92b70aa74d1b7ebc9c982ccf2ec4968cc0cd55f12af4660c", "72",
       "92a009a9f0d4cab8720e820b5f642540a2b27b5416503f8fb3762223ebdb69da085ac1e43e15996e458f3613d0f11d8c387b2eaeb4302ae"
       "eb00d291612bb0c00"},
      {"fc51cd8e6218a1a38da47ed00230f0580816ed13ba3303ac5deb911548908025", "af82",
       "6291d657deec24024827e69c3abe01a30ce548a284743a445e3680d7db5ac3ac18ff9b538d16f290ae67f760984dc6594a7c15e9716ed28"
       "dc027beceea1ec40a"},
  };
  for (const CEd25519Vector& v : vectors) {
    const Bytes key = FromHex(v.publicKey), message = FromHex(v.message), signature = FromHex(v.signature);
    EXPECT_TRUE(Verify(key, message, signature)) << v.publicKey;
    Bytes flipped = signature;
    flipped[5] ^= 0x10;
    EXPECT_FALSE(Verify(key, message, flipped)) << v.publicKey;
    flipped = signature;
    flipped[40] ^= 0x01;
    EXPECT_FALSE(Verify(key, message, flipped)) << v.publicKey;
    flipped = key;
    flipped[0] ^= 0x02;
    EXPECT_FALSE(Verify(flipped, message, signature)) << v.publicKey;
    Bytes longer = message;
    longer.push_back(0);
    EXPECT_FALSE(Verify(key, longer, signature)) << v.publicKey;
  }
}

bool CryptoppVerify(const Bytes& key, const Bytes& message, const Bytes& signature) {
  const CryptoPP::ed25519Verifier verifier(key.data());
  return verifier.VerifyMessage(message.data(), message.size(), signature.data(), signature.size());
}

// Catches a verification that differs from Crypto++ on real signatures of random messages
// (any length) or on any one-bit change of message, signature or key.
TEST(Ed25519Test, AgreesWithCryptoppOnRandomSignaturesAndBitFlips) {
  std::mt19937 random(2);
  CryptoPP::AutoSeededRandomPool pool;
  for (int round = 0; round < 6; ++round) {
    const Bytes seed = RandomBytes(random, 32);
    const CryptoPP::ed25519Signer signer(seed.data());
    const auto& privateKey = static_cast<const CryptoPP::ed25519PrivateKey&>(signer.GetPrivateKey());
    const Bytes key(privateKey.GetPublicKeyBytePtr(), privateKey.GetPublicKeyBytePtr() + 32);
    const Bytes message = RandomBytes(random, random() % 300);
    Bytes signature(64);
    signer.SignMessage(pool, message.data(), message.size(), signature.data());
    ASSERT_TRUE(Verify(key, message, signature));
    for (int flip = 0; flip < 24; ++flip) {
      Bytes k = key, m = message, s = signature;
      const int where = flip % 3;
      Bytes& target = where == 0 ? k : where == 1 ? (m.empty() ? s : m) : s;
      const std::size_t bit = random() % (8 * target.size());
      target[bit / 8] ^= static_cast<std::uint8_t>(1u << (bit % 8));
      EXPECT_EQ(Verify(k, m, s), CryptoppVerify(k, m, s)) << "round " << round << " flip " << flip;
      EXPECT_FALSE(Verify(k, m, s));
    }
  }
}

// Catches accepting a second form of a signature: S + L, which Crypto++ takes (it only checks
// that S is below 2^253), beside the one form both take.
TEST(Ed25519Test, RefusesSecondFormOfS) {
  const Bytes key = FromHex("d75a980182b10ab7d54bfed3c964073a0ee172f3daa62325af021a68f707511a"), message;
  Bytes signature = FromHex(
      "e5564300c360ac729086e2cc806e828a84877f1eb8e5d974d873e065224901555fb8821590a33bacc61e39701cf9b46bd25bf5f0595bbe2"
      "4655141438e7a100b");
  ASSERT_TRUE(Verify(key, message, signature));
  ASSERT_TRUE(CryptoppVerify(key, message, signature));
  const Bytes order = FromHex("edd3f55c1a631258d69cf7a2def9de1400000000000000000000000000000010");
  unsigned carry = 0;
  for (std::size_t i = 0; i < 32; ++i) {
    carry += signature[32 + i] + order[i];
    signature[32 + i] = static_cast<std::uint8_t>(carry);
    carry >>= 8;
  }
  EXPECT_FALSE(Verify(key, message, signature));
  EXPECT_TRUE(CryptoppVerify(key, message, signature));
}

// Keys that must never be trusted. The eight points of small order (8A is the identity) in their
// canonical encodings, their other encodings (y + p below 2^255, x = 0 with the sign bit set),
// then encodings of a y with no x.
struct CBadKey {
  const char* hex;
  const char* what;
  bool smallOrder;
};
const CBadKey kBadKeys[] = {
    {"0100000000000000000000000000000000000000000000000000000000000000", "identity", true},
    {"ecffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff7f", "order 2", true},
    {"0000000000000000000000000000000000000000000000000000000000000000", "order 4", true},
    {"0000000000000000000000000000000000000000000000000000000000000080", "order 4, x negative", true},
    {"26e8958fc2b227b045c3f489f2ef98f0d5dfac05d3c63339b13802886d53fc05", "order 8", true},
    {"26e8958fc2b227b045c3f489f2ef98f0d5dfac05d3c63339b13802886d53fc85", "order 8, x negative", true},
    {"c7176a703d4dd84fba3c0b760d10670f2a2053fa2c39ccc64ec7fd7792ac037a", "order 8", true},
    {"c7176a703d4dd84fba3c0b760d10670f2a2053fa2c39ccc64ec7fd7792ac03fa", "order 8, x negative", true},
    {"eeffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff7f", "identity as y = p + 1", true},
    {"eeffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff", "identity as y = p + 1, x = -0", true},
    {"0100000000000000000000000000000000000000000000000000000000000080", "identity, x = -0", true},
    {"ecffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff", "order 2, x = -0", true},
    {"edffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff7f", "order 4 as y = p", true},
    {"edffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff", "order 4 as y = p, x negative", true},
    {"0200000000000000000000000000000000000000000000000000000000000000", "no x for y = 2", false},
    {"0700000000000000000000000000000000000000000000000000000000000080", "no x for y = 7", false},
    {"ebffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff7f", "no x for y = p - 2", false},
};
// B + T for each point T of small order. Under a key A of small order [h]A is always such a T,
// so R = B - [h]A with S = 1 is one of these: a forger picks one and changes the message until
// h fits, one try in eight at worst, without any private key (R = B fits every message under the
// identity). Eight messages make several forgeries for each key.
constexpr std::uint8_t kForgeryMessages = 8;
const char* const kForgedSignatureRs[] = {
    "5866666666666666666666666666666666666666666666666666666666666666",
    "98519eadf35b995233b51b5cd23e9cc5a28b639b5a4af0ec903cb960d81b7819",
    "9bad33f580df7ecc49df5342bac8145d5bedc40f573d1b067f3c4ce449689a15",
    "da99e28ba529cdde35a25fba9059e78ecaee239f99755b9b1aa4f65df00803e2",
    "9599999999999999999999999999999999999999999999999999999999999999",
    "55ae61520ca466adcc4ae4a32dc1633a5d749c64a5b50f136fc3469f27e487e6",
    "5252cc0a7f208133b620acbd4537eba2a4123bf0a8c2e4f980c3b31bb69765ea",
    "13661d745ad63221ca5da0456fa618713511dc60668aa464e55b09a20ff7fc1d",
};

// Catches trusting a key anyone can sign for (a point of small order, in any encoding) or a key
// that is no point at all: no forged signature verifies, for any message. Crypto++, which
// verifies by the same equation but takes such keys, accepts some of them for every key of
// small order, so they are real forgeries and the table of keys is right.
TEST(Ed25519Test, RefusesKeysOfSmallOrderAndKeysThatAreNoPoint) {
  const std::string one = "0100000000000000000000000000000000000000000000000000000000000000";
  for (const CBadKey& bad : kBadKeys) {
    const Bytes key = FromHex(bad.hex);
    int forged = 0;
    for (std::uint8_t m = 0; m < kForgeryMessages; ++m) {
      const Bytes message = {'m', m};
      for (const char* r : kForgedSignatureRs) {
        const Bytes signature = FromHex(r + one);
        EXPECT_FALSE(Verify(key, message, signature)) << bad.what << " " << bad.hex << " R " << r;
        forged += CryptoppVerify(key, message, signature) ? 1 : 0;
      }
    }
    EXPECT_EQ(forged > 0, bad.smallOrder) << bad.what << " " << bad.hex;
  }
}

// A description key made as eiftool keygen makes it, in DER and as Crypto++ holds it.
struct CKey {
  explicit CKey(unsigned bits) {
    CryptoPP::AutoSeededRandomPool pool;
    cryptopp.GenerateRandomWithKeySize(pool, bits);
    CryptoPP::ByteQueue queue;
    cryptopp.Save(queue);  // PKCS #8 PrivateKeyInfo
    der.resize(queue.CurrentSize());
    queue.Get(der.data(), der.size());
  }
  Bytes der;
  CryptoPP::RSA::PrivateKey cryptopp;
};

// The keys are generated once: 2048 bits takes a while.
const std::vector<CKey>& Keys() {
  static const std::vector<CKey> keys = [] {
    std::vector<CKey> made;
    for (const unsigned bits : {1024u, 1100u, 2048u}) made.emplace_back(bits);
    return made;
  }();
  return keys;
}

std::optional<Bytes> OursDecrypt(const CKey& key, const Bytes& block) {
  const std::optional<CRsaOaepDecryptor> decryptor = CRsaOaepDecryptor::FromPkcs8(key.der.data(), key.der.size());
  EXPECT_TRUE(decryptor);
  if (!decryptor || block.size() != decryptor->CipherBlockBytes()) return std::nullopt;
  Bytes out(decryptor->MaxPlainBytes());
  const std::optional<std::size_t> length = decryptor->Decrypt(block.data(), out.data());
  if (!length) return std::nullopt;
  out.resize(*length);
  return out;
}

std::optional<Bytes> CryptoppDecrypt(const CKey& key, const Bytes& block) {
  CryptoPP::AutoSeededRandomPool pool;
  const CryptoPP::RSAES_OAEP_SHA_Decryptor decryptor(key.cryptopp);
  Bytes out(decryptor.FixedMaxPlaintextLength());
  try {
    const CryptoPP::DecodingResult result = decryptor.Decrypt(pool, block.data(), block.size(), out.data());
    if (!result.isValidCoding) return std::nullopt;
    out.resize(result.messageLength);
    return out;
  } catch (const CryptoPP::Exception&) {
    return std::nullopt;
  }
}

// Catches a fault in the RSA arithmetic (CRT recombination, Montgomery reduction at a key
// size that is not a multiple of 32 or 8 bits) or the OAEP decoding: messages of every
// boundary length encrypted by Crypto++ decrypt to themselves; any one-bit change of a block
// is refused by both.
TEST(RsaOaepTest, DecryptsWhatCryptoppEncryptsAndRefusesChangedBlocks) {
  std::mt19937 random(3);
  CryptoPP::AutoSeededRandomPool pool;
  for (const CKey& key : Keys()) {
    const CryptoPP::RSAES_OAEP_SHA_Encryptor encryptor(key.cryptopp);
    const std::size_t m = encryptor.FixedMaxPlaintextLength();
    for (const std::size_t size : {std::size_t{0}, std::size_t{1}, m / 2, m - 1, m}) {
      const Bytes message = RandomBytes(random, size);
      Bytes block(encryptor.FixedCiphertextLength());
      encryptor.Encrypt(pool, message.data(), message.size(), block.data());
      EXPECT_EQ(OursDecrypt(key, block), message) << key.der.size() << " " << size;
      const std::size_t bit = random() % (8 * block.size());
      block[bit / 8] ^= static_cast<std::uint8_t>(1u << (bit % 8));
      EXPECT_EQ(OursDecrypt(key, block), CryptoppDecrypt(key, block)) << "bit " << bit;
      EXPECT_FALSE(OursDecrypt(key, block)) << "bit " << bit;
    }
  }
}

// A block holding exactly this encoded message (k - 1 bytes after the leading byte), made
// with the raw public-key operation so that the encoding can be wrong on purpose.
Bytes EncryptEncoded(const CKey& key, std::uint8_t leading, Bytes db) {
  const std::size_t k = key.cryptopp.GetModulus().ByteCount();
  Bytes encoded(k);
  encoded[0] = leading;
  Bytes seed(20, 0x5a);
  db.resize(k - 21, 0);
  CryptoPP::SHA1 sha1;
  CryptoPP::P1363_MGF1KDF2_Common(sha1, db.data(), db.size(), seed.data(), seed.size(), nullptr, 0, true, 0);
  CryptoPP::P1363_MGF1KDF2_Common(sha1, seed.data(), seed.size(), db.data(), db.size(), nullptr, 0, true, 0);
  std::copy(seed.begin(), seed.end(), encoded.begin() + 1);
  std::copy(db.begin(), db.end(), encoded.begin() + 21);
  const CryptoPP::Integer c = key.cryptopp.ApplyFunction(CryptoPP::Integer(encoded.data(), encoded.size()));
  Bytes block(k);
  c.Encode(block.data(), block.size());
  return block;
}

// Catches an OAEP check left out or done differently from Crypto++: the leading byte, the
// label hash, the zero padding and its 0x01, and a block that is not below the modulus.
TEST(RsaOaepTest, RefusesWhatCryptoppRefuses) {
  const CKey& key = Keys()[0];
  const Bytes lHash = FromHex("da39a3ee5e6b4b0d3255bfef95601890afd80709");
  auto db = [&](const Bytes& padding, const Bytes& message) {
    Bytes bytes = lHash;
    bytes.insert(bytes.end(), padding.begin(), padding.end());
    bytes.insert(bytes.end(), message.begin(), message.end());
    return bytes;
  };
  const std::size_t dbSize = key.cryptopp.GetModulus().ByteCount() - 21;
  auto padded = [&](const Bytes& message, std::uint8_t separator, std::uint8_t stray) {
    Bytes padding(dbSize - lHash.size() - message.size() - 1, 0);
    if (!padding.empty()) padding.back() = stray;
    padding.push_back(separator);
    return db(padding, message);
  };
  Bytes badHash = padded({'h', 'i'}, 0x01, 0);
  badHash[3] ^= 1;
  Bytes noSeparator(dbSize, 0);
  std::copy(lHash.begin(), lHash.end(), noSeparator.begin());
  struct CCase {
    const char* name;
    Bytes block;
    std::optional<Bytes> plain;
  } cases[] = {
      {"valid", EncryptEncoded(key, 0, padded({'h', 'i'}, 0x01, 0)), Bytes{'h', 'i'}},
      {"no padding", EncryptEncoded(key, 0, db({0x01}, Bytes(dbSize - 21, 'x'))), Bytes(dbSize - 21, 'x')},
      {"leading byte 1", EncryptEncoded(key, 1, padded({'h', 'i'}, 0x01, 0)), std::nullopt},
      {"label hash", EncryptEncoded(key, 0, badHash), std::nullopt},
      {"no 0x01", EncryptEncoded(key, 0, noSeparator), std::nullopt},
      {"0x02 for 0x01", EncryptEncoded(key, 0, padded({'h', 'i'}, 0x02, 0)), std::nullopt},
      {"stray byte", EncryptEncoded(key, 0, padded({'h', 'i'}, 0x01, 0x07)), std::nullopt},
  };
  for (const CCase& c : cases) {
    EXPECT_EQ(OursDecrypt(key, c.block), c.plain) << c.name;
    EXPECT_EQ(CryptoppDecrypt(key, c.block), c.plain) << c.name;
  }
  Bytes modulus(key.cryptopp.GetModulus().ByteCount());
  key.cryptopp.GetModulus().Encode(modulus.data(), modulus.size());
  EXPECT_FALSE(OursDecrypt(key, modulus));
  EXPECT_FALSE(CryptoppDecrypt(key, modulus));
  EXPECT_FALSE(OursDecrypt(key, Bytes(modulus.size(), 0xff)));
}

// DER of one element.
Bytes Der(std::uint8_t tag, const Bytes& contents) {
  Bytes out{tag};
  const std::size_t size = contents.size();
  if (size < 0x80) {
    out.push_back(static_cast<std::uint8_t>(size));
  } else if (size < 0x100) {
    out.insert(out.end(), {0x81, static_cast<std::uint8_t>(size)});
  } else {
    out.insert(out.end(), {0x82, static_cast<std::uint8_t>(size >> 8), static_cast<std::uint8_t>(size)});
  }
  out.insert(out.end(), contents.begin(), contents.end());
  return out;
}

Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& part : parts) out.insert(out.end(), part.begin(), part.end());
  return out;
}

Bytes DerInteger(const CryptoPP::Integer& value) {
  Bytes bytes(value.MinEncodedSize(CryptoPP::Integer::SIGNED));
  value.Encode(bytes.data(), bytes.size(), CryptoPP::Integer::SIGNED);
  return Der(0x02, bytes);
}

// The parts of a PKCS #8 key, each of which a case may replace.
struct CKeyParts {
  Bytes version = Der(0x02, {0});
  Bytes oid = Der(0x06, {0x2a, 0x86, 0x48, 0x86, 0xf7, 0x0d, 0x01, 0x01, 0x01});
  Bytes parameters = Der(0x05, {});
  Bytes keyVersion = Der(0x02, {0});
  std::vector<Bytes> numbers;
  Bytes keyTrailer, infoTrailer, trailer;

  Bytes Encode() const {
    Bytes key = keyVersion;
    for (const Bytes& number : numbers) key = Cat({key, number});
    const Bytes rsaKey = Der(0x30, Cat({key, keyTrailer}));
    return Cat({Der(0x30, Cat({version, Der(0x30, Cat({oid, parameters})), Der(0x04, rsaKey), infoTrailer})), trailer});
  }
};

// Catches a malformed key being used (or read past its end) rather than refused, and a
// well-formed one being refused: each case changes one thing of a key that loads.
TEST(RsaOaepTest, ReadsOnlyWellFormedKeys) {
  const CryptoPP::RSA::PrivateKey& k = Keys()[0].cryptopp;
  CKeyParts good;
  for (const CryptoPP::Integer* n : {&k.GetModulus(), &k.GetPublicExponent(), &k.GetPrivateExponent(), &k.GetPrime1(),
                                     &k.GetPrime2(), &k.GetModPrime1PrivateExponent(), &k.GetModPrime2PrivateExponent(),
                                     &k.GetMultiplicativeInverseOfPrime2ModPrime1()}) {
    good.numbers.push_back(DerInteger(*n));
  }
  struct CCase {
    const char* name;
    void (*change)(CKeyParts&);
    bool loads;
  } cases[] = {
      {"as made", [](CKeyParts&) {}, true},
      {"no parameters", [](CKeyParts& p) { p.parameters.clear(); }, true},
      {"attributes after the key", [](CKeyParts& p) { p.infoTrailer = Der(0xa0, {}); }, true},
      {"version 1", [](CKeyParts& p) { p.version = Der(0x02, {1}); }, false},
      {"key version 1", [](CKeyParts& p) { p.keyVersion = Der(0x02, {1}); }, false},
      {"another algorithm", [](CKeyParts& p) { p.oid.back() = 0x05; }, false},
      {"parameters not NULL", [](CKeyParts& p) { p.parameters = Der(0x02, {0}); }, false},
      {"a part missing", [](CKeyParts& p) { p.numbers.pop_back(); }, false},
      {"a ninth part", [](CKeyParts& p) { p.keyTrailer = Der(0x02, {1}); }, false},
      {"bytes after the key", [](CKeyParts& p) { p.trailer = {0}; }, false},
      {"negative modulus",
       [](CKeyParts& p) {
         p.numbers[0].erase(p.numbers[0].begin() + 3);
         p.numbers[0][2] -= 1;
       },
       false},
      {"integer with a needless zero",
       [](CKeyParts& p) {
         p.numbers[1] = Der(0x02, {0, 1, 0, 1});
       },
       false},
      {"even public exponent",
       [](CKeyParts& p) {
         p.numbers[1] = Der(0x02, {1, 0, 0});
       },
       false},
      {"primes not of the modulus", [](CKeyParts& p) { p.numbers[3].back() += 2; }, false},
  };
  for (const CCase& c : cases) {
    CKeyParts parts = good;
    c.change(parts);
    const Bytes der = parts.Encode();
    EXPECT_EQ(CRsaOaepDecryptor::FromPkcs8(der.data(), der.size()).has_value(), c.loads) << c.name;
  }
  // Cut anywhere, the key is refused without reading past its end (ASan watches).
  const Bytes der = good.Encode();
  for (std::size_t size = 0; size < der.size(); ++size) {
    const Bytes cut(der.begin(), der.begin() + static_cast<std::ptrdiff_t>(size));
    EXPECT_FALSE(CRsaOaepDecryptor::FromPkcs8(cut.data(), cut.size())) << size;
  }
  // Lengths that are not DER: indefinite, long form for a short length, beyond the data.
  for (const Bytes& bad :
       {Bytes{0x30, 0x80, 0x00, 0x00}, Bytes{0x30, 0x81, 0x01, 0x00}, Bytes{0x30, 0x84, 0xff, 0xff, 0xff, 0xff}}) {
    EXPECT_FALSE(CRsaOaepDecryptor::FromPkcs8(bad.data(), bad.size()));
  }
}

}  // namespace

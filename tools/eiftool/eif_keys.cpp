// Key generation and EIF packing with Crypto++ (see eif_keys.h).
#include "eif_keys.h"

#include <cryptopp/base64.h>
#include <cryptopp/cryptlib.h>
#include <cryptopp/filters.h>
#include <cryptopp/hex.h>
#include <cryptopp/osrng.h>
#include <cryptopp/queue.h>
#include <cryptopp/rsa.h>

#include <algorithm>

#include "eif_signing.h"

namespace {

const char kPemLabel[] = "PUBLIC KEY";
const char kPemBegin[] = "-----BEGIN PUBLIC KEY-----";
const char kPemEnd[] = "-----END PUBLIC KEY-----";
constexpr char kFirstPrintable = ' ';
constexpr char kLastPrintable = '~';

std::string ToPem(const CryptoPP::RSA::PublicKey& key) {
  std::string der;
  CryptoPP::StringSink derSink(der);
  key.DEREncode(derSink);
  return PemBlock(kPemLabel, der);
}

bool FromPem(std::string_view pem, CryptoPP::RSA::PublicKey& key, std::string& error) {
  const auto begin = pem.find(kPemBegin);
  const auto end = pem.find(kPemEnd);
  if (begin == std::string_view::npos || end == std::string_view::npos || end < begin) {
    error = "not a PEM public key (expected \"" + std::string(kPemBegin) + "\")";
    return false;
  }
  const auto bodyStart = begin + std::string_view(kPemBegin).size();
  const std::string body(pem.substr(bodyStart, end - bodyStart));
  CryptoPP::ByteQueue der;
  CryptoPP::StringSource(body, true, new CryptoPP::Base64Decoder(new CryptoPP::Redirector(der)));
  key.BERDecode(der);
  return true;
}

CryptoPP::RSA::PrivateKey FromHex(std::string_view privateHex) {
  CryptoPP::StringSource source(reinterpret_cast<const CryptoPP::byte*>(privateHex.data()), privateHex.size(), true,
                                new CryptoPP::HexDecoder);
  CryptoPP::RSA::PrivateKey key;
  key.Load(source);
  return key;
}

}  // namespace

bool GenerateDescriptionKey(unsigned bits, std::string& privateHex, std::string& publicPem, std::string& error) {
  if (bits < kMinKeyBits || bits > kMaxKeyBits) {
    error = "key size must be between " + std::to_string(kMinKeyBits) + " and " + std::to_string(kMaxKeyBits) + " bits";
    return false;
  }
  try {
    CryptoPP::AutoSeededRandomPool random;
    CryptoPP::RSA::PrivateKey key;
    key.GenerateRandomWithKeySize(random, bits);
    privateHex.clear();
    CryptoPP::HexEncoder hex(new CryptoPP::StringSink(privateHex), true);
    key.Save(hex);  // PKCS #8 PrivateKeyInfo
    hex.MessageEnd();
    publicPem = ToPem(CryptoPP::RSA::PublicKey(key));
    return true;
  } catch (const CryptoPP::Exception& e) {
    error = e.what();
    return false;
  }
}

bool PublicPemFromPrivateKey(std::string_view privateHex, std::string& publicPem, std::string& error) {
  try {
    publicPem = ToPem(CryptoPP::RSA::PublicKey(FromHex(privateHex)));
    return true;
  } catch (const CryptoPP::Exception& e) {
    error = std::string("not a usable private key: ") + e.what();
    return false;
  }
}

bool IsValidEifSignature(std::wstring_view signature) {
  return signature.size() == kEifSignatureLength && std::all_of(signature.begin(), signature.end(), [](wchar_t c) {
           return c >= kFirstPrintable && c <= kLastPrintable;
         });
}

bool PackEif(std::string_view publicPem, std::wstring_view signature, const ByteBuffer& plain, ByteBuffer& eif,
             std::string& error) {
  if (!IsValidEifSignature(signature)) {
    error = "the signature must be exactly 13 printable ASCII characters";
    return false;
  }
  try {
    CryptoPP::RSA::PublicKey key;
    if (!FromPem(publicPem, key, error)) return false;
    CryptoPP::RSAES_OAEP_SHA_Encryptor encryptor(key);
    const std::size_t m = encryptor.FixedMaxPlaintextLength();
    const std::size_t k = encryptor.FixedCiphertextLength();
    if (m == 0) {
      error = "the key is too short to carry any plaintext";
      return false;
    }
    eif.assign(signature.begin(), signature.end());
    eif.push_back(0);
    CryptoPP::AutoSeededRandomPool random;
    for (std::size_t pos = 0; pos < plain.size(); pos += m) {
      const std::size_t piece = std::min(m, plain.size() - pos);
      const std::size_t at = eif.size();
      eif.resize(at + k);
      encryptor.Encrypt(random, plain.data() + pos, piece, eif.data() + at);
    }
    return true;
  } catch (const CryptoPP::Exception& e) {
    error = std::string("not a usable RSA public key: ") + e.what();
    return false;
  }
}

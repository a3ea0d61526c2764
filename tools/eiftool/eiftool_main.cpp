// eiftool: keygen, pack, unpack, sign and check, for vendors who make their own setup descriptions.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <optional>
#include <sstream>

#include "description/description_rules.h"
#include "description/description_signature.h"
#include "description/eif_decrypt.h"
#include "eif_check.h"
#include "eif_hashes.h"
#include "eif_keys.h"
#include "eif_online.h"
#include "eif_private_file.h"
#include "eif_signing.h"
#include "eiftool.h"
#include "system/clock.h"
#include "system/text.h"

namespace {

const char kUsage[] =
    "Usage: eiftool COMMAND ...\n"
    "Makes description keys and EIF files (encrypted setup descriptions), signs and checks them.\n"
    "\n"
    "  eiftool keygen [--bits 1024] PRIVATE.hex PUBLIC.pem\n"
    "      New description key pair: the private key as Setup embeds it (upper-case hex of\n"
    "      PKCS #8 DER, owner-only; build with -DWEBSETUP_DESCRIPTION_KEY_FILE=PRIVATE.hex) and\n"
    "      the public key as PEM.\n"
    "  eiftool keygen --signing SIGNING.pem PUBLIC.pem\n"
    "      New Ed25519 signing key pair, as OpenSSL writes them: SIGNING.pem (PKCS #8, owner-only;\n"
    "      keep it on the signing machine) and PUBLIC.pem (build Setup with\n"
    "      -DWEBSETUP_SIGNING_PUBLIC_KEY_FILE=PUBLIC.pem).\n"
    "      Either keygen makes new files only and never replaces a key file.\n"
    "  eiftool pack --public-key PUBLIC.pem --signature SIG [--hashes DIR] [--expires WHEN]\n"
    "               [--serial N] [--setup-name NAME] IN OUT\n"
    "      Encrypts the description IN into the EIF file OUT (SIG: the 13 characters of\n"
    "      WEBSETUP_EIF_SIGNATURE). --hashes DIR first writes the tag \"File Hashes\" (replacing\n"
    "      one IN has) in front of \"[End]\": a sha256sum line for each listed local name, hashed\n"
    "      from DIR; a listed file missing from DIR is an error. --expires (a UTC date\n"
    "      YYYY-MM-DDTHH:MM:SSZ, or a time from now: 30d, 12h, 4w), --serial and --setup-name\n"
    "      write the tags \"Expires\", \"Serial\" and \"Setup Name\" the same way.\n"
    "  eiftool unpack --private-key PRIVATE.hex --signature SIG IN OUT\n"
    "      Decrypts the EIF file IN into OUT.\n"
    "  eiftool sign --signing-key SIGNING.pem FILE [SIG]\n"
    "      Writes the 64-byte Ed25519 signature of FILE's bytes to SIG (default FILE.sig), the\n"
    "      same bytes as 'openssl pkeyutl -sign -rawin'. Sign again after every pack.\n"
    "  eiftool check [--private-key PRIVATE.hex] [--signature SIG]\n"
    "                [--signing-public-key PUBLIC.pem] [--files DIR] [--min-serial N] FILE\n"
    "      Loads FILE as Setup does (\".ini\" plain, anything else decrypted; by default with\n"
    "      the key and signature built into this eiftool) and reports what Setup would read\n"
    "      and every problem. With a signing public key (given, or built into this eiftool)\n"
    "      FILE.sig must be FILE's valid signature. \"File Hashes\" must give one well-formed\n"
    "      line for each listed file; --files DIR compares them with the files in DIR.\n"
    "      \"Expires\", \"Serial\" and \"Setup Name\" are shown; an expired description or one\n"
    "      below --min-serial (the Setups' WEBSETUP_MIN_DESCRIPTION_SERIAL) is a problem, and\n"
    "      fewer than 7 days to expiry a warning.\n"
    "      Exit status 0 only when it is ready to publish.\n"
    "  eiftool check --online --primary HOST --secondary HOST\n"
    "                (--setup-name NAME | --download-path PATH) [--scheme http|https] [--json]\n"
    "                [--private-key PRIVATE.hex] [--signature SIG] [--signing-public-key PUBLIC.pem]\n"
    "                [--min-serial N]\n"
    "      Preflight: asks the download hosts what a run of a Setup built with these hosts,\n"
    "      scheme and keys would ask them, with the same requests, and reports which host\n"
    "      serves the description (PATH/SetupInitial.eif; PATH is /downloads/Setups/NAME for a\n"
    "      Setup named Setup_NAME_), the check of that description, which \"Download Sites\"\n"
    "      entry wins and why each one before it lost, every listed file's declared length, the\n"
    "      byte total, redirects and not-found pages, and the run's message if it would fail.\n"
    "      --json writes one JSON object instead. Exit status 0 only when the run would succeed.\n"
    "  eiftool --help\n";

// A failure with its one-line reason, written to stderr with status 1.
int Fail(const std::string& reason) {
  std::cerr << "eiftool: " << reason << "\n";
  return 1;
}

struct CArgs {
  std::map<std::wstring, std::wstring> options;
  std::vector<std::wstring> positional;
};

// Splits "--name value" pairs (only those in known) from positional arguments.
bool ParseArgs(const std::vector<std::wstring>& args, std::size_t first, const std::vector<std::wstring>& known,
               CArgs& parsed, std::string& error) {
  for (std::size_t i = first; i < args.size(); ++i) {
    if (args[i].rfind(L"--", 0) != 0) {
      parsed.positional.push_back(args[i]);
      continue;
    }
    if (std::find(known.begin(), known.end(), args[i]) == known.end()) {
      error = "unknown option " + ToUtf8(args[i]) + " (see eiftool --help)";
      return false;
    }
    if (i + 1 >= args.size()) {
      error = "option " + ToUtf8(args[i]) + " needs a value";
      return false;
    }
    parsed.options[args[i]] = args[i + 1];
    ++i;
  }
  return true;
}

// Through UTF-8: std::filesystem converts wide text by the C locale, which has no letters beyond
// ASCII, and a folder such as "Café" threw instead of opening.
std::filesystem::path NativePath(const std::wstring& path) {
  const std::string utf8 = ToUtf8(path);
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::wstring FromNativePath(const std::filesystem::path& path) {
  const std::u8string utf8 = path.u8string();
  return FromUtf8(std::string(utf8.begin(), utf8.end()));
}

bool ReadBytes(const std::wstring& path, std::string& bytes) {
  std::ifstream in(NativePath(path), std::ios::binary);
  if (!in) return false;
  std::ostringstream content;
  content << in.rdbuf();
  bytes = content.str();
  return !in.bad();
}

bool WriteBytes(const std::wstring& path, const void* data, std::size_t size) {
  std::ofstream out(NativePath(path), std::ios::binary | std::ios::trunc);
  out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
  out.close();
  return !out.fail();
}

// The private key text of a key file, without the white space an editor may add.
bool ReadPrivateKey(const std::wstring& path, std::string& key, std::string& error) {
  if (!ReadBytes(path, key)) {
    error = "cannot read private key " + ToUtf8(path);
    return false;
  }
  std::erase_if(key, [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; });
  return true;
}

// Both halves of a new key pair in new files, the private one for its owner only. The public
// file is made first and removed again when the private one cannot be made, so a refusal (either
// file exists) leaves nothing behind and never touches an existing key.
int WriteNewKeyPair(const std::wstring& privatePath, const std::string& privateKey, const std::wstring& publicPath,
                    const std::string& publicKey) {
  if (privatePath == publicPath) return Fail("keygen needs two different files for the private and the public key");
  std::string error;
  if (!WriteNewKeyFile(publicPath, publicKey, KeyFileReaders::Anyone, error)) return Fail(error);
  if (!WriteNewKeyFile(privatePath, privateKey, KeyFileReaders::OwnerOnly, error)) {
    std::error_code ignored;
    std::filesystem::remove(NativePath(publicPath), ignored);
    return Fail(error);
  }
  return 0;
}

int KeygenSigning(const CArgs& parsed) {
  if (parsed.options.count(L"--bits") || parsed.positional.size() != 1) {
    return Fail("keygen --signing needs SIGNING.pem and PUBLIC.pem (and no --bits: Ed25519 keys have one size)");
  }
  std::string privatePem, publicPem, error;
  if (!GenerateSigningKey(privatePem, publicPem, error)) return Fail(error);
  return WriteNewKeyPair(parsed.options.at(L"--signing"), privatePem, parsed.positional[0], publicPem);
}

int Keygen(const std::vector<std::wstring>& args) {
  CArgs parsed;
  std::string error;
  if (!ParseArgs(args, 1, {L"--bits", L"--signing"}, parsed, error)) return Fail(error);
  if (parsed.options.count(L"--signing")) return KeygenSigning(parsed);
  if (parsed.positional.size() != 2) return Fail("keygen needs PRIVATE.hex and PUBLIC.pem");
  unsigned bits = kDefaultKeyBits;
  if (auto it = parsed.options.find(L"--bits"); it != parsed.options.end()) {
    try {
      bits = static_cast<unsigned>(std::stoul(it->second));
    } catch (const std::exception&) {
      return Fail("--bits needs a number");
    }
  }
  std::string privateHex, publicPem;
  if (!GenerateDescriptionKey(bits, privateHex, publicPem, error)) return Fail(error);
  return WriteNewKeyPair(parsed.positional[0], privateHex + "\n", parsed.positional[1], publicPem);
}

// --expires: a date YYYY-MM-DDTHH:MM:SSZ as it stands, or a time from now: digits and d (days),
// h (hours) or w (weeks).
bool ExpiryValue(const std::wstring& option, std::wstring& value) {
  if (ParseUtcTimestamp(option)) {
    value = option;
    return true;
  }
  const std::wstring_view digits = std::wstring_view(option).substr(0, option.empty() ? 0 : option.size() - 1);
  const std::optional<std::uint64_t> count = ParseSerial(digits);
  const std::wstring units = L"hdw";
  const std::int64_t unitSeconds[] = {3600, 86400, 7 * 86400};
  const std::size_t unit = option.empty() ? std::wstring::npos : units.find(option.back());
  if (!count || unit == std::wstring::npos || digits.size() > 6) return false;
  value = FormatUtcTimestamp(RealClock().UtcSeconds() + static_cast<std::int64_t>(*count) * unitSeconds[unit]);
  return true;
}

// pack --expires, --serial, --setup-name: each tag given written into the description (replacing
// one it has) in front of "[End]".
bool WriteTrustTags(const CArgs& parsed, std::string& plain, std::string& error) {
  const struct {
    const wchar_t* option;
    const wchar_t* tag;
    const char* form;
  } kTags[] = {
      {L"--expires", kExpiresTag, "a UTC date YYYY-MM-DDTHH:MM:SSZ or a time from now such as 30d, 12h or 4w"},
      {L"--serial", kSerialTag, "a number from 0 to 9223372036854775807 without a sign"},
      {L"--setup-name", kSetupNameTag, "the name between the underscores of Setup_NAME_.exe"},
  };
  for (const auto& t : kTags) {
    const auto given = parsed.options.find(t.option);
    if (given == parsed.options.end()) continue;
    std::wstring value = given->second;
    const bool valid = t.tag == kExpiresTag  ? ExpiryValue(given->second, value)
                       : t.tag == kSerialTag ? ParseSerial(value).has_value()
                                             : !value.empty() && value.find(L'_') == std::wstring::npos;
    if (!valid) {
      error = ToUtf8(t.option) + " takes " + t.form;
      return false;
    }
    std::string edited;
    if (!SetDescriptionTag(plain, t.tag, value, edited, error)) return false;
    plain = std::move(edited);
  }
  return true;
}

int Pack(const std::vector<std::wstring>& args) {
  CArgs parsed;
  std::string error;
  if (!ParseArgs(args, 1, {L"--public-key", L"--signature", L"--hashes", L"--expires", L"--serial", L"--setup-name"},
                 parsed, error)) {
    return Fail(error);
  }
  if (!parsed.options.count(L"--public-key") || !parsed.options.count(L"--signature") ||
      parsed.positional.size() != 2) {
    return Fail("pack needs --public-key PUBLIC.pem --signature SIG IN OUT");
  }
  std::string pem, plain;
  if (!ReadBytes(parsed.options[L"--public-key"], pem)) return Fail("cannot read public key");
  if (!ReadBytes(parsed.positional[0], plain)) return Fail("cannot read " + ToUtf8(parsed.positional[0]));
  if (parsed.options.count(L"--hashes")) {
    std::string withHashes;
    if (!AddFileHashes(plain, parsed.options[L"--hashes"], withHashes, error)) return Fail("--hashes: " + error);
    plain = std::move(withHashes);
  }
  if (!WriteTrustTags(parsed, plain, error)) return Fail(error);
  ByteBuffer eif;
  if (!PackEif(pem, parsed.options[L"--signature"], ByteBuffer(plain.begin(), plain.end()), eif, error)) {
    return Fail(error);
  }
  if (!WriteBytes(parsed.positional[1], eif.data(), eif.size()))
    return Fail("cannot write " + ToUtf8(parsed.positional[1]));
  return 0;
}

int Unpack(const std::vector<std::wstring>& args) {
  CArgs parsed;
  std::string error;
  if (!ParseArgs(args, 1, {L"--private-key", L"--signature"}, parsed, error)) return Fail(error);
  if (!parsed.options.count(L"--private-key") || !parsed.options.count(L"--signature") ||
      parsed.positional.size() != 2) {
    return Fail("unpack needs --private-key PRIVATE.hex --signature SIG IN OUT");
  }
  std::string key;
  if (!ReadPrivateKey(parsed.options[L"--private-key"], key, error)) return Fail(error);
  std::optional<ByteBuffer> buffer;
  std::size_t size = 0;
  DecryptEifFile(parsed.positional[0], buffer, size, key, parsed.options[L"--signature"]);
  if (!buffer) return Fail("cannot decrypt " + ToUtf8(parsed.positional[0]) + " (missing, wrong signature or key)");
  if (!WriteBytes(parsed.positional[1], buffer->data(), size))
    return Fail("cannot write " + ToUtf8(parsed.positional[1]));
  return 0;
}

int Sign(const std::vector<std::wstring>& args) {
  CArgs parsed;
  std::string error;
  if (!ParseArgs(args, 1, {L"--signing-key"}, parsed, error)) return Fail(error);
  if (!parsed.options.count(L"--signing-key") || parsed.positional.empty() || parsed.positional.size() > 2) {
    return Fail("sign needs --signing-key SIGNING.pem FILE [SIG]");
  }
  const std::wstring& keyPath = parsed.options[L"--signing-key"];
  std::string pem, seed, file;
  if (!ReadBytes(keyPath, pem)) return Fail("cannot read signing key " + ToUtf8(keyPath));
  if (!SigningSeedFromPem(pem, seed, error)) return Fail(ToUtf8(keyPath) + ": " + error);
  const std::wstring& path = parsed.positional[0];
  if (!ReadBytes(path, file)) return Fail("cannot read " + ToUtf8(path));
  const std::string signature = SignBytes(seed, ByteBuffer(file.begin(), file.end()));
  const std::wstring out = parsed.positional.size() == 2 ? parsed.positional[1] : path + kSignatureSuffix;
  if (!WriteBytes(out, signature.data(), signature.size())) return Fail("cannot write " + ToUtf8(out));
  return 0;
}

// check --online: the hosts, the scheme and the description's folder on the hosts.
int CheckOnlineCommand(CArgs& parsed, const std::string& key, const std::wstring& signature, const CCheckOptions& check,
                       bool json) {
  if (!parsed.positional.empty()) return Fail("check --online takes no FILE: the description comes from the hosts");
  COnlineOptions options{parsed.options[L"--primary"], parsed.options[L"--secondary"], L"http://", {}, key,
                         signature, check.signingKey, json, check.minSerial, {}};
  if (options.primary.empty() || options.secondary.empty()) {
    return Fail("check --online needs --primary HOST and --secondary HOST");
  }
  const std::wstring scheme = parsed.options.count(L"--scheme") ? parsed.options[L"--scheme"] : L"http";
  if (scheme != L"http" && scheme != L"https") return Fail("--scheme is http or https");
  options.scheme = scheme + L"://";
  const bool named = parsed.options.count(L"--setup-name") != 0;
  if (named == (parsed.options.count(L"--download-path") != 0)) {
    return Fail("check --online needs either --setup-name NAME or --download-path PATH");
  }
  options.path = named ? L"/downloads/Setups/" + parsed.options[L"--setup-name"] : parsed.options[L"--download-path"];
  if (named) options.setupName = parsed.options[L"--setup-name"];
  return CheckOnline(options, std::cout);
}

int Check(std::vector<std::wstring> args, std::string_view builtInSigningKey) {
  // The two switches take no value.
  const auto take = [&args](const wchar_t* flag) {
    const auto found = std::find(args.begin(), args.end(), flag);
    if (found == args.end()) return false;
    args.erase(found);
    return true;
  };
  const bool online = take(L"--online"), json = take(L"--json");
  if (json && !online) return Fail("--json goes with check --online");
  std::vector<std::wstring> known = {L"--private-key", L"--signature", L"--signing-public-key", L"--min-serial"};
  if (online) {
    known.insert(known.end(), {L"--primary", L"--secondary", L"--scheme", L"--setup-name", L"--download-path"});
  } else {
    known.push_back(L"--files");
  }
  CArgs parsed;
  std::string error;
  if (!ParseArgs(args, 1, known, parsed, error)) return Fail(error);
  if (!online && parsed.positional.size() != 1) return Fail("check needs one FILE");
  std::string key(GetBuiltInDescriptionKey());
  std::wstring signature(GetBuiltInEifSignature());
  if (parsed.options.count(L"--private-key") && !ReadPrivateKey(parsed.options[L"--private-key"], key, error)) {
    return Fail(error);
  }
  if (parsed.options.count(L"--signature")) signature = parsed.options[L"--signature"];
  if (!IsValidEifSignature(signature)) return Fail("the signature must be exactly 13 printable ASCII characters");
  CCheckOptions options{std::string(builtInSigningKey), parsed.options[L"--files"], 0, {}};
  if (parsed.options.count(L"--min-serial")) {
    const std::optional<std::uint64_t> minSerial = ParseSerial(parsed.options[L"--min-serial"]);
    if (!minSerial) return Fail("--min-serial takes a number from 0 to 9223372036854775807 without a sign");
    options.minSerial = *minSerial;
  }
  if (parsed.options.count(L"--signing-public-key")) {
    const std::wstring& keyPath = parsed.options[L"--signing-public-key"];
    std::string pem;
    if (!ReadBytes(keyPath, pem)) return Fail("cannot read signing public key " + ToUtf8(keyPath));
    if (!SigningPublicKeyFromPem(pem, options.signingKey, error)) return Fail(ToUtf8(keyPath) + ": " + error);
  }
  if (online) return CheckOnlineCommand(parsed, key, signature, options, json);
  // Setup resolves relative names against its own folder; here they are relative to the
  // current folder, as on any command line.
  std::error_code ec;
  const auto absolute = std::filesystem::absolute(NativePath(parsed.positional[0]), ec);
  return CheckDescription(ec ? parsed.positional[0] : FromNativePath(absolute), key, signature, std::cout, options);
}

}  // namespace

int RunEifTool(const std::vector<std::wstring>& args, std::string_view builtInSigningKey) {
  if (args.empty()) return Fail("no command (see eiftool --help)");
  const std::wstring& command = args[0];
  if (command == L"--help" || command == L"-h" || command == L"help") {
    std::cout << kUsage;
    return 0;
  }
  if (command == L"keygen") return Keygen(args);
  if (command == L"pack") return Pack(args);
  if (command == L"unpack") return Unpack(args);
  if (command == L"sign") return Sign(args);
  if (command == L"check") return Check(args, builtInSigningKey);
  return Fail("unknown command " + ToUtf8(command) + " (see eiftool --help)");
}

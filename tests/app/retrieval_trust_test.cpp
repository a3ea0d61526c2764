// Retrieval with the trust checks: a Setup built with a signing key, and descriptions that
// list "File Hashes", against loopback hosts.
#include <gtest/gtest.h>

#include <string>

#include "initial_setup_fixture.h"
#include "system/text.h"

namespace {
const std::string kGood(3000, 'g');
const std::string kEvil(3000, 'e');

std::string HashLine(const std::string& bytes, const std::string& name) {
  CSha256Stream hash;
  hash.Update(bytes.data(), bytes.size());
  const CSha256Digest digest = hash.Final().value();
  return EncodeHexDigits(digest.data(), digest.size()) + "  " + name + "\n";
}
}  // namespace

// One way "data.bin" can reach the setup temp folder, and what the run must make of it.
struct CHashCase {
  const char* name;
  const char* served;     // the mirror's "data.bin", or null for a 404
  const char* olderCopy;  // a "data.bin" beside Setup (so local mode), or null for download mode
  bool listed;            // "File Hashes" has a line for data.bin (of kGood)
  bool succeeds;
};

class HashRetrievalTest : public InitialSetupTest, public ::testing::WithParamInterface<CHashCase> {};

// Catches a swapped file that is started anyway, a file without a line that is fetched or
// kept, an older copy kept without its hash being checked, or a good older copy refused.
TEST_P(HashRetrievalTest, KeepsOnlyFilesWithTheirListedHash) {
  const CHashCase& c = GetParam();
  const std::string hashes =
      "[File Hashes]\n" + HashLine(kGood, "1.bin") + (c.listed ? HashLine(kGood, "data.bin") : "");
  const std::string files = FilesTags(Mirror("/m") + "\n", "/1.bin -> 1.bin\n/data.bin -> data.bin\n") + hashes;
  if (c.olderCopy != nullptr) {
    WriteFileBytes(JoinPath(m_programFolder, L"SetupInitial.eif"),
                   DescriptionEif("[Download Initial Setup]\nNo\n" + files));
    WriteFileBytes(JoinPath(m_programFolder, L"data.bin"), c.olderCopy);
  } else {
    m_primary.Serve(kInitialPath, FileResponse(DescriptionEif(files)));
  }
  m_primary.Serve("/m/1.bin", FileResponse(kGood));
  if (c.served != nullptr) m_primary.Serve("/m/data.bin", FileResponse(c.served));

  EXPECT_EQ(Retrieve(), c.succeeds);
  EXPECT_EQ(Texts(), c.succeeds ? std::vector<std::wstring>{}
                                : std::vector<std::wstring>{L"Error: Failed to download data.bin"});
  EXPECT_EQ(ReadFileBytes(TempFile(L"1.bin")), kGood);
  EXPECT_EQ(FileExists(TempFile(L"data.bin")), c.succeeds);
  if (c.succeeds) {
    EXPECT_EQ(ReadFileBytes(TempFile(L"data.bin")), kGood);
  }
  if (!c.listed) {
    EXPECT_EQ(m_primary.RequestCount("/m/data.bin"), 1) << "the size pass's probe, and no transfer";
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, HashRetrievalTest,
                         ::testing::Values(CHashCase{"Downloaded", kGood.c_str(), nullptr, true, true},
                                           CHashCase{"SwappedOnTheMirror", kEvil.c_str(), nullptr, true, false},
                                           CHashCase{"WithoutALine", kGood.c_str(), nullptr, false, false},
                                           CHashCase{"OlderCopyWithoutALine", nullptr, kGood.c_str(), false, false},
                                           CHashCase{"OlderCopyAsListed", nullptr, kGood.c_str(), true, true},
                                           CHashCase{"OlderCopyForged", nullptr, kEvil.c_str(), true, false}),
                         [](const auto& info) { return std::string(info.param.name); });

// A Setup built with the vendor's signing key.
class SignedRetrievalTest : public InitialSetupTest {
 protected:
  SignedRetrievalTest() : InitialSetupTest(CTrustSettings{L"http://", VendorKey().PublicKey()}) {}
  static const CTestSigningKey& VendorKey() {
    static const CTestSigningKey key(42);
    return key;
  }
  const std::string m_eif = DescriptionEif("[Files to download]\n[File Hashes]\n");
};

// What the host serves beside the description.
struct CServedSignature {
  const char* name;
  int signingSeed;  // the key that signed it; 0: no signature on the host
  bool loads;
};

class ServedSignatureTest : public SignedRetrievalTest, public ::testing::WithParamInterface<CServedSignature> {};

// Catches a signature that is not fetched from beside the description on the same host, or
// not required of the downloaded copy.
TEST_P(ServedSignatureTest, FetchesTheSignatureRightAfterTheDescription) {
  m_primary.Serve(kInitialPath, FileResponse(m_eif));
  const int seed = GetParam().signingSeed;
  if (seed != 0) m_primary.Serve(kInitialPath + ".sig", FileResponse(CTestSigningKey(seed).Sign(m_eif)));
  EXPECT_EQ(Retrieve(), GetParam().loads);
  EXPECT_EQ(Texts(), GetParam().loads ? std::vector<std::wstring>{}
                                      : std::vector<std::wstring>{L"Error opening the initial setup eif."});
  EXPECT_EQ(m_primary.RequestCount(kInitialPath), 2);
  EXPECT_EQ(m_primary.RequestCount(kInitialPath + ".sig"), seed != 0 ? 1 : 4);
}

INSTANTIATE_TEST_SUITE_P(Cases, ServedSignatureTest,
                         ::testing::Values(CServedSignature{"Vendors", 42, true}, CServedSignature{"Missing", 0, false},
                                           CServedSignature{"OtherKey", 43, false}),
                         [](const auto& info) { return std::string(info.param.name); });

// Catches a description beside Setup trusted without its signature beside it, or a signed
// one in local mode refused because its signature was not copied along.
TEST_F(SignedRetrievalTest, ADescriptionBesideSetupNeedsItsSignatureBesideIt) {
  // A signed description vouches for its files, even when it lists none.
  const std::string local = DescriptionEif("[Download Initial Setup]\nNo\n[Files to download]\n[File Hashes]\n");
  WriteFileBytes(JoinPath(m_programFolder, L"SetupInitial.eif"), local);
  EXPECT_FALSE(Retrieve());
  EXPECT_EQ(Texts(), std::vector<std::wstring>{L"Error opening the local initial setup eif."});

  WriteFileBytes(JoinPath(m_programFolder, L"SetupInitial.eif.sig"), VendorKey().Sign(local));
  EXPECT_TRUE(Retrieve());
  EXPECT_EQ(Texts().size(), 1u);
}

// Retrieval of the initial setup and the rest of the run against loopback hosts: thresholds,
// the mode of a description beside Setup, every failure message, the byte total, and the
// branches of the run after retrieval.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "initial_setup_fixture.h"
#include "system/file_ops.h"
#include "system/path.h"
#include "system/process.h"
#include "system/program_folder.h"
#include "system/text.h"
#include "websetup_config.h"

// Catches thresholds off by one: 1000 bytes is enough for the initial file on a host (so a
// primary declaring 999 hands over to the secondary) but not for the first listed file on a
// site; also a byte total that drops files declaring no length incorrectly or sums wrongly.
TEST_F(InitialSetupTest, ThresholdsChooseHostAndSiteAndTheTotalIsSummed) {
  m_primary.Serve(kInitialPath, FileResponse(std::string(999, 'x')));
  const std::string eif = DescriptionEif(
      FilesTags(Mirror("/a") + "\n" + Mirror("/b") + "\n", "/1.bin -> one.bin\n/2.bin -> two.bin\n/3 -> three\n"));
  m_secondary.Serve(kInitialPath, {FileResponse(std::string(1000, 'x')), FileResponse(eif)});
  m_primary.Serve("/a/1.bin", FileResponse(std::string(1000, 'a')));
  m_primary.Serve("/b/1.bin", FileResponse(std::string(1001, 'b')));
  m_primary.Serve("/b/2.bin", FileResponse(std::string(5000, 'c')));
  // The probe finds no declared length; the transfer itself then gets one.
  CServedResponse chunked = FileResponse("no declared length");
  chunked.declaredLength.reset();
  chunked.chunked = true;
  m_primary.Serve("/b/3", {chunked, FileResponse("no declared length")});

  ASSERT_TRUE(Retrieve()) << ToUtf8(Texts().empty() ? L"" : Texts()[0]);
  EXPECT_TRUE(Texts().empty());
  EXPECT_EQ(ReadFileBytes(TempFile(L"SetupInitial.eif")), eif);
  EXPECT_EQ(m_site, FromUtf8(Mirror("/b")));
  EXPECT_EQ(m_window.m_totals, (std::vector<std::int64_t>{6001}));
  EXPECT_EQ(ReadFileBytes(TempFile(L"one.bin")), std::string(1001, 'b'));
  EXPECT_EQ(ReadFileBytes(TempFile(L"two.bin")), std::string(5000, 'c'));
  EXPECT_EQ(ReadFileBytes(TempFile(L"three")), "no declared length");
  EXPECT_GE(m_window.m_bytes, 6001);
  // A build without a signing key asks for no signature.
  EXPECT_EQ(m_secondary.RequestCount(kInitialPath + ".sig"), 0);
}

// Catches a setup temp folder that keeps what an earlier run left in it: a stale copy of a
// listed file would pass for the earlier copy that a failed download falls back on.
TEST_F(InitialSetupTest, WhatAnEarlierRunLeftGoesFirst) {
  ASSERT_TRUE(CreateFolderChain(m_setupTemp));
  WriteFileBytes(TempFile(L"data.bin"), "from an earlier run");
  m_primary.Serve(kInitialPath, FileResponse(DescriptionEif(FilesTags(Mirror("/m") + "\n", "/1.bin -> 1.bin\n"))));
  m_primary.Serve("/m/1.bin", FileResponse(std::string(2000, 'm')));
  ASSERT_TRUE(Retrieve());
  EXPECT_TRUE(FileExists(TempFile(L"1.bin")));
  EXPECT_FALSE(FileExists(TempFile(L"data.bin")));
}

// Catches a support log that misses why a run failed (a host and a mirror that lost, the
// attempts of the file that failed, the reason before its message box) or that holds the
// password of a site.
TEST_F(InitialSetupTest, TheSupportLogSaysWhyTheRunFailed) {
  const std::wstring logPath = m_temp / L"setup.log";
  ASSERT_TRUE(m_app.OpenSupportLogAt(logPath));
  m_primary.Serve(kInitialPath, FileResponse(std::string(999, 'x')));
  const std::string sites = "user:s3cret@" + Mirror("/a") + "\n" + Mirror("/b") + "\n";
  m_secondary.Serve(kInitialPath, FileResponse(DescriptionEif(FilesTags(sites, "/1.bin -> 1.bin\n/gone -> data.bin\n"))));
  m_primary.Serve("/b/1.bin", FileResponse(std::string(2000, 'b')));

  EXPECT_FALSE(Retrieve());
  const std::string log = ReadFileBytes(logPath);
  const std::string primary = Host(m_primary), secondary = Host(m_secondary);
  const std::vector<std::string> expected = {
      "Setup started: ",
      "proxy: ",
      "host " + primary + ": declares 999 bytes for the description, lost",
      "host " + secondary + ": declares ",
      ", chosen",
      "GET http://" + secondary + kInitialPath + ": status 200",
      "site " + primary + "/a: declares 0 bytes for /1.bin, lost",
      "site " + primary + "/b: declares 2000 bytes for /1.bin, chosen",
      "byte total of the listed files: 2000",
      "listed file 1.bin: in place",
      "download http://" + primary + "/b/gone attempt 1 of 4 failed: status 404",
      "download http://" + primary + "/b/gone attempt 4 of 4 failed: status 404",
      "failed: data.bin: every attempt at http://" + primary + "/b/gone failed",
      "message box: Error: Failed to download data.bin"};
  std::size_t at = 0;
  for (const std::string& part : expected) {
    const std::size_t found = log.find(part, at);
    ASSERT_NE(found, std::string::npos) << "missing after offset " << at << ": " << part << "\n" << log;
    at = found + part.size();
  }
  EXPECT_EQ(log.find("s3cret"), std::string::npos) << log;
}

class RetrievalFailureTest;
// One way for retrieval to fail, and the one message it must show.
struct CFailureCase {
  const char* name;
  std::function<void(RetrievalFailureTest&)> arrange;
  const wchar_t* message;
};

class RetrievalFailureTest : public InitialSetupTest, public ::testing::WithParamInterface<CFailureCase> {
 public:
  CLoopbackServer& Primary() { return m_primary; }
  void ServeDescription(const std::string& files) {
    m_primary.Serve(kInitialPath, FileResponse(DescriptionEif(FilesTags(Mirror("/m") + "\n", files))));
    m_primary.Serve("/m/1.bin", FileResponse(std::string(2000, 'm')));
  }
  void SetOffline() { m_online = false; }
  void PlaceLocalDescription(const std::string& bytes) {
    WriteFileBytes(JoinPath(m_programFolder, L"SetupInitial.eif"), bytes);
  }
  void BlockSetupTemp() { WriteFileBytes(m_temp / L"Orvel's Projects", "a file where the folder should be"); }
};

// Catches a failure that shows the wrong message, none, or goes on as if nothing happened.
TEST_P(RetrievalFailureTest, ShowsItsMessageAndFails) {
  GetParam().arrange(*this);
  EXPECT_FALSE(Retrieve());
  EXPECT_EQ(Texts(), std::vector<std::wstring>{GetParam().message});
  EXPECT_FALSE(FileExists(m_temp / L"escaped.bin"));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RetrievalFailureTest,
    ::testing::Values(
        CFailureCase{"LocalDescriptionDoesNotLoad",
                     [](RetrievalFailureTest& t) { t.PlaceLocalDescription(std::string(2000, 'z')); },
                     L"Error opening the local initial setup eif."},
        CFailureCase{"SetupTempFolderCannotBeCreated", [](RetrievalFailureTest& t) { t.BlockSetupTemp(); },
                     L"Error: Failed to create the Windows temp subfolder."},
        CFailureCase{"Offline", [](RetrievalFailureTest& t) { t.SetOffline(); }, L"Error: No Internet connection."},
        CFailureCase{"NeitherHostHasTheDescription", [](RetrievalFailureTest&) {}, L"Error: Download site not found."},
        CFailureCase{"DescriptionTransferFails",
                     [](RetrievalFailureTest& t) {
                       t.Primary().Serve(kInitialPath, {FileResponse(std::string(2000, 'x')),
                                                        WithStatus(FileResponse("gone"), 404, "Not Found")});
                     },
                     L"Error: Failed to download."},
        CFailureCase{
            "DownloadedDescriptionDoesNotLoad",
            [](RetrievalFailureTest& t) { t.Primary().Serve(kInitialPath, FileResponse(std::string(2000, 'x'))); },
            L"Error opening the initial setup eif."},
        CFailureCase{"NoSiteDeclaresTheFirstFile",
                     [](RetrievalFailureTest& t) { t.ServeDescription("/missing.bin -> 1.bin\n"); },
                     L"Error: Download site not found."},
        CFailureCase{"ListedFileFails",
                     [](RetrievalFailureTest& t) { t.ServeDescription("/1.bin -> 1.bin\n/missing -> data.bin\n"); },
                     L"Error: Failed to download data.bin"},
        // The local name would climb out of the setup temp folder; the file itself is served.
        CFailureCase{"LocalNameIsAPath",
                     [](RetrievalFailureTest& t) { t.ServeDescription("/1.bin -> ../../escaped.bin\n"); },
                     L"Error: Failed to download ../../escaped.bin"}),
    [](const auto& info) { return std::string(info.param.name); });

// What a description beside Setup makes of the run.
struct CLocalCase {
  const char* name;
  const char* modeTag;  // the "Download Initial Setup" section, or empty for none
  bool online;
  bool expectDownload;  // the description comes from the host's "Download Path"
  std::vector<std::wstring> messages;
};

class LocalDescriptionTest : public InitialSetupTest, public ::testing::WithParamInterface<CLocalCase> {};

// Catches a mode chosen from the wrong value (only "No", case-sensitive, means local), a
// local run that needs the network although nothing is listed, a default path used where the
// local description names one, or a missing-tag message shown more than once.
TEST_P(LocalDescriptionTest, DecidesTheModeAndThePath) {
  const CLocalCase& c = GetParam();
  m_online = c.online;
  const std::string local = DescriptionEif(std::string(c.modeTag) +
                                           "[Download Path]\n/elsewhere\n[Files to download]\n[Program to run]\nX\n");
  WriteFileBytes(JoinPath(m_programFolder, L"SetupInitial.eif"), local);
  WriteFileBytes(JoinPath(m_programFolder, L"beside.txt"), "beside Setup");
  CreateFolderChain(JoinPath(m_programFolder, L"sub"));
  const std::string fresh = DescriptionEif("[Files to download]\n");
  m_primary.Serve("/elsewhere/SetupInitial.eif", FileResponse(fresh));

  EXPECT_TRUE(Retrieve());
  EXPECT_EQ(Texts(), c.messages);
  EXPECT_EQ(m_primary.RequestCount("/elsewhere/SetupInitial.eif"), c.expectDownload ? 2 : 0);
  EXPECT_EQ(ReadFileBytes(TempFile(L"SetupInitial.eif")), c.expectDownload ? fresh : local);
  EXPECT_EQ(FileExists(TempFile(L"beside.txt")), !c.expectDownload);
  EXPECT_FALSE(FileExists(TempFile(L"sub")));
  EXPECT_EQ(m_window.m_totals, (std::vector<std::int64_t>{0}));
  EXPECT_TRUE(m_site.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LocalDescriptionTest,
    ::testing::Values(CLocalCase{"NoMeansLocalEvenOffline", "[Download Initial Setup]\nNo\n", false, false, {}},
                      CLocalCase{"LowerCaseNoDownloads", "[Download Initial Setup]\nno\n", true, true, {}},
                      CLocalCase{"MissingTagDownloads", "", true, true, {L"Tag 'Download Initial Setup' not found."}}),
    [](const auto& info) { return std::string(info.param.name); });

// The run after retrieval, on a description served by the primary host.
class RunSetupTest : public InitialSetupTest {
 protected:
  void Run(const std::string& userInfoName, const std::string& programToRun) {
    m_primary.Serve(kInitialPath,
                    FileResponse(DescriptionEif("[Files to download]\n[User Info Filename]\n" + userInfoName +
                                                "\n[Program to run]\n" + programToRun + "\n")));
    m_app.RunSetup(CRunNames{m_programFolder + kPathSeparator + L"Setup_Demo_", L"Demo", m_setupTemp});
  }
};

// Catches a User Info File written outside the setup temp folder, or a run that cleans up
// (or launches) after the User Info File failed.
TEST_F(RunSetupTest, UserInfoFileThatCannotBeWrittenEndsTheRunWithoutCleanUp) {
  Run("../UserInfo.txt", "FinalSetup");
  EXPECT_EQ(Texts(), std::vector<std::wstring>{L"Error: Failed to create User Info File."});
  EXPECT_TRUE(FileExists(TempFile(L"SetupInitial.eif")));
  EXPECT_FALSE(FileExists(m_temp / L"Orvel's Projects" + kPathSeparator + L"UserInfo.txt"));
}

// Catches a final setup started from outside the setup temp folder, or a clean-up skipped
// after a launch that started nothing.
TEST_F(RunSetupTest, ProgramToRunThatIsAPathIsNeverStartedAndTheFolderGoes) {
  Run("UserInfo.txt", "../FinalSetup");
  EXPECT_EQ(Texts(), std::vector<std::wstring>{L"Error: Failed to start the final setup."});
  EXPECT_FALSE(FileExists(m_setupTemp));
}

// File operations against real files in a per-test folder, with the platform's own rules.
#include "system/file_ops.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <optional>

#include "support/test_support.h"
#include "system/file.h"
#include "system/folder_chain.h"
#include "system/text.h"
#include "websetup_config.h"

namespace fs = std::filesystem;

class FileOpsTest : public ::testing::Test {
 protected:
  CTempFolder m_temp;
  CFakeClock m_clock;
};

// Catches an existence test that ignores folders or reports missing files.
TEST_F(FileOpsTest, FileExistsSeesFilesAndFoldersOnly) {
  WriteFileBytes(m_temp / L"a.txt", "x");
  EXPECT_TRUE(FileExists(m_temp / L"a.txt"));
  EXPECT_TRUE(FileExists(m_temp.Path()));
  EXPECT_FALSE(FileExists(m_temp / L"missing.txt"));
}

// Catches a delete that reports failure for an absent file or gives up on a read-only one.
TEST_F(FileOpsTest, DeleteFileInFolderHandlesMissingAndReadOnlyFiles) {
  EXPECT_TRUE(DeleteFileInFolder(m_temp.Path(), L"never-there.bin"));
  WriteFileBytes(m_temp / L"ro.bin", "data");
  MakeReadOnly(m_temp / L"ro.bin");
  EXPECT_TRUE(DeleteFileInFolder(m_temp.Path(), L"ro.bin"));
  EXPECT_FALSE(FileExists(m_temp / L"ro.bin"));
}

// Catches a recursive removal, or a wrong number or length of pauses.
TEST_F(FileOpsTest, DeleteFolderKeepsSubfoldersAndGivesUpAfterTwoPauses) {
  const std::wstring folder = m_temp / L"setup";
  fs::create_directories(fs::path(folder) / "sub");
  WriteFileBytes(folder + kPathSeparator + L"one.txt", "1");
  WriteFileBytes(folder + kPathSeparator + L"two.txt", "2");
  MakeReadOnly(folder + kPathSeparator + L"two.txt");
  WriteFileBytes(folder + kPathSeparator + L"sub" + kPathSeparator + L"kept.txt", "k");

  EXPECT_FALSE(DeleteFolder(folder, m_clock));
  EXPECT_EQ(m_clock.m_sleeps, (std::vector<std::uint32_t>{1000, 1000}));
  EXPECT_FALSE(FileExists(folder + kPathSeparator + L"one.txt"));
  EXPECT_FALSE(FileExists(folder + kPathSeparator + L"two.txt"));
  EXPECT_TRUE(FileExists(folder + kPathSeparator + L"sub" + kPathSeparator + L"kept.txt"));
}

// Catches a removal that skips the retries for a missing folder or pauses after success.
TEST_F(FileOpsTest, DeleteFolderPausesOnlyWhileItFails) {
  EXPECT_FALSE(DeleteFolder(m_temp / L"missing", m_clock));
  EXPECT_EQ(m_clock.m_sleeps, (std::vector<std::uint32_t>{1000, 1000}));

  CFakeClock clock;
  const std::wstring folder = m_temp / L"full";
  fs::create_directories(fs::path(folder));
  WriteFileBytes(folder + kPathSeparator + L"f.txt", "f");
  EXPECT_TRUE(DeleteFolder(folder, clock));
  EXPECT_TRUE(clock.m_sleeps.empty());
  EXPECT_FALSE(FileExists(folder));
}

// Catches a removal that follows a link into another folder and deletes what it holds.
TEST_F(FileOpsTest, DeleteFolderRemovesLinksAsLinks) {
  const std::wstring target = m_temp / L"precious";
  fs::create_directories(fs::path(target));
  WriteFileBytes(target + kPathSeparator + L"sentinel.txt", "keep me");
  const std::wstring folder = m_temp / L"setup";
  fs::create_directories(fs::path(folder));
  if (!MakeSymlink(target, folder + kPathSeparator + L"link") ||
      !MakeSymlink(target + kPathSeparator + L"sentinel.txt", folder + kPathSeparator + L"filelink")) {
    GTEST_SKIP() << "symbolic links are not available here";
  }
  EXPECT_TRUE(DeleteFolder(folder, m_clock));
  EXPECT_EQ(ReadFileBytes(target + kPathSeparator + L"sentinel.txt"), "keep me");

  // A setup folder that is itself a link is never emptied through it.
  ASSERT_TRUE(MakeSymlink(target, m_temp / L"linked-setup"));
  EXPECT_FALSE(DeleteFolder(m_temp / L"linked-setup", m_clock));
  EXPECT_EQ(ReadFileBytes(target + kPathSeparator + L"sentinel.txt"), "keep me");
}

// Catches a chain that skips levels, fails on existing ones, or creates from a bare name.
TEST_F(FileOpsTest, CreateFolderChainCreatesEveryLevel) {
  const std::wstring sep(1, kPathSeparator);
  const std::wstring deep = m_temp.Path() + sep + L"a" + sep + L"b" + sep + L"c";
  EXPECT_TRUE(CreateFolderChain(deep));
  EXPECT_TRUE(FileExists(deep));
  EXPECT_TRUE(CreateFolderChain(deep + sep));  // everything exists already
  EXPECT_TRUE(CreateFolderChain(L"bare-name-without-separator"));
  EXPECT_FALSE(FileExists(L"bare-name-without-separator"));

  WriteFileBytes(m_temp / L"file", "x");
  EXPECT_FALSE(CreateFolderChain(m_temp.Path() + sep + L"file" + sep + L"below"));
}

// Catches folders created open to other users in a shared temporary folder.
TEST_F(FileOpsTest, CreateFolderChainMakesPrivateFoldersOnLinux) {
  if (kIsWindows) GTEST_SKIP() << "Windows folders inherit the user's temporary folder's rights";
  const std::wstring level = m_temp / L"private";
  ASSERT_TRUE(CreateFolderChain(level + kPathSeparator + L"inner"));
  const auto perms = fs::status(fs::path(level)).permissions();
  EXPECT_EQ(perms & fs::perms::all, fs::perms::owner_all);
  EXPECT_TRUE(IsPrivateFolder(level));
}

// Catches a copy that drops the separator, refuses a read-only earlier copy or loses bytes.
TEST_F(FileOpsTest, CopyFileToFolderReplacesReadOnlyCopies) {
  const std::wstring target = m_temp / L"target";
  fs::create_directories(fs::path(target));
  std::string content(70000, '\0');
  for (std::size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>(i * 7);
  WriteFileBytes(m_temp / L"a.txt", content);
  WriteFileBytes(target + kPathSeparator + L"a.txt", "old");
  MakeReadOnly(target + kPathSeparator + L"a.txt");

  EXPECT_TRUE(CopyFileToFolder(m_temp / L"a.txt", target));
  EXPECT_EQ(ReadFileBytes(target + kPathSeparator + L"a.txt"), content);
  // A folder that already ends in a separator gives a doubled one, which the system accepts.
  EXPECT_TRUE(CopyFileToFolder(m_temp / L"a.txt", target + kPathSeparator));
  EXPECT_FALSE(CopyFileToFolder(m_temp / L"missing.txt", target));
}

// Catches a copy that writes through a link planted in the destination folder.
TEST_F(FileOpsTest, CopyFileToFolderNeverWritesThroughLinks) {
  WriteFileBytes(m_temp / L"victim.txt", "untouched");
  WriteFileBytes(m_temp / L"a.txt", "new");
  const std::wstring target = m_temp / L"target";
  fs::create_directories(fs::path(target));
  if (!MakeSymlink(m_temp / L"victim.txt", target + kPathSeparator + L"a.txt")) GTEST_SKIP() << "no links here";
  EXPECT_TRUE(CopyFileToFolder(m_temp / L"a.txt", target));
  EXPECT_EQ(ReadFileBytes(m_temp / L"victim.txt"), "untouched");
  EXPECT_EQ(ReadFileBytes(target + kPathSeparator + L"a.txt"), "new");
}

// Catches a listing without the folder flag (subfolders would be copied as files) or a copy
// that blocks for ever on a named pipe beside Setup.
TEST_F(FileOpsTest, ListFolderFlagsFoldersAndCopyRefusesPipes) {
  WriteFileBytes(m_temp / L"a.txt", "a");
  fs::create_directories(fs::path(m_temp / L"sub"));
  std::map<std::wstring, bool> seen;
  for (const CFolderEntry& entry : ListFolder(m_temp.Path())) seen[entry.name] = entry.isDirectory;
  EXPECT_EQ(seen, (std::map<std::wstring, bool>{{L".", true}, {L"..", true}, {L"a.txt", false}, {L"sub", true}}));
  if (!MakeNamedPipe(m_temp / L"pipe")) GTEST_SKIP() << "no named pipes here";
  EXPECT_FALSE(CopyFileToFolder(m_temp / L"pipe", m_temp / L"sub"));
}

// Catches a rename that silently replaces an existing file (rename(2) would).
TEST_F(FileOpsTest, RenameInFolderNeverReplaces) {
  WriteFileBytes(m_temp / L"old.bin", "old");
  WriteFileBytes(m_temp / L"taken.bin", "taken");
  EXPECT_FALSE(RenameInFolder(m_temp.Path(), L"old.bin", L"taken.bin"));
  EXPECT_EQ(ReadFileBytes(m_temp / L"taken.bin"), "taken");
  EXPECT_EQ(ReadFileBytes(m_temp / L"old.bin"), "old");

  EXPECT_TRUE(RenameInFolder(m_temp.Path(), L"old.bin", L"old.bin Before Download"));
  EXPECT_EQ(ReadFileBytes(m_temp / L"old.bin Before Download"), "old");
  EXPECT_FALSE(FileExists(m_temp / L"old.bin"));
  EXPECT_FALSE(RenameInFolder(m_temp.Path(), L"missing", L"other"));
}

// Catches a lone UTF-16 surrogate in a name dropped (so that "a?b.txt" and "ab.txt" meet),
// written as bytes that are no UTF-8, or making the file impossible to find, rename or delete.
// On Linux it is written as U+FFFD; on Windows names are UTF-16 and keep it.
TEST_F(FileOpsTest, LoneSurrogateInANameIsOneFileThroughout) {
  const std::wstring name{L'a', static_cast<wchar_t>(0xD800), L'b', L'.', L't', L'x', L't'};
  CFile file;
  if (kIsWindows && !file.Open(m_temp / name, CFile::Mode::CreateWrite)) {
    GTEST_SKIP() << "wine keeps file names in UTF-8 and refuses a lone surrogate, which NTFS takes";
  }
  ASSERT_TRUE(file.IsOpen() || file.Open(m_temp / name, CFile::Mode::CreateWrite));
  EXPECT_TRUE(file.Write("x", 1));
  file.Close();
  EXPECT_TRUE(FileExists(m_temp / name));
  EXPECT_FALSE(FileExists(m_temp / L"ab.txt"));
  std::vector<std::wstring> names;
  for (const auto& entry : ListFolder(m_temp.Path())) names.push_back(entry.name);
  EXPECT_NE(std::find(names.begin(), names.end(), kIsWindows ? name : L"a\uFFFDb.txt"), names.end());
  EXPECT_TRUE(RenameInFolder(m_temp.Path(), name, L"renamed.txt"));
  EXPECT_FALSE(FileExists(m_temp / name));
  EXPECT_TRUE(DeleteFileInFolder(m_temp.Path(), L"renamed.txt"));
  EXPECT_FALSE(FileExists(m_temp / L"renamed.txt"));
}

// Catches a privacy check that accepts links, shared folders or folders of other users.
TEST_F(FileOpsTest, IsPrivateFolderRefusesSharedFolders) {
  if (kIsWindows) GTEST_SKIP() << "always private on Windows";
  const std::wstring own = m_temp / L"own";
  ASSERT_TRUE(CreateFolderChain(own));
  EXPECT_TRUE(IsPrivateFolder(own));
  EXPECT_FALSE(IsPrivateFolder(m_temp / L"missing"));

  ASSERT_TRUE(MakeSymlink(own, m_temp / L"link"));
  EXPECT_FALSE(IsPrivateFolder(m_temp / L"link"));

  const std::wstring shared = m_temp / L"shared";
  fs::create_directories(fs::path(shared));
  fs::permissions(fs::path(shared), fs::perms::all);
  EXPECT_FALSE(IsPrivateFolder(shared));
}

struct ChainCase {
  std::wstring path;
  std::vector<std::wstring> levels;
};

class WindowsChainTest : public ::testing::TestWithParam<ChainCase> {};

// Catches a chain that attempts the drive, skips a level, or starts network and root paths at
// the wrong level.
TEST_P(WindowsChainTest, AttemptsTheLevelsInOrder) {
  EXPECT_EQ(WindowsFolderChainLevels(GetParam().path), GetParam().levels);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, WindowsChainTest,
    ::testing::Values(ChainCase{L"C:\\a\\b\\c", {L"C:\\a", L"C:\\a\\b", L"C:\\a\\b\\c"}},
                      ChainCase{L"C:\\a\\", {L"C:\\a", L"C:\\a\\"}},
                      ChainCase{L"\\\\server\\share\\x\\y",
                                {L"\\\\server\\share", L"\\\\server\\share\\x", L"\\\\server\\share\\x\\y"}},
                      ChainCase{L"\\a\\b\\c", {L"\\a\\b", L"\\a\\b\\c"}}, ChainCase{L"LocalSetup", {}}));

// Catches Linux chains that skip the first level or attempt empty levels.
TEST(PosixChainTest, AttemptsEveryLevelFromTheFirst) {
  EXPECT_EQ(PosixFolderChainLevels(L"/tmp/p/LocalSetup"),
            (std::vector<std::wstring>{L"/tmp", L"/tmp/p", L"/tmp/p/LocalSetup"}));
  EXPECT_EQ(PosixFolderChainLevels(L"//tmp//p/"), (std::vector<std::wstring>{L"//tmp", L"//tmp//p"}));
  EXPECT_EQ(PosixFolderChainLevels(L"rel/a"), (std::vector<std::wstring>{L"rel/a"}));
  EXPECT_TRUE(PosixFolderChainLevels(L"bare").empty());
}

struct CReadWholeCase {
  const char* name;
  const char* content;  // null: no file
  std::uint64_t limit;
  std::size_t extraBytes;
  const char* expected;  // null: nothing read
  std::size_t expectedSize;
};

class ReadWholeFileTest : public ::testing::TestWithParam<CReadWholeCase> {
 protected:
  CTempFolder m_temp;
};

// Catches a limit off by one (a signature file of 64 bytes refused, or 65 read), an empty or
// missing file taken as content, or extra bytes that are not zero (a description's terminator).
TEST_P(ReadWholeFileTest, ReadsWithinTheLimit) {
  const CReadWholeCase& c = GetParam();
  const std::wstring path = m_temp / L"file.bin";
  if (c.content != nullptr) WriteFileBytes(path, c.content);
  const std::optional<ByteBuffer> bytes = ReadWholeFile(path, c.limit, c.extraBytes);
  ASSERT_EQ(bytes.has_value(), c.expected != nullptr);
  if (!bytes) return;
  EXPECT_EQ(*bytes, ByteBuffer(c.expected, c.expected + c.expectedSize));
}

INSTANTIATE_TEST_SUITE_P(Cases, ReadWholeFileTest,
                         ::testing::Values(CReadWholeCase{"Missing", nullptr, 10, 0, nullptr, 0},
                                           CReadWholeCase{"Empty", "", 10, 0, nullptr, 0},
                                           CReadWholeCase{"AtTheLimit", "abcd", 4, 0, "abcd", 4},
                                           CReadWholeCase{"OverTheLimit", "abcde", 4, 0, nullptr, 0},
                                           CReadWholeCase{"ExtraZeros", "ab", 4, 2, "ab\0\0", 4}),
                         [](const auto& info) { return std::string(info.param.name); });

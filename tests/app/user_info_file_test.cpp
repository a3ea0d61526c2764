// The User Info File: its 28 lines, its name from the description, long texts, the install
// time format.
#include "app/user_info_file.h"

#include <gtest/gtest.h>

#include "app/run_names.h"
#include "app/setup_app.h"
#include "support/test_support.h"
#include "system/folders.h"
#include "system/path.h"
#include "system/text.h"

class UserInfoFileTest : public ::testing::Test {
 protected:
  bool Write(const std::string& userInfoName, const std::wstring& pathname) {
    m_app.m_description.LoadText(FromUtf8("[User Info Filename]\n" + userInfoName + "\n[End]\nEnd\n"));
    return m_app.WriteUserInfoFile(m_temp.Path(), pathname, L"T", L"", L"Demo", L"07-03-2014 09:05:03");
  }

  CTempFolder m_temp;
  CFakeClock m_clock;
  CSetupApp m_app{CDownloadHosts{}, m_clock};
  CMessageBoxRecorder m_boxes;
};

// Catches a line missing, out of order or with a CR, a BOM or a terminating zero, an absent
// empty line for an empty download site, or a text cut at a fixed buffer size.
TEST_F(UserInfoFileTest, WritesTheWholeTextLineByLine) {
  const std::wstring longPath = L"C:\\" + std::wstring(3000, L'p') + L"\\Setup_Demo_.exe";
  WriteFileBytes(m_temp / L"info.txt", std::string(10000, 'o'));  // replaced entirely
  ASSERT_TRUE(Write("info.txt", longPath));
  const std::string expected =
      "// User specific info.\n\n[Initial Setup Pathname]\n" + ToUtf8(longPath) +
      "\n\n[Setup Temp Folder]\nT\n\n[Download Site]\n\n\n[Start Menu Folder]\n" + ToUtf8(GetStartMenuFolder()) +
      "\n\n[Desktop Folder]\n" + ToUtf8(GetDesktopFolder()) + "\n\n[My Documents Folder]\n" +
      ToUtf8(GetMyDocumentsFolder()) +
      "\n\n[Application Name]\nDemo\n\n[Installed on GM Time]\n07-03-2014 09:05:03\n\n[End]\nEnd\n";
  EXPECT_EQ(ReadFileBytes(m_temp / L"info.txt"), expected);
}

// Catches a name from the description that reaches outside the folder or names a device.
TEST_F(UserInfoFileTest, RefusesNamesThatAreNoPlainFileNames) {
  for (const char* name : {"../info.txt", "sub/info.txt", "NUL", ""}) {
    EXPECT_FALSE(Write(name, L"x")) << name;
  }
  EXPECT_FALSE(Write("..\\info.txt", L"x"));
}

// Catches a wrong calendar (leap days, eras), local time, or single-digit fields.
TEST(InstallTimeTest, FormatsUtcAsDayMonthYear) {
  EXPECT_EQ(FormatInstallTime(1394183103), L"07-03-2014 09:05:03");
  EXPECT_EQ(FormatInstallTime(0), L"01-01-1970 00:00:00");
  EXPECT_EQ(FormatInstallTime(951782400), L"29-02-2000 00:00:00");
  EXPECT_EQ(FormatInstallTime(4102444799), L"31-12-2099 23:59:59");
  EXPECT_EQ(FormatInstallTime(-1), L"31-12-1969 23:59:59");
  // Years beyond four digits and before year 0 keep printf's "%04d" form.
  EXPECT_EQ(FormatInstallTime(253402300800), L"01-01-10000 00:00:00");
  EXPECT_EQ(FormatInstallTime(-62167219201), L"31-12--001 23:59:59");
}

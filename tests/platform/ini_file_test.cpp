#include "platform/ini_file.h"

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace oxsms::platform {
namespace {

using testing::ReadFile;
using testing::WriteFile;

class IniFileTest : public ::testing::Test {
 protected:
  std::filesystem::path File() { return dir_ / "config.ini"; }
  testing::TempDir dir_;
};

TEST_F(IniFileTest, NamesIgnoreCaseAndValuesAreTakenWhole) {
  WriteFile(File(),
            "; commento iniziale\r\n"
            "[Database]\r\n"
            "  File = C:\\Dati\\CONFIG.GDB ; non un commento\r\n"
            "pwd=\"  segreta  \"\r\n"
            "host=\r\n"
            "[SMS]\r\n"
            "ftp_limit=120\r\n");
  IniFile ini(File());
  EXPECT_EQ(ini.ReadString("database", "FILE", ""), "C:\\Dati\\CONFIG.GDB ; non un commento");
  EXPECT_EQ(ini.ReadString("Database", "pwd", ""), "  segreta  ");
  EXPECT_EQ(ini.ReadString("Database", "host", "predefinito"), "");
  EXPECT_TRUE(ini.ValueExists("DATABASE", "Host"));
  EXPECT_EQ(ini.ReadInteger("sms", "FTP_LIMIT", 50), 120);
  EXPECT_TRUE(ini.SectionExists("sms"));
}

TEST_F(IniFileTest, CommentLinesAreSkippedAndMissingFileGivesDefaults) {
  WriteFile(File(), "[sms]\n;sendSms=1\n   ; rest_host=x\n");
  IniFile ini(File());
  EXPECT_FALSE(ini.ValueExists("sms", "sendSms"));
  EXPECT_EQ(ini.ReadString("sms", "rest_host", "d"), "d");
  IniFile none(dir_ / "assente.ini");
  EXPECT_EQ(none.ReadInteger("Database", "protocollo", 0), 0);
  EXPECT_EQ(none.ReadString("Database", "User", "SYSDBA"), "SYSDBA");
}

TEST_F(IniFileTest, FirstOccurrenceWinsAndBadNumbersGiveTheDefault) {
  WriteFile(File(), "[a]\nk=1\nk=2\nn=12x\nb=true\n[A]\nk=3\n");
  IniFile ini(File());
  EXPECT_EQ(ini.ReadString("a", "k", ""), "1");
  EXPECT_EQ(ini.ReadInteger("a", "n", 7), 7);
  EXPECT_TRUE(ini.ReadBool("a", "b", false));
  EXPECT_TRUE(ini.ReadBool("a", "k", false));
}

TEST_F(IniFileTest, WritingKeepsCommentsAndOtherLinesAndAddsWhereItBelongs) {
  WriteFile(File(), "; intestazione\r\n[Database]\r\nFile=a.gdb\r\n\r\n[sms]\r\nftp_limit=5\r\n");
  IniFile ini(File());
  ini.WriteString("database", "FILE", "b.gdb");
  ini.WriteString("Database", "host", "server");
  ini.WriteInteger("Nuova", "x", 3);
  EXPECT_EQ(ReadFile(File()),
            "; intestazione\r\n[Database]\r\nFile=b.gdb\r\nhost=server\r\n\r\n"
            "[sms]\r\nftp_limit=5\r\n[Nuova]\r\nx=3\r\n");
  IniFile again(File());
  EXPECT_EQ(again.ReadString("Database", "File", ""), "b.gdb");
  EXPECT_EQ(again.ReadInteger("nuova", "X", 0), 3);
}

TEST_F(IniFileTest, WritingThroughALinkKeepsTheLinkAndThePermissions) {
  namespace fs = std::filesystem;
  fs::create_directory(dir_ / "etc");
  WriteFile(dir_ / "etc" / "config.ini", "[Database]\r\nprotocollo=4\r\n");
  fs::permissions(dir_ / "etc" / "config.ini",
                  fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  fs::create_symlink(dir_ / "etc" / "config.ini", File());
  IniFile ini(File());
  ini.WriteString("Database", "cloud_param", "ABCD");
  EXPECT_TRUE(fs::is_symlink(File()));
  EXPECT_EQ(ReadFile(dir_ / "etc" / "config.ini"),
            "[Database]\r\nprotocollo=4\r\ncloud_param=ABCD\r\n");
  EXPECT_EQ(fs::status(dir_ / "etc" / "config.ini").permissions(),
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);

  // A file that is not there yet is made.
  IniFile fresh(dir_ / "nuovo.ini");
  fresh.WriteInteger("sms", "ftp_limit", 5);
  EXPECT_EQ(ReadFile(dir_ / "nuovo.ini"), "[sms]\r\nftp_limit=5\r\n");
}

TEST_F(IniFileTest, WindowsCodePageFileIsReadAsTextAndLineBreaksAreRefused) {
  WriteFile(File(), "[sms]\nfirma=Studio Citt\xE0 \x80\n");
  IniFile ini(File());
  EXPECT_EQ(ini.ReadString("sms", "firma", ""), "Studio Citt\u00E0 \u20AC");
  EXPECT_THROW(ini.WriteString("sms", "firma", "a\r\nb=c"), DataError);
}

}  // namespace
}  // namespace oxsms::platform

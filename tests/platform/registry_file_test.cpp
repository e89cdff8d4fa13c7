#include "platform/registry_file.h"

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace oxsms::platform {
namespace {

using testing::TempDir;
using testing::WriteFile;

constexpr const char* kKey = "Software\\Velk Software\\Odontix\\SmsSvcParam";

class RegistryFileTest : public ::testing::Test {
 protected:
  FileRegistry Write(const std::string& content) {
    WriteFile(dir_ / FileRegistry::kDefaultFileName, content);
    return FileRegistry(dir_ / FileRegistry::kDefaultFileName);
  }
  TempDir dir_;
};

TEST_F(RegistryFileTest, KeysBelongToTheirHive) {
  const FileRegistry reg = Write(
      "; legacy settings\r\n"
      "[HKEY_LOCAL_MACHINE\\Software\\Velk Software\\Odontix\\SmsSvcParam]\r\n"
      "User=macchina\r\n"
      "[HKCU\\software\\velk software\\odontix\\smssvcparam\\]\r\n"
      "User=utente\r\n");
  const auto machine = reg.OpenKeyReadOnly(RegistryHive::kLocalMachine, kKey);
  const auto user = reg.OpenKeyReadOnly(RegistryHive::kCurrentUser, kKey);
  ASSERT_TRUE(machine && user);
  EXPECT_EQ(machine->ReadString("User"), "macchina");
  EXPECT_EQ(user->ReadString("user"), "utente");
  EXPECT_FALSE(reg.OpenKeyReadOnly(RegistryHive::kLocalMachine, "Software\\Altro"));
  // A key with a subkey exists even without values of its own.
  EXPECT_TRUE(reg.OpenKeyReadOnly(RegistryHive::kCurrentUser, "Software\\Velk Software"));
  EXPECT_FALSE(reg.OpenKeyReadOnly(RegistryHive::kCurrentUser, "Software\\Velk"));
}

TEST_F(RegistryFileTest, MissingFileHoldsNoKeys) {
  const FileRegistry reg(dir_ / "registry.ini");
  EXPECT_FALSE(reg.OpenKeyReadOnly(RegistryHive::kLocalMachine, kKey));
}

TEST_F(RegistryFileTest, ValueTypesAndEscapes) {
  const FileRegistry reg = Write(
      "[HKLM\\Software\\Velk Software\\Odontix\\SmsSvcParam]\n"
      "  Time = 11.30  \n"
      "CBSms=dword:00000001\n"
      "Meno=dword:ffffffff\n"
      "\"TestoInvio\"=\"  Gentile \\\"<Nome>\\\",\\r\\nA\\\\B  \"\n"
      "Finto=\"dword:1\"\n"
      "Vuoto=\n"
      "Rotto=dword:xyz\n"
      "Aperto=\"senza fine\n"
      "User=primo\n"
      "User=secondo\n"
      "# commento=1\n");
  const auto key = reg.OpenKeyReadOnly(RegistryHive::kLocalMachine, kKey);
  ASSERT_TRUE(key);
  EXPECT_EQ(key->ReadString("Time"), "11.30");
  EXPECT_EQ(key->ReadInteger("CBSms"), 1);
  EXPECT_EQ(key->ReadInteger("Meno"), -1);
  EXPECT_EQ(key->ReadString("TestoInvio"), "  Gentile \"<Nome>\",\r\nA\\B  ");
  EXPECT_EQ(key->ReadString("Finto"), "dword:1");
  EXPECT_TRUE(key->ValueExists("Vuoto"));
  EXPECT_EQ(key->ReadString("Vuoto"), "");
  EXPECT_EQ(key->ReadString("User"), "primo");
  EXPECT_FALSE(key->ValueExists("# commento"));

  EXPECT_THROW(key->ReadInteger("Time"), RegistryError);
  EXPECT_THROW(key->ReadString("CBSms"), RegistryError);
  EXPECT_THROW(key->ReadString("Assente"), RegistryError);
  for (const char* broken : {"Rotto", "Aperto"}) {
    EXPECT_TRUE(key->ValueExists(broken));
    EXPECT_THROW(key->ReadString(broken), RegistryError) << broken;
    EXPECT_THROW(key->ReadInteger(broken), RegistryError) << broken;
  }
}

TEST_F(RegistryFileTest, FileIsReadAgainAtEachOpening) {
  FileRegistry reg = Write("[HKLM\\Software\\Velk Software\\Odontix\\SmsSvcParam]\nUser=a\n");
  EXPECT_EQ(reg.OpenKeyReadOnly(RegistryHive::kLocalMachine, kKey)->ReadString("User"), "a");
  Write("[HKLM\\Software\\Velk Software\\Odontix\\SmsSvcParam]\nUser=b\n");
  EXPECT_EQ(reg.OpenKeyReadOnly(RegistryHive::kLocalMachine, kKey)->ReadString("User"), "b");
}

}  // namespace
}  // namespace oxsms::platform

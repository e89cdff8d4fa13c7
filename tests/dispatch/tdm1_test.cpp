// TDM1 against a real configuration database, found through config.ini: an
// embedded Firebird file in a scratch home folder, or a schema on the private
// MariaDB server (protocol 3); registry.ini stands in for the registry.
#include "dispatch/tdm1.h"

#include <gtest/gtest.h>
#include <soci/soci.h>

#include <memory>

#include "dispatch/registry_settings.h"
#include "dispatch/settings_document.h"
#include "platform/error.h"
#include "platform/registry_file.h"
#include "practice/credential_protection.h"
#include "practice/database_catalogue.h"
#include "practice/database_error.h"
#include "scratch_database.h"
#include "support/database_env.h"
#include "support/manual_clock.h"
#include "support/test_run_parts.h"
#include "support/temp_dir.h"

namespace oxsms::dispatch {
namespace {

using testing::ReadFile;
using testing::WriteFile;

constexpr const char* kRegistryUnavailable =
    "Impossibile aprire il registry nella funzione ReadConnect del servizio";

using testing::Backend;

class TDM1Test : public ::testing::TestWithParam<Backend> {
 protected:
  void SetUp() override {
    OXSMS_REQUIRE_BACKEND(backend());
    db_ = std::make_unique<testing::ScratchDatabase>(backend(), dir_, "config.fdb", 1);
    if (OnFirebird()) config_ = db_->Name();
    WriteFile(dir_ / "config.ini", "[Database]\r\n" + db_->IniKeys());
  }

  virtual Backend backend() const { return GetParam(); }
  bool OnFirebird() const { return backend() == Backend::kFirebird; }
  // The type of a binary column: the settings document's, IMP_MODULE's data.
  std::string BinaryType() const { return OnFirebird() ? "blob sub_type 0" : "longblob"; }

  // Runs statements on a connection of its own, committed and closed at once.
  void Exec(std::initializer_list<std::string> statements) {
    practice::Connection c;
    practice::PreparaConnessioneConfig(c, "Database", ctx_);
    for (const auto& sql : statements) c.Session() << sql;
    c.Close();
  }

  void CreateClinica(bool with_settings_column = true, bool with_row = true) {
    // MySQL schemas of the suite keep the document in a text column.
    const std::string settings_type = OnFirebird() ? BinaryType() : "longtext";
    Exec({std::string("create table IMP_CLINICA (ID integer, NOME varchar(40)") +
          (with_settings_column ? ", GDB_SMS " + settings_type + ")" : ")")});
    if (with_row) Exec({"insert into IMP_CLINICA (ID, NOME) values (7, 'Studio')"});
  }

  void CreatePaymentTables(int num_automatica, bool with_account) {
    Exec({"create table IMP_MODULE (ID integer, NUM_AUTOMATICA integer, DATI " + BinaryType() + ")",
          "create table LINKPAG (ID integer, DESCRIZIONE varchar(40))"});
    Exec({"insert into IMP_MODULE (ID, NUM_AUTOMATICA) values (22, 1)",
          "insert into IMP_MODULE (ID, NUM_AUTOMATICA) values (31, " +
              std::to_string(num_automatica) + ")"});
    if (with_account) Exec({"insert into LINKPAG (ID, DESCRIZIONE) values (1, 'Conto')"});
  }

  SettingsRow StoredRow() {
    practice::Connection c;
    practice::PreparaConnessioneConfig(c, "Database", ctx_);
    return ReadSettingsRow(c);
  }

  // The stored document, decrypted and parsed.
  SettingsDocument StoredDocument() {
    const SettingsRow row = StoredRow();
    EXPECT_TRUE(row.sealed.has_value());
    return ParseSettingsDocument(practice::DecriptaHex(cipher_, row.sealed.value_or("")));
  }

  void StoreDocument(const std::string& json) {
    practice::Connection c;
    practice::PreparaConnessioneConfig(c, "Database", ctx_);
    WriteSettingsRow(c, ReadSettingsRow(c), practice::CriptaHex(cipher_, json));
    c.Close();
  }

  void WriteRegistry(const std::string& hive, const std::string& values) {
    WriteFile(dir_ / "registry.ini",
              "[" + hive + "\\" + kLegacySettingsKey + "]\r\n" + values);
  }

  std::unique_ptr<TDM1> Create() {
    return std::make_unique<TDM1>(ctx_, log_, clock_, registry_, parts_.Parts());
  }

  std::string LogText() { return ReadFile(dir_ / "sms.log"); }

  testing::TempDir dir_;
  std::unique_ptr<testing::ScratchDatabase> db_;
  std::filesystem::path config_;  // the Firebird file
  testing::ManualClock clock_{platform::EncodeDate(2025, 5, 12) + platform::EncodeTime(10, 0, 0)};
  platform::ActivityLog log_{dir_ / "sms.log", clock_};
  platform::FileRegistry registry_{dir_ / "registry.ini"};
  platform::HomeFolder home_{dir_.path()};
  platform::Installation installation_;
  practice::CredentialCipher cipher_;
  practice::CatalogueContext ctx_{home_, installation_, cipher_};
  testing::TestRunParts parts_{log_};
};

// What exists on Firebird alone: the statement that adds a missing settings
// column, a configuration file that is missing, the suite's folder layout.
class TDM1FirebirdTest : public TDM1Test {
 protected:
  Backend backend() const override { return Backend::kFirebird; }
};

TEST_P(TDM1Test, CreationWithoutDocumentOrRegistrySavesTheDefaults) {
  CreateClinica();
  const auto dm = Create();

  EXPECT_EQ(log_.TimeSeparator(), '.');
  EXPECT_FALSE(dm->SuiteDesktopPresent);
  EXPECT_FALSE(dm->IBDatabaseConfig.Connected());

  const SettingsRow row = StoredRow();
  EXPECT_EQ(row.id, 7);
  const SettingsDocument doc = StoredDocument();
  EXPECT_EQ(doc.at("testoinvio"), kDefaultTestoInvioApp);
  EXPECT_EQ(doc.at("time"), "11.00.00");
  EXPECT_EQ(doc.at("giorniinvio"), "0000000");
  EXPECT_DOUBLE_EQ(doc.at("ore_disdetta").get<double>(), 0.75);
  EXPECT_EQ(LogText().find(kRegistryUnavailable), std::string::npos);

  // From now on the document is read, also as a service.
  dm->AsService = true;
  EXPECT_TRUE(dm->ReadConnect());
  EXPECT_EQ(LogText().find(kRegistryUnavailable), std::string::npos);
}

TEST_P(TDM1Test, ServiceWithoutDocumentNeedsTheMachineKey) {
  CreateClinica();
  const auto dm = Create();
  Exec({"update IMP_CLINICA set GDB_SMS = null"});
  WriteRegistry("HKEY_CURRENT_USER", "User=mario\r\n");  // the user hive does not count
  dm->AsService = true;

  EXPECT_FALSE(dm->ReadConnect());
  EXPECT_NE(LogText().find(kRegistryUnavailable), std::string::npos);
  EXPECT_FALSE(StoredRow().sealed.has_value());  // nothing saved
  EXPECT_EQ(dm->UserConnect.User, "");
  EXPECT_FALSE(dm->IBDatabaseConfig.Connected());

  WriteRegistry("HKEY_LOCAL_MACHINE", "User=studio\r\n");
  EXPECT_TRUE(dm->ReadConnect());
  EXPECT_EQ(StoredDocument().at("user"), "studio");
}

TEST_P(TDM1Test, NullDocumentMigratesFromTheMachineHive) {
  CreateClinica();
  WriteRegistry("HKEY_LOCAL_MACHINE",
                "User=studio\r\nPwd=segreta\r\nTime=9.30\r\nTestoInvio=Promemoria <Nome>\r\n"
                "CBSms=dword:00000000\r\nCBServizioEmail=dword:00000001\r\n"
                "2=dword:00000003\r\nC1=0100000\r\n");
  const auto dm = Create();

  EXPECT_EQ(dm->giorniinvio, "0030000");
  EXPECT_EQ(dm->UserConnect.User, "studio");
  EXPECT_EQ(dm->TestoInvioApp, "Promemoria <Nome>");
  EXPECT_FALSE(dm->CBMemoApp);

  const SettingsDocument doc = StoredDocument();
  EXPECT_EQ(doc.at("giorniinvio"), "0030000");
  EXPECT_EQ(doc.at("user"), "studio");
  EXPECT_EQ(doc.at("pwd"), "segreta");
  EXPECT_EQ(doc.at("time"), "09.30.00");
  EXPECT_EQ(doc.at("cbsms"), false);
  EXPECT_EQ(doc.at("cbservizioemail"), true);
  EXPECT_EQ(doc.at("C1"), "0100000");
  EXPECT_DOUBLE_EQ(doc.at("ore_disdetta").get<double>(), 0.75);
  EXPECT_FALSE(doc.contains("titoloComplWhts"));

  // The registry is not read again once the document exists.
  WriteRegistry("HKEY_LOCAL_MACHINE", "User=altro\r\n");
  ASSERT_TRUE(dm->ReadConnect());
  EXPECT_EQ(dm->UserConnect.User, "studio");
}

TEST_P(TDM1Test, UserHiveMigrationEmptiesTheReminderTextUntilTheMachineKeyGivesOne) {
  CreateClinica();
  WriteRegistry("HKEY_CURRENT_USER", "User=mario\r\nTestoInvio=Ignorato\r\n");
  const auto dm = Create();
  EXPECT_EQ(dm->UserConnect.User, "mario");
  EXPECT_EQ(dm->TestoInvioApp, "");
  EXPECT_EQ(dm->TestoInvioCompl, "");
  EXPECT_EQ(StoredDocument().at("testoinvio"), "");

  // An empty "testoinvio" keeps the (empty) text; the machine key repairs it
  // and the document is rewritten.
  WriteRegistry("HKEY_LOCAL_MACHINE",
                "TestoInvio=Dal registro\r\nTestoInvioCompl=Auguri dal registro\r\n");
  ASSERT_TRUE(dm->ReadConnect());
  EXPECT_EQ(dm->TestoInvioApp, "Dal registro");
  EXPECT_EQ(dm->TestoInvioCompl, "Auguri dal registro");
  const SettingsDocument doc = StoredDocument();
  EXPECT_EQ(doc.at("testoinvio"), "Dal registro");
  EXPECT_EQ(doc.at("testoinviocompl"), "Auguri dal registro");
  EXPECT_EQ(doc.at("user"), "mario");
}

TEST_P(TDM1Test, EmptyReminderTextInTheDocumentKeepsTheDefaultWithoutRewriting) {
  CreateClinica();
  StoreDocument(R"({"testoinvio": "", "user": "u"})");
  WriteRegistry("HKEY_LOCAL_MACHINE", "TestoInvio=Non usato\r\n");
  const auto dm = Create();
  EXPECT_EQ(dm->TestoInvioApp, kDefaultTestoInvioApp);
  EXPECT_EQ(dm->UserConnect.User, "u");
  const SettingsDocument doc = StoredDocument();
  EXPECT_EQ(doc.at("testoinvio"), "");
  EXPECT_FALSE(doc.contains("time"));  // still the document stored above
}

TEST_P(TDM1Test, ReloadsKeepWhatAbsentKeysGaveEarlier) {
  CreateClinica();
  StoreDocument(R"({"CBPreavviso": true, "GGPreavviso": 3, "testoinvio": "Primo"})");
  const auto dm = Create();
  EXPECT_TRUE(dm->CBPreavviso);
  EXPECT_EQ(dm->GGPreavviso, 3);
  EXPECT_DOUBLE_EQ(dm->ore_disdetta, 0.0);  // no "ore_disdetta" in the document

  StoreDocument(R"({"testoinvio": "Secondo", "ore_disdetta": 0.5})");
  ASSERT_TRUE(dm->ReadConnect());
  EXPECT_EQ(dm->TestoInvioApp, "Secondo");
  EXPECT_TRUE(dm->CBPreavviso);
  EXPECT_EQ(dm->GGPreavviso, 3);
  EXPECT_DOUBLE_EQ(dm->ore_disdetta, 0.5);

  // A restart starts from the defaults again.
  const auto restarted = Create();
  EXPECT_FALSE(restarted->CBPreavviso);
  EXPECT_EQ(restarted->GGPreavviso, 7);
}

TEST_P(TDM1Test, SavedSettingsComeBackInANewProcess) {
  CreateClinica();
  auto dm = Create();
  dm->TestoInvioApp = "Gentile <Nome>, l'appuntamento è confermato: più info allo studio";
  dm->UserConnect.CellWhts = "+393331234567";
  dm->UserConnect.IntestazioneWhts = "Studio Dentistico Città di Castello – dott. Niccolò";
  dm->TestoLiberoComplWhts = "Tanti auguri 🎂 da tutto lo staff";
  dm->CBLinkPag = true;
  dm->GGLinkPag = 2;
  dm->OrarioInvio = TDM1::StrToOrario("8.45");
  dm->SaveConnect();
  EXPECT_FALSE(dm->IBDatabaseConfig.Connected());

  const auto again = Create();
  EXPECT_EQ(again->TestoInvioApp, dm->TestoInvioApp);
  EXPECT_EQ(again->UserConnect.IntestazioneWhts, dm->UserConnect.IntestazioneWhts);
  EXPECT_EQ(again->TestoLiberoComplWhts, dm->TestoLiberoComplWhts);
  EXPECT_TRUE(again->CBLinkPag);
  EXPECT_EQ(again->GGLinkPag, 2);
  EXPECT_EQ(TDM1::OrarioToStr(again->OrarioInvio), "08.45.00");
}

TEST_P(TDM1Test, DontSaveLeavesTheStoreAlone) {
  CreateClinica();
  const auto dm = Create();
  dm->DontSave = true;
  dm->TestoInvioApp = "Non salvato";
  dm->SaveConnect();
  EXPECT_EQ(StoredDocument().at("testoinvio"), kDefaultTestoInvioApp);
}

TEST_F(TDM1FirebirdTest, MissingSettingsColumnIsAdded) {
  CreateClinica(/*with_settings_column=*/false);
  const auto dm = Create();
  const SettingsRow row = StoredRow();
  EXPECT_EQ(row.id, 7);
  ASSERT_TRUE(row.sealed.has_value());
  EXPECT_EQ(StoredDocument().at("testoinvio"), kDefaultTestoInvioApp);
}

TEST_P(TDM1Test, TableWithoutRowsGetsOneWhenSaving) {
  CreateClinica(true, /*with_row=*/false);
  const auto dm = Create();
  EXPECT_EQ(StoredRow().id, 1);
  EXPECT_EQ(StoredDocument().at("cbsms"), true);

  dm->UserConnect.User = "nuovo";
  dm->SaveConnect();
  practice::Connection c;
  practice::PreparaConnessioneConfig(c, "Database", ctx_);
  int rows = 0;
  c.Session() << "select count(*) from IMP_CLINICA", soci::into(rows);
  EXPECT_EQ(rows, 1);
  EXPECT_EQ(StoredDocument().at("user"), "nuovo");
}

TEST_P(TDM1Test, UnreadableDocumentRaisesAndIsKept) {
  CreateClinica();
  practice::Connection c;
  practice::PreparaConnessioneConfig(c, "Database", ctx_);
  WriteSettingsRow(c, ReadSettingsRow(c), "non cifrato");
  c.Close();

  EXPECT_THROW(Create(), SettingsError);
  EXPECT_EQ(StoredRow().sealed, "non cifrato");

  StoreDocument(R"({"time": "25.00"})");
  EXPECT_THROW(Create(), ConversionError);
}

TEST_F(TDM1FirebirdTest, UnreachableConfigurationDatabaseRaisesNamingTheDatabaseOnce) {
  const std::string missing = (dir_ / "manca.fdb").string();
  WriteFile(dir_ / "config.ini", "[Database]\r\nFile=" + missing + "\r\n");
  try {
    Create();
    ADD_FAILURE() << "no error";
  } catch (const practice::DatabaseError& e) {
    // The driver's message names the database already: no context repeats it.
    EXPECT_NE(std::string(e.what()).find(missing), std::string::npos) << e.what();
    EXPECT_TRUE(e.context().empty()) << platform::Describe(e);
  }

  // A message that does not name it gets the name as context.
  WriteFile(dir_ / "config.ini",
            "[Database]\r\nprotocollo=3\r\nhost=127.0.0.1\r\nruolo=porta\r\nFile=studio\r\n");
  try {
    Create();
    ADD_FAILURE() << "no error";
  } catch (const practice::DatabaseError& e) {
    EXPECT_STREQ(e.what(), "Porta del server di database non valida: porta");
    EXPECT_EQ(platform::Describe(e),
              "Porta del server di database non valida: porta [archivio studio@127.0.0.1/porta]");
  }
}

TEST_P(TDM1Test, PaymentLinksNeedTheModuleAndAnAccount) {
  CreateClinica();
  CreatePaymentTables(1, /*with_account=*/true);
  const auto dm = Create();
  EXPECT_EQ(dm->isLinkPag, 1);

  Exec({"delete from LINKPAG"});
  ASSERT_TRUE(dm->ReadConnect());
  EXPECT_EQ(dm->isLinkPag, 2);

  Exec({"insert into LINKPAG (ID) values (2)", "update IMP_MODULE set NUM_AUTOMATICA = 0 where ID = 31"});
  ASSERT_TRUE(dm->ReadConnect());
  EXPECT_EQ(dm->isLinkPag, 2);

  Exec({"update IMP_MODULE set NUM_AUTOMATICA = 1 where ID = 31"});
  ASSERT_TRUE(dm->ReadConnect());
  EXPECT_EQ(dm->isLinkPag, 1);

  Exec({"delete from IMP_MODULE where ID = 31"});
  ASSERT_TRUE(dm->ReadConnect());
  EXPECT_EQ(dm->isLinkPag, 2);
}

TEST_P(TDM1Test, MissingPaymentTablesDoNotStopTheReload) {
  CreateClinica();
  const auto dm = Create();
  EXPECT_EQ(dm->isLinkPag, 2);
  EXPECT_TRUE(dm->ReadConnect());
}

TEST_F(TDM1FirebirdTest, DesktopProgramsSelectTheFolderLayout) {
  // The layout's configuration database: "<File of [Database]>\database\config.fdb".
  std::filesystem::create_directory(dir_ / "suite");
  std::filesystem::create_directory(dir_ / "suite" / "database");
  std::filesystem::rename(config_, dir_ / "suite" / "database" / "config.fdb");
  WriteFile(dir_ / "config.ini", "[Database]\r\nFile=" + (dir_ / "suite").string() + "\r\n");
  WriteFile(dir_ / "MesaFE.exe", "");
  config_ = dir_ / "suite" / "database" / "config.fdb";
  {
    practice::Connection c;
    practice::PreparaConnessioneFileLocale(c, practice::kLayoutConfigFile, true, ctx_);
    c.Session() << "create table IMP_CLINICA (ID integer, GDB_SMS blob sub_type 0)";
    c.Close();
  }
  const auto dm = Create();
  EXPECT_TRUE(dm->SuiteDesktopPresent);
  EXPECT_TRUE(dm->FolderLayout());
  practice::Connection c;
  practice::PreparaConnessioneFileLocale(c, practice::kLayoutConfigFile, true, ctx_);
  EXPECT_TRUE(ReadSettingsRow(c).sealed.has_value());
}

OXSMS_INSTANTIATE_ON_BOTH_BACKENDS(TDM1Test);

}  // namespace
}  // namespace oxsms::dispatch

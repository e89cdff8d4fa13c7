// Cloud database configurations: fetched by number (with the re-login of
// code 11), read from the catalogue's encrypted documents, and the
// connections built from them.
#include <gtest/gtest.h>

#include "cloud/cloud_configuration_document.h"
#include "cloud_test_world.h"
#include "practice/connection.h"
#include "practice/credential_protection.h"
#include "practice/database_catalogue.h"
#include "practice/database_error.h"
#include "practice/database_location.h"

namespace oxsms::cloud {
namespace {

using nlohmann::json;

const json kDocument = {{"descrizione", ""},      {"server_db", "db.cloud.it"},
                        {"schema_name_db", "s7"}, {"user_db", "u7"},
                        {"pwd_db", "p7"},         {"filtro_db", "f"}};

json Found(const json& document, const json& account = {{"id", 1}}) {
  return {{"codice", 1}, {"dati", {{"ConfigurazioniCloud", document}, {"AccountCloud", account}}}};
}

class CloudConfigurationsTest : public ::testing::Test, protected CloudWorld {
 protected:
  CloudConfigurations& Configurations() {
    if (!configurations) configurations.emplace(Client(), session, cipher, log);
    return *configurations;
  }
  practice::TRecDatabase Resolved(const std::string& location, const std::string& number) {
    practice::TRecDatabase record;
    record.protoc = 4;
    Configurations().Resolve(location, number, record);
    return record;
  }

  std::optional<CloudConfigurations> configurations;
  platform::Installation installation;
  practice::CatalogueContext ctx{home, installation, cipher, nullptr};
};

TEST_F(CloudConfigurationsTest, AConfigurationFillsTheRecordAndKeepsTheFirstAccount) {
  RememberedAccount("anna", "pw");
  http.Queue(Found(kDocument, {{"id", 1}}));
  practice::TRecDatabase record = Resolved("Studio id=7", "7");
  EXPECT_EQ(http.Body(0).at("id_configurazione"), "7");
  EXPECT_EQ(record.protoc, 4);
  EXPECT_EQ(record.host, "db.cloud.it");
  EXPECT_EQ(record.fgdb, "s7");  // no description: the schema
  EXPECT_EQ(record.schema_db, "s7");
  EXPECT_EQ(record.user, "u7");
  EXPECT_TRUE(record.loginfile);
  EXPECT_FALSE(record.local);

  // Without "port_db" the connection uses 3306; with a description it still
  // opens the schema.
  auto connection = practice::CreaConnessione(record, false, 1, ctx);
  EXPECT_TRUE(connection->IsMySQL());
  EXPECT_EQ(connection->Param("Port"), "3306");
  EXPECT_EQ(connection->Param("Database"), "s7");

  json described = kDocument;
  described["descrizione"] = "Sede centrale";
  described["port_db"] = 3307;
  http.Queue(Found(described, {{"id", 2}}));
  record = Resolved("Studio id=8", "8");
  EXPECT_EQ(record.fgdb, "Sede centrale");
  EXPECT_EQ(record.role, "3307");
  connection = practice::CreaConnessione(record, false, 1, ctx);
  EXPECT_EQ(connection->Param("Database"), "s7");
  EXPECT_EQ(connection->Param("Port"), "3307");
  EXPECT_EQ(session.account, json({{"id", 1}}));
}

TEST_F(CloudConfigurationsTest, Code11ThenANewLoginTakesTheSecondReply) {
  RememberedAccount("anna", "pw");
  testing::WriteFile(dir / "config.ini", "[Database]\nprotocollo=4\n");
  prompts.logins.push_back({"bruno", "pw2", false});
  http.Queue({{"codice", 11}, {"response_message", "Non accessibile"}});
  http.Queue(Found(kDocument));
  const practice::TRecDatabase record = Resolved("configurazione id=3", "3");
  EXPECT_EQ(record.schema_db, "s7");
  ASSERT_EQ(http.sent.size(), 2u);
  EXPECT_EQ(Decoded(http.Body(1), "user_cloud_b64"), "bruno");
  EXPECT_EQ(session.user, "bruno");
  EXPECT_NE(Log().find("Accesso al cloud con anna non riuscito. Ritentare l'accesso al cloud "
                       "reinserendo le credenziali"),
            std::string::npos);
}

TEST_F(CloudConfigurationsTest, Code11WithNobodyToLogInFailsTheLocation) {
  RememberedAccount("anna", "pw");
  http.Queue({{"codice", 11}, {"response_message", "Non accessibile"}});
  practice::TRecDatabase record;
  try {
    Configurations().Resolve("Studio id=3", "3", record);
    FAIL() << "an inaccessible configuration was accepted";
  } catch (const practice::DatabaseError& e) {
    EXPECT_EQ(std::string(e.what()).rfind("Configurazione cloud 3 non leggibile: ", 0), 0u)
        << e.what();
  }
  EXPECT_EQ(session.user, "");
  EXPECT_EQ(http.sent.size(), 1u);
}

TEST_F(CloudConfigurationsTest, NoUsableAnswerIsAnErrorNamingTheConfiguration) {
  RememberedAccount("anna", "pw");
  reachable = false;
  EXPECT_THROW(Resolved("Studio id=3", "3"), practice::DatabaseError);
  reachable = true;
  http.replies.push_back("");
  EXPECT_THROW(Resolved("Studio id=3", "3"), practice::DatabaseError);
  http.Queue({{"codice", 1}, {"dati", {{"AccountCloud", 1}}}});
  EXPECT_THROW(Resolved("Studio id=3", "3"), practice::DatabaseError);
  http.Queue({{"codice", 12}, {"response_message", "Configurazione inesistente"}});
  try {
    Resolved("Studio id=3", "3");
    FAIL();
  } catch (const practice::DatabaseError& e) {
    EXPECT_NE(std::string(e.what()).find("codice 12 (Configurazione inesistente)"),
              std::string::npos)
        << e.what();
  }
}

TEST_F(CloudConfigurationsTest, LocationTextsReachTheServiceThroughTheCatalogue) {
  RememberedAccount("anna", "pw");
  ctx.resolver = &Configurations();
  http.Queue(Found(kDocument));
  practice::TRecDatabase record;
  record.user = "caller";
  practice::LeggiPosizioneDB("Studio Rossi id=", record, ctx);
  EXPECT_EQ(http.Body(0).at("id_configurazione"), "");  // an empty number still asks
  EXPECT_EQ(record.protoc, 4);
  EXPECT_EQ(record.user, "u7");
}

TEST_F(CloudConfigurationsTest, EncryptedDocumentsOfTheCatalogue) {
  practice::TRecDatabase record;
  record.host = "kept";
  Configurations().ReadDocument("", record);
  Configurations().ReadDocument("00FF", record);
  EXPECT_EQ(record.host, "kept");
  Configurations().ReadDocument(practice::CriptaHex(cipher, kDocument.dump()), record);
  EXPECT_EQ(record.host, "db.cloud.it");
  EXPECT_EQ(record.pwd, "p7");
  EXPECT_TRUE(http.sent.empty());
}

}  // namespace
}  // namespace oxsms::cloud

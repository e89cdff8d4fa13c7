// The agenda database set: the catalogue's main agenda, group agendas,
// "smsconf.bin", the agenda tables of each database and the folder layout.
#include <gtest/gtest.h>

#include <map>

#include "catalogue_fixture.h"
#include "search_world.h"

namespace oxsms::testing::search {
namespace {

using Lines = std::vector<std::string>;

std::string SmsConfRecord(int16_t flag, const std::string& host, const std::string& path) {
  std::string r(114, '\0');
  r[0] = static_cast<char>(flag & 0xff);
  r[1] = static_cast<char>((flag >> 8) & 0xff);
  r[2] = static_cast<char>(host.size());
  r.replace(3, host.size(), host);
  r[33] = static_cast<char>(path.size());
  r.replace(34, path.size(), path);
  return r;
}

std::string DatabaseOf(const practice::TAgImp& agimp, std::size_t n) {
  return agimp.listDBAg().at(n)->Param("Database");
}

using AgendaSets = SearchTest;

TEST_P(AgendaSets, OnlyTheFirstActiveCatalogueAgendaIsTheMainOne) {
  const auto first = world->AddAgenda("agenda1.fdb", AgendaSettings({"Agenda1=AG1", "Agenda2=AG2"}),
                                     {"AG1", "AG2"});
  CatalogueRow inactive = world->RowFor("agenda1.fdb");
  inactive.filedb += "_inactive";
  inactive.vista = "3";
  inactive.finactive = "1";
  world->AddCatalogueRow(inactive);
  world->AddAgenda("agenda2.fdb", AgendaSettings({"Agenda1=X"}), {"X"});

  auto agimp = world->NewAgImp();
  agimp->ApriAgende();

  ASSERT_EQ(agimp->listDBAg().size(), 1u);
  EXPECT_EQ(DatabaseOf(*agimp, 0), first);
  EXPECT_EQ(agimp->listAgFile(), (std::vector<Lines>{{"Agenda1=AG1", "Agenda2=AG2"}}));
  // The host's configuration connection is left disconnected.
  EXPECT_FALSE(world->host.config.Connected());
}

TEST_P(AgendaSets, OneGroupEntryAddsNothing) {
  world->AddAgenda("agenda1.fdb", AgendaSettings({"Agenda1=AG1"}, {"anything.fdb"}), {"AG1"});
  auto agimp = world->NewAgImp();
  agimp->ApriAgende();
  EXPECT_EQ(agimp->listDBAg().size(), 1u);
}

TEST_P(AgendaSets, OpeningTwiceDoesNothing) {
  world->AddAgenda("agenda1.fdb", AgendaSettings({"Agenda1=AG1"}), {"AG1"});
  auto agimp = world->NewAgImp();
  agimp->ApriAgende();
  const practice::Connection* opened = agimp->listDBAg().at(0).get();
  WriteFile(world->Path("smsconf.bin"), SmsConfRecord(0, "", world->Path("agenda1.fdb").string()));
  agimp->ApriAgende();
  ASSERT_EQ(agimp->listDBAg().size(), 1u);
  EXPECT_EQ(agimp->listDBAg()[0].get(), opened);
  EXPECT_EQ(agimp->listAgFile().size(), 1u);
}

TEST_P(AgendaSets, WithoutCatalogueRowTheMainAgendaComesFromConfigIni) {
  const auto agenda = world->AddAgenda("ag.fdb", AgendaSettings({"Agenda1=AG1"}), {"AG1"}, false);
  WriteFile(world->Path("config.ini"), "[Database]\r\n" +
                                           world->IniKeysOf(world->Location("config.fdb")) +
                                           "[Database Ag]\r\n" + world->IniKeysOf(agenda));
  auto agimp = world->NewAgImp();
  agimp->ApriAgende();
  ASSERT_EQ(agimp->listDBAg().size(), 1u);
  EXPECT_EQ(DatabaseOf(*agimp, 0), agenda);
  EXPECT_EQ(agimp->listAgFile(), (std::vector<Lines>{{"Agenda1=AG1"}}));
}

TEST_P(AgendaSets, CreationFailsWhenTheConfigurationDatabaseDoesNotOpen) {
  const std::string missing = world->OnFirebird() ? world->Path("nowhere.fdb").string()
                                                 : world->Location("config.fdb") + "_nowhere";
  WriteFile(world->Path("config.ini"), "[Database]\r\n" + world->IniKeysOf(missing));
  try {
    world->NewAgImp();
    FAIL() << "created without a configuration database";
  } catch (const practice::DatabaseError& e) {
    // The database's name; on MySQL with the server it was asked of.
    const std::string name =
        world->OnFirebird() ? missing
                            : missing + "@" + world->Server().host + "/" +
                                  std::to_string(world->Server().port);
    const std::string what = e.what();
    EXPECT_EQ(what.substr(what.size() - name.size() - 7), " File: " + name) << what;
  }
}

OXSMS_INSTANTIATE_ON_BOTH_BACKENDS(AgendaSets);

// Group agendas named by bare paths, "smsconf.bin" and the folder layout name
// Firebird files.
TEST(AgendaSetsFirebird, GroupAgendasAreTheEntriesAfterTheFirst) {
  SearchWorld world;
  std::filesystem::create_directory(world.Path("database"));
  const auto second = world.Path("agenda2.fdb");
  world.AddAgenda("agenda1.fdb",
                  AgendaSettings({"Agenda1=AG1"}, {world.Path("agenda1.fdb").string(),
                                                   second.string(), "agenda3.fdb"}),
                  {"AG1"});
  world.AddAgenda("agenda2.fdb", AgendaSettings({"A=AG2"}), {"AG2"}, false);
  world.AddAgenda("database/agenda3.fdb", AgendaSettings({"B=AG3", "C=AG4"}), {"AG3", "AG4"},
                  false);

  auto agimp = world.NewAgImp();
  agimp->ApriAgende();

  ASSERT_EQ(agimp->listDBAg().size(), 3u);
  EXPECT_EQ(DatabaseOf(*agimp, 1), second.string());
  // A bare file name lies in the "database" folder beside the executable.
  EXPECT_EQ(DatabaseOf(*agimp, 2), world.home.TextWithSeparator() + "database\\agenda3.fdb");
  EXPECT_EQ(agimp->listAgFile(),
            (std::vector<Lines>{{"Agenda1=AG1"}, {"A=AG2"}, {"B=AG3", "C=AG4"}}));
}

TEST(AgendaSetsFirebird, SmsConfAddsItsSwitchedOnRecords) {
  SearchWorld world;
  std::filesystem::create_directory(world.Path("database"));
  world.AddAgenda("agenda1.fdb", AgendaSettings({"Agenda1=AG1"}), {"AG1"});
  world.AddAgenda("database/extra.fdb", AgendaSettings({"E=AGX"}), {"AGX"}, false);
  // The switched-off record names a database that does not exist: opening it
  // would fail the whole set.
  WriteFile(world.Path("smsconf.bin"),
            SmsConfRecord(0, "", "extra.fdb") + SmsConfRecord(1, "", "missing.fdb"));

  auto agimp = world.NewAgImp();
  agimp->ApriAgende();

  ASSERT_EQ(agimp->listDBAg().size(), 2u);
  EXPECT_EQ(DatabaseOf(*agimp, 1), world.home.TextWithSeparator() + "database\\extra.fdb");
  EXPECT_EQ(agimp->listAgFile().at(1), (Lines{"E=AGX"}));
}

// Stands for the cloud service: configuration N is the Firebird file `files[N]`.
class CloudOfFiles : public practice::RecordingCloud {
 public:
  void Resolve(const std::string& location, const std::string& number,
               practice::TRecDatabase& record) override {
    locations.push_back(location);
    record.protoc = 0;
    record.fgdb = files.at(number);
  }
  std::map<std::string, std::string> files;
  std::vector<std::string> locations;
};

TEST(AgendaSetsFirebird, CloudLocationsOfGroupsAndSmsConfAreAskedAsTheyStand) {
  SearchWorld world;
  CloudOfFiles cloud;
  world.ctx.resolver = &cloud;
  cloud.files["7"] = world.AddAgenda("sede7.fdb", AgendaSettings({"S=AG7"}), {"AG7"}, false);
  cloud.files["8"] = world.AddAgenda("sede8.fdb", AgendaSettings({"T=AG8"}), {"AG8"}, false);
  world.AddAgenda(
      "agenda1.fdb",
      AgendaSettings({"Agenda1=AG1"}, {world.Path("agenda1.fdb").string(), "Sede id=7"}), {"AG1"});
  WriteFile(world.Path("smsconf.bin"), SmsConfRecord(0, "", "configurazione Sede id=8"));

  auto agimp = world.NewAgImp();
  agimp->ApriAgende();

  EXPECT_EQ(cloud.locations, (Lines{"Sede id=7", "configurazione Sede id=8"}));
  EXPECT_EQ(agimp->listAgFile(), (std::vector<Lines>{{"Agenda1=AG1"}, {"S=AG7"}, {"T=AG8"}}));
}

TEST(AgendaSetsFirebird, DatabaseWithoutSettingsKeepsTheListsPaired) {
  SearchWorld world;
  world.AddAgenda("agenda1.fdb", std::nullopt, {"AG1"});
  const auto extra = world.AddAgenda("extra.fdb", AgendaSettings({"E=AGX"}), {"AGX"}, false);
  WriteFile(world.Path("smsconf.bin"), SmsConfRecord(0, "", extra));
  world.AddPatients("pazienti.fdb");
  Appointment a;
  a.badge = "4";
  a.data = SearchDay();
  a.ora = At(8, 15);
  world.AddAppointment("extra.fdb", "AGX", a);
  Patient p;
  p.badge = "4";
  p.cognome = "Neri";
  p.nome = "Ugo";
  p.telcell = "3471";
  p.sms = 1;
  world.AddPatient("pazienti.fdb", p);

  auto agimp = world.NewAgImp();
  agimp->RicercaAppunt(true, false);

  EXPECT_EQ(agimp->listAgFile(), (std::vector<Lines>{{}, {"E=AGX"}}));
  EXPECT_EQ(world.host.batch.listCell, (Lines{"Neri,Ugo,3471,12/05/2025,08.15"}));
  EXPECT_EQ(world.host.batch.list_id_agenda, (Lines{"E=AGX"}));
}

TEST(AgendaSetsFirebird, AnAgendaThatDoesNotOpenEndsTheSearchAndIsTriedAgainNextTime) {
  SearchWorld world;
  world.AddAgenda("agenda1.fdb", AgendaSettings({"Agenda1=AG1"}), {"AG1"});
  const auto late = world.Path("late.fdb");
  WriteFile(world.Path("smsconf.bin"), SmsConfRecord(0, "", late.string()));

  auto agimp = world.NewAgImp();
  agimp->RicercaAppunt(true, false);
  const std::string log = world.LogText();
  EXPECT_NE(log.find(" File: " + late.string()), std::string::npos) << log;
  EXPECT_TRUE(agimp->listDBAg().empty());

  world.AddAgenda("late.fdb", AgendaSettings({"L=AGL"}), {"AGL"}, false);
  agimp->ApriAgende();
  EXPECT_EQ(agimp->listAgFile(), (std::vector<Lines>{{"Agenda1=AG1"}, {"L=AGL"}}));
}

TEST(AgendaSetsFirebird, FolderLayoutReadsTheSuitesFilesAndThreeAgendaTables) {
  SearchWorld world;
  const auto suite = world.Path("suite");
  const auto data = world.Path("dati");
  std::filesystem::create_directories(suite / "database");
  std::filesystem::create_directories(data);
  OpenFirebird(suite / "database" / "config.fdb", 1);
  {
    auto catalogue = OpenFirebird(suite / "file.fdb", 1);
    CreateCatalogue(*catalogue);
    for (int order : {0, 2}) {
      CatalogueRow row;
      row.idorder = order;
      row.filedb = data.string();
      AddCatalogueRow(*catalogue, row);
    }
  }
  {
    auto agenda = OpenFirebird(data / "agenda.fdb");
    CreateAgendaSettings(*agenda, "[Agenda]\r\nAgenda1=1\r\nAgenda2=0\r\nAgenda9=5\r\n");
    CreateAgendaTable(*agenda, "Agenda1");
    CreateAgendaTable(*agenda, "Agenda3");
    Appointment a;
    a.badge = "B1";
    a.data = SearchDay();
    a.ora = At(16, 45);
    AddAppointment(*agenda, "Agenda3", a);
    auto patients = OpenFirebird(data / "pazienti.fdb", 1);
    CreatePatientTables(*patients, "200", "G", false);
    Patient p;
    p.badge = "B1";
    p.cognome = "Sala";
    p.nome = "Eva";
    p.email = "eva@example.com";
    p.sms = 2;
    AddPatient(*patients, p, false);
  }
  WriteFile(world.Path("config.ini"), "[Database]\r\nFile=" + suite.string() + "\r\n");
  world.host.folder_layout = true;

  auto agimp = world.NewAgImp();
  agimp->RicercaAppunt(false, true);

  EXPECT_EQ(agimp->listAgFile(), (std::vector<Lines>{{"Agenda1=Agenda1", "Agenda3=Agenda3"}}));
  EXPECT_EQ(world.host.batch.listCell, (Lines{"Sala,Eva,eva@example.com,12/05/2025,16.45"}));
  EXPECT_EQ(world.host.batch.list_id_agenda, (Lines{"Agenda3=Agenda3"}));
  ASSERT_EQ(agimp->listDB().size(), 1u);
  EXPECT_EQ(agimp->listDB()[0].tag, 0);
}

}  // namespace
}  // namespace oxsms::testing::search

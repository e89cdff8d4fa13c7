// TVelkEmail over the IMP_MODULE row 22 of a real configuration database,
// on embedded Firebird and on the private MariaDB server.
#include <gtest/gtest.h>

#include "email/builtin_messages.h"
#include "email/email_composition.h"
#include "email/email_settings.h"
#include "email/tvelk_email.h"
#include "email_row_world.h"

namespace oxsms::email {
namespace {

using testing::Backend;
using testing::EmailRowWorld;

std::vector<std::string> Names(const std::vector<TypicalMessage>& rows) {
  std::vector<std::string> names;
  for (const auto& row : rows) names.push_back(row.C0);
  return names;
}

class TVelkEmailTest : public ::testing::TestWithParam<Backend> {
 protected:
  void SetUp() override {
    world_ = std::make_unique<EmailRowWorld>(GetParam());
    if (!world_->Available()) GTEST_SKIP() << oxsms::testing::kNoMySqlMessage;
  }

  // A fresh object over the world's row, settings read.
  std::unique_ptr<TVelkEmail> Loaded(TypicalMessages& table) {
    auto email = std::make_unique<TVelkEmail>(world_->connection(), table, world_->log());
    email->LeggiImpostazioni();
    return email;
  }

  std::unique_ptr<EmailRowWorld> world_;
};

TEST_P(TVelkEmailTest, AnEmptyDatabaseGainsTheRowAndTheBuiltInCatalogue) {
  TypicalMessages table;
  auto email = Loaded(table);

  EXPECT_EQ(world_->RowCount(), 1);
  EXPECT_EQ(world_->Column("TIPO1"), "EmailImp");
  EXPECT_EQ(world_->Column("TIPO2"), "EmailMsg");
  EXPECT_EQ(table.Rows(), BuiltInCatalogue());
  EXPECT_FALSE(email->isLoading);
  // No settings: the maker's service.
  EXPECT_TRUE(email->usavelk);
  EXPECT_TRUE(email->emailconfigurata);

  // The stored catalogue is what a second object reads, and reading it again
  // rewrites nothing.
  const std::string stored = world_->Column("STRUCT_2");
  ASSERT_NE(stored.find("<EmailTipiche>"), std::string::npos);
  TypicalMessages again;
  auto second = Loaded(again);
  EXPECT_EQ(again.Rows(), BuiltInCatalogue());
  EXPECT_EQ(second->ListaSoggetti(), Names(BuiltInCatalogue()));
  EXPECT_EQ(world_->Column("STRUCT_2"), stored);
  const TEmailString appointment = second->TestoDaSoggetto("Appuntamento");
  EXPECT_EQ(appointment.strBody, BuiltInCatalogue()[7].C1);  // CR LF kept
  EXPECT_EQ(appointment.strSoggetto, "Appuntamento presso il dentista");
}

TEST_P(TVelkEmailTest, AnIncompleteSmtpAccountSelectsTheMakersServiceWithoutChangingTheDocument) {
  EmailSettings settings;
  settings.Host = "smtp.studio.it";
  settings.Username = "studio";
  settings.CBLocalClient = true;
  settings.CBNotificaDiario = false;
  settings.CBDocEmail = false;
  settings.RubricaEmail = {"Rossi,Mario,mario@rossi.it"};
  const std::string document = WriteEmailSettings(settings);
  world_->InsertRow(document, std::nullopt);

  TypicalMessages table;
  auto email = Loaded(table);
  EXPECT_TRUE(email->usavelk);
  EXPECT_FALSE(email->sendLocalClient);
  EXPECT_TRUE(email->isNotificaDiario);
  EXPECT_TRUE(email->isCBDocEmail);
  EXPECT_EQ(email->listRubrica, settings.RubricaEmail);
  EXPECT_EQ(email->SettingsDocument(), document);
  EXPECT_EQ(world_->Column("STRUCT_1"), document);
}

TEST_P(TVelkEmailTest, ACompleteSmtpAccountKeepsTheStoredSwitches) {
  EmailSettings settings;
  settings.Host = "smtp.studio.it";
  settings.Username = "studio";
  settings.Password = "segreta";
  settings.CBLocalClient = false;
  settings.CBNotificaDiario = true;
  settings.CBDocEmail = false;
  world_->InsertRow(WriteEmailSettings(settings), std::nullopt);

  TypicalMessages table;
  auto email = Loaded(table);
  EXPECT_FALSE(email->usavelk);
  EXPECT_FALSE(email->sendLocalClient);
  EXPECT_TRUE(email->isNotificaDiario);
  EXPECT_FALSE(email->isCBDocEmail);
  EXPECT_EQ(email->Settings().Password, "segreta");
}

TEST_P(TVelkEmailTest, LookupsTakeChildrenByPositionAndCaseCounts) {
  world_->InsertRow(std::nullopt,
                    "<EmailTipiche><Record><C0>Agenda</C0><C1>Testo agenda</C1><C2>Oggetto</C2>"
                    "</Record><Record><C0>Senza testo</C0><C2>Solo oggetto</C2></Record>"
                    "</EmailTipiche>");
  TypicalMessages table;
  auto email = Loaded(table);

  EXPECT_EQ(email->TestoDaSoggetto("Agenda"), (TEmailString{"", "Oggetto", "Testo agenda"}));
  EXPECT_EQ(email->TestoDaSoggetto("agenda"), TEmailString{});
  EXPECT_EQ(email->TestoDaSoggetto("Senza testo"), (TEmailString{"", "", "Solo oggetto"}));
  // The table reads fields by name.
  ASSERT_EQ(table.Count(), 2u);
  EXPECT_EQ(table.Row(1), (TypicalMessage{"Senza testo", "", "Solo oggetto"}));
}

TEST_P(TVelkEmailTest, AnUnparsableCatalogueIsNeitherLoadedNorReplaced) {
  const std::string broken = "<EmailTipiche><Record><C0>Agenda</C0>";
  world_->InsertRow(std::nullopt, broken);
  TypicalMessages table;
  table.Append({"Precedente", "testo", "oggetto"});
  auto email = Loaded(table);

  EXPECT_EQ(Names(table.Rows()), std::vector<std::string>{"Precedente"});
  EXPECT_EQ(world_->Column("STRUCT_2"), broken);
  EXPECT_EQ(email->TestoDaSoggetto("Agenda"), TEmailString{});
  EXPECT_TRUE(email->ListaSoggetti().empty());
}

TEST_P(TVelkEmailTest, ThePaymentMessageIsAddedOnce) {
  TypicalMessages table;
  auto email = Loaded(table);
  email->AggiungiMessaggio("Pagamento");
  email->AggiungiMessaggio("Pagamento");
  email->AggiungiMessaggio("Altro");

  std::vector<std::string> expected = Names(BuiltInCatalogue());
  expected.push_back("Pagamento");
  EXPECT_EQ(email->ListaSoggetti(), expected);
  EXPECT_EQ(Names(table.Rows()), expected);
  EXPECT_EQ(email->TestoDaSoggetto("Pagamento").strBody, PaymentMessageWithAnchor().C1);
  EXPECT_EQ(world_->LogText().find("operatore"), std::string::npos);  // no editor asked for
}

TEST_P(TVelkEmailTest, TableChangesAreStoredUnlessLoading) {
  TypicalMessages table;
  auto email = Loaded(table);
  const std::string built_in = world_->Column("STRUCT_2");

  email->isLoading = true;
  table.Append({"Nuovo", "Testo nuovo", "Oggetto nuovo"});
  EXPECT_EQ(world_->Column("STRUCT_2"), built_in);

  email->isLoading = false;
  table.Append({"Altro", "Testo altro", ""});
  EXPECT_EQ(email->TestoDaSoggetto("Nuovo").strBody, "Testo nuovo");
  EXPECT_EQ(email->TestoDaSoggetto("Altro"), (TEmailString{"", "", "Testo altro"}));

  table.Delete(0);
  EXPECT_EQ(email->ListaSoggetti().front(), "Fatturazione");
}

TEST_P(TVelkEmailTest, CompositionWithoutAnOperatorAddsTheTemplateAndSendsNothing) {
  TypicalMessages table;
  auto email = Loaded(table);
  std::string files = "a.pdf";

  const TEmailString text = ComponiTestoEmail(*email, "Ordine", files, "Rossi,Mario,m@r.it", "", "");
  EXPECT_EQ(text, TEmailString{});
  EXPECT_EQ(files, "a.pdf");
  EXPECT_EQ(email->TestoDaSoggetto("Ordine").strSoggetto, "Ordine merce");
  EXPECT_NE(world_->LogText().find("Composizione Testo Email"), std::string::npos);

  ComponiTestoEmail(*email, "Questionario", files, "", "", "");
  ComponiTestoEmail(*email, "Ordine", files, "", "", "");
  std::vector<std::string> expected = Names(BuiltInCatalogue());
  expected.insert(expected.end(), {"Ordine", "Questionario", "Questionario+App"});
  EXPECT_EQ(email->ListaSoggetti(), expected);
}

INSTANTIATE_TEST_SUITE_P(Backends, TVelkEmailTest,
                         ::testing::Values(Backend::kFirebird, Backend::kMariaDb),
                         [](const auto& info) {
                           return info.param == Backend::kFirebird ? "Firebird" : "MariaDb";
                         });

}  // namespace
}  // namespace oxsms::email

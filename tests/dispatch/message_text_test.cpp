// Recipient lines and message composition, without database or network: the
// links go to a recording stand-in.
#include "dispatch/message_text.h"

#include <gtest/gtest.h>

#include "platform/error.h"

namespace oxsms::dispatch {
namespace {

using practice::TLineRec;
using practice::TPazRec;

TLineRec Parsed(const std::string& line, TLineRec rec = {}) {
  ParseLineRec(rec, line);
  return rec;
}

TEST(ParseLineRec, FullLineIsSplitAndTheNumberCleaned) {
  const TLineRec rec = Parsed("Rossi, Mario ,+39 33.3-1/2 3,12/05/25,09.30");
  EXPECT_EQ(rec.Cognome, "Rossi");
  EXPECT_EQ(rec.Nome, "Mario");
  EXPECT_EQ(rec.Paese, "+39");
  EXPECT_EQ(rec.Cellulare, "333123");
  EXPECT_EQ(rec.Data, "12/05/25");
  EXPECT_EQ(rec.Ora, "09.30");
}

TEST(ParseLineRec, SurnameKeepsItsBlanksAndTimeKeepsLaterCommas) {
  const TLineRec rec = Parsed(" De Luca ,Anna,3331234567,12/05/25,09.30,extra");
  EXPECT_EQ(rec.Cognome, " De Luca ");
  EXPECT_EQ(rec.Ora, "09.30,extra");
}

TEST(ParseLineRec, ControlLineLeavesDateAndTimeOfTheRecordAlone) {
  TLineRec before;
  before.Data = "01/01/25";
  before.Ora = "08.00";
  before.Paese = "+41";
  const TLineRec rec = Parsed(",,33 3", before);
  EXPECT_EQ(rec.Cognome, "");
  EXPECT_EQ(rec.Nome, "");
  EXPECT_EQ(rec.Paese, "+39");
  EXPECT_EQ(rec.Cellulare, "333");
  EXPECT_EQ(rec.Data, "01/01/25");
  EXPECT_EQ(rec.Ora, "08.00");
}

TEST(ParseLineRec, CountryPrefixIsAlwaysThreeCharacters) {
  const TLineRec swiss = Parsed("A,B,+41 79");
  EXPECT_EQ(swiss.Paese, "+41");
  EXPECT_EQ(swiss.Cellulare, "79");
  const TLineRec albanian = Parsed("A,B,+355 6");
  EXPECT_EQ(albanian.Paese, "+35");
  EXPECT_EQ(albanian.Cellulare, "56");
}

TEST(ParseLineRec, MissingPartsKeepTheRecordsValues) {
  TLineRec before;
  before.Cognome = "Vecchio";
  before.Nome = "Nome";
  before.Cellulare = "999";
  before.Paese = "+41";

  EXPECT_EQ(Parsed("senza virgole", before).Cognome, "Vecchio");

  const TLineRec one_comma = Parsed("Bianchi,Luigi", before);
  EXPECT_EQ(one_comma.Cognome, "Bianchi");
  EXPECT_EQ(one_comma.Nome, "Nome");
  EXPECT_EQ(one_comma.Cellulare, "999");
  EXPECT_EQ(one_comma.Paese, "+41");

  const TLineRec empty_number = Parsed("Bianchi,Luigi,", before);
  EXPECT_EQ(empty_number.Paese, "+39");
  EXPECT_EQ(empty_number.Cellulare, "");

  // A number field without a following comma: no date and time are taken.
  TLineRec dated;
  dated.Data = "d";
  dated.Ora = "o";
  const TLineRec no_date = Parsed("Bianchi,Luigi,333", dated);
  EXPECT_EQ(no_date.Data, "d");
  EXPECT_EQ(no_date.Ora, "o");
}

TEST(SostituisciTag, IgnoresLetterCaseAndDoesNotRescanTheValue) {
  std::string text = "<NOME> e <nome> e <Nome>";
  SostituisciTag("<Nome>", "<Nome>x", text);
  EXPECT_EQ(text, "<Nome>x e <Nome>x e <Nome>x");

  std::string untouched = "Nessun segnaposto";
  SostituisciTag("<Nome>", "Mario", untouched);
  EXPECT_EQ(untouched, "Nessun segnaposto");
}

// Records the calls of the composer and answers with fixed links.
class RecordingLinks : public channels::LinkServices {
 public:
  std::string OttieniLink(TLineRec& rec) override {
    ++link_calls;
    if (fail_link) {
      throw platform::Error(platform::ErrorCategory::kRemoteService, "servizio non raggiungibile");
    }
    rec.id_web = "AB12";
    return "https://l.example/c/AB12";
  }
  void SalvaLinkBreve(const TLineRec& rec) override { saved_short.push_back(rec.id_web); }
  std::string OttieniLinkPag(TLineRec&, TPazRec& paz) override {
    ++pay_calls;
    if (fail_pay) {
      throw platform::Error(platform::ErrorCategory::kRemoteService, "pagamento non disponibile");
    }
    paz.id_linkpag = "PL9";
    paz.link_pag = "https://p.example/s/PL9";
    return paz.link_pag;
  }
  void SalvaLinkPag(const TLineRec&, const TPazRec& paz) override {
    saved_pay.push_back(paz.id_linkpag);
  }

  int link_calls = 0, pay_calls = 0;
  bool fail_link = false, fail_pay = false;
  std::vector<std::string> saved_short, saved_pay;
};

class ComponiTestoTest : public ::testing::Test {
 protected:
  std::string Compose(const std::vector<std::string>& lines, LinkServices* links = nullptr) {
    std::string result;
    ComponiTesto(lines, rec, result, paz, fields, links, &missing);
    return result;
  }

  channels::MissingLinks missing;

  TDM1Settings fields;
  TLineRec rec = Parsed("Rossi,Mario,3331234567,12/05/25,09.30");
  TPazRec paz;
  RecordingLinks links;
};

TEST_F(ComponiTestoTest, FillsRecipientAndPracticePlaceholders) {
  fields.UserConnect.IntestazioneWhts = "Studio Bianchi\r\nDentisti";
  fields.UserConnect.IndirizzoWhts = "Via Roma 1\r\nMilano";
  EXPECT_EQ(Compose({"<NOMINATIVO>: <nome> <COGNOME>", "<Data> <ora>",
                     "<dati_studio> - <INTESTAZIONE_STUDIO>"}),
            "Rossi Mario: Mario Rossi\r\n12/05/25 09.30\r\n"
            "Studio Bianchi Dentisti - Via Roma 1 Milano");
}

TEST_F(ComponiTestoTest, SemicolonsBecomeCommas) {
  EXPECT_EQ(Compose({"Ore <Ora>; porti i documenti"}), "Ore 09.30, porti i documenti");
}

// Patient data is data: a value put in is never read as a placeholder, and
// a link is fetched only when the template itself asks for one.
TEST_F(ComponiTestoTest, ValuesPutInAreNeverReadAsPlaceholders) {
  rec = Parsed("<Nome> <link_conferma>,<Data> <link_pag>,3331234567,12/05/25,09.30");
  rec.id_agenda = "AGENDA_1;15";
  paz.incasso = 500000;
  fields.isLinkPag = 1;
  EXPECT_EQ(Compose({"Gentile <Nominativo>, <Cognome>/<Nome> il <Data>"}, &links),
            "Gentile <Nome> <link_conferma> <Data> <link_pag>, "
            "<Nome> <link_conferma>/<Data> <link_pag> il 12/05/25");
  EXPECT_EQ(links.link_calls + links.pay_calls, 0);
  EXPECT_FALSE(missing.conferma || missing.pagamento);

  rec.Cognome = "<descrizione_pag>";
  fields.UserConnect.IntestazioneWhts = "Studio <Cognome>";
  EXPECT_EQ(Compose({"<dati_studio>: <Cognome> <link_conferma>"}, &links),
            "Studio <Cognome>: <descrizione_pag> https://l.example/c/AB12");
}

TEST_F(ComponiTestoTest, PlaceholdersOnlyForAnEmptyRecordGiveAnEmptyText) {
  rec = TLineRec{};
  EXPECT_EQ(Compose({"  <Cognome> <Nome>", "<Data>  <Ora>  "}), "");
}

TEST_F(ComponiTestoTest, ConfirmationLinkIsFetchedAndRecorded) {
  rec.id_agenda = "AGENDA_1;15";
  EXPECT_EQ(Compose({"Conferma: <link_conferma> <link_conferma>"}, &links),
            "Conferma: https://l.example/c/AB12 https://l.example/c/AB12");
  EXPECT_EQ(links.link_calls, 1);
  EXPECT_EQ(links.saved_short, std::vector<std::string>{"AB12"});
}

TEST_F(ComponiTestoTest, FurtherContactOfTheSameAppointmentRecordsNoLink) {
  rec.id_agenda = "same";
  paz.incasso = 500000;
  fields.isLinkPag = 1;
  EXPECT_EQ(Compose({"<link_conferma> <link_pag>"}, &links),
            "https://l.example/c/AB12 https://p.example/s/PL9");
  EXPECT_TRUE(links.saved_short.empty());
  EXPECT_TRUE(links.saved_pay.empty());
}

TEST_F(ComponiTestoTest, LinkTestIsCaseSensitive) {
  EXPECT_EQ(Compose({"<LINK_CONFERMA> <Link_Pag>"}, &links), "<LINK_CONFERMA> <Link_Pag>");
  EXPECT_EQ(links.link_calls, 0);
  EXPECT_EQ(links.pay_calls, 0);
}

TEST_F(ComponiTestoTest, TestModeFetchesNothingAndLeavesEveryLinkPlaceholder) {
  fields.CBTest = true;
  fields.isLinkPag = 1;
  paz.incasso = 500000;
  EXPECT_EQ(Compose({"<link_conferma> <link_pag> <descrizione_pag>"}, &links),
            "<link_conferma> <link_pag> <descrizione_pag>");
  EXPECT_EQ(links.link_calls + links.pay_calls, 0);
  EXPECT_EQ(fields.descr_pag_predef, "");
}

// A link that cannot be had is never sent as written: the placeholder goes
// and the caller learns which link is missing.
TEST_F(ComponiTestoTest, FailedOrMissingLinkServicesTakeThePlaceholderOut) {
  EXPECT_EQ(Compose({"Conferma: <link_conferma>"}), "Conferma:");
  EXPECT_TRUE(missing.conferma);
  links.fail_link = true;
  EXPECT_EQ(Compose({"Conferma: <link_conferma> entro oggi"}, &links), "Conferma:  entro oggi");
  EXPECT_TRUE(missing.conferma);
  EXPECT_FALSE(missing.pagamento);
  EXPECT_TRUE(links.saved_short.empty());
  links.fail_link = false;
  Compose({"Conferma: <link_conferma>"}, &links);
  EXPECT_FALSE(missing.conferma);
}

TEST_F(ComponiTestoTest, PaymentLinkNeedsAFeeAndTheModuleInUse) {
  fields.isLinkPag = 1;
  paz.incasso = 0;
  EXPECT_EQ(Compose({"<descrizione_pag>: <link_pag>"}, &links), "Pagamento prestazione:");
  EXPECT_EQ(fields.descr_pag_predef, "Pagamento prestazione");
  EXPECT_FALSE(missing.pagamento) << "nothing to collect: no link is missing";

  paz.incasso = 500000;
  fields.isLinkPag = 2;
  EXPECT_EQ(Compose({"Paghi qui <link_pag>"}, &links), "Paghi qui");
  EXPECT_EQ(links.pay_calls, 0);
  EXPECT_FALSE(missing.pagamento);

  fields.isLinkPag = 1;
  fields.descr_pag_predef = "Seduta di igiene";
  rec.id_agenda = "AGENDA_1;15";
  EXPECT_EQ(Compose({"<descrizione_pag>: <link_pag>"}, &links),
            "Seduta di igiene: https://p.example/s/PL9");
  EXPECT_EQ(paz.id_linkpag, "PL9");
  EXPECT_EQ(links.saved_pay, std::vector<std::string>{"PL9"});
}

TEST_F(ComponiTestoTest, FailedPaymentLinkIsReportedMissing) {
  fields.isLinkPag = 1;
  paz.incasso = 500000;
  links.fail_pay = true;
  EXPECT_EQ(Compose({"<descrizione_pag> <link_pag>"}, &links), "Pagamento prestazione");
  EXPECT_TRUE(missing.pagamento);
  EXPECT_TRUE(links.saved_pay.empty());
}

TEST_F(ComponiTestoTest, FreeTextWorksOnCopies) {
  paz.incasso = 500000;
  fields.isLinkPag = 1;
  EXPECT_EQ(ComponiTestoLibero("Paga: <link_pag>, <Nome>", rec, paz, fields, &links),
            "Paga: https://p.example/s/PL9, Mario");
  EXPECT_EQ(paz.id_linkpag, "");
}

}  // namespace
}  // namespace oxsms::dispatch

#include "dispatch/settings_document.h"

#include <gtest/gtest.h>

#include "dispatch/orario.h"

namespace oxsms::dispatch {
namespace {

SettingsDocument Parse(const char* text) { return ParseSettingsDocument(text); }

// Writing and reading back through the stored text form.
TDM1Settings RoundTrip(const TDM1Settings& written) {
  TDM1Settings read;
  ApplySettingsDocument(ParseSettingsDocument(SettingsDocumentText(BuildSettingsDocument(written))),
                        read);
  return read;
}

TEST(SettingsDocumentWriteTest, DefaultsGiveTheFirstDocument) {
  const SettingsDocument doc = BuildSettingsDocument(TDM1Settings{});
  EXPECT_EQ(doc.at("time"), "11.00.00");
  EXPECT_EQ(doc.at("testoinvio"), kDefaultTestoInvioApp);
  EXPECT_EQ(doc.at("testogenerale"), kDefaultTestoInvioApp);
  EXPECT_EQ(doc.at("testoinviocompl"), kDefaultTestoInvioCompl);
  EXPECT_EQ(doc.at("testoinvioemail"), "Appuntamento");
  EXPECT_EQ(doc.at("nomeemailcompl"), "Compleanno");
  EXPECT_EQ(doc.at("giorniinvio"), "0000000");
  EXPECT_EQ(doc.at("editsmsfiniti"), "50");
  EXPECT_EQ(doc.at("cbsms"), true);
  EXPECT_EQ(doc.at("cbserviziosms"), true);
  EXPECT_EQ(doc.at("CBServizioWhatsapp"), false);
  EXPECT_DOUBLE_EQ(doc.at("ore_disdetta").get<double>(), 0.75);
  // Written always, even empty.
  EXPECT_EQ(doc.at("user"), "");
  EXPECT_EQ(doc.at("C6"), "");
  // Written only when not empty or only when true.
  for (const char* absent :
       {"testata", "CellWhts", "FirmaWhts", "IndirizzoWhts", "titoloComplWhts", "TestoLiberoWhts",
        "testoinviopreavviso", "nomeemailapplpag", "CBPreavviso", "GGPreavviso", "CBLinkPag",
        "GGLinkPag", "CBServComplSMS", "CBServComplWhts", "CBServComplEmail"}) {
    EXPECT_FALSE(doc.contains(absent)) << absent;
  }
  // No key exists for these.
  for (const char* never : {"linkConfermaComplWhts", "CBTest", "TipoSms", "descr_pag_predef"}) {
    EXPECT_FALSE(doc.contains(never)) << never;
  }
}

TEST(SettingsDocumentWriteTest, DaysAheadGoOnlyWithTheirSwitch) {
  TDM1Settings f;
  f.CBPreavviso = true;
  f.GGPreavviso = 3;
  f.CBLinkPag = false;
  f.GGLinkPag = 5;
  f.CBServComplWhts = true;
  const SettingsDocument doc = BuildSettingsDocument(f);
  EXPECT_EQ(doc.at("CBPreavviso"), true);
  EXPECT_EQ(doc.at("GGPreavviso"), 3);
  EXPECT_TRUE(doc.at("GGPreavviso").is_number_integer());
  EXPECT_FALSE(doc.contains("CBLinkPag"));
  EXPECT_FALSE(doc.contains("GGLinkPag"));
  EXPECT_EQ(doc.at("CBServComplWhts"), true);
  EXPECT_FALSE(doc.contains("CBServComplSMS"));
}

TEST(SettingsDocumentWriteTest, SignatureGoesWithTheWhatsAppNumberEvenWhenEmpty) {
  TDM1Settings f;
  f.UserConnect.CellWhts = "+393331234567";
  SettingsDocument doc = BuildSettingsDocument(f);
  EXPECT_EQ(doc.at("CellWhts"), "+393331234567");
  EXPECT_EQ(doc.at("FirmaWhts"), "");

  f.UserConnect.CellWhts.clear();
  f.UserConnect.IntestazioneWhts = "Studio Rossi";
  doc = BuildSettingsDocument(f);
  EXPECT_FALSE(doc.contains("FirmaWhts"));
}

TEST(SettingsDocumentWriteTest, Base64KeysHoldUtf8InMimeLinesAndTheTextStaysAscii) {
  TDM1Settings f;
  f.UserConnect.CellWhts = "3331234567";
  f.UserConnect.IntestazioneWhts = "Studio Dentistico Città di Castello – dott. Niccolò Rossi, via Sàlita 1";
  f.UserConnect.IndirizzoWhts = "è";
  f.TestoLiberoAppWhts = "Riga 1\nRiga 2 più lunga";
  const SettingsDocument doc = BuildSettingsDocument(f);
  EXPECT_EQ(doc.at("IndirizzoWhts"), "w6g=");  // the UTF-8 bytes C3 A8
  const std::string firma = doc.at("FirmaWhts");
  ASSERT_NE(firma.find("\r\n"), std::string::npos);
  EXPECT_EQ(firma.find("\r\n"), 76u);

  const std::string text = SettingsDocumentText(doc);
  for (unsigned char c : text) ASSERT_LT(c, 0x80) << text;

  const TDM1Settings read = RoundTrip(f);
  EXPECT_EQ(read.UserConnect.IntestazioneWhts, f.UserConnect.IntestazioneWhts);
  EXPECT_EQ(read.UserConnect.IndirizzoWhts, "è");
  EXPECT_EQ(read.TestoLiberoAppWhts, f.TestoLiberoAppWhts);
}

TEST(SettingsDocumentReadTest, KeysLandInTheirFields) {
  TDM1Settings f;
  ApplySettingsDocument(Parse(R"({
      "user": "studio", "pwd": "segreta", "testata": "StudioRossi", "listafile": "a.fdb",
      "time": "9.30", "testoinvioemail": "Promemoria", "cbsms": false, "cbcompl": true,
      "CBServizioWhatsapp": true, "cellverifica1": "333\r\n334", "editsmsfiniti": "20",
      "giorniinvio": "1234567", "C3": "0001000", "ore_disdetta": 0.5,
      "CellWhts": "3331", "FirmaWhts": "U3R1ZGlv", "SiglaGeneraleAppWhts": "prom_1",
      "TestoGeneraleComplWths": "QXVndXJp", "CBServComplEmail": true,
      "CBLinkPag": true, "GGLinkPag": 2, "CBTest": true, "linkConfermaComplWhts": "x"})"),
                        f);
  EXPECT_EQ(f.UserConnect.User, "studio");
  EXPECT_EQ(f.UserConnect.Pwd, "segreta");
  EXPECT_EQ(f.UserConnect.TESTATA, "StudioRossi");
  EXPECT_EQ(f.UserConnect.ListaFile, "a.fdb");
  EXPECT_EQ(OrarioToStr(f.OrarioInvio), "09.30.00");
  EXPECT_EQ(f.NomeEmailInvio, "Promemoria");
  EXPECT_FALSE(f.CBMemoApp);
  EXPECT_TRUE(f.CBCompl);
  EXPECT_TRUE(f.CBServizioWhatsapp);
  EXPECT_EQ(f.CellVerifica1, "333\r\n334");
  EXPECT_EQ(f.EditSmsFiniti, "20");
  EXPECT_EQ(f.giorniinvio, "1234567");
  EXPECT_EQ(f.C3, "0001000");
  EXPECT_DOUBLE_EQ(f.ore_disdetta, 0.5);
  EXPECT_EQ(f.UserConnect.CellWhts, "3331");
  EXPECT_EQ(f.UserConnect.IntestazioneWhts, "Studio");
  EXPECT_EQ(f.SiglaGeneraleAppWhts, "prom_1");
  EXPECT_EQ(f.TestoGeneraleComplWths, "Auguri");
  EXPECT_TRUE(f.CBServComplEmail);
  EXPECT_TRUE(f.CBLinkPag);
  EXPECT_EQ(f.GGLinkPag, 2);
  // Keys the document does not define are not read.
  EXPECT_FALSE(f.CBTest);
  EXPECT_EQ(f.linkConfermaComplWhts, "");
}

TEST(SettingsDocumentReadTest, EmptyOrAbsentKeysKeepWhatEarlierReloadsGave) {
  TDM1Settings f;
  ApplySettingsDocument(Parse(R"({"testoinvio": "Testo A", "CBPreavviso": true,
                                  "GGPreavviso": 3, "user": "mario"})"),
                        f);
  ASSERT_TRUE(f.CBPreavviso);

  ApplySettingsDocument(Parse(R"({"testoinvio": "", "user": null, "time": ""})"), f);
  EXPECT_EQ(f.TestoInvioApp, "Testo A");
  EXPECT_EQ(f.UserConnect.User, "mario");
  EXPECT_DOUBLE_EQ(f.OrarioInvio, kDefaultOrarioInvio);
  // Written only when true: a document without the key keeps the switch on.
  EXPECT_TRUE(f.CBPreavviso);
  EXPECT_EQ(f.GGPreavviso, 3);
}

TEST(SettingsDocumentReadTest, CancellationDeadlineIsAlwaysRead) {
  TDM1Settings f;
  ASSERT_DOUBLE_EQ(f.ore_disdetta, 0.75);
  ApplySettingsDocument(Parse("{}"), f);
  EXPECT_DOUBLE_EQ(f.ore_disdetta, 0.0);
  ApplySettingsDocument(Parse(R"({"ore_disdetta": 0.625})"), f);
  EXPECT_DOUBLE_EQ(f.ore_disdetta, 0.625);
}

TEST(SettingsDocumentReadTest, BadValuesRaiseAndBadBase64IsIgnored) {
  TDM1Settings f;
  EXPECT_THROW(ApplySettingsDocument(Parse(R"({"time": "25.00"})"), f), ConversionError);
  EXPECT_THROW(ApplySettingsDocument(Parse(R"({"cbsms": "forse"})"), f), SettingsError);
  EXPECT_THROW(ApplySettingsDocument(Parse(R"({"GGPreavviso": 2.5})"), f), SettingsError);
  EXPECT_THROW(ApplySettingsDocument(Parse(R"({"user": {"a": 1}})"), f), SettingsError);
  EXPECT_THROW(ApplySettingsDocument(Parse(R"({"ore_disdetta": "presto"})"), f), SettingsError);

  TDM1Settings g;
  g.TestoLiberoWhts = "prima";
  ApplySettingsDocument(Parse(R"({"TestoLiberoWhts": "non*base64!"})"), g);
  EXPECT_EQ(g.TestoLiberoWhts, "prima");
}

TEST(SettingsDocumentReadTest, OnlyJsonObjectsAreDocuments) {
  EXPECT_THROW(ParseSettingsDocument(""), SettingsError);
  EXPECT_THROW(ParseSettingsDocument("[1, 2]"), SettingsError);
  EXPECT_THROW(ParseSettingsDocument("{\"user\": "), SettingsError);
  EXPECT_NO_THROW(ParseSettingsDocument("{}"));
}

TEST(SettingsDocumentRoundTripTest, EveryStoredFieldComesBack) {
  TDM1Settings f;
  f.UserConnect = {1, "u", "p", "TEST", "333", "Firma", "Via Roma 1", "x.fdb\r\ny.fdb"};
  f.OrarioInvio = StrToOrario("8.15.30");
  f.TestoInvioApp = "A";
  f.TestoInvioAppPreavviso = "B";
  f.TestoInvioAppLinkPag = "C";
  f.TabAgEscluse = "Agenda2";
  f.TestoGenerale = "D";
  f.NomeEmailInvio = "E";
  f.NomeEmailApp = "F";
  f.NomeEmailAppPreav = "G";
  f.NomeEmailAppLPag = "H";
  f.NomeEmailCompl = "I";
  f.TestoInvioCompl = "J";
  f.CBCompl = f.CBServizioEmail = f.CBServizioWhatsapp = f.CBSmsVerifica = f.CBSmsFiniti = true;
  f.CBMemoApp = f.CBServizioSMS = false;
  f.CellVerifica1 = "3330";
  f.EditSmsFiniti = "10";
  f.giorniinvio = "0102037";
  f.C0 = "1";
  f.C6 = "7";
  f.ore_disdetta = 0.5;
  f.titoloComplWhts = "T";
  f.variabiliAppWhtsLPag = "V";
  f.TestoGeneraleAppWthsPreav = "W";
  f.CBServComplSMS = f.CBServComplWhts = f.CBServComplEmail = true;
  f.CBPreavviso = f.CBLinkPag = true;
  f.GGPreavviso = 14;
  f.GGLinkPag = 1;

  const TDM1Settings r = RoundTrip(f);
  EXPECT_EQ(r.UserConnect.TipoSms, 0);  // not stored
  EXPECT_EQ(r.UserConnect.User, "u");
  EXPECT_EQ(r.UserConnect.ListaFile, "x.fdb\r\ny.fdb");
  EXPECT_EQ(r.UserConnect.IndirizzoWhts, "Via Roma 1");
  EXPECT_EQ(OrarioToStr(r.OrarioInvio), "08.15.30");
  EXPECT_EQ(r.TestoInvioAppPreavviso, "B");
  EXPECT_EQ(r.TestoInvioAppLinkPag, "C");
  EXPECT_EQ(r.NomeEmailAppPreav, "G");
  EXPECT_EQ(r.NomeEmailAppLPag, "H");
  EXPECT_EQ(r.TestoInvioCompl, "J");
  EXPECT_TRUE(r.CBSmsFiniti);
  EXPECT_FALSE(r.CBMemoApp);
  EXPECT_FALSE(r.CBServizioSMS);
  EXPECT_EQ(r.giorniinvio, "0102037");
  EXPECT_EQ(r.C6, "7");
  EXPECT_EQ(r.titoloComplWhts, "T");
  EXPECT_EQ(r.variabiliAppWhtsLPag, "V");
  EXPECT_EQ(r.TestoGeneraleAppWthsPreav, "W");
  EXPECT_TRUE(r.CBServComplEmail);
  EXPECT_EQ(r.GGPreavviso, 14);
  EXPECT_EQ(r.GGLinkPag, 1);
  EXPECT_EQ(BuildSettingsDocument(r), BuildSettingsDocument(f));
}


// --- single keys, as the administration command changes them ---

std::string Refusal(TDM1Settings& fields, const std::string& key, const std::string& value) {
  const TDM1Settings before = fields;
  try {
    SetSetting(fields, key, value);
  } catch (const SettingsError& e) {
    // A refused value leaves every field as it was.
    EXPECT_EQ(SettingsDocumentText(BuildSettingsDocument(fields)),
              SettingsDocumentText(BuildSettingsDocument(before)));
    return e.what();
  }
  return "";
}

TEST(SettingsKeyTest, ValuesAreReadAsTheirKeyTakesThem) {
  TDM1Settings f;
  SetSetting(f, "time", "9:30");
  EXPECT_EQ(OrarioToStr(f.OrarioInvio), "09.30.00");
  SetSetting(f, "cbsms", "no");
  EXPECT_FALSE(f.CBMemoApp);
  SetSetting(f, "CBPreavviso", "Sì");
  EXPECT_TRUE(f.CBPreavviso);
  SetSetting(f, "GGPreavviso", "3");
  EXPECT_EQ(f.GGPreavviso, 3);
  SetSetting(f, "ore_disdetta", "18.00");
  EXPECT_DOUBLE_EQ(f.ore_disdetta, 0.75);
  SetSetting(f, "ore_disdetta", "0.5");
  EXPECT_DOUBLE_EQ(f.ore_disdetta, 0.5);
  SetSetting(f, "ore_disdetta", "0");
  EXPECT_DOUBLE_EQ(f.ore_disdetta, 0.0);
  SetSetting(f, "cellverifica1", " +39 333 1, +39 333 2 ,");
  EXPECT_EQ(f.CellVerifica1, "+39 333 1\r\n+39 333 2");
  // Base64 keys take the plain text; the document encodes it.
  SetSetting(f, "FirmaWhts", "Studio Àlfa");
  EXPECT_EQ(f.UserConnect.IntestazioneWhts, "Studio Àlfa");

  const auto entries = DescribeSettings(f);
  const auto entry = [&](const std::string& key) {
    for (const auto& e : entries) {
      if (e.key == key) return e;
    }
    ADD_FAILURE() << key;
    return SettingEntry{};
  };
  EXPECT_EQ(entry("time").value, "09.30.00");
  EXPECT_EQ(entry("cbsms").value, "false");
  EXPECT_EQ(entry("FirmaWhts").value, "Studio Àlfa");
  EXPECT_TRUE(entry("pwd").secret);
  EXPECT_FALSE(entry("user").secret);
  EXPECT_EQ(entries.size(), 73u);
}

TEST(SettingsKeyTest, UnknownKeysAndBadValuesAreRefusedWithTheReason) {
  TDM1Settings f;
  EXPECT_NE(Refusal(f, "cbserviziowhatsapp", "true").find("forse \"CBServizioWhatsapp\""),
            std::string::npos);
  EXPECT_NE(Refusal(f, "nonesiste", "1").find("chiave sconosciuta"), std::string::npos);
  EXPECT_NE(Refusal(f, "time", "25.00").find("ora del giorno"), std::string::npos);
  EXPECT_NE(Refusal(f, "cbsms", "forse").find("true o false"), std::string::npos);
  EXPECT_NE(Refusal(f, "giorniinvio", "0000008").find("sette cifre"), std::string::npos);
  EXPECT_NE(Refusal(f, "giorniinvio", "000000").find("sette cifre"), std::string::npos);
  EXPECT_NE(Refusal(f, "C3", "0120000").find("sette cifre 0 o 1"), std::string::npos);
  EXPECT_NE(Refusal(f, "editsmsfiniti", "-5").find("intero"), std::string::npos);
  EXPECT_NE(Refusal(f, "GGPreavviso", "400").find("da 0 a 365"), std::string::npos);
  EXPECT_NE(Refusal(f, "ore_disdetta", "1").find("18.00"), std::string::npos);
  EXPECT_NE(Refusal(f, "ore_disdetta", "24.00").find("ora del giorno"), std::string::npos);
  EXPECT_NE(Refusal(f, "testoinvio", std::string("a\xff")).find("UTF-8"), std::string::npos);
  // An empty weekday mask switches the birthdays of that day off.
  EXPECT_EQ(Refusal(f, "C3", ""), "");
}

TEST(SettingsKeyTest, SwitchesTurnedOffAreWrittenSoARunningServiceSeesThem) {
  TDM1Settings f;
  SetSetting(f, "CBPreavviso", "true");
  SetSetting(f, "CBPreavviso", "false");
  // The service's own document leaves the key out; a running service that
  // had it on would keep it on until restarted.
  EXPECT_FALSE(BuildSettingsDocument(f).contains("CBPreavviso"));
  const SettingsDocument edited = BuildEditedSettingsDocument(f);
  EXPECT_EQ(edited.at("CBPreavviso"), false);
  EXPECT_FALSE(edited.contains("GGPreavviso"));

  TDM1Settings running;
  running.CBPreavviso = true;
  ApplySettingsDocument(ParseSettingsDocument(SettingsDocumentText(edited)), running);
  EXPECT_FALSE(running.CBPreavviso);
}

TEST(SettingsKeyTest, EmptyTextsAreNotAppliedByAReload) {
  TDM1Settings f;
  SetSetting(f, "testata", "STUDIO");
  EXPECT_TRUE(AppliedAtReload(f, "testata"));
  SetSetting(f, "testata", "");
  EXPECT_FALSE(AppliedAtReload(f, "testata"));
  EXPECT_TRUE(AppliedAtReload(f, "cbsms"));
}

}  // namespace
}  // namespace oxsms::dispatch

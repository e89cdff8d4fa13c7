// The gateway's envelope and reply rules, the alias setting and the headless
// operator.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "channels/channel_error.h"
#include "channels/sms_gateway_config.h"
#include "channels/sms_wire.h"
#include "platform/base64.h"
#include "platform/code_page.h"
#include "platform/operator_prompt.h"
#include "support/temp_dir.h"

namespace oxsms::channels {
namespace {

TEST(InvalueEnvelopeTest, AccentedLettersTravelAsWindows1252Bytes) {
  WireObject request;
  request["data"] = "Citt\xC3\xA0 \"Pi\xC3\xB9\"";  // Città "Più"
  request["idcliente"] = 7;
  const std::string body = InvalueBody(request);

  EXPECT_EQ(body.find("\\u"), std::string::npos) << body;
  EXPECT_NE(body.find("Citt\xE0"), std::string::npos);  // 0xE0 = à in Windows-1252
  EXPECT_FALSE(platform::IsValidUtf8(body));

  const auto outer = nlohmann::json::parse(platform::Cp1252ToUtf8(body));
  ASSERT_EQ(outer.size(), 1u);
  const auto inner = nlohmann::json::parse(outer.at("invalue").get<std::string>());
  EXPECT_EQ(inner.at("data"), "Citt\xC3\xA0 \"Pi\xC3\xB9\"");
  EXPECT_EQ(inner.at("idcliente"), 7);
}

// What the envelope of `request` is when the JSON library writes both levels.
std::string LibraryEnvelope(const WireObject& request) {
  const auto compact = [](const WireObject& o) {
    return o.dump(-1, ' ', false, WireObject::error_handler_t::replace);
  };
  WireObject envelope;
  envelope["invalue"] = compact(request);
  return platform::Utf8ToCp1252(compact(envelope));
}

TEST(InvalueEnvelopeTest, UploadsAreTheBytesTheJsonLibraryWouldWrite) {
  std::string lines;
  for (int i = 0; i < 40; ++i) lines += "SMS=+39333" + std::to_string(i) + "|STUDIO|Citt\xC3\xA0 \"x\"\n";
  WireObject large;
  large["user"] = "u\"te\\nte \xC3\xA0";
  large["pwd"] = "p\tw\x01d";
  large["idcliente"] = 7;
  large["smsinv"] = 40;
  large["bool_ftp"] = 1;
  large["fattach"] = platform::EncodeBase64Mime(lines);  // base64 with CR LF
  WireObject small = large;
  small.erase("bool_ftp");
  small["fattach"] = lines;  // not ASCII: written by the library
  WireObject only_attach;
  only_attach["fattach"] = std::string("YWJj\r\n\x01\x1f\b\f\t\\\"", 13);

  for (const WireObject& request : {large, small, only_attach, WireObject::object()}) {
    const std::string expected = LibraryEnvelope(request);
    EXPECT_EQ(InvalueBody(request), expected) << request.dump();
    WireObject consumed = request;
    EXPECT_EQ(InvalueRequest("http://gw", "/p", std::move(consumed)).body, expected)
        << request.dump();
  }
}

TEST(InvalueEnvelopeTest, Base64WrittenIntoTheEnvelopeIsWhatTheLibraryWouldWrite) {
  // Around the line length (57 bytes make one line of 76 characters), empty,
  // and long enough for many escaped line breaks.
  for (const std::size_t size : {0u, 1u, 56u, 57u, 58u, 114u, 115u, 5000u}) {
    std::string batch;
    for (std::size_t i = 0; i < size; ++i) batch += static_cast<char>("SMS=+39|\n\xE0\"\\"[i % 12]);
    WireObject head;
    head["user"] = "u\"te \xC3\xA0";  // not ASCII: the envelope becomes Windows-1252
    head["idcliente"] = 7;
    head["bool_ftp"] = 1;
    for (const bool ascii_head : {false, true}) {
      if (ascii_head) head["user"] = "demo";
      WireObject with_attach = head;
      with_attach["fattach"] = platform::EncodeBase64Mime(batch);
      const net::HttpRequest request =
          InvalueRequestWithBase64("http://gw", "/smsox/filesmstoserver.json", head, batch);
      EXPECT_EQ(request.body, LibraryEnvelope(with_attach)) << size;
      EXPECT_EQ(request.url, "http://gw/smsox/filesmstoserver.json");
    }
  }
  WireObject empty_head = WireObject::object();
  WireObject only_attach;
  only_attach["fattach"] = platform::EncodeBase64Mime("abc");
  EXPECT_EQ(InvalueRequestWithBase64("http://gw", "/p", empty_head, "abc").body,
            LibraryEnvelope(only_attach));
}

TEST(InvalueEnvelopeTest, RequestCarriesJsonHeadersAndJoinsThePath) {
  const net::HttpRequest request =
      InvalueRequest("http://gw.example:8184/", "/smsox/verificautente.json", WireObject::object());
  EXPECT_EQ(request.method, "POST");
  EXPECT_EQ(request.url, "http://gw.example:8184/smsox/verificautente.json");
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"Content-Type", "application/json"}, {"Accept", "application/json"}};
  EXPECT_EQ(request.headers, expected);
}

TEST(OutvalueTest, ReadsTheStatusTextInEitherEncoding) {
  EXPECT_EQ(Outvalue({200, R"({"outvalue":"OK 12"})", ""}, "/p"), "OK 12");
  EXPECT_EQ(Outvalue({200, "{\"outvalue\":\"KO citt\xE0\"}", ""}, "/p"), "KO citt\xC3\xA0");
}

TEST(OutvalueTest, UnusableRepliesRaiseNamingTheEndpoint) {
  const auto message_of = [](const net::HttpResponse& reply) {
    try {
      Outvalue(reply, "/smsox/filesmstoserver.json");
    } catch (const GatewayReplyError& e) {
      return std::string(e.what());
    }
    return std::string("no error");
  };
  EXPECT_EQ(message_of({500, R"({"outvalue":"OK"})", ""}),
            "Il gateway SMS ha risposto con lo stato HTTP 500 (/smsox/filesmstoserver.json)");
  EXPECT_EQ(message_of({200, "<html>busy</html>", ""}),
            "Risposta non valida dal gateway SMS (/smsox/filesmstoserver.json)");
  EXPECT_EQ(message_of({200, R"({"outvalue":5})", ""}),
            "Risposta non valida dal gateway SMS (/smsox/filesmstoserver.json)");
  EXPECT_EQ(message_of({200, "", ""}),
            "Risposta non valida dal gateway SMS (/smsox/filesmstoserver.json)");
}

TEST(GatewayConfigTest, UnattendedAliasAnswerFromConfigIni) {
  oxsms::testing::TempDir dir;
  const auto answer_for = [&](const std::string& content) {
    oxsms::testing::WriteFile(dir / "config.ini", content);
    return ReadUnattendedAliasAnswer(platform::IniFile(dir / "config.ini"));
  };
  EXPECT_EQ(answer_for(""), platform::DialogResult::Yes);
  EXPECT_EQ(answer_for("[sms]\nalias_non_verificato=invia\n"), platform::DialogResult::Yes);
  EXPECT_EQ(answer_for("[SMS]\nAlias_Non_Verificato = Annulla\n"), platform::DialogResult::No);
  EXPECT_EQ(answer_for("[sms]\nalias_non_verificato=forse\n"), platform::DialogResult::Yes);
}

TEST(GatewayConfigTest, InstallationValuesWithDocumentedDefaults) {
  oxsms::testing::TempDir dir;
  oxsms::testing::WriteFile(dir / "config.ini",
                            "[Installazione]\nbatch_password=segreta\n[sms]\n"
                            "alias_non_verificato=annulla\n");
  const platform::IniFile ini(dir / "config.ini");
  const SmsGatewayConfig config = MakeSmsGatewayConfig(
      "http://gw:8184", platform::Installation::Load(ini), ini, platform::HomeFolder(dir.path()));
  EXPECT_EQ(config.rest_host, "http://gw:8184");
  EXPECT_EQ(config.api_key, "QKvaTm0wR7pLs2NdY9eUa4Zc6HbJi-3GfWoXn8E");
  EXPECT_EQ(config.batch_user, "velk_software");
  EXPECT_EQ(config.batch_password, "segreta");
  EXPECT_EQ(config.test_batch_folder, dir.path());
  EXPECT_EQ(config.unattended_alias_answer, platform::DialogResult::No);
}

TEST(HeadlessOperatorTest, AnswersAtOnceAndLogsQuestionAndAnswer) {
  std::vector<std::string> lines;
  platform::HeadlessOperator op([&](std::string_view line) { lines.emplace_back(line); });

  EXPECT_EQ(op.ChiediConferma("Inviare?", platform::DialogKind::Confirmation,
                              platform::DialogButtons::YesNo, platform::DialogResult::No),
            platform::DialogResult::No);
  op.MostraMessaggio("Alias verificato");
  const std::vector<std::string> expected = {
      "Richiesta all'operatore: Inviare?",
      "Nessun operatore presente, risposta automatica: No",
      "Messaggio all'operatore: Alias verificato"};
  EXPECT_EQ(lines, expected);
}

}  // namespace
}  // namespace oxsms::channels

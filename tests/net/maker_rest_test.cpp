#include "net/maker_rest.h"

#include <gtest/gtest.h>

namespace oxsms::net {
namespace {

using nlohmann::json;

TEST(MakerRestTest, RequestCarriesTheKeyAloneAndAnAsciiBody) {
  const MakerService service{"https://pay.example.it", "KEY-123"};
  const HttpRequest r =
      MakeMakerRequest(service, "/rest/crea_url_pagamento.json",
                       json{{"nominativo", "D'Amico Niccol\u00F2"}, {"importo", 12.3456}});
  EXPECT_EQ(r.method, "POST");
  EXPECT_EQ(r.url, "https://pay.example.it/rest/crea_url_pagamento.json");
  ASSERT_EQ(r.headers.size(), 2u);
  EXPECT_EQ(r.headers[0], (std::pair<std::string, std::string>{"Authorization", "KEY-123"}));
  EXPECT_EQ(r.headers[1].second, "application/json");
  EXPECT_EQ(r.body, R"({"importo":12.3456,"nominativo":"D'Amico Niccol\u00f2"})");
  for (unsigned char c : r.body) EXPECT_LT(c, 0x80);
}

TEST(MakerRestTest, IntegerMembersAndCodiceAcceptIntegersAndNumericTextWithin32Bits) {
  const auto reply = json::parse(
      R"({"a":12,"b":"34","c":"3x","d":1.5,"e":4294967296,"f":null,"g":"-2"})");
  EXPECT_EQ(IntegerMember(reply, "a"), 12);
  EXPECT_EQ(IntegerMember(reply, "b"), 34);
  EXPECT_EQ(IntegerMember(reply, "g"), -2);
  EXPECT_FALSE(IntegerMember(reply, "c"));
  EXPECT_FALSE(IntegerMember(reply, "d"));
  EXPECT_FALSE(IntegerMember(reply, "e"));
  EXPECT_FALSE(IntegerMember(reply, "f"));
  EXPECT_FALSE(IntegerMember(reply, "missing"));
  EXPECT_EQ(Codice(json::parse(R"({"codice":"1"})")), 1);
  EXPECT_FALSE(Codice(json::parse(R"({"codice":" 1"})")));
  EXPECT_FALSE(Codice(json::parse("[1]")));
}

TEST(MakerRestTest, ReplyEnvelopeIsReadToleratingPagesAndStringCodes) {
  HttpResponse page{500, "<html>errore</html>", "text/html"};
  const MakerReply html = ReadMakerReply(page);
  EXPECT_FALSE(html.object.has_value());
  EXPECT_FALSE(html.done());
  EXPECT_FALSE(html.codice().has_value());

  const MakerReply ok = ReadMakerReply({200, R"({"codice":"1","dati":{"x":1}})", ""});
  EXPECT_TRUE(ok.done());

  const MakerReply refused =
      ReadMakerReply({200, R"({"codice":2,"response_message":"Account sospeso"})", ""});
  EXPECT_EQ(refused.codice(), 2);
  EXPECT_EQ(refused.response_message(), "Account sospeso");
  EXPECT_TRUE(ReadMakerReply({200, "", ""}).empty());
}

TEST(MakerRestTest, HostOfABaseAddress) {
  EXPECT_EQ(HostOf("https://pay.example.it"), "pay.example.it");
  EXPECT_EQ(HostOf("http://127.0.0.1:8080/base"), "127.0.0.1:8080");
  EXPECT_EQ(HostOf("https://u:p@link.example.it"), "link.example.it");
}

}  // namespace
}  // namespace oxsms::net

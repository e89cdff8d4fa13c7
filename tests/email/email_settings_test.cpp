// The settings document of the email account.
#include <gtest/gtest.h>

#include <pugixml.hpp>

#include "email/email_settings.h"
#include "platform/base64.h"

namespace oxsms::email {
namespace {

EmailSettings FullSettings() {
  EmailSettings s;
  s.Host = "smtp.studio.it";
  s.Port = "587";
  s.AuthType = 1;
  s.Username = "studio";
  s.Password = "segreta";
  s.Firma = "Studio Dentistico\r\nVia Roma 1 & C.";
  s.DaNome = "Studio <Demo>";
  s.DaEmail = "info@studio.it";
  s.ToEmail = "prova@studio.it";
  s.CBLocalClient = false;
  s.EmailBCC = "copia@studio.it";
  s.CBNotificaDiario = true;
  s.CBDocEmail = false;
  s.CBSSL = true;
  s.RubricaEmail = {"Città,Nicolò,nicolo@x.it", "solo@x.it"};
  return s;
}

void ExpectSame(const EmailSettings& a, const EmailSettings& b) {
  EXPECT_EQ(a.Host, b.Host);
  EXPECT_EQ(a.Port, b.Port);
  EXPECT_EQ(a.AuthType, b.AuthType);
  EXPECT_EQ(a.Username, b.Username);
  EXPECT_EQ(a.Password, b.Password);
  EXPECT_EQ(a.Firma, b.Firma);
  EXPECT_EQ(a.DaNome, b.DaNome);
  EXPECT_EQ(a.DaEmail, b.DaEmail);
  EXPECT_EQ(a.ToEmail, b.ToEmail);
  EXPECT_EQ(a.CBLocalClient, b.CBLocalClient);
  EXPECT_EQ(a.EmailBCC, b.EmailBCC);
  EXPECT_EQ(a.CBNotificaDiario, b.CBNotificaDiario);
  EXPECT_EQ(a.CBDocEmail, b.CBDocEmail);
  EXPECT_EQ(a.CBSSL, b.CBSSL);
  EXPECT_EQ(a.RubricaEmail, b.RubricaEmail);
}

TEST(EmailSettingsTest, TheWrittenDocumentReadsBackWithItsOrderAndAddressBook) {
  const std::string document = WriteEmailSettings(FullSettings());
  const auto read = ParseEmailSettings(document);
  ASSERT_TRUE(read.has_value());
  ExpectSame(*read, FullSettings());

  pugi::xml_document xml;
  ASSERT_TRUE(xml.load_string(document.c_str()));
  std::vector<std::string> order;
  for (pugi::xml_node child : xml.child("smtp").children()) order.push_back(child.name());
  EXPECT_EQ(order, (std::vector<std::string>{"Host", "Port", "AuthType", "Username", "Password",
                                             "Firma", "DaNome", "DaEmail", "ToEmail",
                                             "CBLocalClient", "EmailBCC", "CBNotificaDiario",
                                             "CBDocEmail", "CBSSL", "RubricaEmail"}));
  // The address book is base64 over Windows-1252 bytes, lines joined by CR LF.
  EXPECT_EQ(platform::DecodeBase64(xml.child("smtp").child_value("RubricaEmail")),
            "Citt\xE0,Nicol\xF2,nicolo@x.it\r\nsolo@x.it");
}

TEST(EmailSettingsTest, WritingFillsThePortAndLeavesOutAnEmptyAddressBook) {
  EmailSettings s;
  s.Port = "  ";
  const auto read = ParseEmailSettings(WriteEmailSettings(s));
  ASSERT_TRUE(read.has_value());
  EXPECT_EQ(read->Port, "25");
  EXPECT_EQ(WriteEmailSettings(s).find("RubricaEmail"), std::string::npos);
}

TEST(EmailSettingsTest, ReadsWhatTheSuiteWrites) {
  const std::string book = platform::EncodeBase64Mime("Rossi,Mario,m@x.it\r\nVerdi,Anna,a@x.it\r\n");
  const auto read = ParseEmailSettings(
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<smtp><CBSSL>-1</CBSSL><Host> smtp.x.it </Host>"
      "<CBLocalClient>True</CBLocalClient><CBDocEmail>0</CBDocEmail><AuthType>0</AuthType>"
      "<RubricaEmail>" + book + "</RubricaEmail></smtp>");
  ASSERT_TRUE(read.has_value());
  EXPECT_TRUE(read->CBSSL);
  EXPECT_EQ(read->Host, "smtp.x.it");
  EXPECT_EQ(read->CBLocalClient, true);
  EXPECT_EQ(read->CBDocEmail, false);
  EXPECT_EQ(read->CBNotificaDiario, std::nullopt);  // absent: left to the reader
  EXPECT_EQ(read->AuthType, 0);
  EXPECT_EQ(read->Port, "");
  EXPECT_EQ(read->RubricaEmail, (std::vector<std::string>{"Rossi,Mario,m@x.it", "Verdi,Anna,a@x.it"}));
  EXPECT_FALSE(ParseEmailSettings("<smtp><Host>x</smtp>").has_value());
  EXPECT_FALSE(ParseEmailSettings("").has_value());
}

}  // namespace
}  // namespace oxsms::email

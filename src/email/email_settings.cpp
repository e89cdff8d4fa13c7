#include "email/email_settings.h"

#include <pugixml.hpp>

#include "email/xml_text.h"
#include "platform/base64.h"
#include "platform/code_page.h"

namespace oxsms::email {
namespace {

constexpr const char* kRoot = "smtp";
constexpr const char* kDefaultPort = "25";

std::string Trimmed(std::string_view text) {
  while (!text.empty() && static_cast<unsigned char>(text.front()) <= ' ') text.remove_prefix(1);
  while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ') text.remove_suffix(1);
  return std::string(text);
}

std::optional<bool> SwitchOf(pugi::xml_node root, const char* name) {
  const pugi::xml_node node = root.child(name);
  if (!node) return std::nullopt;
  return XmlBoolean(node.text().get());
}

// The lines of the address book text; a last line break ends the last
// line and adds none. Blank lines at the end hold no entry, and joining the
// lines would not keep them, so they are dropped: the book reads the same
// after it has been written.
std::vector<std::string> BookLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find_first_of("\r\n", start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    if (end < text.size() && text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ++end;
    start = end + 1;
  }
  while (!lines.empty() && lines.back().empty()) lines.pop_back();
  return lines;
}

std::string BookText(const std::vector<std::string>& lines) {
  std::string text;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i > 0) text += "\r\n";
    text += lines[i];
  }
  return text;
}

}  // namespace

std::optional<EmailSettings> ParseEmailSettings(const std::string& document) {
  pugi::xml_document xml;
  if (!ParseXmlText(xml, document)) return std::nullopt;
  const pugi::xml_node root = xml.document_element();
  auto text = [&](const char* name) { return std::string(root.child(name).text().get()); };
  EmailSettings s;
  s.Host = Trimmed(text("Host"));
  s.Port = Trimmed(text("Port"));
  s.AuthType = root.child("AuthType").text().as_int(s.AuthType);
  s.Username = Trimmed(text("Username"));
  s.Password = Trimmed(text("Password"));
  s.Firma = text("Firma");
  s.DaNome = text("DaNome");
  s.DaEmail = text("DaEmail");
  s.ToEmail = text("ToEmail");
  s.CBLocalClient = SwitchOf(root, "CBLocalClient");
  s.EmailBCC = text("EmailBCC");
  s.CBNotificaDiario = SwitchOf(root, "CBNotificaDiario");
  s.CBDocEmail = SwitchOf(root, "CBDocEmail");
  s.CBSSL = SwitchOf(root, "CBSSL").value_or(false);
  if (const pugi::xml_node book = root.child("RubricaEmail")) {
    const std::string bytes = platform::DecodeBase64(book.text().get());
    s.RubricaEmail = BookLines(platform::Cp1252ToUtf8(bytes));
  }
  return s;
}

std::string WriteEmailSettings(const EmailSettings& s) {
  pugi::xml_document xml;
  pugi::xml_node root = xml.append_child(kRoot);
  const std::string port = Trimmed(s.Port);
  AppendTextElement(root, "Host", Trimmed(s.Host));
  AppendTextElement(root, "Port", port.empty() ? kDefaultPort : port);
  AppendTextElement(root, "AuthType", std::to_string(s.AuthType));
  AppendTextElement(root, "Username", Trimmed(s.Username));
  AppendTextElement(root, "Password", Trimmed(s.Password));
  AppendTextElement(root, "Firma", s.Firma);
  AppendTextElement(root, "DaNome", s.DaNome);
  AppendTextElement(root, "DaEmail", s.DaEmail);
  AppendTextElement(root, "ToEmail", s.ToEmail);
  // The dialog always writes its three check boxes; unset switches are
  // written with the dialog's defaults.
  AppendTextElement(root, "CBLocalClient", XmlBooleanText(s.CBLocalClient.value_or(false)));
  AppendTextElement(root, "EmailBCC", s.EmailBCC);
  AppendTextElement(root, "CBNotificaDiario", XmlBooleanText(s.CBNotificaDiario.value_or(false)));
  AppendTextElement(root, "CBDocEmail", XmlBooleanText(s.CBDocEmail.value_or(true)));
  AppendTextElement(root, "CBSSL", XmlBooleanText(s.CBSSL));
  if (!s.RubricaEmail.empty()) {
    const std::string bytes = platform::Utf8ToCp1252(BookText(s.RubricaEmail));
    AppendTextElement(root, "RubricaEmail", platform::EncodeBase64Mime(bytes));
  }
  return XmlText(xml);
}

}  // namespace oxsms::email

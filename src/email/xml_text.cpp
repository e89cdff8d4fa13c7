#include "email/xml_text.h"

#include <algorithm>
#include <cctype>
#include <sstream>

namespace oxsms::email {
namespace {

// Without parse_eol: the suite's texts (signature, message bodies) carry
// CR LF, which the XML normalisation would turn into a bare LF. With
// parse_ws_pcdata_single: a value of blanks only ("<Firma> </Firma>") is
// text like any other, while the indentation between elements is not.
constexpr unsigned kParseOptions =
    (pugi::parse_default & ~pugi::parse_eol) | pugi::parse_ws_pcdata_single;

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && static_cast<unsigned char>(text.front()) <= ' ') text.remove_prefix(1);
  while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ') text.remove_suffix(1);
  return text;
}

}  // namespace

bool ParseXmlText(pugi::xml_document& document, const std::string& text) {
  const pugi::xml_parse_result result = document.load_buffer(
      text.data(), text.size(), kParseOptions, pugi::encoding_utf8);
  return result && document.document_element();
}

std::string XmlText(const pugi::xml_document& document) {
  std::ostringstream out;
  document.save(out, "  ", pugi::format_default, pugi::encoding_utf8);
  return out.str();
}

pugi::xml_node AppendTextElement(pugi::xml_node parent, const char* name, std::string_view value) {
  pugi::xml_node child = parent.append_child(name);
  if (!value.empty()) child.text().set(std::string(value).c_str());
  return child;
}

bool XmlBoolean(std::string_view text) {
  std::string value(TrimBlanks(text));
  std::transform(value.begin(), value.end(), value.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return value == "true" || value == "1" || value == "-1" || value == "yes";
}

}  // namespace oxsms::email

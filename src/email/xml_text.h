// The text form of the email subsystem's XML documents (settings and
// typical messages): how they are parsed and written, shared by both.
#pragma once

#include <pugixml.hpp>

#include <string>
#include <string_view>

namespace oxsms::email {

// Parses `text` (UTF-8) into `document`. Line ends inside values are kept
// as written (a CR LF stays CR LF), and so is a value of blanks only. False
// when the text is not well-formed XML or has no root element.
bool ParseXmlText(pugi::xml_document& document, const std::string& text);

// The document as stored in the database: the XML declaration, then the
// elements indented by two blanks, one per line; UTF-8.
std::string XmlText(const pugi::xml_document& document);

// Adds the child `name` to `parent`; its text is `value` when not empty.
pugi::xml_node AppendTextElement(pugi::xml_node parent, const char* name, std::string_view value);

// The value of a switch as the suite writes it: "true", "True", "1" and "-1"
// (and "yes") are true, any other text is false. Blanks around are ignored.
bool XmlBoolean(std::string_view text);

// The text written for a switch.
inline const char* XmlBooleanText(bool value) { return value ? "true" : "false"; }

}  // namespace oxsms::email

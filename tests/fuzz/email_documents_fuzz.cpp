// The email subsystem's XML documents: the account settings (STRUCT_1) and
// the typical-message catalogue (STRUCT_2). A document read and written
// again reads back to the same values.
#include <cstddef>
#include <cstdint>

#include "email/email_settings.h"
#include "email/typical_messages.h"
#include "email/xml_text.h"
#include "fuzz_check.h"

using oxsms::fuzz::Check;
namespace email = oxsms::email;

namespace {

void CheckSettings(const std::string& text) {
  const auto settings = email::ParseEmailSettings(text);
  if (!settings) return;
  const std::string written = email::WriteEmailSettings(*settings);
  const auto again = email::ParseEmailSettings(written);
  Check(again.has_value(), "written settings do not parse");
  Check(email::WriteEmailSettings(*again) == written, "settings change when written");
  Check(again->Firma == settings->Firma && again->Host == settings->Host, "signature or host");
}

// The catalogue's records ("Record" elements with C0, C1, C2 children).
email::TypicalMessages ReadCatalogue(const pugi::xml_document& document) {
  email::TypicalMessages table;
  for (pugi::xml_node record : document.document_element().children("Record")) {
    table.Append({record.child("C0").text().get(), record.child("C1").text().get(),
                  record.child("C2").text().get()});
  }
  return table;
}

void CheckCatalogue(const std::string& text) {
  pugi::xml_document document;
  if (!email::ParseXmlText(document, text)) return;
  const email::TypicalMessages table = ReadCatalogue(document);
  for (const email::TypicalMessage& row : table.Rows()) {
    Check(email::CutToCharacters(row.C0, email::kNameWidth) == row.C0, "name longer than its field");
  }
  pugi::xml_document written;
  pugi::xml_node root = written.append_child("EmailTipiche");
  for (const email::TypicalMessage& row : table.Rows()) {
    pugi::xml_node record = root.append_child("Record");
    email::AppendTextElement(record, "C0", row.C0);
    email::AppendTextElement(record, "C1", row.C1);
    email::AppendTextElement(record, "C2", row.C2);
  }
  pugi::xml_document reread;
  Check(email::ParseXmlText(reread, email::XmlText(written)), "written catalogue does not parse");
  Check(ReadCatalogue(reread).Rows() == table.Rows(), "catalogue changes when written");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text = oxsms::fuzz::Text(data, size);
  CheckSettings(text);
  CheckCatalogue(text);
  return 0;
}

// An email recipient description: a JSON object or "surname,name,address
// [,date[,time]]", and the substitutions its values go into.
#include <cstddef>
#include <cstdint>

#include "email/email_composition.h"
#include "fuzz_check.h"

using oxsms::fuzz::Check;
namespace email = oxsms::email;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text = oxsms::fuzz::Text(data, size);
  email::TEmailRec rec;
  rec.Email = "stale@example.it";
  email::LeggiDestinatario(rec, text);
  if (text.empty() || text.front() != '{') {
    if (text.find(',') == std::string::npos) {
      Check(rec.Email == text && rec.Cognome.empty(), "bare address");
    } else {
      Check(rec.Cognome.find(',') == std::string::npos, "surname holds a comma");
      Check(rec.Email.find(',') == std::string::npos, "address holds a comma");
      Check(rec.Data.find(',') == std::string::npos, "date holds a comma");
    }
  }
  const email::TEmailString message{"Promemoria", "#Cognome #Nome il #Data",
                                    "Gentile #Nome #Cognome, #Data alle #Ora: #link_pag #link"};
  const email::TEmailString linked = email::SubstituteWithLinks(message, rec);
  const email::TEmailString anonymous = email::SubstituteAnonymous(message);
  Check(anonymous.strBody.find("#Nome") == std::string::npos, "anonymous keeps a placeholder");
  email::SubstitutePersonal(linked, rec);
  email::HtmlBody(linked.strBody);
  return 0;
}

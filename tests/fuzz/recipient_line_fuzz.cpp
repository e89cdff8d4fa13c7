// A recipient line of a phone batch split into its record.
#include <cstddef>
#include <cstdint>

#include "dispatch/message_text.h"
#include "fuzz_check.h"

using oxsms::fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string line = oxsms::fuzz::Text(data, size);
  oxsms::practice::TLineRec rec;
  rec.Data = "kept";
  rec.Ora = "kept";
  oxsms::dispatch::ParseLineRec(rec, line);

  if (line.find(',') == std::string::npos) {
    Check(rec.Cognome.empty() && rec.Paese.empty() && rec.Data == "kept", "line without comma");
    return 0;
  }
  Check(rec.Cognome.find(',') == std::string::npos, "surname holds a comma");
  Check(rec.Nome.find(',') == std::string::npos, "name holds a comma");
  Check(rec.Cellulare.find_first_of("./- ,") == std::string::npos, "number not cleaned");
  Check(rec.Paese.empty() || rec.Paese == "+39" || (rec.Paese.front() == '+' && rec.Paese.size() <= 3),
        "country prefix");
  Check(rec.Data.find(',') == std::string::npos, "date holds a comma");
  return 0;
}

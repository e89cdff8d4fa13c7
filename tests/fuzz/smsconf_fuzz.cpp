// "smsconf.bin": fixed records of 114 bytes.
#include <cstddef>
#include <cstdint>

#include "fuzz_check.h"
#include "platform/code_page.h"
#include "practice/smsconf_file.h"

using oxsms::fuzz::Check;
namespace practice = oxsms::practice;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes = oxsms::fuzz::Text(data, size);
  const auto records = practice::ParseSmsConf(bytes);
  Check(records.size() == size / practice::kSmsConfRecordSize, "one record per 114 bytes");
  for (std::size_t i = 0; i < records.size(); ++i) {
    const std::string record = bytes.substr(i * practice::kSmsConfRecordSize,
                                            practice::kSmsConfRecordSize);
    // Every code-page byte has a character, so the texts give their bytes back.
    const std::string host = oxsms::platform::Utf8ToCp1252(records[i].host);
    const std::string path = oxsms::platform::Utf8ToCp1252(records[i].path);
    Check(host.size() <= 30 && record.compare(3, host.size(), host) == 0, "host bytes");
    Check(path.size() <= 80 && record.compare(34, path.size(), path) == 0, "path bytes");
    Check(records[i].switched_off == (record[0] == 1 && record[1] == 0), "switch");
  }
  return 0;
}

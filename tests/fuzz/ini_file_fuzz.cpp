// config.ini read by the profile rules, then one value written: the written
// value reads back and every key read before keeps its value.
#include <cstddef>
#include <cstdint>

#include "fuzz_check.h"
#include "platform/ini_file.h"

using oxsms::fuzz::Check;
using oxsms::platform::IniFile;

namespace {

// The settings the service reads from config.ini.
constexpr const char* kKeys[][2] = {
    {"Database", "Path"},     {"Database", "AdminVelk"}, {"cloud_param", "user"},
    {"cloud_param", "login"}, {"Sms", "Debug"},         {"", "orphan"},
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto file = oxsms::fuzz::ScratchFile("config.ini", oxsms::fuzz::Text(data, size));
  IniFile ini(file);
  std::string before[std::size(kKeys)];
  for (std::size_t i = 0; i < std::size(kKeys); ++i) {
    before[i] = ini.ReadString(kKeys[i][0], kKeys[i][1], "<none>");
    ini.ReadInteger(kKeys[i][0], kKeys[i][1], -7);
    ini.ReadBool(kKeys[i][0], kKeys[i][1], true);
  }
  ini.WriteString("Fuzz", "Written", "valore scritto");

  const IniFile again(file);
  Check(again.ReadString("fuzz", "WRITTEN", "") == "valore scritto", "written value");
  for (std::size_t i = 0; i < std::size(kKeys); ++i) {
    Check(again.ReadString(kKeys[i][0], kKeys[i][1], "<none>") == before[i], "other key changed");
  }
  return 0;
}

// The registry stand-in file: every value of the service's key read as text
// and as a number; only RegistryError may be raised for a value of the
// other type.
#include <cstddef>
#include <cstdint>

#include "fuzz_check.h"
#include "platform/registry_file.h"

using oxsms::fuzz::Check;
namespace platform = oxsms::platform;

namespace {

constexpr const char* kPath = "Software\\Velk Software\\Odontix\\SmsSvcParam";
constexpr const char* kNames[] = {"User", "Time", "CBSms", "2", "TestoInvio", "\"quoted\""};

void ReadKey(const platform::FileRegistry& registry, platform::RegistryHive hive) {
  const auto key = registry.OpenKeyReadOnly(hive, kPath);
  if (!key) return;
  for (const char* name : kNames) {
    const bool exists = key->ValueExists(name);
    bool read = false;
    try {
      key->ReadString(name);
      read = true;
    } catch (const platform::RegistryError&) {
    }
    try {
      key->ReadInteger(name);
      Check(!read, "a value of both types");
      read = true;
    } catch (const platform::RegistryError&) {
    }
    Check(exists || !read, "an absent value read");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const platform::FileRegistry registry(
      oxsms::fuzz::ScratchFile("registry.ini", oxsms::fuzz::Text(data, size)));
  ReadKey(registry, platform::RegistryHive::kLocalMachine);
  ReadKey(registry, platform::RegistryHive::kCurrentUser);
  return 0;
}

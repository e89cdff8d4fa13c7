// Read-only access to the system registry, where the suite's older programs
// kept their settings. The service only ever reads it: keys are opened without
// being created and no value is ever written.
//
// On Windows the real registry stands behind this interface (registry_win.cpp);
// elsewhere a text file plays its part (registry_file.h).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/error.h"

namespace oxsms::platform {

enum class RegistryHive {
  kLocalMachine,  // HKEY_LOCAL_MACHINE, the machine-wide settings
  kCurrentUser,   // HKEY_CURRENT_USER, the settings of the account running the process
};

// A value that cannot be read as asked: absent, or of another type.
class RegistryError : public Error {
 public:
  explicit RegistryError(const std::string& message)
      : Error(ErrorCategory::kConfiguration, message) {}
};

// One open key. Value names are matched without regard to letter case, as
// the registry does. The handle is released when the object is destroyed.
class RegistryKey {
 public:
  virtual ~RegistryKey() = default;

  virtual bool ValueExists(const std::string& name) const = 0;
  // A string value (UTF-8). Raises RegistryError when the value is absent or
  // is not a string.
  virtual std::string ReadString(const std::string& name) const = 0;
  // A 32-bit integer value. Raises RegistryError when the value is absent or
  // is not an integer.
  virtual int32_t ReadInteger(const std::string& name) const = 0;
};

class Registry {
 public:
  virtual ~Registry() = default;
  // Opens an existing key for reading. `path` is relative to the hive, with
  // "\" between its parts ("Software\Velk Software\Odontix\SmsSvcParam").
  // Returns null when the key does not exist or cannot be opened; never
  // creates it.
  virtual std::unique_ptr<RegistryKey> OpenKeyReadOnly(RegistryHive hive,
                                                       const std::string& path) const = 0;
};

#ifdef _WIN32
// The Windows registry, read through the 32-bit view of HKEY_LOCAL_MACHINE
// that the suite's 32-bit desktop programs write to.
std::unique_ptr<Registry> MakeWindowsRegistry();
#endif

}  // namespace oxsms::platform

// The Windows registry behind the read-only registry interface.
#ifdef _WIN32

#define NOMINMAX
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <string>
#include <vector>

#include "platform/code_page.h"
#include "platform/registry.h"

namespace oxsms::platform {
namespace {

std::wstring Wide(const std::string& utf8) {
  const std::u16string u16 = Utf8ToUtf16(utf8);
  return std::wstring(u16.begin(), u16.end());
}

std::string Narrow(const std::wstring& wide) {
  return Utf16ToUtf8(std::u16string(wide.begin(), wide.end()));
}

class WindowsRegistryKey : public RegistryKey {
 public:
  explicit WindowsRegistryKey(HKEY key) : key_(key) {}
  ~WindowsRegistryKey() override { RegCloseKey(key_); }
  WindowsRegistryKey(const WindowsRegistryKey&) = delete;
  WindowsRegistryKey& operator=(const WindowsRegistryKey&) = delete;

  bool ValueExists(const std::string& name) const override {
    return RegQueryValueExW(key_, Wide(name).c_str(), nullptr, nullptr, nullptr, nullptr) ==
           ERROR_SUCCESS;
  }

  std::string ReadString(const std::string& name) const override {
    const std::wstring wname = Wide(name);
    DWORD type = 0;
    DWORD size = 0;
    LONG rc = RegQueryValueExW(key_, wname.c_str(), nullptr, &type, nullptr, &size);
    if (rc != ERROR_SUCCESS) Fail("Valore " + name + " non presente nel registro");
    if (type != REG_SZ && type != REG_EXPAND_SZ) Fail(BadType(name));
    // The value may change between the two calls: retry while it grows.
    std::vector<wchar_t> buffer;
    do {
      buffer.assign(size / sizeof(wchar_t) + 1, L'\0');
      size = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
      rc = RegQueryValueExW(key_, wname.c_str(), nullptr, &type,
                            reinterpret_cast<BYTE*>(buffer.data()), &size);
    } while (rc == ERROR_MORE_DATA);
    if (rc != ERROR_SUCCESS) Fail("Valore " + name + " non presente nel registro");
    if (type != REG_SZ && type != REG_EXPAND_SZ) Fail(BadType(name));
    // The stored text need not end with a terminator; stop at the first one.
    std::wstring text(buffer.data(), size / sizeof(wchar_t));
    const auto nul = text.find(L'\0');
    if (nul != std::wstring::npos) text.resize(nul);
    return Narrow(text);
  }

  int32_t ReadInteger(const std::string& name) const override {
    DWORD type = 0;
    DWORD value = 0;
    DWORD size = sizeof value;
    const LONG rc = RegQueryValueExW(key_, Wide(name).c_str(), nullptr, &type,
                                     reinterpret_cast<BYTE*>(&value), &size);
    if (rc == ERROR_FILE_NOT_FOUND) Fail("Valore " + name + " non presente nel registro");
    if (rc != ERROR_SUCCESS || type != REG_DWORD || size != sizeof value) Fail(BadType(name));
    return static_cast<int32_t>(value);
  }

 private:
  static std::string BadType(const std::string& name) {
    return "Tipo di dato non valido per il valore " + name + " del registro";
  }
  [[noreturn]] static void Fail(const std::string& message) { throw RegistryError(message); }

  HKEY key_;
};

class WindowsRegistry : public Registry {
 public:
  std::unique_ptr<RegistryKey> OpenKeyReadOnly(RegistryHive hive,
                                               const std::string& path) const override {
    const HKEY root =
        hive == RegistryHive::kLocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
    // The suite's desktop programs are 32-bit: under a 64-bit build, read the
    // same (redirected) view of the machine-wide software keys that they write.
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, Wide(path).c_str(), 0, KEY_READ | KEY_WOW64_32KEY, &key) !=
        ERROR_SUCCESS) {
      return nullptr;
    }
    return std::make_unique<WindowsRegistryKey>(key);
  }
};

}  // namespace

std::unique_ptr<Registry> MakeWindowsRegistry() { return std::make_unique<WindowsRegistry>(); }

}  // namespace oxsms::platform

#endif  // _WIN32

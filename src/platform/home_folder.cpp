#include "platform/home_folder.h"

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#endif

namespace oxsms::platform {

HomeFolder::HomeFolder(std::filesystem::path dir) : dir_(std::move(dir)) {}

HomeFolder HomeFolder::OfExecutable() {
#ifdef _WIN32
  wchar_t buf[MAX_PATH * 4];
  const DWORD n = GetModuleFileNameW(nullptr, buf, static_cast<DWORD>(std::size(buf)));
  return HomeFolder(std::filesystem::path(std::wstring(buf, n)).parent_path());
#else
  std::error_code ec;
  const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  return HomeFolder(ec ? std::filesystem::current_path() : exe.parent_path());
#endif
}

std::string HomeFolder::TextWithSeparator() const {
  std::string text = dir_.string();
  if (text.empty() || (text.back() != '/' && text.back() != '\\')) {
    text += static_cast<char>(std::filesystem::path::preferred_separator);
  }
  return text;
}

std::string ToNativePath(std::string_view text) {
  std::string out(text);
#ifndef _WIN32
  for (char& c : out) {
    if (c == '\\') c = '/';
  }
#endif
  return out;
}

}  // namespace oxsms::platform

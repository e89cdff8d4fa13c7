#include "email/attachment_file.h"

#include <filesystem>
#include <fstream>
#include <iterator>

namespace oxsms::email {

std::optional<AttachmentFile> ReadAttachmentFile(const std::string& path) {
  const std::filesystem::path file(std::u8string(path.begin(), path.end()));
  std::error_code error;
  if (path.empty() || !std::filesystem::is_regular_file(file, error)) return std::nullopt;
  std::ifstream in(file, std::ios::binary);
  if (!in) return std::nullopt;
  AttachmentFile attachment;
  attachment.bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  if (in.bad()) return std::nullopt;
  const std::u8string name = file.filename().u8string();
  attachment.name.assign(name.begin(), name.end());
  return attachment;
}

}  // namespace oxsms::email

// An attachment as the transports send it: the file's name without directory
// and its bytes, read whole when the message is delivered.
#pragma once

#include <optional>
#include <string>

namespace oxsms::email {

struct AttachmentFile {
  std::string name;   // UTF-8, without directory
  std::string bytes;  // the file's content
};

// Reads the file at `path` (UTF-8); nothing when it cannot be opened or read.
std::optional<AttachmentFile> ReadAttachmentFile(const std::string& path);

}  // namespace oxsms::email

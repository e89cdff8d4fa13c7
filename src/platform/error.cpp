#include "platform/error.h"

#include <utility>

namespace oxsms::platform {

void Error::AddContext(std::string item) {
  if (!item.empty()) context_.push_back(std::move(item));
}

std::string Describe(const std::exception& error) {
  std::string text = error.what();
  const auto* ours = dynamic_cast<const Error*>(&error);
  if (ours == nullptr || ours->context().empty()) return text;
  text += " [";
  for (std::size_t i = 0; i < ours->context().size(); ++i) {
    if (i > 0) text += "; ";
    text += ours->context()[i];
  }
  return text + "]";
}

}  // namespace oxsms::platform

#include "email/typical_messages.h"

#include <stdexcept>

namespace oxsms::email {

std::string CutToCharacters(const std::string& text, std::size_t characters) {
  std::size_t seen = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    // A byte that does not continue a sequence starts a character.
    if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
      if (seen == characters) return text.substr(0, i);
      ++seen;
    }
  }
  return text;
}

void TypicalMessages::Clear() {
  rows_.clear();
  current_ = 0;
}

std::size_t TypicalMessages::Insert() {
  rows_.emplace_back();
  current_ = rows_.size() - 1;
  Fire(events_.after_insert);
  return current_;
}

void TypicalMessages::Post(std::size_t index, const TypicalMessage& message) {
  TypicalMessage& row = rows_.at(index);
  row.C0 = CutToCharacters(message.C0, kNameWidth);
  row.C1 = message.C1;
  row.C2 = CutToCharacters(message.C2, kSubjectWidth);
  Fire(events_.after_post);
}

std::size_t TypicalMessages::Append(const TypicalMessage& message) {
  const std::size_t index = Insert();
  Post(index, message);
  return index;
}

void TypicalMessages::Delete(std::size_t index) {
  if (index >= rows_.size()) throw std::out_of_range("TypicalMessages::Delete");
  rows_.erase(rows_.begin() + static_cast<std::ptrdiff_t>(index));
  if (current_ >= rows_.size()) current_ = rows_.empty() ? 0 : rows_.size() - 1;
  Fire(events_.after_delete);
}

}  // namespace oxsms::email

// The in-memory table of typical messages (named email templates) that
// TVelkEmail loads from and stores into the catalogue document, and the
// result of a template lookup.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace oxsms::email {

// One typical message. Texts are UTF-8; line breaks in C1 are CR LF.
struct TypicalMessage {
  std::string C0;  // name, at most 20 characters; key of every lookup
  std::string C1;  // body: HTML fragments and placeholders
  std::string C2;  // subject, at most 60 characters

  bool operator==(const TypicalMessage&) const = default;
};

// Text and subject of a typical message; all empty when none was found.
struct TEmailString {
  std::string strNome;
  std::string strSoggetto;
  std::string strBody;

  bool operator==(const TEmailString&) const = default;
};

// Width of the name and subject fields, in characters.
inline constexpr std::size_t kNameWidth = 20;
inline constexpr std::size_t kSubjectWidth = 60;

// The table. Rows keep their order; Post cuts the name and subject at their
// field widths (whole UTF-8 characters). The events tell the owner of a
// change made through Insert, Post or Delete; Clear and First fire none.
class TypicalMessages {
 public:
  struct Events {
    std::function<void()> after_insert;  // a new row was appended (still empty)
    std::function<void()> after_post;    // a row was stored
    std::function<void()> after_delete;  // a row was removed
  };

  void SetEvents(Events events) { events_ = std::move(events); }

  std::size_t Count() const { return rows_.size(); }
  bool Empty() const { return rows_.empty(); }
  const std::vector<TypicalMessage>& Rows() const { return rows_; }
  const TypicalMessage& Row(std::size_t index) const { return rows_.at(index); }

  // The current row (0 when the table is empty).
  std::size_t Current() const { return current_; }
  void First() { current_ = 0; }

  // Empties the table (as closing and reopening it).
  void Clear();

  // Appends an empty row, makes it current and fires after_insert; returns
  // its index.
  std::size_t Insert();
  // Stores `message` into row `index` (fields cut to their widths) and fires
  // after_post. Raises std::out_of_range for a row that does not exist.
  void Post(std::size_t index, const TypicalMessage& message);
  // Insert then Post.
  std::size_t Append(const TypicalMessage& message);
  // Removes row `index` and fires after_delete.
  void Delete(std::size_t index);

 private:
  static void Fire(const std::function<void()>& event) {
    if (event) event();
  }

  std::vector<TypicalMessage> rows_;
  std::size_t current_ = 0;
  Events events_;
};

// `text` cut after `characters` UTF-8 characters.
std::string CutToCharacters(const std::string& text, std::size_t characters);

}  // namespace oxsms::email

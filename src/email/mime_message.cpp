#include "email/mime_message.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <random>

#include "platform/code_page.h"

namespace oxsms::email {
namespace {

constexpr std::string_view kWordStart = "=?iso-8859-1?Q?";
constexpr std::string_view kWordEnd = "?=";
constexpr std::size_t kMaxWord = 75;

bool IsPrintableAscii(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte >= 0x20 && byte < 0x7F;
  });
}

// A line end inside a header value would start a header of the sender's
// choosing: header texts are single lines.
std::string OneLine(std::string_view text) {
  std::string line(text);
  std::replace_if(line.begin(), line.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
  return line;
}

// One byte of an encoded word: kept when RFC 2047 allows it in any header
// position, blank as '_', anything else as =XX.
std::string QEncodeByte(unsigned char byte) {
  if (std::isalnum(byte) || byte == '!' || byte == '*' || byte == '+' || byte == '-' || byte == '/') {
    return std::string(1, static_cast<char>(byte));
  }
  if (byte == ' ') return "_";
  char hex[4];
  std::snprintf(hex, sizeof hex, "=%02X", byte);
  return hex;
}

std::string StripControls(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (static_cast<unsigned char>(c) >= 0x20 && c != 0x7F) out += c;
  }
  return out;
}

std::string Trim(std::string_view text) {
  const auto first = text.find_first_not_of(" \t\r\n");
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(" \t\r\n");
  return std::string(text.substr(first, last - first + 1));
}

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

std::string JoinMailboxes(const std::vector<EmailAddress>& list) {
  std::string joined;
  for (const auto& mailbox : list) {
    if (!joined.empty()) joined += ", ";
    joined += FormatMailbox(mailbox);
  }
  return joined;
}

}  // namespace

std::string Utf8ToLatin1(std::string_view text) {
  const std::u16string units = platform::Utf8ToUtf16(text);
  std::string out;
  out.reserve(units.size());
  for (std::size_t i = 0; i < units.size(); ++i) {
    const char16_t unit = units[i];
    if (unit <= 0xFF) {
      out += static_cast<char>(unit);
      continue;
    }
    out += '?';
    // A character beyond the BMP is one '?', not one per UTF-16 half.
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
        units[i + 1] <= 0xDFFF) {
      ++i;
    }
  }
  return out;
}

std::string EncodeHeaderText(std::string_view utf8) {
  const std::string line = OneLine(utf8);
  if (IsPrintableAscii(line) && line.find("=?") == std::string::npos) return line;
  const std::string latin = Utf8ToLatin1(line);
  const std::size_t room = kMaxWord - kWordStart.size() - kWordEnd.size();
  std::string out;
  std::string word;
  auto flush = [&] {
    if (!out.empty()) out += ' ';
    out.append(kWordStart).append(word).append(kWordEnd);
    word.clear();
  };
  for (char c : latin) {
    const std::string piece = QEncodeByte(static_cast<unsigned char>(c));
    if (word.size() + piece.size() > room) flush();
    word += piece;
  }
  if (!word.empty() || out.empty()) flush();
  return out;
}

std::string FormatMailbox(const EmailAddress& mailbox) {
  const std::string address = StripControls(Trim(mailbox.address));
  const std::string name = OneLine(Trim(mailbox.name));
  if (name.empty()) return address;
  std::string shown;
  if (!IsPrintableAscii(name) || name.find("=?") != std::string::npos) {
    shown = EncodeHeaderText(name);
  } else if (name.find_first_of("()<>[]:;@\\,.\"") != std::string::npos) {
    shown = "\"";
    for (char c : name) {
      if (c == '"' || c == '\\') shown += '\\';
      shown += c;
    }
    shown += '"';
  } else {
    shown = name;
  }
  return shown + " <" + address + ">";
}

std::string FormatMailDate(const std::tm& local, long utc_offset_seconds) {
  static constexpr const char* kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                            "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  const char sign = utc_offset_seconds < 0 ? '-' : '+';
  const long minutes = (utc_offset_seconds < 0 ? -utc_offset_seconds : utc_offset_seconds) / 60;
  char text[64];
  std::snprintf(text, sizeof text, "%s, %02d %s %04d %02d:%02d:%02d %c%02ld%02ld",
                kDays[((local.tm_wday % 7) + 7) % 7], local.tm_mday, kMonths[((local.tm_mon % 12) + 12) % 12],
                local.tm_year + 1900, local.tm_hour, local.tm_min, local.tm_sec, sign, minutes / 60,
                minutes % 60);
  return text;
}

std::string CurrentMailDate() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  std::tm utc{};
#ifdef _WIN32
  localtime_s(&local, &now);
  gmtime_s(&utc, &now);
#else
  localtime_r(&now, &local);
  gmtime_r(&now, &utc);
#endif
  // The offset is the difference of the two calendars read as one zone.
  utc.tm_isdst = local.tm_isdst;
  const long offset = static_cast<long>(std::difftime(std::mktime(&local), std::mktime(&utc)));
  return FormatMailDate(local, offset);
}

std::string DomainOf(std::string_view address) {
  const auto at = address.rfind('@');
  std::string domain;
  if (at != std::string_view::npos) {
    for (char c : address.substr(at + 1)) {
      if (std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-') domain += c;
    }
  }
  return domain.empty() ? "localhost" : domain;
}

std::string MakeMessageId(std::string_view sender) {
  std::random_device random;
  const auto now = std::chrono::system_clock::now().time_since_epoch();
  const auto micros = std::chrono::duration_cast<std::chrono::microseconds>(now).count();
  char unique[64];
  std::snprintf(unique, sizeof unique, "%llx.%08x%08x", static_cast<unsigned long long>(micros),
                static_cast<unsigned>(random()), static_cast<unsigned>(random()));
  return "<" + std::string(unique) + "@" + DomainOf(sender) + ">";
}

std::string SignedHtml(const std::string& html_body, const std::string& firma) {
  if (firma.empty()) return html_body;
  std::string signature;
  for (std::size_t i = 0; i < firma.size(); ++i) {
    if (firma.compare(i, 2, "\r\n") == 0) {
      signature += "<br>";
      ++i;
    } else {
      signature += firma[i];
    }
  }
  return html_body + "<p>" + signature + "</p>";
}

std::vector<std::string> SplitAddressList(std::string_view list) {
  std::vector<std::string> addresses;
  std::size_t start = 0;
  while (start <= list.size()) {
    const auto end = list.find_first_of(",;", start);
    const std::string item = Trim(list.substr(start, end == std::string_view::npos ? end : end - start));
    if (!item.empty()) addresses.push_back(item);
    if (end == std::string_view::npos) break;
    start = end + 1;
  }
  return addresses;
}

std::vector<std::string> MessageHeaders(const EmailMessage& message, const EmailSettings& settings,
                                        const std::string& date, const std::string& message_id) {
  std::vector<std::string> headers;
  headers.push_back("Date: " + date);
  headers.push_back("From: " + FormatMailbox({settings.DaEmail, settings.DaNome}));
  headers.push_back("To: " + JoinMailboxes(message.to));
  if (!message.cc.empty()) headers.push_back("Cc: " + JoinMailboxes(message.cc));
  headers.push_back("Subject: " + EncodeHeaderText(message.subject));
  headers.push_back("Message-ID: " + message_id);
  return headers;
}

std::vector<std::string> EnvelopeRecipients(const EmailMessage& message,
                                            const EmailSettings& settings) {
  std::vector<std::string> all;
  std::vector<std::string> seen;
  auto add = [&](const std::string& raw) {
    const std::string address = StripControls(Trim(raw));
    if (address.empty()) return;
    const std::string key = Lower(address);
    if (std::find(seen.begin(), seen.end(), key) != seen.end()) return;
    seen.push_back(key);
    all.push_back(address);
  };
  for (const auto* list : {&message.to, &message.cc, &message.bcc}) {
    for (const auto& mailbox : *list) add(mailbox.address);
  }
  for (const auto& address : SplitAddressList(settings.EmailBCC)) add(address);
  return all;
}

}  // namespace oxsms::email

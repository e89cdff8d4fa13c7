#include "channels/sms_wire.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

#include "channels/channel_error.h"
#include "platform/base64.h"
#include "platform/code_page.h"

namespace oxsms::channels {
namespace {

[[noreturn]] void ThrowInvalidReply(std::string_view path) {
  throw GatewayReplyError("Risposta non valida dal gateway SMS (" + std::string(path) + ")");
}

std::string CompactUnescaped(const WireObject& object) {
  return object.dump(-1, ' ', /*ensure_ascii=*/false, WireObject::error_handler_t::replace);
}

bool IsAscii(std::string_view text) {
  return std::all_of(text.begin(), text.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// A JSON string's contents as the JSON library writes valid UTF-8 without
// escaping what is not ASCII: the quote and the backslash escaped, the short
// escapes of backspace, form feed, line feed, carriage return and tab, the
// six-character escape for the other control characters, every other byte as
// it is. Written by hand for the batch
// upload, whose megabytes are then built in one allocation of the right size
// instead of a doubling one.
std::size_t EscapedSize(std::string_view text) {
  std::size_t size = 0;
  for (char c : text) {
    switch (c) {
      case '"': case '\\': case '\b': case '\f': case '\n': case '\r': case '\t':
        size += 2;
        break;
      default:
        size += static_cast<unsigned char>(c) < 0x20 ? 6 : 1;
    }
  }
  return size;
}

void AppendEscaped(std::string& out, std::string_view text) {
  for (char c : text) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\b': out += "\\b"; break;
      case '\f': out += "\\f"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          char escape[8];
          std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c));
          out += escape;
        } else {
          out += c;
        }
    }
  }
}

// The text of `request` (without "fattach") up to the opening quote of the
// value of a last member "fattach".
std::string TextBeforeAttach(const WireObject& request) {
  const std::string head = CompactUnescaped(request);  // "{...}", never empty
  std::string text(head, 0, head.size() - 1);
  if (head.size() > 2) text += ',';
  return text += "\"fattach\":\"";
}

// The request's text. A last member "fattach" in ASCII (a large batch's
// base64) is taken out of the object and written by hand.
std::string InnerText(WireObject& request) {
  if (request.empty()) return CompactUnescaped(request);
  auto last = std::prev(request.end());
  if (last.key() != "fattach" || !last->is_string() ||
      !IsAscii(last->get_ref<const std::string&>())) {
    return CompactUnescaped(request);
  }
  const std::string attach = std::move(last->get_ref<std::string&>());
  request.erase(last);
  std::string inner = TextBeforeAttach(request);
  inner.reserve(inner.size() + EscapedSize(attach) + 2);
  AppendEscaped(inner, attach);
  inner += "\"}";
  return inner;
}

// The envelope {"invalue": inner} in Windows-1252 bytes; `inner` is valid
// UTF-8 (the JSON library's text). An envelope that is all ASCII (a large
// batch is base64) is already its Windows-1252 bytes.
std::string EnvelopeOf(std::string inner) {
  std::string body;
  body.reserve(14 + EscapedSize(inner));
  body += "{\"invalue\":\"";
  AppendEscaped(body, inner);
  body += "\"}";
  std::string().swap(inner);
  return IsAscii(body) ? body : platform::Utf8ToCp1252(body);
}

// A CR LF inside the base64, escaped in the request's text and once more in
// the envelope.
constexpr std::string_view kTwiceEscapedLineBreak = "\\\\r\\\\n";

net::HttpRequest PostOf(std::string_view base, std::string_view path, std::string body) {
  net::HttpRequest http;
  http.method = "POST";
  http.url = GatewayUrl(base, path);
  AddJsonHeaders(http);
  http.body = std::move(body);
  return http;
}

}  // namespace

std::string GatewayUrl(std::string_view base, std::string_view path) {
  while (!base.empty() && base.back() == '/') base.remove_suffix(1);
  std::string url(base);
  if (path.empty() || path.front() != '/') url += '/';
  url += path;
  return url;
}

void AddJsonHeaders(net::HttpRequest& request) {
  request.headers.emplace_back("Content-Type", "application/json");
  request.headers.emplace_back("Accept", "application/json");
}

net::HttpRequest InvalueRequestWithBase64(std::string_view base, std::string_view path,
                                          const WireObject& request, std::string_view attach) {
  const std::string inner_head = TextBeforeAttach(request);
  constexpr std::string_view kInnerTail = "\"}";
  std::string body;
  body.reserve(12 + EscapedSize(inner_head) +
               platform::Base64MimeSize(attach.size(), kTwiceEscapedLineBreak.size()) +
               EscapedSize(kInnerTail) + 2);
  body += "{\"invalue\":\"";
  AppendEscaped(body, inner_head);
  platform::AppendBase64Mime(body, attach, kTwiceEscapedLineBreak);
  AppendEscaped(body, kInnerTail);
  body += "\"}";
  return PostOf(base, path, IsAscii(body) ? std::move(body) : platform::Utf8ToCp1252(body));
}

std::string InvalueBody(const WireObject& request) {
  return EnvelopeOf(CompactUnescaped(request));
}

net::HttpRequest InvalueRequest(std::string_view base, std::string_view path,
                                const WireObject& request) {
  return PostOf(base, path, InvalueBody(request));
}

net::HttpRequest InvalueRequest(std::string_view base, std::string_view path,
                                WireObject&& request) {
  std::string inner = InnerText(request);
  request = WireObject();  // its values are in the text now
  return PostOf(base, path, EnvelopeOf(std::move(inner)));
}

void CheckStatus(const net::HttpResponse& reply, std::string_view path) {
  if (reply.status < 200 || reply.status > 299) {
    throw GatewayReplyError("Il gateway SMS ha risposto con lo stato HTTP " +
                            std::to_string(reply.status) + " (" + std::string(path) + ")");
  }
}

nlohmann::json ParseReplyObject(std::string_view text, std::string_view path) {
  const std::string utf8 = platform::ToUtf8Lenient(text);
  nlohmann::json object = nlohmann::json::parse(utf8, nullptr, /*allow_exceptions=*/false);
  if (!object.is_object()) ThrowInvalidReply(path);
  return object;
}

std::string Outvalue(const net::HttpResponse& reply, std::string_view path) {
  CheckStatus(reply, path);
  const nlohmann::json object = ParseReplyObject(reply.body, path);
  const auto member = object.find("outvalue");
  if (member == object.end() || !member->is_string()) ThrowInvalidReply(path);
  return member->get<std::string>();
}

}  // namespace oxsms::channels

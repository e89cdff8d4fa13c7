// Rules that keep what the program puts on the wire well-formed and what it
// writes in messages free of credentials. Pure functions, shared by every
// HTTP transport.
#pragma once

#include <string>
#include <string_view>

namespace oxsms::net {

// The value as it goes onto the wire: leading blanks and trailing CR, LF,
// blanks and tabs removed (settings and keys are often stored with a line end).
// Raises HttpError naming the header (never its value) when CR or LF remain
// inside the value, since they would end the header block early.
std::string CleanHeaderValue(std::string_view name, std::string_view value);

// Raises HttpError when the name is empty or holds anything but the token
// characters HTTP allows in a header name.
void CheckHeaderName(std::string_view name);

// The address as it may appear in a message or the log: "user:password@" and
// the query string (which may carry keys) are left out, scheme, host, port and
// path kept. Text that is not an absolute URL is returned without the part
// before any '@' and without a query.
std::string RedactUrl(std::string_view url);

}  // namespace oxsms::net

// When a redirect may be followed. A request carries the credentials of the
// maker's services (in headers and bodies) and patients' numbers and texts,
// so it goes only where its address says.
#pragma once

#include <string>

namespace oxsms::net {

// Raises HttpError, naming both addresses redacted and the status, unless
// the redirect may be followed: the method is GET or HEAD (a request with a
// body is never sent again, whatever the status) and the target has the
// same scheme, host and port as `from` (default ports count as written).
void CheckRedirect(const std::string& method, const std::string& from, const std::string& to,
                   long status);

// "scheme://host:port" of an absolute http(s) address, scheme and host in
// lower case and the port always given; "" when it is not one.
std::string OriginOf(const std::string& url);

}  // namespace oxsms::net

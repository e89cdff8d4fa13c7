// Reading a Firebird connection string ("server:path", "server/port:path",
// "\\server\path", "server@path", or a bare local path) far enough to tell
// whether it names a server.
#pragma once

#include <string_view>

namespace oxsms::practice {

// True when the text names a server: a leading "\\" followed by a name, a
// non-empty part before the first "@", or a non-empty part before the first
// ":" that is not a drive letter ("C:\x.fdb" is local).
bool NamesServer(std::string_view connection_string);

}  // namespace oxsms::practice

// Database location texts: one text that names a Firebird file (local or on a
// server) or a MySQL schema, as group agendas, "smsconf.bin" and the "cloud"
// key of config.ini hold them. Paths keep the suite's "\" separators in text;
// the connection converts them when it opens a local file.
#pragma once

#include <string>
#include <string_view>

#include "platform/home_folder.h"
#include "practice/catalogue_context.h"
#include "practice/rec_database.h"

namespace oxsms::practice {

// Forms of a location text found by ScomponiNomeDB.
enum LocationKind : int {
  kLocationColon = 0,  // "host:path"
  kLocationUnc = 1,    // "\\host\path"
  kLocationAt = 2,     // "host@path"
  kLocationLocal = 3,  // a path alone ("C:\x.fdb" included)
  kLocationPound = 4,  // "host£schema..." (MySQL)
};

struct LocationParts {
  std::string host;
  std::string role;  // the port of "host/port"
  std::string file;
  int kind = kLocationLocal;
};

// `ScomponiNomeDB`: splits a location text into host, role (port) and file.
LocationParts ScomponiNomeDB(std::string_view text);

// `ComponiNomeDB`: the Firebird database name of a host, path and protocol
// code. With a host: protocol 1 gives "\\host\path", 0 "host:path", 2
// "host@path", 3 "host-path" (any other code puts the host directly before
// the path). A path without "\" or "/" lies in the executable's folder under
// "database\".
std::string ComponiNomeDB(const platform::HomeFolder& home, const std::string& host,
                          const std::string& path, int protoc);

// `LeggiPosizioneDB`: fills `record` from a location text.
//  - "... id=N param=HEX": the encrypted location HEX is decrypted and read
//    in its place (protocol 3); the text before "id=" becomes the description
//    when none is set.
//  - "... id=N": the cloud configuration N, through ctx.resolver (protocol
//    4); raises DatabaseError when there is no resolver or the configuration
//    cannot be had.
//  - otherwise host, role and file from ScomponiNomeDB. A MySQL location
//    ("host£schema#user=password/pport/m") also sets account, port,
//    `schema_db` and, for "/m", `NO_DATEMAPRULES`; a Firebird one always gets
//    the account "SYSDBA" with the installation's default password.
void LeggiPosizioneDB(const std::string& text, TRecDatabase& record, const CatalogueContext& ctx);

}  // namespace oxsms::practice

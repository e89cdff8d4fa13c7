// The encrypted cloud configuration document of a practice database (column
// `CLOUD` of the catalogue table DB): the hex form of the stored credential
// protection over a JSON object with the members "descrizione", "server_db",
// "schema_name_db", "user_db", "pwd_db", "port_db", "filtro_db" and the
// file-storage members "server_ftp", "user_ftp", "pwd_ftp", "port_ftp",
// "bucket_ftp" (a missing member reads as empty).
#pragma once

#include <string>

#include "practice/credential_cipher.h"
#include "practice/rec_database.h"

namespace oxsms::practice {

// `LeggiConfigurazioneCloud`: fills `record` from the document. An empty
// text does nothing; a document that does not decrypt or parse ends the
// operation silently, with the fields set so far kept (the connection built
// from the record then fails when it is opened). `protoc` is the caller's;
// `cipher` opens the document.
void LeggiConfigurazioneCloud(CredentialCipher& cipher, const std::string& hex,
                              TRecDatabase& record);

}  // namespace oxsms::practice

// The cloud configuration document of a practice database: a JSON object
// with the members "descrizione", "server_db", "schema_name_db", "user_db",
// "pwd_db", "port_db", "filtro_db" and the file-storage members
// "server_ftp", "user_ftp", "pwd_ftp", "port_ftp", "bucket_ftp" (a missing
// member reads as empty). The catalogue keeps it encrypted (column CLOUD of
// table DB: the hex form of the stored credential protection); the cloud
// service hands it out as "dati"."ConfigurazioniCloud".
#pragma once

#include <nlohmann/json.hpp>
#include <string>

#include "practice/credential_cipher.h"
#include "practice/rec_database.h"

namespace oxsms::cloud {

// Fills `record` from a document object: `descrizione_db`, `host`, `fgdb`
// (the description, or the schema when there is none), `user`, `pwd`,
// `role` (the port; empty = 3306), `filtro_db`, `schema_db`; then `login`
// false, `local` = no host, `loginfile` true, `inactive` false, and the
// file-storage fields. `protoc` is the caller's. Anything but an object
// changes nothing.
void ReadConfigurationDocument(const nlohmann::json& document, practice::TRecDatabase& record);

// `LeggiConfigurazioneCloud`: the same from the encrypted form. An empty
// text does nothing; a document that does not decrypt or parse changes
// nothing (the connection built from the record then fails when it is
// opened). `cipher` opens the document.
void LeggiConfigurazioneCloud(practice::CredentialCipher& cipher, const std::string& hex,
                              practice::TRecDatabase& record);

}  // namespace oxsms::cloud

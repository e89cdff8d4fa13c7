// TVelkEmail: the email settings and the catalogue of typical messages of
// the practice, kept in the IMP_MODULE row 22 of the configuration database.
// It loads both documents, keeps the in-memory table of typical messages in
// step with the stored catalogue, and answers which text and subject belong
// to a typical message. The send operations create one per batch, call
// LeggiImpostazioni, and then read the switches, the settings document and
// TestoDaSoggetto.
//
// The service has no desktop user: the operations that open the settings
// dialog (ImpostaServer, ImpostaRubrica, ModificaMsg, OnAfterInsert) write to
// the activity log that the dialog needs an operator and change nothing.
//
// Only the service thread uses an object; it is not thread-safe. Database
// errors raise practice::DatabaseError.
#pragma once

#include <pugixml.hpp>

#include <string>
#include <vector>

#include "email/email_settings.h"
#include "email/typical_messages.h"
#include "platform/activity_log.h"
#include "practice/connection.h"

namespace oxsms::email {

class TVelkEmail {
 public:
  // Over the email row of the configuration database `DS_IMP` and the table
  // `DS_MSG`, whose events it hooks (after post and after delete store the
  // catalogue unless isLoading; after insert is OnAfterInsert). Neither is
  // owned; both must outlive the object.
  TVelkEmail(practice::Connection& DS_IMP, TypicalMessages& DS_MSG, platform::ActivityLog& log);
  // Without a configuration database: the operations that read the row raise
  // EmailError "File di configurazione nullo".
  TVelkEmail(TypicalMessages& DS_MSG, platform::ActivityLog& log);
  // Unhooks the table's events.
  ~TVelkEmail();
  TVelkEmail(const TVelkEmail&) = delete;
  TVelkEmail& operator=(const TVelkEmail&) = delete;

  // Loads settings and catalogue; call before anything else. Creates the row
  // (TIPO1 "EmailImp", TIPO2 "EmailMsg") when missing. A settings document
  // that does not parse is ignored. Without a complete SMTP account (Host,
  // Username and Password) the maker's REST service is chosen: usavelk,
  // isNotificaDiario and isCBDocEmail on, sendLocalClient off, whatever the
  // document says (the document itself is not changed).
  void LeggiImpostazioni();

  // Loads the catalogue into the table. An empty catalogue (no document or a
  // root without children) is replaced by the nine built-in records, which
  // are stored at once. A catalogue that does not parse leaves the table and
  // the row untouched.
  void LeggiDati();
  // Stores the table into the catalogue column (a pending row is already
  // posted: the table has no edit state).
  void SalvaDati();
  // Appends one "Record" per table row under `Anode`, with one child per
  // non-empty field ("C0", "C1", "C2"). The current row is kept.
  void SalvaDatiNodeXml(pugi::xml_node Anode) const;
  // Appends one table row from a "Record" element: its children named like a
  // field set that field, others are ignored. With `verifyexist` a record
  // whose name is already in the table is skipped.
  void ImportRecordFromNode(pugi::xml_node ANode, bool verifyexist);

  // Table events.
  void OnSalvaDataset();
  void OnAfterInsert();

  // Body and subject of the typical message named exactly `strNome` (case
  // counts) in the stored catalogue: the second and third child of the first
  // matching record, by position. strNome of the result stays empty. Empty
  // when there is no catalogue, it does not parse, or nothing matches.
  TEmailString TestoDaSoggetto(const std::string& strNome);
  // The names of the stored typical messages, in stored order (empty when
  // there is no catalogue or it does not parse).
  std::vector<std::string> ListaSoggetti();

  // Makes sure the catalogue holds "Pagamento" when `strNome` starts with
  // "Pagamento": adds and stores it, without a save per row, when missing.
  void AggiungiMessaggio(const std::string& strNome);
  // Adds the records whose names the stored catalogue lacks, with isLoading
  // set, and stores the catalogue once when any was added. Returns how many
  // were added.
  int AddMissingRecords(const std::vector<TypicalMessage>& records);

  // Dialog operations; see the class comment.
  void ModificaMsg();
  void ImpostaServer();
  void ImpostaRubrica();

  // The settings document (STRUCT_1) as LeggiImpostazioni read it: what the
  // transports are given. Empty when never configured.
  const std::string& SettingsDocument() const { return settings_document_; }
  // That document parsed; the defaults when it is empty or does not parse.
  EmailSettings Settings() const;

  platform::ActivityLog& Log() { return log_; }

  bool isLoading = false;
  bool sendLocalClient = true;
  bool isNotificaDiario = false;
  bool isCBDocEmail = true;
  bool emailconfigurata = false;
  bool usavelk = false;
  std::vector<std::string> listRubrica;

 private:
  practice::Connection& Row();
  void StoreMessages(const std::string& document);
  void StoreBuiltInCatalogue();
  // The stored catalogue parsed into `document`; false when there is none or
  // it does not parse.
  bool ReadCatalogue(pugi::xml_document& document);

  practice::Connection* DS_IMP_;
  TypicalMessages& DS_MSG;
  platform::ActivityLog& log_;
  std::string settings_document_;
};

}  // namespace oxsms::email

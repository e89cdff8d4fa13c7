// What the searches of the send run's data-access object (`TAgImp`) read and
// write of the send-orchestration object. The data-access layer sits below
// the send orchestration, so it sees that object only through this interface;
// the orchestration implements it over its own fields (tests use a fake).
//
// Values are read at the moment a search needs them, so a settings reload
// between two searches is seen by the second. Only the service thread calls.
#pragma once

#include <cstdint>
#include <string>

#include "practice/connection.h"
#include "practice/recipient_records.h"

namespace oxsms::practice {

class SearchHost {
 public:
  virtual ~SearchHost() = default;

  // `IBDatabaseConfig`: the configuration database. The agenda set reads the
  // catalogue table `DB` on it and disconnects it afterwards.
  virtual Connection& ConfigDatabase() = 0;

  // `SuiteDesktopPresent`: the suite's desktop programs stand beside the
  // service, so the databases are found by the suite's folder layout.
  virtual bool FolderLayout() const = 0;

  // `UserConnect.ListaFile`: further patient database files, one per line.
  virtual std::string ExtraPatientFiles() const = 0;

  // `TabAgEscluse`: agenda table names to leave out, one per line.
  virtual std::string ExcludedAgendaTables() const = 0;

  // `isLinkPag`: 1 = the payment-link module is in use, 2 = it is not.
  virtual int32_t PaymentLinkState() const = 0;

  // `eliminaIncassiNulli`: leave out appointments with nothing to collect.
  virtual bool SkipZeroFees() const = 0;

  // `IsVisual`: 1 when an interactive front end drives the search; only then
  // are left-out patients listed in `listScartiSms`.
  virtual int16_t VisualMode() const = 0;

  // `listCell`, `list_id_agenda`, `listScartiSms`, `listCellIncassi`: the
  // batch lists that the searches fill.
  virtual RecipientLists& Batch() = 0;
};

}  // namespace oxsms::practice

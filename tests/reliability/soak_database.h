// The soak's writes to the practice's databases: the agenda changes of a day
// (one transaction) and, once, the patients' contacts in a form the soak can
// read back from the gateway's records.
#pragma once

#include <soci/soci.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/date_time.h"
#include "reliability/soak_agenda.h"

namespace oxsms::soak {

class AgendaWriter {
 public:
  // `tables`: the agenda table names by index; `fileguids`: each patient's
  // patient-database id, by badge.
  AgendaWriter(const std::string& database, const std::string& password,
               std::vector<std::string> tables, std::map<int, std::string> fileguids,
               platform::TDateTime first_day);
  ~AgendaWriter();

  void Apply(const std::vector<Change>& changes);
  // Rows of `day` with a patient, as the database holds them.
  long CountOnDay(int day);

 private:
  void Insert(const Appointment& a);
  void Delete(const Appointment& a);

  std::unique_ptr<soci::session> sql_;
  std::vector<std::string> tables_;
  std::map<int, std::string> fileguids_;
  platform::TDateTime first_day_;
};

// Every patient in `badges` gets one mobile number (NumberOfBadge), no second
// number, no email and consent to SMS.
void NormalisePatients(const std::string& database, const std::string& password,
                       const std::vector<int>& badges);

}  // namespace oxsms::soak

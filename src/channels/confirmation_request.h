// The request of a confirmation short link, built from a recipient line
// without any network: the appointment's date and time as the link service
// wants them and the hours left for a cancellation. Pure functions.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "platform/date_time.h"
#include "practice/recipient_records.h"

namespace oxsms::channels {

// An appointment's date and time of day, read from a recipient line.
struct AppointmentMoment {
  platform::DateParts date;
  platform::TimeParts time;
};

// The date of a line in the short date format: day, month and year joined by
// "/" ("17/05/2025"; one-digit day and month and two-digit years (2000 +) are
// taken too), blanks around it ignored. Raises ChannelError
// "'<text>' non è una data valida".
platform::DateParts ReadLineDate(std::string_view text);

// A time of day as hours and minutes, optionally seconds, one or two digits
// each, joined by `separator` only. Raises ChannelError
// "'<text>' non è un orario valido".
platform::TimeParts ReadLineTime(std::string_view text, char separator);

// `Data` and `Ora` of `rec`. The time is tried as written, then with every
// ':' turned into '.', then with every '.' turned into ':'; the text of the
// try that was read stays in `rec.Ora` (the last try's after three
// failures). Raises the conversion error of the date, or of the third try.
AppointmentMoment ReadAppointmentMoment(practice::TLineRec& rec, char time_separator);

// "yyyy-mm-dd hh:nn:ss" (24-hour clock).
std::string FormatDataAppuntamento(const AppointmentMoment& moment);

// The whole hours from the cancellation deadline (the day before the
// appointment at the time of day `ore_disdetta`, a fraction of a day) to the
// appointment, truncated; counted in whole milliseconds so 10:00 against
// 18:00 gives 16, not 15.999. Nothing when `ore_disdetta` is 0 or is not a
// usable number.
std::optional<long long> OreDisdetta(const AppointmentMoment& moment, double ore_disdetta);

// The account and setting that go into every request.
struct ConfermaAccount {
  std::string user;
  std::string pwd;
  double ore_disdetta = 0;
};

// The body of "conferma_appuntamenti/crea.json" for the line: "user", "pwd",
// "data_appuntamento", "id_agenda" and, when OreDisdetta gives a value,
// "ore_disdetta". Changes `rec.Ora` as ReadAppointmentMoment does and raises
// its conversion error.
nlohmann::json BuildConfermaRequest(practice::TLineRec& rec, const ConfermaAccount& account,
                                    char time_separator);

}  // namespace oxsms::channels

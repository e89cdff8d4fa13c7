// How the link bookkeeping addresses the agenda row of a recipient line: the
// table of the line's agenda line in upper case, and the row by its DATA and
// ORA, read from the line's date ("dd/mm/yyyy") and time ("hh.mm", where a
// ':' is taken as '.'). Date and time always travel as parameters: date-times,
// except the time of day on MySQL (TimeOfDayText).
#pragma once

#include <ctime>
#include <string>
#include <string_view>

#include "platform/date_time.h"

namespace oxsms::practice {

// The table named by an agenda line (see TableOfAgendaLine), in upper case;
// empty when the line names none. The caller still checks IsPlainTableName.
std::string AgendaTableOfLine(std::string_view id_agenda);

// The time of a line with every ':' replaced by the process separator '.'.
std::string TimeWithDots(std::string ora);

// A date in the short date format "d/m/yyyy" (one or two digits for day and
// month). Raises platform::DataError for anything else.
platform::TDateTime ParseShortDate(std::string_view text);

// The parameters ":d" and ":o" of a statement addressing an agenda row.
struct AgendaRowKey {
  std::tm data{};
  std::tm ora{};
};

// The key of the row on `data` at `ora` ("hh.mm" or "hh.mm.ss"; ':' is
// accepted as well). Raises platform::DataError when either cannot be read.
AgendaRowKey RowKeyOf(std::string_view data, std::string_view ora);

// The time of day of a key as "hh:mm:ss", the form in which the ":o" of a
// statement goes to a MySQL server: given a date-time text, MariaDB compares
// the TIME column with it as a date-time in a SELECT's WHERE and matches no
// row.
std::string TimeOfDayText(const std::tm& ora);

}  // namespace oxsms::practice

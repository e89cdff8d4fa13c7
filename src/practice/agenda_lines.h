// Agenda lines and appointment entries as the searches keep them in their
// string lists:
//  - an agenda line names one appointment table: a name, "=", the table name
//    (for example "Agenda1=Agenda1");
//  - an appointment entry of `listApp` is the appointment key, "=", the badge.
// Table names come from the practice's own databases and settings; they
// become part of SQL text, so IsPlainTableName guards every use.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace oxsms::practice {

// The table of an agenda line: the text after its first "=" up to a second
// "=", if any; the whole line when it has no "=".
std::string TableOfAgendaLine(std::string_view line);

// True for a name that may stand in SQL as an identifier: 1 to 63 ASCII
// letters, digits or '_', starting with a letter.
bool IsPlainTableName(std::string_view name);

// A name fit for a log line: control characters become '?', and a long name
// is cut.
std::string PrintableName(std::string_view name);

// The parts of an entry "name=value" (split at the first "="); an entry
// without "=" is all name.
std::string NameOfEntry(std::string_view entry);
std::string ValueOfEntry(std::string_view entry);

// The lines of a multi-line setting (CR LF, LF or CR ends a line); a last
// empty line after the final line end is not a line.
std::vector<std::string> SplitLines(std::string_view text);

// Blanks and control characters removed at both ends.
std::string TrimBlanks(std::string_view text);

// Blanks (' ') removed at the end: the padding of a CHAR column.
std::string WithoutTrailingBlanks(std::string text);

// ASCII letters compared without regard to case.
bool SameTextIgnoringCase(std::string_view a, std::string_view b);

}  // namespace oxsms::practice

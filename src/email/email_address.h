// Syntax check of an email address.
#pragma once

#include <string_view>

namespace oxsms::email {

// True when `text` (UTF-8) is an address: a local part of atoms separated by
// single dots or of quoted texts ("..." with \ escapes), then "@", then at
// least two domain labels separated by dots, each starting with a letter and
// made of letters, digits and inner hyphens. Atom characters are the codes 33
// to 255 except ( ) < > @ , ; : \ / " . [ ] and 127; the check runs over the
// characters of the text, so an accented letter (U+0080 to U+00FF) is one
// atom character, and a character beyond U+00FF is accepted only right after
// a backslash in a quoted text. Text that is not valid UTF-8 is not an
// address.
bool EmailValida(std::string_view text);

}  // namespace oxsms::email

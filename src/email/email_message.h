// One email as the send operations build it and the transports deliver it:
// addresses, subject and HTML body after substitution, attachments by path.
// Texts are UTF-8 here; the SMTP transport writes them as ISO-8859-1.
#pragma once

#include <string>
#include <vector>

namespace oxsms::email {

struct EmailAddress {
  std::string address;
  std::string name;  // display name; empty for none
};

struct EmailMessage {
  std::string subject;
  // The HTML part: the body after substitution with CR LF already turned
  // into "<br>". The SMTP transport appends the signature paragraph.
  std::string html_body;
  std::vector<EmailAddress> to;
  std::vector<EmailAddress> cc;
  std::vector<EmailAddress> bcc;
  // Attachment paths. When not empty the message also carries the plain-text
  // alternative "Questa email necessita di un client di posta html".
  std::vector<std::string> attachments;
};

}  // namespace oxsms::email

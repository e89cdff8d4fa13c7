// The pieces of an email as the SMTP transport writes them: texts in
// ISO-8859-1, header words encoded when they are not plain ASCII, the Date
// and Message-ID headers, the HTML part with the signature, the envelope.
// Pure functions: the transfer itself lives in smtp_transport.cpp.
#pragma once

#include <ctime>
#include <string>
#include <string_view>
#include <vector>

#include "email/email_message.h"
#include "email/email_settings.h"

namespace oxsms::email {

// The text of the plain alternative of a message with attachments.
inline constexpr const char* kHtmlClientNotice = "Questa email necessita di un client di posta html";

// UTF-8 text as ISO-8859-1 bytes: U+0000..U+00FF become their byte, every
// other character (and every invalid sequence) one '?'.
std::string Utf8ToLatin1(std::string_view text);

// A header text as it goes on the wire: unchanged when it is printable ASCII,
// else RFC 2047 encoded words "=?iso-8859-1?Q?...?=" of at most 75
// characters each, separated by a blank.
std::string EncodeHeaderText(std::string_view utf8);

// "Name <address>" for an address header: the name quoted when it holds
// characters special in addresses, encoded when not ASCII; the bare address
// when the name is empty.
std::string FormatMailbox(const EmailAddress& mailbox);

// The RFC 5322 date of a local time with its offset from UTC in seconds:
// "Tue, 01 Jul 2025 10:00:05 +0200".
std::string FormatMailDate(const std::tm& local, long utc_offset_seconds);
// The current date in that form.
std::string CurrentMailDate();

// The domain of an address (after the last '@'); "localhost" when it has none.
std::string DomainOf(std::string_view address);

// "<unique@domain>" with the domain of `sender`; unique within the process
// and, by time and randomness, across processes.
std::string MakeMessageId(std::string_view sender);

// The HTML the message carries: the body, then, when the signature is not
// empty, "<p>" + signature with its CR LF as "<br>" + "</p>".
std::string SignedHtml(const std::string& html_body, const std::string& firma);

// Addresses of a list setting ("a@x.it; b@y.it" or comma-separated),
// trimmed, empties dropped.
std::vector<std::string> SplitAddressList(std::string_view list);

// The top-level headers of `message` sent with `settings`: Date, From
// (DaEmail with DaNome), To, Cc (only when there is one), Subject,
// Message-ID, in that order, each "Name: value". Bcc never appears.
std::vector<std::string> MessageHeaders(const EmailMessage& message, const EmailSettings& settings,
                                        const std::string& date, const std::string& message_id);

// The envelope recipients: To, Cc, Bcc and the addresses of EmailBCC, in that
// order, each address once (compared without regard to case).
std::vector<std::string> EnvelopeRecipients(const EmailMessage& message,
                                            const EmailSettings& settings);

}  // namespace oxsms::email

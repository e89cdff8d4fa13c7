// The floor: the least work that sends the same messages as the measured
// run. Timed: opening the agenda and patient databases, one SELECT per
// agenda table for the search day and one per patient database, composing
// every text as the service does (the same composer and batch and template
// builders), one request per new confirmation link and payment link, one
// batch upload and one WhatsApp request, all with one HTTP client to the
// same simulator, and one SMTP connection per email to the sink at
// 127.0.0.1:smtp_port. Not included: the catalogue and settings reads, the
// account, credit and alias checks, the write-back of link codes into the
// databases, and the waits the gateway client keeps between calls.
#pragma once

#include <filesystem>

#include "bench_practice.h"
#include "child_result.h"

namespace oxsms::bench {

// Raises when a database cannot be read or a service refuses a request.
ChildResult RunFloor(const PracticeSize& size, const std::filesystem::path& home, int smtp_port);

}  // namespace oxsms::bench

#include "practice/agimp.h"

namespace oxsms::practice {

TAgImp::TAgImp(const CatalogueContext& ctx, platform::ActivityLog& log,
               const platform::Clock& clock, const platform::MonotonicClock& elapsed,
               SearchHost& host)
    : DataRicerca(platform::DateOf(clock.Now())),
      units_(elapsed),
      sets_(ctx, log, host, units_),
      unrecorded_links_(ctx.home.File(UnrecordedLinks::kFileName), log),
      search_(ctx, log, host, sets_, codes_, unrecorded_links_),
      bookkeeping_(log, clock, elapsed, host, sets_, units_, codes_, unrecorded_links_) {}

}  // namespace oxsms::practice

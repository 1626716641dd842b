#pragma once

#include "memory/memorydownload.h"
#include "session/exchange.h"

#include <memory>

namespace live {
class LiveState;
}

namespace session {

// The download as the work of one exchange, with the type letter, channel count and unit the
// live display shows now; the window and the command line run the same. The outcome is filled
// on the link thread before the exchange's end is reported.
Exchange::Work downloadWork(const live::LiveState& live, const memory::SaveRequest& save,
                            std::shared_ptr<memory::DownloadOutcome> outcome);

} // namespace session

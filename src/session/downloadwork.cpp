#include "session/downloadwork.h"

#include "live/livepoll.h"

namespace session {

Exchange::Work downloadWork(const live::LiveState& live, const memory::SaveRequest& save,
                            std::shared_ptr<memory::DownloadOutcome> outcome) {
    memory::DownloadRequest request;
    request.shownCount = live.memoryCount();
    request.typeLetter = live.typeLetter();
    request.channelCount = live.channelCount();
    request.unit = live.displayUnit();
    request.save = save;
    return [request, outcome = std::move(outcome)](Exchange::Job& job) {
        *outcome = memory::downloadMemory(
            job.link(), request,
            [&job](double fraction, const QString& text) { job.progress(fraction, text); });
    };
}

} // namespace session

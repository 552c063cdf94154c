// The item analysers: one row of the result table per ItemIdList line, then FinishRun.
//
// Every page is fetched with host.Fetch followed by web::PageText. host.Cancelled() is checked before
// every request; a cancelled pass stops quietly (it does not call FinishRun).
#pragma once

#include "run/RunHost.h"

namespace vantrel {

void TaobaoItemAnalyser(RunHost& host);
void TmallItemAnalyser(RunHost& host);

// The item-page fetch is bounded: at most this many tries, with a pause
// after each try that starts at 1 ms and doubles up to kItemPageMaxPauseMs. An item whose page never
// comes gets columns 0, 9 and 11 (Tmall also 12 "-") and the pass goes on with the next line.
inline constexpr int kItemPageTries = 20;
inline constexpr int kItemPageMaxPauseMs = 200;

}  // namespace vantrel

// The item analysers: one row of the result table per ItemIdList line, then FinishRun.
#pragma once

#include "run/RunHost.h"

namespace vantrel {

void TaobaoItemAnalyser(RunHost& host);
void TmallItemAnalyser(RunHost& host);

}  // namespace vantrel

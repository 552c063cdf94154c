// The shop listing crawlers: each reads the captured listing page, fetches further listing pages and
// appends item lines to the run's ItemIdList, then arms the analysis (or ends the run on failure).
#pragma once

#include "run/RunHost.h"

namespace vantrel {

void TaobaoShopCrawler(RunHost& host);    // asynchronous listing ("?mid=w")
void TaobaoSearchCrawler(RunHost& host);  // the shop's search pages ("page-info")
void TmallShopCrawler(RunHost& host);

}  // namespace vantrel

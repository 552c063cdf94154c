// The shop listing crawlers: each reads the captured listing page, fetches further listing pages and
// appends item lines to the run's ItemIdList, then arms the analysis (or ends the run on failure).
//
// Every page is fetched with host.Fetch followed by web::PageText. host.Cancelled() is checked before
// every request; a cancelled crawl stops quietly (neither ArmAnalysis nor FinishRun).
#pragma once

#include <string_view>

#include "run/RunHost.h"

namespace vantrel {

void TaobaoShopCrawler(RunHost& host);    // asynchronous listing ("?mid=w")
void TaobaoSearchCrawler(RunHost& host);  // the shop's search pages ("page-info")
void TmallShopCrawler(RunHost& host);

// A pager's count is used unchanged, but never more than this many pages are read in one crawl.
inline constexpr int kMaxListingPages = 10000;
// Attempts of the Tmall listing-key search (each clears the browser state and re-reads the search page)
// before the crawl gives up with NetworkTimeoutCookies.
inline constexpr int kTmallKeySearchAttempts = 5;

// The page count read from the text after a pager's "/": its leading decimal number truncated toward
// zero; below 1 gives 1, above kMaxListingPages gives kMaxListingPages.
int ListingPageCount(std::string_view afterSlash);

}  // namespace vantrel

// The one page-fetch operation: HTTP/1.0 GET of an absolute http(s) address, giving the body bytes.
// Never reports an error: any failure gives the bytes collected so far (usually none).
// Routing (--market) and the transfer limits: web/WebSettings.h. The shared cookie store: web/CookieStore.h.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace vantrel::web {

// GET address (GBK bytes, sent unchanged; a fragment is cut). Callable from any thread.
std::string WebRequest(std::string_view address);

// The body up to (not including) its first zero byte, as GBK text.
std::string PageText(std::string_view body);

// Clear the web state shared with the embedded browser (always called as this pair, in this order).
void ClearBrowserCache();
void ClearBrowserCookies();

// How crawlers and analysers fetch; tests substitute fixtures. Defaults to WebRequest.
using Fetcher = std::function<std::string(const std::string& address)>;
Fetcher DefaultFetcher();

}  // namespace vantrel::web

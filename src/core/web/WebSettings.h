// Process-wide settings of WebRequest that are not part of an address: the market route (--market) and
// the transfer limits. Safe to read and change from any thread; a change applies to requests started after it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace vantrel::web {

// --market URL: every connection of WebRequest goes to the host and port of url (e.g. "http://127.0.0.1:8080")
// while the addresses, the Host header and the cookies stay as written. Empty turns routing off.
// Returns false (and leaves the route as it was) when url is not an "http://" or "https://" address with a host.
bool SetMarketRoute(std::string_view url);

// The route in force as given to SetMarketRoute ("" when off).
std::string MarketRoute();

// The "host:port" that every connection goes to ("" when off), e.g. "127.0.0.1:8080" or "[::1]:8080";
// the embedded browser maps its host names to the same place.
std::string MarketRouteTarget();

// Limits of one WebRequest. The defaults are those of the program; tests shorten or lower them.
struct TransferLimits {
    long connectTimeoutMs = 15000;            // name lookup + TCP connect + TLS handshake
    long lowSpeedBytesPerSecond = 1;          // abort when fewer bytes per second arrive ...
    long lowSpeedSeconds = 30;                // ... for this many seconds (also while waiting for the answer)
    std::int64_t maxBodyBytes = 64LL << 20;   // a longer body makes the request fail with the empty result
    long maxRedirects = 10;                   // more makes the request fail with the empty result
    std::string extraCaFile;                  // PEM file of further trusted CAs (tests); "" = system store only
    std::vector<std::string> extraConnectTo;  // further CURLOPT_CONNECT_TO entries (tests); tried before the route
};

// Tests only: the program never changes the limits.
void SetTransferLimits(const TransferLimits& limits);
TransferLimits CurrentTransferLimits();

// The web cache folder that ClearBrowserCache empties: <data folder>/browser/cache. The embedded browser keeps
// its disk cache there.
std::filesystem::path BrowserCacheFolder();

// Called by ClearBrowserCache before it deletes the files of the web cache folder, so that the embedded
// browser can drop its in-memory cache. Empty function = none. Called on the thread that clears.
void SetBrowserCacheClearHook(std::function<void()> hook);

// Internal: what one WebRequest reads, taken in one step.
namespace detail {
struct RequestSettings {
    TransferLimits limits;
    std::string routeTarget;                      // "host:port" or ""
    std::shared_ptr<const std::string> caBundle;  // system CAs + extraCaFile, or null for the system store
};
std::shared_ptr<const RequestSettings> CurrentRequestSettings();
std::function<void()> BrowserCacheClearHook();
}  // namespace detail

}  // namespace vantrel::web

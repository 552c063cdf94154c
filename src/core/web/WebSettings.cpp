#include "web/WebSettings.h"

#include <curl/curl.h>

#include <memory>
#include <mutex>

#include "app/DataFolder.h"
#include "app/FileIO.h"

namespace vantrel::web {

namespace {

struct Settings {
    std::mutex lock;
    std::string marketUrl;
    std::shared_ptr<const detail::RequestSettings> current = std::make_shared<detail::RequestSettings>();
    std::function<void()> cacheClearHook;
};

Settings& TheSettings() {
    static auto* s = new Settings;  // never destroyed: requests may run while the process exits
    return *s;
}

// "host:port" of an http(s) address, or "" when it is not one.
std::string RouteTargetOf(std::string_view url) {
    std::string target;
    CURLU* u = curl_url();
    if (!u) {
        return target;
    }
    const std::string text(url);
    char* scheme = nullptr;
    char* host = nullptr;
    char* port = nullptr;
    if (text.find('\0') == std::string::npos && curl_url_set(u, CURLUPART_URL, text.c_str(), 0) == CURLUE_OK &&
        curl_url_get(u, CURLUPART_SCHEME, &scheme, 0) == CURLUE_OK &&
        curl_url_get(u, CURLUPART_HOST, &host, 0) == CURLUE_OK &&
        curl_url_get(u, CURLUPART_PORT, &port, CURLU_DEFAULT_PORT) == CURLUE_OK) {
        const std::string s(scheme);
        if ((s == "http" || s == "https") && host[0] != '\0') {
            target = std::string(host) + ":" + port;
        }
    }
    curl_free(scheme);
    curl_free(host);
    curl_free(port);
    curl_url_cleanup(u);
    return target;
}

// The system CA bundle followed by the extra file, for CURLOPT_CAINFO_BLOB ("" when the extra file is unreadable).
std::shared_ptr<const std::string> CaBundleWith(const std::string& extraFile) {
    if (extraFile.empty()) {
        return nullptr;
    }
    std::optional<std::string> extra = ReadWholeFile(extraFile);
    if (!extra) {
        return std::make_shared<const std::string>();
    }
    std::string bundle;
    CURL* h = curl_easy_init();
    if (h) {
        char* cainfo = nullptr;
        if (curl_easy_getinfo(h, CURLINFO_CAINFO, &cainfo) == CURLE_OK && cainfo) {
            bundle = ReadWholeFile(cainfo).value_or("");
        }
        curl_easy_cleanup(h);
    }
    bundle += "\n";
    bundle += *extra;
    bundle += "\n";
    return std::make_shared<const std::string>(std::move(bundle));
}

}  // namespace

bool SetMarketRoute(std::string_view url) {
    std::string target;
    if (!url.empty()) {
        target = RouteTargetOf(url);
        if (target.empty()) {
            return false;
        }
    }
    Settings& s = TheSettings();
    std::lock_guard<std::mutex> l(s.lock);
    auto next = std::make_shared<detail::RequestSettings>(*s.current);
    next->routeTarget = target;
    s.marketUrl = std::string(url);
    s.current = std::move(next);
    return true;
}

std::string MarketRoute() {
    Settings& s = TheSettings();
    std::lock_guard<std::mutex> l(s.lock);
    return s.marketUrl;
}

std::string MarketRouteTarget() {
    return detail::CurrentRequestSettings()->routeTarget;
}

void SetTransferLimits(const TransferLimits& limits) {
    auto caBundle = CaBundleWith(limits.extraCaFile);
    Settings& s = TheSettings();
    std::lock_guard<std::mutex> l(s.lock);
    auto next = std::make_shared<detail::RequestSettings>(*s.current);
    next->limits = limits;
    next->caBundle = std::move(caBundle);
    s.current = std::move(next);
}

TransferLimits CurrentTransferLimits() {
    return detail::CurrentRequestSettings()->limits;
}

std::filesystem::path BrowserCacheFolder() {
    return DataFolder() / "browser" / "cache";
}

void SetBrowserCacheClearHook(std::function<void()> hook) {
    Settings& s = TheSettings();
    std::lock_guard<std::mutex> l(s.lock);
    s.cacheClearHook = std::move(hook);
}

namespace detail {

std::shared_ptr<const RequestSettings> CurrentRequestSettings() {
    Settings& s = TheSettings();
    std::lock_guard<std::mutex> l(s.lock);
    return s.current;
}

std::function<void()> BrowserCacheClearHook() {
    Settings& s = TheSettings();
    std::lock_guard<std::mutex> l(s.lock);
    return s.cacheClearHook;
}

}  // namespace detail

}  // namespace vantrel::web

// WebRequest on libcurl: one easy handle and one connection per call, cookies through the shared store.
#include "web/WebRequest.h"

#include <curl/curl.h>

#include <strings.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <vector>

#include "web/CookieStore.h"
#include "web/WebSettings.h"

namespace vantrel::web {

namespace {

constexpr const char* kUserAgent = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)";

struct Transfer {
    std::string body;
    std::int64_t maxBody = 0;
    bool overflow = false;
    bool setsCookies = false;
};

std::size_t OnBody(char* data, std::size_t size, std::size_t count, void* userdata) {
    auto* t = static_cast<Transfer*>(userdata);
    const std::size_t n = size * count;
    if (static_cast<std::int64_t>(t->body.size() + n) > t->maxBody) {
        t->overflow = true;
        return 0;  // makes libcurl fail the transfer
    }
    t->body.append(data, n);
    return n;
}

std::size_t OnHeader(char* data, std::size_t size, std::size_t count, void* userdata) {
    auto* t = static_cast<Transfer*>(userdata);
    const std::size_t n = size * count;
    constexpr char kSetCookie[] = "set-cookie:";
    constexpr std::size_t kLen = sizeof(kSetCookie) - 1;
    if (n >= kLen && strncasecmp(data, kSetCookie, kLen) == 0) {
        t->setsCookies = true;
    }
    return n;
}

struct SlistDeleter {
    void operator()(curl_slist* l) const { curl_slist_free_all(l); }
};
using Slist = std::unique_ptr<curl_slist, SlistDeleter>;

struct EasyDeleter {
    void operator()(CURL* h) const { curl_easy_cleanup(h); }
};

// The address as it goes on the wire: the fragment cut, spaces written as %20 (as WinINet does with the object
// name; libcurl refuses a raw space), everything else unchanged.
std::string WireAddress(std::string_view address) {
    address = address.substr(0, address.find('#'));
    std::string out;
    out.reserve(address.size());
    for (char ch : address) {
        if (ch == ' ') {
            out += "%20";
        } else {
            out += ch;
        }
    }
    return out;
}

}  // namespace

std::string WebRequest(std::string_view address) {
    if (address.empty()) {
        return {};
    }
    const std::string url = WireAddress(address);
    if (url.empty() || url.find('\0') != std::string::npos) {
        return {};
    }
    auto* share = static_cast<CURLSH*>(detail::CookieShare());  // creates the client on first use
    if (!share) {
        return {};
    }
    const std::shared_ptr<const detail::RequestSettings> settings = detail::CurrentRequestSettings();
    const TransferLimits& limits = settings->limits;

    std::unique_ptr<CURL, EasyDeleter> handle(curl_easy_init());
    if (!handle) {
        return {};
    }
    CURL* h = handle.get();
    Transfer t;
    t.maxBody = limits.maxBodyBytes;

    Slist headers(curl_slist_append(nullptr, "Accept: */*"));
    Slist connectTo;
    curl_slist* tail = nullptr;
    auto addConnectTo = [&](const std::string& entry) {
        curl_slist* next = curl_slist_append(tail, entry.c_str());
        if (!next) {
            return;
        }
        if (!tail) {
            connectTo.reset(next);
        }
        tail = next;
    };
    for (const std::string& entry : limits.extraConnectTo) {
        addConnectTo(entry);
    }
    if (!settings->routeTarget.empty()) {
        addConnectTo("::" + settings->routeTarget);
    }

    curl_easy_setopt(h, CURLOPT_URL, url.c_str());
    curl_easy_setopt(h, CURLOPT_PATH_AS_IS, 1L);  // "/a/../b" goes out as written
    curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(h, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_0));
    curl_easy_setopt(h, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(h, CURLOPT_USERAGENT, kUserAgent);
    curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers.get());
    curl_easy_setopt(h, CURLOPT_SHARE, share);
    curl_easy_setopt(h, CURLOPT_COOKIEFILE, "");  // switches the cookie engine on for this handle
    curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(h, CURLOPT_MAXREDIRS, limits.maxRedirects);
    curl_easy_setopt(h, CURLOPT_FORBID_REUSE, 1L);
    curl_easy_setopt(h, CURLOPT_FRESH_CONNECT, 1L);
    curl_easy_setopt(h, CURLOPT_PROXY, "");  // direct, whatever http_proxy and friends say
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, limits.connectTimeoutMs);
    curl_easy_setopt(h, CURLOPT_LOW_SPEED_LIMIT, limits.lowSpeedBytesPerSecond);
    curl_easy_setopt(h, CURLOPT_LOW_SPEED_TIME, limits.lowSpeedSeconds);
    curl_easy_setopt(h, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(limits.maxBodyBytes));
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, OnBody);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &t);
    curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, OnHeader);
    curl_easy_setopt(h, CURLOPT_HEADERDATA, &t);
    if (connectTo) {
        curl_easy_setopt(h, CURLOPT_CONNECT_TO, connectTo.get());
    }
    curl_blob caBlob{};
    if (settings->caBundle) {
        caBlob.data = const_cast<char*>(settings->caBundle->data());
        caBlob.len = settings->caBundle->size();
        caBlob.flags = CURL_BLOB_NOCOPY;
        curl_easy_setopt(h, CURLOPT_CAINFO_BLOB, &caBlob);
    }

    const CURLcode rc = curl_easy_perform(h);
    handle.reset();  // closes the connection before the cookies are looked at

    if (t.setsCookies) {
        detail::NoteResponseCookies();
    }
    if (t.overflow || rc == CURLE_FILESIZE_EXCEEDED) {
        return {};
    }
    return std::move(t.body);
}

std::string PageText(std::string_view body) {
    return std::string(body.substr(0, body.find('\0')));
}

void ClearBrowserCache() {
    // Nothing of WebRequest is cached; the cache is the embedded browser's, in the web cache folder.
    if (std::function<void()> hook = detail::BrowserCacheClearHook()) {
        hook();
    }
    namespace fs = std::filesystem;
    std::error_code ec;
    std::vector<fs::path> files;
    for (fs::recursive_directory_iterator it(BrowserCacheFolder(), fs::directory_options::skip_permission_denied, ec),
         end;
         !ec && it != end; it.increment(ec)) {
        std::error_code typeError;
        if (!it->is_directory(typeError) || it->is_symlink(typeError)) {
            files.push_back(it->path());
        }
    }
    for (const fs::path& file : files) {
        std::error_code removeError;
        fs::remove(file, removeError);
    }
}

Fetcher DefaultFetcher() {
    return [](const std::string& address) { return WebRequest(address); };
}

}  // namespace vantrel::web

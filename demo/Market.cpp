#include "Market.h"

#include <httplib.h>

#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "Embedded.h"
#include "Pages.h"
#include "vantrel/Config.h"

namespace vantrel::demo {
namespace {

const char* const kGbkHtml = "text/html; charset=gbk";
const char* const kScript = "application/javascript; charset=gbk";
const char* const kUtf8Json = "application/json; charset=utf-8";

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Percent-decoding without turning "+" into a blank: the program never sends a raw "+" for a blank.
std::string Decode(std::string_view s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '%' && i + 2 < s.size() && HexValue(s[i + 1]) >= 0 && HexValue(s[i + 2]) >= 0) {
            out += static_cast<char>(HexValue(s[i + 1]) * 16 + HexValue(s[i + 2]));
            i += 2;
        } else {
            out += s[i];
        }
    }
    return out;
}

// The value of the first key=value pair of a query ("" when absent). The query is taken as sent: the pages'
// own addresses contain "&&", garbage after a value, GBK bytes.
std::string Param(std::string_view query, std::string_view key) {
    std::size_t start = 0;
    while (start <= query.size()) {
        const std::size_t amp = std::min(query.find('&', start), query.size());
        const std::string_view pair = query.substr(start, amp - start);
        const std::size_t eq = pair.find('=');
        if (pair.substr(0, eq) == key) {
            return eq == std::string_view::npos ? std::string() : Decode(pair.substr(eq + 1));
        }
        start = amp + 1;
    }
    return {};
}

bool HasParam(std::string_view query, std::string_view key) {
    std::size_t start = 0;
    while (start <= query.size()) {
        const std::size_t amp = std::min(query.find('&', start), query.size());
        const std::string_view pair = query.substr(start, amp - start);
        if (pair.substr(0, pair.find('=')) == key) {
            return true;
        }
        start = amp + 1;
    }
    return false;
}

int PageNumber(const std::string& text) {
    const int n = std::atoi(text.c_str());
    return n < 1 ? 1 : n;
}

bool EndsWith(std::string_view s, std::string_view tail) {
    return s.size() >= tail.size() && s.substr(s.size() - tail.size()) == tail;
}

bool HasCookie(const httplib::Request& req, std::string_view name, std::string_view value) {
    const std::string want = std::string(name) + "=" + std::string(value);
    for (std::size_t i = 0; i < req.get_header_value_count("Cookie"); ++i) {
        const std::string header = req.get_header_value("Cookie", i);
        std::size_t start = 0;
        while (start < header.size()) {
            std::size_t end = std::min(header.find(';', start), header.size());
            std::size_t b = start;
            while (b < end && header[b] == ' ')
                ++b;
            if (std::string_view(header).substr(b, end - b) == want) {
                return true;
            }
            start = end + 1;
        }
    }
    return false;
}

// Cookies of the demo cover the whole marketplace domain, so one login or pass holds for every shop host.
std::string CookieFor(std::string_view host, std::string_view name) {
    std::string cookie = std::string(name) + "=1; Path=/";
    for (std::string_view domain : {".taobao.com", ".tmall.com", ".tmall.hk"}) {
        if (EndsWith(host, domain) || host == domain.substr(1)) {
            cookie += "; Domain=" + std::string(domain);
        }
    }
    return cookie;
}

// Form values come in the query (GET) or in an urlencoded body (POST).
std::string FormValue(const httplib::Request& req, std::string_view query, std::string_view key) {
    std::string v = Param(query, key);
    if (v.empty() && req.method == "POST") {
        std::string body = req.body;
        for (char& c : body) {
            if (c == '+')
                c = ' ';
        }
        v = Param(body, key);
    }
    return v;
}

}  // namespace

struct DemoMarket::Impl {
    explicit Impl(ServerOptions o)
        : options(std::move(o)),
          catalogue(options.catalogue),
          loginWall(options.loginWall),
          securityCheckAfter(options.securityCheckAfter) {}

    ServerOptions options;
    Catalogue catalogue;
    httplib::Server server;
    std::thread thread;
    int port = 0;
    std::atomic<bool> stopping{false};
    std::atomic<bool> loginWall;
    std::atomic<int> securityCheckAfter;
    std::atomic<long> requests{0};
    std::atomic<long> counterRequests{0};
    std::atomic<long> checksServed{0};

    void Handle(const httplib::Request& req, httplib::Response& res);
    void Shop(const httplib::Request& req, httplib::Response& res, const demo::Shop& shop, std::string_view path,
              std::string_view query, std::string_view host);
    void Fault(const httplib::Request& req, httplib::Response& res, std::string_view path, std::string_view query);
    bool SecurityCheck(const httplib::Request& req, httplib::Response& res, std::string_view itemId);
    // Sleeps in small steps so that stop() is not held up by a slow answer.
    bool Sleep(int ms) {
        for (int waited = 0; waited < ms && !stopping; waited += 10) {
            std::this_thread::sleep_for(std::chrono::milliseconds(std::min(10, ms - waited)));
        }
        return !stopping;
    }
};

void DemoMarket::Impl::Handle(const httplib::Request& req, httplib::Response& res) {
    ++requests;
    if (options.latencyMs > 0) {
        Sleep(options.latencyMs);
    }
    std::string host = req.get_header_value("Host");
    const std::string hostWithPort = host;
    if (const auto colon = host.rfind(':'); colon != std::string::npos && host.find(']') == std::string::npos) {
        host.erase(colon);
    }
    for (char& c : host) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    const std::string_view target = req.target;
    const std::size_t qmark = target.find('?');
    const std::string path = Decode(target.substr(0, qmark));
    const std::string_view query = qmark == std::string_view::npos ? std::string_view() : target.substr(qmark + 1);
    const Catalogue& cat = catalogue;
    namespace cfg = vantrel::config;

    auto send = [&res](std::string body, const char* type, int status = 200) {
        res.status = status;
        res.set_content(std::move(body), type);
    };

    if (path.rfind("/_fault/", 0) == 0) {
        Fault(req, res, path, query);
        return;
    }
    if (path == "/member/login.jhtml") {
        std::string back = FormValue(req, query, "redirectURL");
        if (back.empty()) {
            const demo::Shop* shop = cat.FindShop(host);
            back = shop ? shop->searchAddress : "/";
        }
        res.set_header("Set-Cookie", CookieFor(host, kLoginCookie));
        res.set_redirect(back, 302);
        return;
    }
    if (const demo::Shop* shop = cat.FindShop(host)) {
        Shop(req, res, *shop, path, query, hostWithPort);
        return;
    }
    if (host == cfg::ItemPageHost && path == "/item.htm") {
        const Item* item = cat.FindItem(Param(query, "id"));
        if (item && !IsTmall(cat.Shops()[static_cast<std::size_t>(item->shop)].kind)) {
            send(pages::TaobaoItemPage(cat, *item), kGbkHtml);
        } else {
            send(pages::ItemNotFound(), kGbkHtml, 404);
        }
        return;
    }
    if ((host == cfg::MallDetailHost && path == "/item.htm") ||
        (host == cfg::MallGlobalDetailHost && (path == "/hk/item.htm" || path == "/item.htm"))) {
        const Item* item = cat.FindItem(Param(query, "id"));
        const bool global = host == cfg::MallGlobalDetailHost;
        if (item && IsTmall(cat.Shops()[static_cast<std::size_t>(item->shop)].kind) &&
            (cat.Shops()[static_cast<std::size_t>(item->shop)].kind == ShopKind::TmallGlobal) == global) {
            send(pages::TmallItemPage(cat, *item), kGbkHtml);
        } else {
            send(pages::ItemNotFound(), kGbkHtml, 404);
        }
        return;
    }
    if (host == cfg::CounterHost && path == "/counter3") {
        send(pages::FavouritesAnswer(cat, Param(query, "keys"), Param(query, "callback")), kScript);
        return;
    }
    if (host == cfg::DetailSkipHost && path == "/json/ifq.htm") {
        const std::string id = Param(query, "id");
        if (!SecurityCheck(req, res, id)) {
            send(pages::SalesAnswer(cat.FindItem(id)), kScript);
        }
        return;
    }
    if (path == "/detailCount.do" && EndsWith(host, "taobao.com")) {
        const std::string id = Param(query, "itemId");
        if (!SecurityCheck(req, res, id)) {
            send(pages::ReviewAnswer(id, cat.FindItem(id), Param(query, "callback")), kScript);
        }
        return;
    }
    if (host == cfg::MallRateHost && path == "/list_dsr_info.htm") {
        const std::string id = Param(query, "itemId");
        send(pages::DsrAnswer(id, Param(query, "spuId"), cat.FindItem(id), Param(query, "callback")), kScript);
        return;
    }
    if (host == cfg::SecurityCheckHost) {
        if (path == "/query.htm") {
            send(pages::SecurityPage(query, HasCookie(req, kPassCookie, "1")), kGbkHtml);
            return;
        }
        if (path == "/verify.do") {
            res.set_header("Set-Cookie", CookieFor(host, kPassCookie));
            res.set_redirect("http://" + hostWithPort + "/query.htm?" + FormValue(req, query, "q"), 302);
            return;
        }
    }
    if (host == cfg::PriceHistoryHost && (path == "/price/" || path == "/price")) {
        const std::string id = Param(query, "id");
        send(pages::PriceHistoryPage(id, cat.FindItem(id)), kGbkHtml);
        return;
    }
    if (host == cfg::ItemHistoryHost && path.rfind("/item-history/", 0) == 0) {
        send(pages::ItemHistoryAnswer(cat, cat.FindItem(path.substr(14))), kUtf8Json);
        return;
    }
    if (host == cfg::ShortUrlServiceHost && path == "/tools/curl.php") {
        send(pages::ShortLinkAnswer(Param(query, "uu")), kUtf8Json);
        return;
    }
    if (host == cfg::SpeechServiceHost && path == "/text2audio") {
        std::string text = Param(query, "text");
        if (text.empty()) {
            text = Param(query, "tex");
        }
        if (text.empty()) {
            send("{\"err_no\":501,\"err_msg\":\"text empty\",\"tts_logid\":0}", "application/json", 200);
        } else {
            send(std::string(DemoMp3()), "audio/mpeg");
        }
        return;
    }
    if (EndsWith(host, "alicdn.com") && (EndsWith(path, ".jpg") || EndsWith(path, ".png") || EndsWith(path, ".gif"))) {
        send(std::string(DemoJpeg()), "image/jpeg");
        return;
    }
    send(pages::NotFoundPage(), kGbkHtml, 404);
}

void DemoMarket::Impl::Shop(const httplib::Request& req, httplib::Response& res, const demo::Shop& shop,
                            std::string_view path, std::string_view query, std::string_view host) {
    const bool listing = path == "/search.htm" || path == "/i/asynSearch.htm";
    if (listing && loginWall && !HasCookie(req, kLoginCookie, "1")) {
        res.set_content(pages::LoginPage("http://" + std::string(host) + req.target), kGbkHtml);
        return;
    }
    if (path == "/" || path == "/index.htm") {
        res.set_content(pages::ShopHome(shop), kGbkHtml);
        return;
    }
    if (path == "/search.htm") {
        const bool pageNum = shop.kind == ShopKind::TaobaoSearchPageNum;
        const int page = PageNumber(Param(query, pageNum ? "pageNum" : "pageNo"));
        std::string key;
        switch (shop.kind) {
            case ShopKind::TaobaoAsync:
            case ShopKind::TmallMain:
            case ShopKind::TmallGlobal:
            case ShopKind::TmallRenderError:
                key = shop.key;
                break;
            case ShopKind::TmallRedirect:
                if (!HasParam(query, "tbpm") && !HasParam(query, "pageNo")) {
                    res.set_content(pages::RedirectScriptPage(shop), kGbkHtml);
                    return;
                }
                key = shop.redirectKey;
                break;
            default:
                break;
        }
        res.set_content(pages::SearchPage(catalogue, shop, page, key), kGbkHtml);
        return;
    }
    if (path == "/i/asynSearch.htm") {
        const std::string mid = Param(query, "mid");
        const int page = PageNumber(Param(query, "pageNo"));
        auto keyed = [&mid](const std::string& key) { return !key.empty() && mid == "w-" + key + "-0"; };
        std::string body;
        if (shop.kind == ShopKind::TmallRenderError && keyed(shop.key)) {
            body = pages::AsyncRenderError();
        } else if (shop.kind == ShopKind::TmallRedirect) {
            body = keyed(shop.key)           ? pages::AsyncRenderError()
                   : keyed(shop.redirectKey) ? pages::AsyncAnswer(catalogue, shop, page)
                                             : pages::AsyncNoItems();
        } else if ((shop.kind == ShopKind::TaobaoAsync || shop.kind == ShopKind::TmallMain ||
                    shop.kind == ShopKind::TmallGlobal) &&
                   keyed(shop.key)) {
            body = pages::AsyncAnswer(catalogue, shop, page);
        } else {
            body = pages::AsyncNoItems();
        }
        res.set_content(body, kGbkHtml);
        return;
    }
    res.status = 404;
    res.set_content(pages::NotFoundPage(), kGbkHtml);
}

bool DemoMarket::Impl::SecurityCheck(const httplib::Request& req, httplib::Response& res, std::string_view itemId) {
    const long n = ++counterRequests;
    const int after = securityCheckAfter;
    if (after <= 0 || n < after || HasCookie(req, kPassCookie, "1")) {
        return false;
    }
    ++checksServed;
    res.set_content(pages::SecurityCheckAnswer(itemId), kScript);
    return true;
}

void DemoMarket::Impl::Fault(const httplib::Request& req, httplib::Response& res, std::string_view path,
                             std::string_view query) {
    const std::string what(path.substr(8));
    auto number = [&query](std::string_view key, long long fallback) {
        const std::string v = Param(query, key);
        return v.empty() ? fallback : std::atoll(v.c_str());
    };
    if (what == "slow") {
        const int ms = static_cast<int>(std::max(0LL, number("ms", 200)));
        const int chunks = static_cast<int>(std::max(1LL, std::min(number("chunks", 5), 10000LL)));
        auto chunk = std::make_shared<std::string>("<p>slow drip ......................................</p>\r\n");
        res.set_content_provider(chunk->size() * static_cast<std::size_t>(chunks), kGbkHtml,
                                 [this, ms, chunk](std::size_t, std::size_t, httplib::DataSink& sink) {
                                     if (!Sleep(ms)) {
                                         return false;
                                     }
                                     sink.write(chunk->data(), chunk->size());
                                     return true;
                                 });
        return;
    }
    if (what == "cut") {
        const auto after = static_cast<std::size_t>(std::max(0LL, std::min(number("after", 1000), 1LL << 30)));
        res.set_content_provider(after + 1000, kGbkHtml,
                                 [after](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                                     if (offset >= after) {
                                         return false;  // the connection closes with the body unfinished
                                     }
                                     const std::string block(std::min<std::size_t>(after - offset, 65536), 'x');
                                     sink.write(block.data(), block.size());
                                     return true;
                                 });
        return;
    }
    if (what == "500") {
        res.status = 500;
        res.set_content(pages::ErrorPage500(), kGbkHtml);
        return;
    }
    if (what == "404") {
        res.status = 404;
        res.set_content(pages::NotFoundPage(), kGbkHtml);
        return;
    }
    if (what == "huge") {
        const auto size = static_cast<std::size_t>(std::max(0LL, std::min(number("size", 4 << 20), 1LL << 32)));
        static const std::string pattern = "<p>huge body 0123456789 abcdefghijklmnopqrstuvwxyz</p>\r\n";
        res.set_content_provider(size, kGbkHtml, [size](std::size_t offset, std::size_t, httplib::DataSink& sink) {
            std::string block;
            const std::size_t n = std::min<std::size_t>(size - offset, 65536);
            block.reserve(n);
            for (std::size_t i = 0; i < n; ++i) {
                block += pattern[(offset + i) % pattern.size()];
            }
            sink.write(block.data(), block.size());
            return true;
        });
        return;
    }
    if (what == "zero") {
        std::string body = "<html><body><p>BEFORE-ZERO</p>";
        body += '\0';
        body += "<p>AFTER-ZERO</p></body></html>\r\n";
        res.set_content(body, kGbkHtml);
        return;
    }
    if (what == "loop") {
        res.set_redirect(std::string(req.target), 302);
        return;
    }
    if (what == "redirect") {
        std::string to = Param(query, "to");
        res.set_header("Set-Cookie", "demo_redirect=1; Path=/");
        res.set_redirect(to.empty() ? "/_fault/echo" : to, 302);
        return;
    }
    if (what == "setcookie") {
        res.set_header("Set-Cookie", Param(query, "name") + "=" + Param(query, "value") + "; Path=/");
        res.set_content("ok\n", "text/plain");
        return;
    }
    if (what == "echo") {
        std::string body = req.method + " " + req.target + " " + req.version + "\n";
        for (const auto& [name, value] : req.headers) {
            body += name + ": " + value + "\n";
        }
        res.set_content(body, "text/plain");
        return;
    }
    res.status = 404;
    res.set_content(pages::NotFoundPage(), kGbkHtml);
}

DemoMarket::DemoMarket(ServerOptions options) : impl_(std::make_unique<Impl>(std::move(options))) {}

DemoMarket::~DemoMarket() {
    stop();
}

bool DemoMarket::start(int port) {
    Impl& m = *impl_;
    if (m.thread.joinable()) {
        return true;
    }
    m.stopping = false;
    m.server.new_task_queue = [] { return new httplib::ThreadPool(32); };
    m.server.set_tcp_nodelay(true);
    m.server.set_keep_alive_timeout(2);
    m.server.set_payload_max_length(1 << 20);
    auto handler = [&m](const httplib::Request& req, httplib::Response& res) { m.Handle(req, res); };
    m.server.Get(".*", handler);
    m.server.Post(".*", handler);
    // An HTTP/1.0 request gets its connection closed after the answer; say so instead of advertising keep-alive.
    m.server.set_post_routing_handler([](const httplib::Request& req, httplib::Response& res) {
        std::string connection = req.get_header_value("Connection");
        for (char& c : connection) {
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
        if (req.version == "HTTP/1.0" && connection != "keep-alive") {
            res.set_header("Connection", "close");
        }
    });
    if (m.options.verbose) {
        m.server.set_logger([](const httplib::Request& req, const httplib::Response& res) {
            std::fprintf(stderr, "%s %s%s -> %d (%zu bytes)\n", req.method.c_str(),
                         req.get_header_value("Host").c_str(), req.target.c_str(), res.status, res.body.size());
        });
    }
    if (port == 0) {
        m.port = m.server.bind_to_any_port(m.options.host);
    } else {
        m.port = m.server.bind_to_port(m.options.host, port) ? port : -1;
    }
    if (m.port <= 0) {
        m.port = 0;
        return false;
    }
    m.thread = std::thread([&m] { m.server.listen_after_bind(); });
    for (int i = 0; i < 500 && !m.server.is_running(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return m.server.is_running();
}

int DemoMarket::port() const {
    return impl_->port;
}

void DemoMarket::stop() {
    Impl& m = *impl_;
    m.stopping = true;
    if (m.thread.joinable()) {
        m.server.stop();
        m.thread.join();
    }
}

const Catalogue& DemoMarket::catalogue() const {
    return impl_->catalogue;
}

const ServerOptions& DemoMarket::options() const {
    return impl_->options;
}

std::string DemoMarket::connectTo() const {
    return "::" + impl_->options.host + ":" + std::to_string(impl_->port);
}

std::string DemoMarket::hostResolverRules() const {
    const std::string to = " " + impl_->options.host + ":" + std::to_string(impl_->port);
    std::string rules;
    for (const char* pattern : {"*taobao.com", "*tmall.com", "*tmall.hk", "*alicdn.com", "*baidu.com", "*.invalid"}) {
        rules += (rules.empty() ? "MAP " : ",MAP ") + std::string(pattern) + to;
    }
    return rules;
}

long DemoMarket::requestCount() const {
    return impl_->requests;
}

long DemoMarket::counterRequestCount() const {
    return impl_->counterRequests;
}

long DemoMarket::securityChecksServed() const {
    return impl_->checksServed;
}

void DemoMarket::resetCounters() {
    impl_->requests = 0;
    impl_->counterRequests = 0;
    impl_->checksServed = 0;
}

void DemoMarket::setLoginWall(bool on) {
    impl_->loginWall = on;
}

void DemoMarket::setSecurityCheckAfter(int n) {
    impl_->securityCheckAfter = n;
}

}  // namespace vantrel::demo

// vantrel-demo-market: the local stand-in for the marketplace and the outside services. See demo/README.md.
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

#include <pthread.h>

#include "Market.h"
#include "web/Encoding.h"

namespace {

const char kUsage[] =
    "usage: vantrel-demo-market [options]\n"
    "\n"
    "A local HTTP server that plays the Taobao/Tmall marketplace and the outside services for Vantrel.\n"
    "Route every connection of the program to it (libcurl CONNECT_TO \"::127.0.0.1:PORT\", Chromium\n"
    "--host-resolver-rules); it answers by Host header and path. The first stdout line is \"port N\".\n"
    "\n"
    "options:\n"
    "  --port N                  port to listen on (default 0: a free port)\n"
    "  --host ADDR               address to bind (default 127.0.0.1)\n"
    "  --seed N                  catalogue seed (default 2016)\n"
    "  --items N                 items of every listing shop, 1..10000 (default: each shop's own size)\n"
    "  --page-size N             items per listing page (default 20)\n"
    "  --login-wall              shop search pages answer a login form until the login cookie is set\n"
    "  --security-check-after N  from the Nth sales/review request on, answer the security check until passed\n"
    "  --latency-ms N            wait N ms before every answer\n"
    "  --verbose                 log every request on stderr\n"
    "  --list                    print the shops and their expected item lines, then exit\n"
    "  --expected HOST           print the expected 15 cells of every item of that shop (TSV, UTF-8, unknown: ?)\n"
    "  --help                    this text\n"
    "\n"
    "shops (host, kind):\n"
    "  asyn-shop.taobao.com      taobao-async: search page holds ?mid=w-KEY-0, listing from /i/asynSearch.htm\n"
    "  search-shop.taobao.com    taobao-search: search pages, page-info pager, pageNo links\n"
    "  pagenum-shop.taobao.com   taobao-search-pagenum: search pages without any pageNo (pageNum instead)\n"
    "  empty-shop.taobao.com     taobao-empty: pager 1/1, no item\n"
    "  mall-shop.tmall.com       tmall-main: asynchronous listing, ui-page-s-len pager\n"
    "  global-shop.tmall.hk      tmall-global: the same on the global domain (detail.tmall.hk/hk/item.htm)\n"
    "  render-error.tmall.com    tmall-render-error: asynchronous answer 'default render error', search pages\n"
    "  redirect-shop.tmall.com   tmall-redirect: search page holds window.location.href='...'\n"
    "\n"
    "services: item.taobao.com, detail.tmall.com, detail.tmall.hk, count.taobao.com, detailskip.taobao.com,\n"
    "rate.taobao.com, dsr-rate.tmall.com, sec.taobao.com, price-history.invalid, item-history.invalid,\n"
    "short-link.invalid, tts.baidu.com, img.alicdn.com; faults under /_fault/ on any host (see README).\n";

bool ParseInt(const char* text, long long lo, long long hi, long long& out) {
    char* end = nullptr;
    errno = 0;
    const long long v = std::strtoll(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || v < lo || v > hi) {
        return false;
    }
    out = v;
    return true;
}

void List(const vantrel::demo::Catalogue& cat) {
    for (const auto& shop : cat.Shops()) {
        std::printf("%s\t%s\t%s\titems %zu\tpages %d\t%s\n", shop.host.c_str(),
                    std::string(vantrel::demo::ShopKindName(shop.kind)).c_str(), shop.name.c_str(), shop.items.size(),
                    shop.PageCount(), shop.searchAddress.c_str());
        for (const auto& line : cat.ExpectedLines(shop)) {
            std::printf("  %s\n", line.c_str());
        }
    }
}

bool PrintExpected(const vantrel::demo::Catalogue& cat, const std::string& host) {
    const auto* shop = cat.FindShop(host);
    if (!shop) {
        std::fprintf(stderr, "vantrel-demo-market: no shop %s\n", host.c_str());
        return false;
    }
    for (const auto* item : cat.ItemsOf(*shop)) {
        const auto row = cat.Expected(*item);
        for (std::size_t c = 0; c < row.cells.size(); ++c) {
            const std::string cell = row.known[c] ? vantrel::GbkToUtf8(row.cells[c]) : "?";
            std::printf("%s%s", c ? "\t" : "", cell.c_str());
        }
        std::printf("\n");
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    vantrel::demo::ServerOptions options;
    long long port = 0;
    bool list = false;
    std::string expectedHost;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        long long v = 0;
        auto number = [&](long long lo, long long hi) {
            if (!hasValue || !ParseInt(argv[i + 1], lo, hi, v)) {
                std::fprintf(stderr, "vantrel-demo-market: %s needs a number from %lld to %lld\n", arg.c_str(), lo, hi);
                std::exit(2);
            }
            ++i;
            return v;
        };
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (arg == "--port") {
            port = number(0, 65535);
        } else if (arg == "--host" && hasValue) {
            options.host = argv[++i];
        } else if (arg == "--seed") {
            options.catalogue.seed = static_cast<std::uint64_t>(number(0, 1LL << 62));
        } else if (arg == "--items") {
            options.catalogue.itemsPerShop = static_cast<int>(number(1, 10000));
        } else if (arg == "--page-size") {
            options.catalogue.pageSize = static_cast<int>(number(1, 1000));
        } else if (arg == "--login-wall") {
            options.loginWall = true;
        } else if (arg == "--security-check-after") {
            options.securityCheckAfter = static_cast<int>(number(1, 1000000000));
        } else if (arg == "--latency-ms") {
            options.latencyMs = static_cast<int>(number(0, 600000));
        } else if (arg == "--verbose") {
            options.verbose = true;
        } else if (arg == "--expected" && hasValue) {
            expectedHost = argv[++i];
        } else if (arg == "--list") {
            list = true;
        } else {
            std::fprintf(stderr, "vantrel-demo-market: unknown option %s (see --help)\n", arg.c_str());
            return 2;
        }
    }

    // Block the stop signals in every thread (the server's threads inherit the mask); main waits for them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    try {
        vantrel::demo::DemoMarket market(options);
        if (list) {
            List(market.catalogue());
            return 0;
        }
        if (!expectedHost.empty()) {
            return PrintExpected(market.catalogue(), expectedHost) ? 0 : 2;
        }
        if (!market.start(static_cast<int>(port))) {
            std::fprintf(stderr, "vantrel-demo-market: cannot listen on %s:%lld\n", options.host.c_str(), port);
            return 1;
        }
        std::printf("port %d\n", market.port());
        std::fflush(stdout);
        int signal = 0;
        sigwait(&stopSignals, &signal);
        market.stop();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "vantrel-demo-market: %s\n", e.what());
        return 1;
    }
    return 0;
}

// vantrel-demo-market in-process: the local HTTP server that plays the marketplace and the outside services.
// Every connection of the program is routed to it (libcurl CURLOPT_CONNECT_TO "::127.0.0.1:PORT", Chromium
// --host-resolver-rules); it answers by the Host header (any ":port" stripped) and the path. See demo/README.md.
#pragma once

#include <atomic>
#include <memory>
#include <string>

#include "Catalogue.h"

namespace vantrel::demo {

struct ServerOptions {
    Options catalogue;               // seed, items per shop, page size
    std::string host = "127.0.0.1";  // address to bind
    bool loginWall = false;          // shop search pages answer a login form until the visitor has the login cookie
    int securityCheckAfter = 0;      // 0: never; N: from the Nth sales or review request on, requests without the
                                     // pass cookie answer the security-check marker
    int latencyMs = 0;               // added before every answer
    bool verbose = false;            // one line per request on stderr
};

// Names of the cookies the demo sets (host-only flags are not used: the cookies carry Domain=.taobao.com etc.).
inline constexpr const char* kLoginCookie = "demo_login";    // value "1", set by /member/login.jhtml
inline constexpr const char* kPassCookie = "demo_sec_pass";  // value "1", set by the security-check form (/verify.do)

class DemoMarket {
public:
    explicit DemoMarket(ServerOptions options = {});
    ~DemoMarket();  // stops
    DemoMarket(const DemoMarket&) = delete;
    DemoMarket& operator=(const DemoMarket&) = delete;

    // Binds host:port (0 = a free port) and serves on a background thread; returns when it accepts connections.
    // false if it cannot bind.
    bool start(int port = 0);
    int port() const;  // the bound port (0 before start)
    void stop();       // idempotent

    const Catalogue& catalogue() const;
    const ServerOptions& options() const;

    // "::127.0.0.1:PORT" for CURLOPT_CONNECT_TO (pass it in a curl_slist).
    std::string connectTo() const;
    // Value for Chromium's --host-resolver-rules covering every host the program uses, e.g.
    // "MAP *taobao.com 127.0.0.1:PORT,MAP *tmall.com 127.0.0.1:PORT,MAP *tmall.hk 127.0.0.1:PORT,MAP *.invalid ...".
    std::string hostResolverRules() const;

    // Request counters (for tests): every request, and the sales+review requests the security check counts.
    long requestCount() const;
    long counterRequestCount() const;
    long securityChecksServed() const;  // answers that carried the security-check marker
    void resetCounters();               // all three to 0 (the check then starts counting again)

    // Switch the login wall / security check while running (tests).
    void setLoginWall(bool on);
    void setSecurityCheckAfter(int n);

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};

}  // namespace vantrel::demo

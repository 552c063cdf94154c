#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <set>
#include <thread>

#include "WebTestSupport.h"
#include "app/DataFolder.h"
#include "app/FileIO.h"
#include "web/CookieStore.h"
#include "web/WebRequest.h"
#include "web/WebSettings.h"

namespace vantrel::web {
namespace {

using webtest::HttpServer;
using webtest::RawServer;
using webtest::SendAll;
using webtest::TempDir;

constexpr const char* kUserAgent = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)";

class WebRequestTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetTransferLimits(TransferLimits{});
        SetMarketRoute("");
        ClearBrowserCookies();
    }
    void TearDown() override {
        SetTransferLimits(TransferLimits{});
        SetMarketRoute("");
    }
};

// Answers every request with the given raw response bytes.
RawServer::Handler Answer(std::string response) {
    return [response](int fd, const std::string&, const RawServer&) { SendAll(fd, response); };
}

std::string RequestLine(const std::string& head) {
    return head.substr(0, head.find("\r\n"));
}

TEST_F(WebRequestTest, EmptyAddressGivesEmptyBytesWithoutAnyConnection) {
    RawServer server(Answer("HTTP/1.0 200 OK\r\n\r\nhello"));
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(WebRequest(""), "");
    EXPECT_EQ(WebRequest("#only-a-fragment"), "");
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(50));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(server.connections(), 0);
}

TEST_F(WebRequestTest, SendsAnHttp10GetWithExactlyTheSpecifiedHeadersAndNoFragment) {
    RawServer server(Answer("HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello"));
    EXPECT_EQ(WebRequest(server.Url("/search.htm?q=1&p=2#part")), "hello");
    ASSERT_EQ(server.heads().size(), 1u);
    EXPECT_EQ(server.heads()[0],
              "GET /search.htm?q=1&p=2 HTTP/1.0\r\n"
              "Host: 127.0.0.1:" +
                  std::to_string(server.port()) +
                  "\r\n"
                  "User-Agent: " +
                  std::string(kUserAgent) +
                  "\r\n"
                  "Accept: */*\r\n\r\n");
}

TEST_F(WebRequestTest, GbkBytesAndPercentEscapesInTheQueryGoOnTheWireUnchanged) {
    RawServer server(Answer("HTTP/1.0 200 OK\r\n\r\nok"));
    // "你好" in GBK, a GBK-only character (0x81 0x40), an escape that must not be decoded, a dot segment.
    const std::string query = "/a/../search?q=\xC4\xE3\xBA\xC3&r=\x81\x40&s=%D6%D0&t=a+b";
    EXPECT_EQ(WebRequest(server.Url(query)), "ok");
    ASSERT_EQ(server.heads().size(), 1u);
    EXPECT_EQ(RequestLine(server.heads()[0]), "GET " + query + " HTTP/1.0");
}

TEST_F(WebRequestTest, ASpaceIsSentAsPercent20AsWinInetDoes) {
    RawServer server(Answer("HTTP/1.0 200 OK\r\n\r\nok"));
    EXPECT_EQ(WebRequest(server.Url("/s?q=a b")), "ok");
    ASSERT_EQ(server.heads().size(), 1u);
    EXPECT_EQ(RequestLine(server.heads()[0]), "GET /s?q=a%20b HTTP/1.0");
}

TEST_F(WebRequestTest, DefaultAndExplicitPortsAreUsed) {
    RawServer server([](int fd, const std::string& head, const RawServer&) {
        const std::size_t at = head.find("Host: ");
        SendAll(fd, "HTTP/1.0 200 OK\r\n\r\n" + head.substr(at + 6, head.find("\r\n", at) - at - 6));
    });
    const std::string port = std::to_string(server.port());
    TransferLimits limits;
    // Only connections to these exact host:port pairs reach the server: proves which port was asked for.
    limits.extraConnectTo = {"plain.example:80:127.0.0.1:" + port, "plain.example:8123:127.0.0.1:" + port};
    limits.connectTimeoutMs = 3000;
    SetTransferLimits(limits);
    EXPECT_EQ(WebRequest("http://plain.example/x"), "plain.example");
    EXPECT_EQ(WebRequest("http://plain.example:8123/x"), "plain.example:8123");
    EXPECT_EQ(WebRequest(server.Url("/x")), "127.0.0.1:" + port);
}

TEST_F(WebRequestTest, ErrorPagesComeBackWithTheirBody) {
    HttpServer server;
    server->Get("/missing", [](const httplib::Request&, httplib::Response& res) {
        res.status = 404;
        res.set_content("<html>404 page</html>", "text/html");
    });
    server->Get("/broken", [](const httplib::Request&, httplib::Response& res) {
        res.status = 500;
        res.set_content("<html>500 page</html>", "text/html");
    });
    ASSERT_TRUE(server.Start());
    EXPECT_EQ(WebRequest(server.Url("/missing")), "<html>404 page</html>");
    EXPECT_EQ(PageText(WebRequest(server.Url("/broken"))), "<html>500 page</html>");
}

TEST_F(WebRequestTest, BodyKeepsZeroBytesAndPageTextStopsAtTheFirst) {
    HttpServer server;
    server->Get("/z", [](const httplib::Request&, httplib::Response& res) {
        res.set_content(std::string("abc\0def\0", 8), "application/octet-stream");
    });
    ASSERT_TRUE(server.Start());
    const std::string body = WebRequest(server.Url("/z"));
    EXPECT_EQ(body, std::string("abc\0def\0", 8));
    EXPECT_EQ(PageText(body), "abc");
    EXPECT_EQ(PageText(""), "");
    EXPECT_EQ(PageText(std::string("\0x", 2)), "");
    EXPECT_EQ(PageText("\xC4\xE3\xBA\xC3"), "\xC4\xE3\xBA\xC3");
}

TEST_F(WebRequestTest, RedirectIsFollowedAndACookieSetOnTheWayIsStored) {
    HttpServer server;
    server->Get("/start", [](const httplib::Request&, httplib::Response& res) {
        res.set_header("Set-Cookie", "hop=1; Path=/");
        res.set_content("redirecting", "text/plain");
        res.status = 302;
        res.set_header("Location", "/final");
    });
    server->Get("/final", [](const httplib::Request& req, httplib::Response& res) {
        res.set_content("final:" + req.get_header_value("Cookie"), "text/plain");
    });
    ASSERT_TRUE(server.Start());
    EXPECT_EQ(WebRequest(server.Url("/start")), "final:hop=1");
    const std::vector<Cookie> cookies = ListCookies();
    ASSERT_EQ(cookies.size(), 1u);
    EXPECT_EQ(cookies[0].name, "hop");
    EXPECT_EQ(cookies[0].value, "1");
    EXPECT_EQ(cookies[0].domain, "127.0.0.1");
    EXPECT_TRUE(cookies[0].hostOnly);
}

TEST_F(WebRequestTest, RedirectToAnotherSchemeIsRefusedWithEmptyBytes) {
    HttpServer server;
    server->Get("/to-file", [](const httplib::Request&, httplib::Response& res) {
        res.set_content("moved", "text/plain");
        res.status = 302;
        res.set_header("Location", "file:///etc/passwd");
    });
    server->Get("/to-ftp", [&](const httplib::Request&, httplib::Response& res) {
        res.set_content("moved", "text/plain");
        res.status = 301;
        res.set_header("Location", "ftp://127.0.0.1:" + std::to_string(server.port()) + "/");
    });
    ASSERT_TRUE(server.Start());
    EXPECT_EQ(WebRequest(server.Url("/to-file")), "");
    EXPECT_EQ(WebRequest(server.Url("/to-ftp")), "");
    EXPECT_EQ(WebRequest("file:///etc/passwd"), "");
    EXPECT_EQ(WebRequest("ftp://127.0.0.1:" + std::to_string(server.port()) + "/"), "");
    EXPECT_EQ(WebRequest("not an address"), "");
}

TEST_F(WebRequestTest, EndlessRedirectLoopStops) {
    HttpServer server;
    std::atomic<int> hits{0};
    server->Get("/loop", [&](const httplib::Request&, httplib::Response& res) {
        ++hits;
        res.status = 302;
        res.set_header("Location", "/loop");
    });
    ASSERT_TRUE(server.Start());
    EXPECT_EQ(WebRequest(server.Url("/loop")), "");
    EXPECT_EQ(hits.load(), 11);  // the first request and 10 redirects
}

TEST_F(WebRequestTest, ABodyOverTheCapGivesEmptyBytes) {
    TransferLimits limits;
    limits.maxBodyBytes = 1 << 20;
    SetTransferLimits(limits);
    HttpServer server;
    server->Get("/big", [](const httplib::Request&, httplib::Response& res) {
        res.set_content(std::string(2 << 20, 'x'), "text/plain");
    });
    server->Get("/big-unknown-length", [](const httplib::Request&, httplib::Response& res) {
        res.set_chunked_content_provider("text/plain", [](std::size_t, httplib::DataSink& sink) {
            const std::string chunk(64 << 10, 'y');
            for (int i = 0; i < 32; ++i) {
                if (!sink.write(chunk.data(), chunk.size())) {
                    return false;
                }
            }
            sink.done();
            return true;
        });
    });
    server->Get("/exact", [](const httplib::Request&, httplib::Response& res) {
        res.set_content(std::string(1 << 20, 'z'), "text/plain");
    });
    ASSERT_TRUE(server.Start());
    EXPECT_EQ(WebRequest(server.Url("/big")), "");
    EXPECT_EQ(WebRequest(server.Url("/big-unknown-length")), "");
    EXPECT_EQ(WebRequest(server.Url("/exact")).size(), std::size_t{1} << 20);
}

TEST_F(WebRequestTest, ASlowDripIsAbandonedWithTheBytesSoFar) {
    TransferLimits limits;
    limits.lowSpeedSeconds = 1;
    SetTransferLimits(limits);
    RawServer server([](int fd, const std::string&, const RawServer& s) {
        SendAll(fd, "HTTP/1.0 200 OK\r\nContent-Length: 100\r\n\r\nab");
        while (s.Pause(3000)) {
            SendAll(fd, "c");
        }
    });
    const auto started = std::chrono::steady_clock::now();
    const std::string body = WebRequest(server.Url("/drip"));
    const auto took = std::chrono::steady_clock::now() - started;
    EXPECT_EQ(body.substr(0, 2), "ab");
    EXPECT_LE(body.size(), 4u);
    EXPECT_LT(took, std::chrono::seconds(8));
}

TEST_F(WebRequestTest, ASilentServerIsAbandoned) {
    TransferLimits limits;
    limits.lowSpeedSeconds = 1;
    SetTransferLimits(limits);
    RawServer server([](int, const std::string&, const RawServer& s) { s.Pause(10000); });
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(WebRequest(server.Url("/silent")), "");
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(6));
}

TEST_F(WebRequestTest, AConnectionResetMidBodyGivesTheBytesSoFar) {
    const std::string part(5000, 'p');
    RawServer server([&](int fd, const std::string&, const RawServer& s) {
        SendAll(fd, "HTTP/1.0 200 OK\r\nContent-Length: 100000\r\n\r\n" + part);
        s.Pause(300);  // let the client read what was sent before the reset
        webtest::ResetConnection(fd);
    });
    EXPECT_EQ(WebRequest(server.Url("/reset")), part);
}

TEST_F(WebRequestTest, AConnectionClosedEarlyGivesTheBytesSoFar) {
    RawServer server(Answer("HTTP/1.0 200 OK\r\nContent-Length: 100\r\n\r\nshort"));
    EXPECT_EQ(WebRequest(server.Url("/short")), "short");
}

TEST_F(WebRequestTest, NoServerGivesEmptyBytes) {
    int port = 0;
    {
        RawServer gone(Answer(""));
        port = gone.port();
    }
    TransferLimits limits;
    limits.connectTimeoutMs = 2000;
    SetTransferLimits(limits);
    EXPECT_EQ(WebRequest("http://127.0.0.1:" + std::to_string(port) + "/"), "");
    EXPECT_EQ(WebRequest("http://no-such-host.invalid/"), "");
}

TEST_F(WebRequestTest, ProxyEnvironmentIsIgnored) {
    HttpServer server;
    server->Get("/direct",
                [](const httplib::Request&, httplib::Response& res) { res.set_content("direct", "text/plain"); });
    ASSERT_TRUE(server.Start());
    const char* names[] = {"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"};
    for (const char* name : names) {
        ::setenv(name, "http://127.0.0.1:9", 1);  // nothing listens on the discard port
    }
    const std::string body = WebRequest(server.Url("/direct"));
    for (const char* name : names) {
        ::unsetenv(name);
    }
    EXPECT_EQ(body, "direct");
}

TEST_F(WebRequestTest, ConcurrentRequestsFromEightThreads) {
    HttpServer server;
    server->Get(R"(/t/(\d+)/(\d+))", [](const httplib::Request& req, httplib::Response& res) {
        const std::string t = req.matches[1];
        const std::string j = req.matches[2];
        res.set_header("Set-Cookie", "t" + t + "=" + j + "; Path=/");
        res.set_content("body-" + t + "-" + j + "-" + std::string(2000, static_cast<char>('a' + std::stoi(t))),
                        "text/plain");
    });
    ASSERT_TRUE(server.Start());
    constexpr int kThreads = 8;
    constexpr int kEach = 40;
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int j = 0; j < kEach; ++j) {
                const std::string suffix = std::to_string(t) + "-" + std::to_string(j);
                const std::string body = WebRequest(server.Url("/t/" + std::to_string(t) + "/" + std::to_string(j)));
                if (body != "body-" + suffix + "-" + std::string(2000, static_cast<char>('a' + t))) {
                    ++wrong;
                }
            }
        });
    }
    for (auto& th : threads) {
        th.join();
    }
    EXPECT_EQ(wrong.load(), 0);
    std::set<std::string> seen;
    for (const Cookie& c : ListCookies()) {
        seen.insert(c.name + "=" + c.value);
    }
    for (int t = 0; t < kThreads; ++t) {
        EXPECT_TRUE(seen.count("t" + std::to_string(t) + "=" + std::to_string(kEach - 1))) << t;
    }
}

TEST_F(WebRequestTest, CookiesAreSentAfterAServerSetThemAndNoneAfterClearing) {
    HttpServer server;
    server->Get("/set", [](const httplib::Request&, httplib::Response& res) {
        res.set_header("Set-Cookie", "keep=1; Max-Age=3600; Path=/");
        res.headers.emplace("Set-Cookie", "sess=2; Path=/");
        res.set_content("set", "text/plain");
    });
    server->Get("/echo", [](const httplib::Request& req, httplib::Response& res) {
        res.set_content(req.get_header_value("Cookie"), "text/plain");
    });
    ASSERT_TRUE(server.Start());
    EXPECT_EQ(WebRequest(server.Url("/echo")), "");
    EXPECT_EQ(WebRequest(server.Url("/set")), "set");
    const std::string sent = WebRequest(server.Url("/echo"));
    EXPECT_NE(sent.find("keep=1"), std::string::npos) << sent;
    EXPECT_NE(sent.find("sess=2"), std::string::npos) << sent;
    EXPECT_NE(ReadWholeFile(CookieStoreFile()).value_or("").find("\tkeep\t1"), std::string::npos);

    ClearBrowserCache();
    ClearBrowserCookies();
    EXPECT_EQ(WebRequest(server.Url("/echo")), "");
    EXPECT_TRUE(ListCookies().empty());
    EXPECT_EQ(ReadWholeFile(CookieStoreFile()).value_or("").find("keep"), std::string::npos);

    EXPECT_EQ(WebRequest(server.Url("/set")), "set");  // a server may set new ones afterwards
    EXPECT_NE(WebRequest(server.Url("/echo")).find("keep=1"), std::string::npos);
}

TEST_F(WebRequestTest, MarketRouteSendsEveryConnectionToOneServerKeepingHostAndCookies) {
    HttpServer server;
    server->Get("/login", [](const httplib::Request&, httplib::Response& res) {
        res.set_header("Set-Cookie", "tb=on; Domain=.taobao.com; Path=/");
        res.set_content("logged in", "text/plain");
    });
    server->Get("/echo", [](const httplib::Request& req, httplib::Response& res) {
        res.set_content(req.get_header_value("Host") + "|" + req.get_header_value("Cookie"), "text/plain");
    });
    ASSERT_TRUE(server.Start());
    const std::string market = "http://127.0.0.1:" + std::to_string(server.port());
    ASSERT_TRUE(SetMarketRoute(market));
    EXPECT_EQ(MarketRoute(), market);
    EXPECT_EQ(MarketRouteTarget(), "127.0.0.1:" + std::to_string(server.port()));
    EXPECT_EQ(WebRequest("http://shop.taobao.com/login"), "logged in");
    EXPECT_EQ(WebRequest("http://item.taobao.com/echo?id=1"), "item.taobao.com|tb=on");
    EXPECT_EQ(WebRequest("http://detail.tmall.com/echo"), "detail.tmall.com|");
    EXPECT_EQ(WebRequest("http://item.taobao.com:8080/echo"), "item.taobao.com:8080|tb=on");

    EXPECT_FALSE(SetMarketRoute("ftp://127.0.0.1:21"));
    EXPECT_FALSE(SetMarketRoute("127.0.0.1:8080"));
    EXPECT_EQ(MarketRoute(), market);  // a refused route leaves the old one
    ASSERT_TRUE(SetMarketRoute(""));
    EXPECT_EQ(MarketRouteTarget(), "");
    ASSERT_TRUE(SetMarketRoute("https://[::1]"));
    EXPECT_EQ(MarketRouteTarget(), "[::1]:443");
    ASSERT_TRUE(SetMarketRoute(""));
}

class HttpsTest : public WebRequestTest {
protected:
    void SetUp() override {
        WebRequestTest::SetUp();
        ASSERT_TRUE(webtest::MakeCertificates(certs_.path())) << "openssl command line needed";
        server_ = std::make_unique<HttpServer>((certs_.path() / "server.pem").string(),
                                               (certs_.path() / "server.key").string());
        (*server_)->Get("/secure", [](const httplib::Request& req, httplib::Response& res) {
            res.set_content("secure:" + req.get_header_value("Host"), "text/plain");
        });
        ASSERT_TRUE(server_->Start());
    }
    std::string Url(const std::string& path) const {
        return "https://127.0.0.1:" + std::to_string(server_->port()) + path;
    }
    TempDir certs_;
    std::unique_ptr<HttpServer> server_;
};

TEST_F(HttpsTest, AnUntrustedCertificateIsRefused) {
    EXPECT_EQ(WebRequest(Url("/secure")), "");
}

TEST_F(HttpsTest, ACertificateOfATrustedCaIsAccepted) {
    TransferLimits limits;
    limits.extraCaFile = (certs_.path() / "ca.pem").string();
    SetTransferLimits(limits);
    EXPECT_EQ(WebRequest(Url("/secure")), "secure:127.0.0.1:" + std::to_string(server_->port()));
}

TEST_F(HttpsTest, HttpsUsesPort443UnlessTheAddressNamesOne) {
    TransferLimits limits;
    limits.extraCaFile = (certs_.path() / "ca.pem").string();
    limits.extraConnectTo = {"shop.example:443:127.0.0.1:" + std::to_string(server_->port())};
    limits.connectTimeoutMs = 3000;
    SetTransferLimits(limits);
    EXPECT_EQ(WebRequest("https://shop.example/secure"), "secure:shop.example");
    EXPECT_EQ(WebRequest("https://wrong.example/secure"), "");  // certificate is not for that name

    ASSERT_TRUE(SetMarketRoute("https://127.0.0.1:" + std::to_string(server_->port())));
    limits.extraConnectTo.clear();
    SetTransferLimits(limits);
    EXPECT_EQ(WebRequest("https://shop.example:8443/secure"), "secure:shop.example:8443");
}

TEST_F(WebRequestTest, ClearBrowserCacheEmptiesTheCacheFolderButKeepsItsFolders) {
    const std::filesystem::path cache = BrowserCacheFolder();
    EXPECT_EQ(cache, DataFolder() / "browser" / "cache");
    std::filesystem::create_directories(cache / "Cache_Data" / "deep");
    ASSERT_TRUE(WriteFileAtomic(cache / "index", "x"));
    ASSERT_TRUE(WriteFileAtomic(cache / "Cache_Data" / "data_0", "y"));
    ASSERT_TRUE(WriteFileAtomic(cache / "Cache_Data" / "deep" / "f_000001", "z"));
    int hookCalls = 0;
    SetBrowserCacheClearHook([&] { ++hookCalls; });
    ClearBrowserCache();
    SetBrowserCacheClearHook({});
    EXPECT_EQ(hookCalls, 1);
    EXPECT_TRUE(std::filesystem::is_directory(cache / "Cache_Data" / "deep"));
    int files = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(cache)) {
        files += entry.is_directory() ? 0 : 1;
    }
    EXPECT_EQ(files, 0);
    std::filesystem::remove_all(cache);
    ClearBrowserCache();  // a missing folder is no error
}

TEST_F(WebRequestTest, DefaultFetcherCallsWebRequest) {
    HttpServer server;
    server->Get("/f",
                [](const httplib::Request&, httplib::Response& res) { res.set_content("fetched", "text/plain"); });
    ASSERT_TRUE(server.Start());
    EXPECT_EQ(DefaultFetcher()(server.Url("/f")), "fetched");
    EXPECT_EQ(DefaultFetcher()(""), "");
}

}  // namespace
}  // namespace vantrel::web

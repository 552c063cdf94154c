#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <thread>

#include "WebTestSupport.h"
#include "app/FileIO.h"
#include "web/CookieStore.h"
#include "web/WebRequest.h"
#include "web/WebSettings.h"

namespace vantrel::web {
namespace {

using webtest::HttpServer;
using webtest::TempDir;

std::int64_t InAnHour() {
    return static_cast<std::int64_t>(std::time(nullptr)) + 3600;
}

Cookie Make(std::string name, std::string value, std::string domain, bool hostOnly = true, std::string path = "/",
            std::int64_t expiry = 0) {
    Cookie c;
    c.name = std::move(name);
    c.value = std::move(value);
    c.domain = std::move(domain);
    c.hostOnly = hostOnly;
    c.path = std::move(path);
    c.expiry = expiry;
    return c;
}

// Collects the events of the store while alive.
class Recorder {
public:
    Recorder()
        : id_(AddCookieListener([this](const CookieEvent& e) {
              std::lock_guard<std::mutex> l(lock_);
              events_.push_back(e);
          })) {}
    ~Recorder() { RemoveCookieListener(id_); }
    std::vector<CookieEvent> Take() {
        std::lock_guard<std::mutex> l(lock_);
        return std::exchange(events_, {});
    }

private:
    std::mutex lock_;
    std::vector<CookieEvent> events_;
    int id_;
};

class CookieStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetTransferLimits(TransferLimits{});
        SetMarketRoute("");
        ClearBrowserCookies();
    }
};

TEST(CookieLine, RoundTripsEveryField) {
    Cookie c = Make("_tb_token_", "a b=c", "taobao.com", false, "/x", 1999999999);
    c.secure = true;
    c.httpOnly = true;
    const std::string line = CookieToNetscapeLine(c);
    EXPECT_EQ(line, "#HttpOnly_.taobao.com\tTRUE\t/x\tTRUE\t1999999999\t_tb_token_\ta b=c");
    Cookie back;
    ASSERT_TRUE(CookieFromNetscapeLine(line, back));
    EXPECT_EQ(back, c);

    const Cookie host = Make("n", "", "127.0.0.1");
    EXPECT_EQ(CookieToNetscapeLine(host), "127.0.0.1\tFALSE\t/\tFALSE\t0\tn\t");
    ASSERT_TRUE(CookieFromNetscapeLine(CookieToNetscapeLine(host) + "\r\n", back));
    EXPECT_EQ(back, host);
    ASSERT_TRUE(CookieFromNetscapeLine("127.0.0.1\tFALSE\t/\tFALSE\t0\tn", back));  // blank value, tab dropped
    EXPECT_EQ(back, host);
}

TEST(CookieLine, RefusesCommentsAndBrokenLines) {
    Cookie c;
    EXPECT_FALSE(CookieFromNetscapeLine("# Netscape HTTP Cookie File", c));
    EXPECT_FALSE(CookieFromNetscapeLine("", c));
    EXPECT_FALSE(CookieFromNetscapeLine("a\tFALSE\t/\tFALSE\tsoon\tn\tv", c));
    EXPECT_FALSE(CookieFromNetscapeLine("a\tFALSE\t/\tFALSE\t0", c));
    EXPECT_FALSE(CookieFromNetscapeLine("a\tFALSE\t/\tFALSE\t0\t\tv", c));  // no name
}

TEST_F(CookieStoreTest, SetListRemoveAndTheirEventsWithOrigins) {
    Recorder rec;
    const Cookie login = Make("login", "yes", "Shop.Taobao.com");
    EXPECT_TRUE(SetCookie(login, CookieOrigin::Browser));
    EXPECT_FALSE(SetCookie(login, CookieOrigin::Browser));  // identical: no change, no event
    std::vector<Cookie> all = ListCookies();
    ASSERT_EQ(all.size(), 1u);
    EXPECT_EQ(all[0].domain, "shop.taobao.com");

    Cookie changed = all[0];
    changed.value = "again";
    EXPECT_TRUE(SetCookie(changed));
    EXPECT_TRUE(RemoveCookie(Make("login", "", "shop.taobao.com"), CookieOrigin::Browser));
    EXPECT_FALSE(RemoveCookie(Make("login", "", "shop.taobao.com")));
    EXPECT_TRUE(ListCookies().empty());

    const std::vector<CookieEvent> events = rec.Take();
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0].change, CookieChange::Added);
    EXPECT_EQ(events[0].origin, CookieOrigin::Browser);
    EXPECT_EQ(events[0].cookie.value, "yes");
    EXPECT_EQ(events[1].change, CookieChange::Added);
    EXPECT_EQ(events[1].origin, CookieOrigin::Program);
    EXPECT_EQ(events[1].cookie.value, "again");
    EXPECT_EQ(events[2].change, CookieChange::Removed);
    EXPECT_EQ(events[2].origin, CookieOrigin::Browser);
    EXPECT_EQ(events[2].cookie.name, "login");

    ClearBrowserCookies();
    const std::vector<CookieEvent> cleared = rec.Take();
    ASSERT_EQ(cleared.size(), 1u);
    EXPECT_EQ(cleared[0].change, CookieChange::Cleared);
}

TEST_F(CookieStoreTest, KeysSeparateHostOnlyDomainAndPath) {
    EXPECT_TRUE(SetCookie(Make("k", "host", "a.example")));
    EXPECT_TRUE(SetCookie(Make("k", "domain", "a.example", false)));
    EXPECT_TRUE(SetCookie(Make("k", "path", "a.example", true, "/p")));
    EXPECT_EQ(ListCookies().size(), 3u);
    EXPECT_TRUE(RemoveCookie(Make("k", "", ".a.example")));  // a leading dot means a domain cookie
    const std::vector<Cookie> left = ListCookies();
    ASSERT_EQ(left.size(), 2u);
    for (const Cookie& c : left) {
        EXPECT_NE(c.value, "domain");
    }
}

TEST_F(CookieStoreTest, RefusesCookiesThatCannotBeStored) {
    EXPECT_FALSE(SetCookie(Make("", "v", "a.example")));
    EXPECT_FALSE(SetCookie(Make("n", "v", "")));
    EXPECT_FALSE(SetCookie(Make("n", "v\tw", "a.example")));
    EXPECT_FALSE(SetCookie(Make("n", "v\nw", "a.example")));
    EXPECT_TRUE(ListCookies().empty());
}

TEST_F(CookieStoreTest, AnExpiredCookieRemovesTheStoredOne) {
    EXPECT_TRUE(SetCookie(Make("gone", "1", "a.example", true, "/", InAnHour())));
    EXPECT_TRUE(SetCookie(Make("gone", "1", "a.example", true, "/", 1000)));
    EXPECT_TRUE(ListCookies().empty());
}

TEST_F(CookieStoreTest, CookiesForUrlFollowDomainPathAndSecureRules) {
    Cookie secure = Make("s", "1", "example.com", false);
    secure.secure = true;
    ASSERT_TRUE(SetCookie(secure));
    ASSERT_TRUE(SetCookie(Make("d", "1", "example.com", false)));
    ASSERT_TRUE(SetCookie(Make("h", "1", "example.com")));
    ASSERT_TRUE(SetCookie(Make("p", "1", "shop.example.com", true, "/a")));
    auto names = [](std::string_view url) {
        std::string out;
        for (const Cookie& c : CookiesForUrl(url)) {
            out += c.name;
        }
        return out;
    };
    EXPECT_EQ(names("http://example.com/"), "dh");
    EXPECT_EQ(names("https://example.com/x"), "dhs");
    EXPECT_EQ(names("http://shop.example.com/a/b?x=1#f"), "pd");
    EXPECT_EQ(names("http://shop.example.com/ab"), "d");
    EXPECT_EQ(names("http://shop.example.com/a"), "pd");
    EXPECT_EQ(names("http://badexample.com/"), "");
    EXPECT_EQ(names("ftp://example.com/"), "");
    EXPECT_EQ(names(""), "");
    const std::vector<Cookie> https = CookiesForUrl("https://example.com/");
    EXPECT_EQ(https.size(), 3u);
}

TEST_F(CookieStoreTest, ACookieOfTheBrowserIsSentByWebRequestAndServerChangesAreTold) {
    HttpServer server;
    server->Get("/echo", [](const httplib::Request& req, httplib::Response& res) {
        res.set_content(req.get_header_value("Cookie"), "text/plain");
    });
    server->Get("/logout", [](const httplib::Request&, httplib::Response& res) {
        res.set_header("Set-Cookie", "login=; Max-Age=0; Path=/");
        res.headers.emplace("Set-Cookie", "seen=1; Path=/");
        res.set_content("bye", "text/plain");
    });
    ASSERT_TRUE(server.Start());
    Recorder rec;
    ASSERT_TRUE(SetCookie(Make("login", "u1", "127.0.0.1"), CookieOrigin::Browser));
    EXPECT_EQ(WebRequest(server.Url("/echo")), "login=u1");
    EXPECT_EQ(WebRequest(server.Url("/logout")), "bye");
    EXPECT_EQ(WebRequest(server.Url("/echo")), "seen=1");

    const std::vector<CookieEvent> events = rec.Take();
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0].origin, CookieOrigin::Browser);
    EXPECT_EQ(events[1].origin, CookieOrigin::Server);
    EXPECT_EQ(events[2].origin, CookieOrigin::Server);
    int removed = 0;
    int added = 0;
    for (int i = 1; i < 3; ++i) {
        removed += events[i].change == CookieChange::Removed && events[i].cookie.name == "login";
        added += events[i].change == CookieChange::Added && events[i].cookie.name == "seen";
    }
    EXPECT_EQ(removed, 1);
    EXPECT_EQ(added, 1);
}

TEST_F(CookieStoreTest, OnlyPersistentCookiesAreWrittenAndTheFileFollowsEveryChange) {
    ASSERT_TRUE(SetCookie(Make("session", "1", "a.example")));
    ASSERT_TRUE(SetCookie(Make("kept", "1", "a.example", false, "/", InAnHour())));
    std::string file = ReadWholeFile(CookieStoreFile()).value_or("");
    EXPECT_EQ(file.rfind("# Netscape HTTP Cookie File\n", 0), 0u);
    EXPECT_NE(file.find(".a.example\tTRUE\t/\tFALSE\t" + std::to_string(InAnHour()).substr(0, 5)), std::string::npos);
    EXPECT_EQ(file.find("session"), std::string::npos);

    ASSERT_TRUE(RemoveCookie(Make("kept", "", "a.example", false)));
    file = ReadWholeFile(CookieStoreFile()).value_or("");
    EXPECT_EQ(file.find("kept"), std::string::npos);
    EXPECT_EQ(ListCookies().size(), 1u);  // the session cookie is still there
}

TEST_F(CookieStoreTest, AListenerMayUseTheStoreAndStopsHearingOnceRemoved) {
    std::vector<std::string> seen;
    int id = AddCookieListener([&](const CookieEvent& e) {
        seen.push_back(e.cookie.name);
        if (e.cookie.name == "first") {
            SetCookie(Make("second", "1", "a.example"));  // nested change: told after this call returns
            EXPECT_EQ(ListCookies().size(), 2u);
        }
    });
    ASSERT_NE(id, 0);
    SetCookie(Make("first", "1", "a.example"));
    EXPECT_EQ(seen, (std::vector<std::string>{"first", "second"}));
    RemoveCookieListener(id);
    SetCookie(Make("third", "1", "a.example"));
    EXPECT_EQ(seen.size(), 2u);
}

TEST_F(CookieStoreTest, ConcurrentChangesFromManyThreadsAreAllToldInOrder) {
    std::mutex lock;
    std::map<std::string, std::string> mirror;  // what a mirror (the browser) ends up with
    int id = AddCookieListener([&](const CookieEvent& e) {
        std::lock_guard<std::mutex> l(lock);
        if (e.change == CookieChange::Added) {
            mirror[e.cookie.name] = e.cookie.value;
        } else if (e.change == CookieChange::Removed) {
            mirror.erase(e.cookie.name);
        }
    });
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([t] {
            for (int j = 0; j < 50; ++j) {
                SetCookie(Make("c" + std::to_string(j % 10), std::to_string(t * 100 + j), "a.example"),
                          CookieOrigin::Browser);
                if (j % 7 == 0) {
                    RemoveCookie(Make("c" + std::to_string((j + 3) % 10), "", "a.example"));
                }
            }
        });
    }
    for (auto& th : threads) {
        th.join();
    }
    RemoveCookieListener(id);
    std::map<std::string, std::string> store;
    for (const Cookie& c : ListCookies()) {
        store[c.name] = c.value;
    }
    EXPECT_EQ(mirror, store);
}

// Runs the helper program; returns its output.
std::string RunTool(const std::vector<std::string>& args) {
    std::string command = VANTREL_WEB_COOKIE_TOOL;
    for (const std::string& a : args) {
        command += " '" + a + "'";
    }
    std::string out;
    if (FILE* p = ::popen(command.c_str(), "r")) {
        char buf[4096];
        std::size_t n = 0;
        while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) {
            out.append(buf, n);
        }
        ::pclose(p);
    }
    return out;
}

TEST_F(CookieStoreTest, PersistentCookiesOutliveAProcessThatCrashesInALaterRequest) {
    HttpServer server;
    std::atomic<bool> hanging{false};
    std::atomic<bool> release{false};
    server->Get("/login", [](const httplib::Request&, httplib::Response& res) {
        res.set_header("Set-Cookie", "member=gold; Max-Age=86400; Domain=.taobao.com; Path=/");
        res.headers.emplace("Set-Cookie", "visit=1; Path=/");
        res.set_content("welcome", "text/plain");
    });
    server->Get("/hang", [&](const httplib::Request&, httplib::Response& res) {
        hanging = true;
        for (int i = 0; i < 1000 && !release; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        res.set_content("late", "text/plain");
    });
    server->Get("/echo", [](const httplib::Request& req, httplib::Response& res) {
        res.set_content("cookie:" + req.get_header_value("Cookie"), "text/plain");
    });
    ASSERT_TRUE(server.Start());
    TempDir data;
    const std::string market = "http://127.0.0.1:" + std::to_string(server.port());

    // First process: logs in, then hangs in its next request and is killed there.
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        const int devnull = ::open("/dev/null", O_WRONLY);
        ::dup2(devnull, 1);
        ::execl(VANTREL_WEB_COOKIE_TOOL, VANTREL_WEB_COOKIE_TOOL, "--data-dir", data.path().c_str(), "--market",
                market.c_str(), "http://shop.taobao.com/login", "http://shop.taobao.com/hang", nullptr);
        ::_exit(127);
    }
    for (int i = 0; i < 1000 && !hanging; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_TRUE(hanging.load());
    ::kill(pid, SIGKILL);
    int status = 0;
    ::waitpid(pid, &status, 0);
    release = true;
    EXPECT_TRUE(WIFSIGNALED(status));

    // Second process: sends the persistent cookie read from the file, not the session one.
    const std::string out =
        RunTool({"--data-dir=" + data.path().string(), "--market=" + market, "http://item.taobao.com/echo"});
    EXPECT_EQ(out, "cookie:member=gold\n--\n");
}

}  // namespace
}  // namespace vantrel::web

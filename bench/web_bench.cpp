// Loopback GETs per second through WebRequest against a local cpp-httplib server, next to the same number of
// GETs made with a bare libcurl handle (fresh handle and connection each, HTTP/1.0), in the same run.
// The ratio is the cost of our layer: settings snapshot, cookie share, options, the body cap.
//   web_bench [REQUESTS]   (default 2000 of each kind)
#include <curl/curl.h>
#include <httplib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "app/DataFolder.h"
#include "web/WebRequest.h"

namespace {

using Clock = std::chrono::steady_clock;

std::size_t Collect(char* data, std::size_t size, std::size_t count, void* userdata) {
    static_cast<std::string*>(userdata)->append(data, size * count);
    return size * count;
}

std::string BareGet(const std::string& url) {
    std::string body;
    CURL* h = curl_easy_init();
    curl_easy_setopt(h, CURLOPT_URL, url.c_str());
    curl_easy_setopt(h, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_0));
    curl_easy_setopt(h, CURLOPT_FORBID_REUSE, 1L);
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(h, CURLOPT_PROXY, "");
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, Collect);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &body);
    curl_easy_perform(h);
    curl_easy_cleanup(h);
    return body;
}

struct Samples {
    std::vector<double> micros;
    int bad = 0;
    double Median() {
        std::sort(micros.begin(), micros.end());
        return micros.empty() ? 0 : micros[micros.size() / 2];
    }
    double Total() const {
        double sum = 0;
        for (double m : micros) {
            sum += m;
        }
        return sum;
    }
};

template <typename Get>
void TimeOne(Samples& samples, const std::string& url, std::size_t expectSize, Get get) {
    const auto start = Clock::now();
    const std::size_t size = get(url).size();
    samples.micros.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
    samples.bad += size != expectSize;
}

}  // namespace

int main(int argc, char** argv) {
    const int requests = argc > 1 ? std::max(10, std::atoi(argv[1])) : 2000;
    const std::filesystem::path data =
        std::filesystem::temp_directory_path() / ("vantrel-web-bench-" + std::to_string(::getpid()));
    vantrel::SetDataFolder(data);

    const std::string page(1024, 'x');
    httplib::Server server;
    server.set_tcp_nodelay(true);
    server.Get("/page", [&](const httplib::Request&, httplib::Response& res) { res.set_content(page, "text/html"); });
    server.Get("/cookie", [&](const httplib::Request&, httplib::Response& res) {
        res.set_header("Set-Cookie", "visit=" + std::to_string(Clock::now().time_since_epoch().count()) + "; Path=/");
        res.set_content(page, "text/html");
    });
    const int port = server.bind_to_any_port("127.0.0.1");
    std::thread listener([&] { server.listen_after_bind(); });
    while (!server.is_running()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    const std::string base = "http://127.0.0.1:" + std::to_string(port);
    const std::string url = base + "/page";
    const std::string cookieUrl = base + "/cookie";

    auto ours = [](const std::string& u) { return vantrel::web::WebRequest(u); };
    Samples warm;
    for (int i = 0; i < 50; ++i) {  // creates the client, warms caches
        TimeOne(warm, url, page.size(), ours);
        TimeOne(warm, url, page.size(), BareGet);
    }

    // One of each kind in turn, each timed by itself, so that drift of the machine hits all kinds alike;
    // medians keep the odd stall of a busy machine out of the comparison.
    Samples bare;
    Samples plain;
    Samples cookie;
    for (int i = 0; i < requests; ++i) {
        TimeOne(bare, url, page.size(), BareGet);
        TimeOne(plain, url, page.size(), ours);
        TimeOne(cookie, cookieUrl, page.size(), ours);
    }
    auto line = [&](const char* name, Samples& s) {
        std::printf("  %-30s %8.0f GET/s   median %6.1f us   mean %6.1f us\n", name, requests * 1e6 / s.Total(),
                    s.Median(), s.Total() / requests);
    };
    std::printf("loopback GET, 1 KiB body, fresh HTTP/1.0 connection each, %d requests of each kind\n", requests);
    line("bare libcurl handle", bare);
    line("WebRequest", plain);
    line("WebRequest, Set-Cookie each", cookie);
    const double ratio = plain.Median() / bare.Median();
    std::printf("  ratio WebRequest/bare (medians) %6.2f   (overhead %+.1f us/GET)\n", ratio,
                plain.Median() - bare.Median());
    const int bad = bare.bad + plain.bad + cookie.bad + warm.bad;
    if (bad != 0) {
        std::printf("  %d requests gave a wrong body\n", bad);
    }

    server.stop();
    listener.join();
    std::error_code ec;
    std::filesystem::remove_all(data, ec);
    return bad == 0 ? 0 : 1;
}

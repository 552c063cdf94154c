// Figures of a shop run against the demo marketplace (printed, not judged):
//  1. per-item analysis time of 500 Taobao items against the pacing floor (the analyser's own pauses plus one
//     measured loopback round trip per request); goal: ratio <= 1.10;
//  2. the asynchronous crawl of a 10,000-item, 250-page shop: CPU time, peak memory and the cost per page of
//     the first and the last 50 pages (it must not grow with the list);
//  3. peak memory of a 10,000-row result table.
// Each figure is measured in a child process of its own, so peak memory belongs to that work alone. The demo
// marketplace runs as a separate process (build/demo/vantrel-demo-market, or $VANTREL_DEMO_MARKET).
//
// The pauses are real sleeps: on a loaded machine every wake-up comes late, which shows in the ratio; the
// figure "late each" tells how much.
//
// usage: crawl_bench [--demo PATH] [--items N]
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <numeric>
#include <string>
#include <vector>

#include "analysis/ItemAnalysers.h"
#include "analysis/ResultTable.h"
#include "run/HeadlessRun.h"
#include "run/RunController.h"
#include "web/Encoding.h"
#include "web/WebRequest.h"
#include "web/WebSettings.h"

extern char** environ;

namespace {

using namespace vantrel;
using Clock = std::chrono::steady_clock;

constexpr int kShopItems = 10000;
constexpr int kPageSize = 40;  // 10,000 items on 250 pages
constexpr int kAnalysedItems = 500;
constexpr const char* kTaobaoAsyncShop = "http://asyn-shop.taobao.com";

double CpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

double Seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

long PeakRssKb() {
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    return ru.ru_maxrss;
}

long CurrentRssKb() {
    FILE* f = std::fopen("/proc/self/statm", "r");
    long pages = 0;
    long resident = 0;
    if (f != nullptr) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) {
            resident = 0;
        }
        std::fclose(f);
    }
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

// The demo marketplace as a child process; its first line on stdout names the port.
struct DemoServer {
    pid_t pid = -1;
    int port = 0;

    bool Start(const std::string& path, std::vector<std::string> args) {
        int out[2];
        if (pipe(out) != 0) {
            return false;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        args.insert(args.begin(), path);
        std::vector<char*> argv;
        for (auto& a : args) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        const int rc = posix_spawn(&pid, path.c_str(), &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        close(out[1]);
        if (rc != 0) {
            close(out[0]);
            pid = -1;
            return false;
        }
        std::string line;
        char ch = 0;
        while (read(out[0], &ch, 1) == 1 && ch != '\n') {
            line += ch;
        }
        close(out[0]);
        // The last number of the line is the port.
        std::size_t end = line.find_last_of("0123456789");
        if (end == std::string::npos) {
            return false;
        }
        std::size_t begin = line.find_last_not_of("0123456789", end);
        port = std::atoi(line.c_str() + (begin == std::string::npos ? 0 : begin + 1));
        return port > 0;
    }

    ~DemoServer() {
        if (pid > 0) {
            kill(pid, SIGTERM);
            waitpid(pid, nullptr, 0);
        }
    }
};

// Runs fn in a child process and waits for it; the child's output goes to the same stdout.
template <typename Fn>
bool InChild(Fn fn) {
    std::fflush(stdout);
    const pid_t pid = fork();
    if (pid == 0) {
        const int rc = fn();
        std::fflush(stdout);
        _exit(rc);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// A run host that records what the crawler and the analyser spend: pauses asked for, requests and their
// times, and the process CPU / wall clock at every crawl progress step.
struct Recorder {
    double pausedMs = 0;       // asked for
    double pausedSeconds = 0;  // actually spent in the pauses
    int pauses = 0;
    int fetches = 0;
    double fetchSeconds = 0;
    std::vector<double> pageCpu;   // CPU seconds at each crawl progress call
    std::vector<double> pageWall;  // wall seconds at each crawl progress call
};

HeadlessRunCallbacks RecordingCallbacks(Recorder& rec, Clock::time_point start) {
    HeadlessRunCallbacks cb;
    cb.progress = [&rec, start](Stage stage, int, int, const std::string&) {
        if (stage == Stage::Crawl) {
            rec.pageCpu.push_back(CpuSeconds());
            rec.pageWall.push_back(Seconds(Clock::now() - start));
        }
    };
    return cb;
}

HeadlessRunOptions RecordingOptions(Recorder& rec) {
    HeadlessRunOptions options;
    options.fetch = [&rec](const std::string& address) {
        const auto t0 = Clock::now();
        std::string body = web::WebRequest(address);
        rec.fetchSeconds += Seconds(Clock::now() - t0);
        ++rec.fetches;
        return body;
    };
    return options;
}

// Wraps a headless host to count the pauses the analyser asks for.
class PauseCounter final : public RunHost {
public:
    PauseCounter(HeadlessRunHost& inner, Recorder& rec) : inner_(inner), rec_(rec) {}
    RunState& State() override { return inner_.State(); }
    std::string ShopAddress() override { return inner_.ShopAddress(); }
    std::string Fetch(const std::string& a) override { return inner_.Fetch(a); }
    void ClearResults() override { inner_.ClearResults(); }
    int AppendRow(const std::string& seq) override { return inner_.AppendRow(seq); }
    void SetCell(int r, int c, const std::string& t) override { inner_.SetCell(r, c, t); }
    void SetStatus(const std::string& t) override { inner_.SetStatus(t); }
    void Progress(Stage s, int n, int count, const std::string& d) override { inner_.Progress(s, n, count, d); }
    void ArmAnalysis() override { inner_.ArmAnalysis(); }
    void ArmSecurityCheck() override { inner_.ArmSecurityCheck(); }
    void ReopenLoginWindow() override { inner_.ReopenLoginWindow(); }
    void FinishRun(const std::string& t) override { inner_.FinishRun(t); }
    void ClearBrowserState() override { inner_.ClearBrowserState(); }
    bool Pause(int ms) override {
        rec_.pausedMs += ms;
        ++rec_.pauses;
        const auto t0 = Clock::now();
        const bool going = inner_.Pause(ms);
        rec_.pausedSeconds += Seconds(Clock::now() - t0);
        return going;
    }
    bool Cancelled() override { return inner_.Cancelled(); }

private:
    HeadlessRunHost& inner_;
    Recorder& rec_;
};

// Crawls the shop into host's ItemIdList; false when the crawl did not arm the analysis.
bool Crawl(HeadlessRunHost& host) {
    BeginRun(host.State());
    host.State().SetBrowserTargetUrl(BrowserTargetFor(host.ShopAddress()));
    host.Capture();
    RunCrawler(ChooseCrawler(host.ShopAddress(), host.State().ListingPageText()), host);
    return host.TakeAnalysisArmed();
}

double MedianRoundTripSeconds(const std::string& address, int n) {
    std::vector<double> t;
    for (int i = 0; i < n; ++i) {
        const auto t0 = Clock::now();
        web::WebRequest(address);
        t.push_back(Seconds(Clock::now() - t0));
    }
    std::sort(t.begin(), t.end());
    return t[t.size() / 2];
}

int AnalysisFigure(int items) {
    Recorder crawlRec;
    HeadlessRunHost crawler(kTaobaoAsyncShop, RecordingOptions(crawlRec), {});
    if (!Crawl(crawler)) {
        std::printf("analysis: the crawl of %s failed\n", kTaobaoAsyncShop);
        return 1;
    }
    Recorder rec;
    HeadlessRunHost host(kTaobaoAsyncShop, RecordingOptions(rec), {});
    const auto lines = ItemIdList::SplitLines(crawler.State().Items.Text());
    for (int i = 0; i < items && i < static_cast<int>(lines.size()); ++i) {
        host.State().Items.AppendLine(lines[static_cast<std::size_t>(i)]);
    }
    const int n = static_cast<int>(host.State().Items.LineCount());
    // One small request as the loopback round trip: the demo's answer for an unknown item's counter.
    const double rtt = MedianRoundTripSeconds("http://count.taobao.com/counter3?keys=ICCP_1_0&callback=json", 200);

    PauseCounter counting(host, rec);
    const auto t0 = Clock::now();
    TaobaoItemAnalyser(counting);
    const double total = Seconds(Clock::now() - t0);

    const double floor = rec.pausedMs / 1000.0 + rec.fetches * rtt;
    std::printf("analysis of %d Taobao items (%s): %s\n", n, kTaobaoAsyncShop, GbkToUtf8(host.FinalText()).c_str());
    std::printf("  per item: %.2f ms wall; %d requests (%.1f per item), pauses asked %.1f ms per item\n",
                total * 1000 / n, rec.fetches, static_cast<double>(rec.fetches) / n, rec.pausedMs / n);
    std::printf("  loopback round trip (median of 200): %.3f ms; time in requests %.2f ms per item\n", rtt * 1000,
                rec.fetchSeconds * 1000 / n);
    std::printf("  pacing floor %.2f ms per item; ratio %.3f (goal <= 1.10)\n", floor * 1000 / n, total / floor);
    std::printf("  ratio against pauses + measured request times: %.3f\n",
                total / (rec.pausedMs / 1000.0 + rec.fetchSeconds));
    std::printf(
        "  %d pauses: %.2f ms per item spent in them (%.2f asked, %.3f ms late each); the analyser's own "
        "work: %.2f ms per item\n",
        rec.pauses, rec.pausedSeconds * 1000 / n, rec.pausedMs / n,
        (rec.pausedSeconds * 1000 - rec.pausedMs) / std::max(1, rec.pauses),
        (total - rec.pausedSeconds - rec.fetchSeconds) * 1000 / n);
    return 0;
}

int CrawlFigure() {
    Recorder rec;
    const auto start = Clock::now();
    HeadlessRunHost host(kTaobaoAsyncShop, RecordingOptions(rec), RecordingCallbacks(rec, start));
    const long rssBefore = CurrentRssKb();
    const double cpu0 = CpuSeconds();
    const bool armed = Crawl(host);
    const double cpu = CpuSeconds() - cpu0;
    const double wall = Seconds(Clock::now() - start);
    rec.pageCpu.push_back(CpuSeconds());
    rec.pageWall.push_back(Seconds(Clock::now() - start));

    const std::size_t pages = rec.pageCpu.size() - 1;
    std::printf("asynchronous crawl of %s: %zu lines from %zu pages, analysis %s\n", kTaobaoAsyncShop,
                host.State().Items.LineCount(), pages, armed ? "armed" : "NOT armed");
    std::printf("  CPU %.3f s, wall %.3f s, %d requests; peak RSS %ld KiB (%ld KiB before the crawl)\n", cpu, wall,
                rec.fetches, PeakRssKb(), rssBefore);
    if (pages >= 100) {
        auto mean = [&](const std::vector<double>& v, std::size_t from, std::size_t to) {
            return (v[to] - v[from]) / static_cast<double>(to - from) * 1e6;
        };
        std::printf("  per page, pages 1-50:   CPU %.0f us, wall %.0f us\n", mean(rec.pageCpu, 0, 50),
                    mean(rec.pageWall, 0, 50));
        std::printf("  per page, last 50 pages: CPU %.0f us, wall %.0f us\n", mean(rec.pageCpu, pages - 50, pages),
                    mean(rec.pageWall, pages - 50, pages));
    }
    return armed ? 0 : 1;
}

int TableFigure() {
    // Cells of the sizes an analysed Taobao item has: a long GBK title, prices, counts, addresses, times.
    std::string title;
    for (int i = 0; i < 30; ++i) {
        title += Utf8ToGbk("新");
    }
    const long before = CurrentRssKb();
    ResultTable table;
    for (int r = 0; r < kShopItems; ++r) {
        const std::string id = std::to_string(520000000000LL + r);
        const int row = table.AppendRow(std::to_string(r + 1));
        table.SetCell(row, kTitle, title + id);
        table.SetCell(row, kListPrice, "128.00-199.00");
        table.SetCell(row, kSalePrice, "128.00");
        table.SetCell(row, kLowestPrice, "99.00");
        table.SetCell(row, kFavourites, "12345");
        table.SetCell(row, kDeals30d, "678");
        table.SetCell(row, kReceipts30d, "654");
        table.SetCell(row, kReviews, "4321");
        table.SetCell(row, kItemUrl, "https://item.taobao.com/item.htm?id=" + id);
        table.SetCell(row, kImageUrl, "http://img.alicdn.com/bao/uploaded/i4/TB1" + id + "_!!0-item_pic.jpg");
        table.SetCell(row, kItemId, id);
        table.SetCell(row, kListedAt, "2016-01-01 00:00:00");
        table.SetCell(row, kPublishedAt, "2016-01-01 00:00:00");
        table.SetCell(row, kDelistAt, "2016-01-08 00:00:00");
    }
    const long after = CurrentRssKb();
    std::printf("result table of %d rows: RSS grew by %ld KiB (%.0f bytes per row); peak RSS %ld KiB\n",
                table.RowCount(), after - before, (after - before) * 1024.0 / table.RowCount(), PeakRssKb());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::string demo;
    if (const char* env = std::getenv("VANTREL_DEMO_MARKET")) {
        demo = env;
    }
    int items = kAnalysedItems;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--demo") == 0) {
            demo = argv[i + 1];
        } else if (std::strcmp(argv[i], "--items") == 0) {
            items = std::max(1, std::atoi(argv[i + 1]));
        }
    }
    if (demo.empty()) {
        std::error_code ec;
        demo = (std::filesystem::canonical("/proc/self/exe", ec).parent_path().parent_path() / "demo" /
                "vantrel-demo-market")
                   .string();
    }

    bool ok = InChild(TableFigure);

    DemoServer server;
    if (!server.Start(
            demo, {"--port", "0", "--items", std::to_string(kShopItems), "--page-size", std::to_string(kPageSize)})) {
        std::printf("cannot start the demo marketplace %s\n", demo.c_str());
        return 1;
    }
    std::printf("demo marketplace on port %d: %d items per shop, %d per page\n", server.port, kShopItems, kPageSize);
    if (!web::SetMarketRoute("http://127.0.0.1:" + std::to_string(server.port))) {
        return 1;
    }
    ok = InChild(CrawlFigure) && ok;
    ok = InChild([items] { return AnalysisFigure(items); }) && ok;
    return ok ? 0 : 1;
}

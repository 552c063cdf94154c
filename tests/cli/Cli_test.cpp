// vantrel-cli end to end: the executable against the demo marketplace, one shop kind at a time.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "Market.h"
#include "analysis/ResultTable.h"
#include "app/FileIO.h"
#include "export/Reports.h"
#include "run/RunController.h"
#include "web/Encoding.h"

extern char** environ;

namespace vantrel::demo {
void PrintTo(ShopKind kind, std::ostream* os) {
    *os << ShopKindName(kind);
}
}  // namespace vantrel::demo

namespace vantrel {
namespace {

namespace fs = std::filesystem;

struct CliResult {
    int exitCode = -1;
    std::string out;  // stdout
    std::string err;  // stderr
};

std::vector<std::string> SplitAt(const std::string& text, char sep) {
    std::vector<std::string> pieces;
    std::size_t start = 0;
    for (std::size_t p; (p = text.find(sep, start)) != std::string::npos; start = p + 1) {
        pieces.push_back(text.substr(start, p - start));
    }
    pieces.push_back(text.substr(start));
    return pieces;
}

class CliTest : public ::testing::Test {
protected:
    void StartMarket(demo::ServerOptions options = {}) {
        market_ = std::make_unique<demo::DemoMarket>(options);
        ASSERT_TRUE(market_->start());
    }

    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = std::string(info->test_suite_name()) + "-" + info->name();
        for (char& c : name) {
            if (c == '/') {
                c = '-';
            }
        }
        dir_ = fs::temp_directory_path() / ("vantrel-cli-" + std::to_string(::getpid()) + "-" + name);
        fs::remove_all(dir_);
        fs::create_directories(dir_ / "data");
    }
    void TearDown() override {
        if (market_) {
            market_->stop();
        }
        if (!HasFailure()) {
            fs::remove_all(dir_);
        }
    }

    fs::path Data() const { return dir_ / "data"; }
    std::string Market() const { return "http://127.0.0.1:" + std::to_string(market_->port()); }
    const demo::Catalogue& Catalogue() const { return market_->catalogue(); }

    // Runs vantrel-cli with args; stdout and stderr go through files, so neither can block the child.
    CliResult Run(const std::vector<std::string>& args) {
        const fs::path outFile = dir_ / "stdout";
        const fs::path errFile = dir_ / "stderr";
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        std::vector<std::string> all = {VANTREL_CLI_PATH};
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (auto& a : all) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        pid_t pid = -1;
        CliResult r;
        const int rc = posix_spawn(&pid, VANTREL_CLI_PATH, &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (rc != 0) {
            ADD_FAILURE() << "cannot start " << VANTREL_CLI_PATH;
            return r;
        }
        // A run that hangs is a failure, not a stuck test suite.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(3);
        int status = 0;
        while (waitpid(pid, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > deadline) {
                kill(pid, SIGKILL);
                waitpid(pid, &status, 0);
                ADD_FAILURE() << "vantrel-cli did not end";
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        r.out = ReadWholeFile(outFile).value_or("");
        r.err = ReadWholeFile(errFile).value_or("");
        return r;
    }

    // A run of the shop with every output asked for.
    CliResult RunShop(const demo::Shop& shop, std::vector<std::string> extra = {}) {
        std::vector<std::string> args = {"--market",      Market(), "--data-dir",
                                         Data().string(), "--csv",  (dir_ / "out.csv").string()};
        args.insert(args.end(), extra.begin(), extra.end());
        args.push_back(shop.address);
        return Run(args);
    }

    // The table of stdout as GBK cells, after checking its header line.
    ResultTable ParseTable(const std::string& out) {
        ResultTable table;
        std::vector<std::string> lines = SplitAt(out, '\n');
        EXPECT_TRUE(lines.back().empty()) << "stdout must end with a line end";
        lines.pop_back();
        if (lines.empty()) {
            ADD_FAILURE() << "no header line";
            return table;
        }
        std::string header;
        for (int c = 0; c < kColumnCount; ++c) {
            header += GbkToUtf8(Columns()[c].title) + (c + 1 < kColumnCount ? "\t" : "");
        }
        EXPECT_EQ(lines[0], header);
        for (std::size_t i = 1; i < lines.size(); ++i) {
            const auto cells = SplitAt(lines[i], '\t');
            EXPECT_EQ(cells.size(), static_cast<std::size_t>(kColumnCount)) << lines[i];
            const int row = table.AppendRow(Utf8ToGbk(cells[0]));
            for (int c = 1; c < kColumnCount && c < static_cast<int>(cells.size()); ++c) {
                table.SetCell(row, c, Utf8ToGbk(cells[static_cast<std::size_t>(c)]));
            }
        }
        return table;
    }

    // Every row as the catalogue expects it, in listing order; cells the catalogue does not fix (times that
    // depend on the clock) are taken from the actual table.
    ResultTable ExpectedTable(const demo::Shop& shop, const ResultTable& actual) {
        ResultTable expected;
        const auto items = Catalogue().ItemsOf(shop);
        for (std::size_t i = 0; i < items.size(); ++i) {
            const demo::ExpectedRow want = Catalogue().Expected(*items[i]);
            const int row = expected.AppendRow(std::to_string(i + 1));
            for (int c = 1; c < kColumnCount; ++c) {
                expected.SetCell(row, c, want.known[c] ? want.cells[c] : actual.Cell(row, c));
            }
        }
        return expected;
    }

    void ExpectSameRows(const ResultTable& actual, const ResultTable& expected) {
        ASSERT_EQ(actual.RowCount(), expected.RowCount());
        for (int r = 0; r < actual.RowCount(); ++r) {
            for (int c = 0; c < kColumnCount; ++c) {
                EXPECT_EQ(GbkToUtf8(actual.Cell(r, c)), GbkToUtf8(expected.Cell(r, c)))
                    << "row " << r + 1 << " column " << c;
            }
        }
    }

    std::string LastLine(const std::string& text) {
        auto lines = SplitAt(text, '\n');
        while (!lines.empty() && lines.back().empty()) {
            lines.pop_back();
        }
        return lines.empty() ? std::string() : lines.back();
    }

    fs::path dir_;
    std::unique_ptr<demo::DemoMarket> market_;
};

// Shops whose run collects every item and ends with "已完成任务！".
class CompleteShop : public CliTest, public ::testing::WithParamInterface<demo::ShopKind> {};

TEST_P(CompleteShop, RowsMatchTheCatalogueAndTheCsvFileHoldsThem) {
    StartMarket();
    const demo::Shop& shop = Catalogue().ShopOf(GetParam());
    ASSERT_FALSE(shop.items.empty());
    const CliResult r = RunShop(shop, {"--html"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(LastLine(r.err), "已完成任务！");

    const ResultTable actual = ParseTable(r.out);
    const ResultTable expected = ExpectedTable(shop, actual);
    ExpectSameRows(actual, expected);

    const ExportLayout layout = demo::IsTmall(GetParam()) ? ExportLayout::Tmall : ExportLayout::Taobao;
    const auto csv = ReadWholeFile(dir_ / "out.csv");
    ASSERT_TRUE(csv.has_value());
    EXPECT_EQ(*csv, BuildCsv(expected, layout));
    EXPECT_TRUE(
        csv->starts_with(Utf8ToGbk(layout == ExportLayout::Taobao ? "序号,标题,摆价,售价,历史最低价,收藏量,月成交量"
                                                                  : "序号,标题,摆价,售价,历史最低价,收藏量,评价数")));

    // The report is named after the shop (its home page title, else the first label of its host).
    const std::string title = shop.homeTitleHasName ? Utf8ToGbk(shop.name) : SplitAt(shop.host, '.')[0];
    const fs::path html = ReportFilePath(Data(), title);
    const auto page = ReadWholeFile(html);
    ASSERT_TRUE(page.has_value()) << html;
    EXPECT_NE(r.err.find(html.string()), std::string::npos) << r.err;
    EXPECT_EQ(*page, BuildHtmlReport(expected, layout, title));

    EXPECT_EQ(ReadWholeFile(Data() / "url.txt"), shop.address + "\r\n");
}

INSTANTIATE_TEST_SUITE_P(Shops, CompleteShop,
                         ::testing::Values(demo::ShopKind::TaobaoAsync, demo::ShopKind::TaobaoSearch,
                                           demo::ShopKind::TaobaoSearchPageNum, demo::ShopKind::TmallMain,
                                           demo::ShopKind::TmallGlobal, demo::ShopKind::TmallRedirect),
                         [](const auto& info) {
                             std::string name(demo::ShopKindName(info.param));
                             std::erase(name, '-');
                             return name;
                         });

TEST_F(CliTest, ProgressNamesStagePagesAndItemsUnlessQuiet) {
    StartMarket();
    const demo::Shop& shop = Catalogue().ShopOf(demo::ShopKind::TmallGlobal);
    const CliResult loud = RunShop(shop);
    ASSERT_EQ(loud.exitCode, 0) << loud.err;
    const auto items = Catalogue().ItemsOf(shop);
    const std::string n = std::to_string(items.size());
    EXPECT_NE(loud.err.find("[抓取] 第 1/" + std::to_string(shop.PageCount()) + " 页"), std::string::npos) << loud.err;
    EXPECT_NE(loud.err.find("[分析] 第 " + n + "/" + n + " 个商品"), std::string::npos) << loud.err;
    EXPECT_NE(loud.err.find(items.back()->id), std::string::npos);

    const CliResult quiet = RunShop(shop, {"--quiet"});
    ASSERT_EQ(quiet.exitCode, 0) << quiet.err;
    EXPECT_EQ(quiet.err.find("[分析]"), std::string::npos) << quiet.err;
    EXPECT_EQ(LastLine(quiet.err), "已完成任务！");
    EXPECT_EQ(quiet.out, loud.out);
}

// The captured search page has lost its double quotes, so the pager of the search-page branch is not found:
// the crawl reports the time-out and the analysis finds nothing to do.
TEST_F(CliTest, RenderErrorShopEndsWithAFailureText) {
    StartMarket();
    const CliResult r = RunShop(Catalogue().ShopOf(demo::ShopKind::TmallRenderError));
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_NE(r.err.find("网络超时，请清除COOKIES后重试！"), std::string::npos) << r.err;
    EXPECT_EQ(LastLine(r.err), "下载失败，请清除COOKIES缓存后再重试！");
    EXPECT_EQ(ParseTable(r.out).RowCount(), 0);
}

TEST_F(CliTest, EmptyShopWritesNoCsvFile) {
    StartMarket();
    const CliResult r = RunShop(Catalogue().ShopOf(demo::ShopKind::TaobaoEmpty), {"--html"});
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_EQ(LastLine(r.err), "下载失败，请清除COOKIES缓存后再重试！");
    EXPECT_NE(r.err.find("暂无数据可导出！"), std::string::npos);
    EXPECT_NE(r.err.find("暂无数据可保存"), std::string::npos);
    EXPECT_EQ(ParseTable(r.out).RowCount(), 0);
    EXPECT_FALSE(fs::exists(dir_ / "out.csv"));
}

// Nobody can log in without a browser: the run says which page wanted it and the crawl gives up.
TEST_F(CliTest, LoginWallIsReportedAndTheRunFails) {
    demo::ServerOptions options;
    options.loginWall = true;
    StartMarket(options);
    const demo::Shop& shop = Catalogue().ShopOf(demo::ShopKind::TaobaoSearch);
    const CliResult r = RunShop(shop);
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_NE(r.err.find("页面需要在浏览器中登录或验证，未能取得列表：" + shop.searchAddress), std::string::npos)
        << r.err;
    EXPECT_EQ(LastLine(r.err), "网络超时，请重试！");
    EXPECT_EQ(ParseTable(r.out).RowCount(), 0);
}

// Nobody can pass the check without a browser: the run says so, does not wait, and the counters that were
// refused stay empty.
TEST_F(CliTest, SecurityCheckIsReportedAndNotWaitedFor) {
    demo::ServerOptions options;
    options.securityCheckAfter = 7;
    StartMarket(options);
    const demo::Shop& shop = Catalogue().ShopOf(demo::ShopKind::TaobaoAsync);
    const CliResult r = RunShop(shop, {"--quiet"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_GT(market_->securityChecksServed(), 0);
    EXPECT_NE(r.err.find("市场要求安全验证：http://sec.taobao.com/query.htm?"), std::string::npos) << r.err;

    const ResultTable actual = ParseTable(r.out);
    const auto items = Catalogue().ItemsOf(shop);
    ASSERT_EQ(actual.RowCount(), static_cast<int>(items.size()));
    const int last = actual.RowCount() - 1;
    const demo::ExpectedRow want = Catalogue().Expected(*items.back());
    EXPECT_EQ(actual.Cell(last, kTitle), want.cells[kTitle]);
    EXPECT_EQ(actual.Cell(last, kFavourites), want.cells[kFavourites]);
    EXPECT_EQ(actual.Cell(last, kDeals30d), "");
    EXPECT_EQ(actual.Cell(last, kReviews), "");
}

TEST_F(CliTest, RejectedAddressesAndBadArgumentsExitWithTwo) {
    StartMarket();
    struct Case {
        std::vector<std::string> args;
        std::string message;
    };
    const std::vector<Case> cases = {
        {{"--market", Market(), "--data-dir", Data().string(), "http://www.example.com/shop"},
         "请输入淘宝店或天猫店首页网址！"},
        {{"--market", Market(), "--data-dir", Data().string(), "http://SHOP.TAOBAO.COM"},
         "请输入淘宝店或天猫店首页网址！"},
        {{"--data-dir", Data().string()}, "usage:"},
        {{"--frobnicate", "http://asyn-shop.taobao.com"}, "usage:"},
        {{"--csv"}, "usage:"},
        {{"--market", "ftp://x", "http://asyn-shop.taobao.com"}, "--market"},
        {{"http://a.taobao.com", "http://b.taobao.com"}, "usage:"},
    };
    for (const auto& c : cases) {
        const CliResult r = Run(c.args);
        EXPECT_EQ(r.exitCode, 2) << c.args.back();
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "");
    }
    EXPECT_FALSE(fs::exists(Data() / "url.txt"));
    EXPECT_EQ(market_->requestCount(), 0);
}

TEST_F(CliTest, AddressHistoryKeepsTheMostRecentFirst) {
    StartMarket();
    const auto& empty = Catalogue().ShopOf(demo::ShopKind::TaobaoEmpty);
    const auto& renderError = Catalogue().ShopOf(demo::ShopKind::TmallRenderError);
    const std::vector<std::string> base = {"--quiet", "--market", Market(), "--data-dir", Data().string()};
    auto run = [&](const std::string& typed) {
        auto args = base;
        args.push_back(typed);
        return Run(args).exitCode;
    };
    EXPECT_EQ(run(" HTTPS://" + empty.host + "/search.htm?x=1"), 1);
    EXPECT_EQ(run(renderError.host), 1);
    EXPECT_EQ(run(empty.address), 1);
    EXPECT_EQ(ReadWholeFile(Data() / "url.txt"), empty.address + "\r\n" + renderError.address + "\r\n");
}

}  // namespace
}  // namespace vantrel

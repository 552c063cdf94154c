#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <string>
#include <vector>

#include "app/FileIO.h"
#include "run/HeadlessRun.h"
#include "run/RunController.h"
#include "web/Encoding.h"

namespace vantrel {
namespace {

class TempFolder {
public:
    TempFolder() {
        path_ = std::filesystem::temp_directory_path() /
                ("vantrel-headless-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~TempFolder() { std::filesystem::remove_all(path_); }
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

TEST(RunShop, RejectsAnAddressOfNeitherMarketplaceWithoutAnyEffect) {
    TempFolder dir;
    int fetches = 0;
    HeadlessRunOptions options;
    options.dataFolder = dir.path();
    options.fetch = [&](const std::string&) {
        ++fetches;
        return std::string();
    };
    for (const char* typed : {"", "   ", "http://www.example.com/shop", "http://SHOP1.TAOBAO.COM"}) {
        const HeadlessRunResult r = RunShop(typed, options, {});
        EXPECT_EQ(r.outcome, RunOutcome::Rejected) << typed;
        EXPECT_EQ(r.finalText, texts::BadAddress());
        EXPECT_EQ(r.table.RowCount(), 0);
    }
    EXPECT_EQ(fetches, 0);
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "url.txt"));
}

// Each run records its cleaned address and captures the shop's search page; cancelled during the capture, it
// crawls nothing.
TEST(RunShop, RecordsTheCleanedAddressMostRecentFirst) {
    TempFolder dir;
    std::atomic<bool> cancel{false};
    std::vector<std::string> fetched;
    HeadlessRunOptions options;
    options.dataFolder = dir.path();
    options.cancel = &cancel;
    options.fetch = [&](const std::string& address) {
        fetched.push_back(address);
        cancel = true;
        return std::string();
    };
    const HeadlessRunResult a = RunShop(" HTTPS://shop1.taobao.com/search.htm?x=1 ", options, {});
    EXPECT_EQ(a.shopAddress, "http://shop1.taobao.com");
    EXPECT_EQ(a.outcome, RunOutcome::Failed);
    cancel = false;
    RunShop("mall2.tmall.com", options, {});
    cancel = false;
    RunShop("http://shop1.taobao.com", options, {});
    EXPECT_EQ(ReadWholeFile(dir.path() / "url.txt"), "http://shop1.taobao.com\r\nhttp://mall2.tmall.com\r\n");
    EXPECT_EQ(fetched, (std::vector<std::string>{"http://shop1.taobao.com/search.htm?orderType=hotsell_desc",
                                                 "http://mall2.tmall.com/search.htm?search=y",
                                                 "http://shop1.taobao.com/search.htm?orderType=hotsell_desc"}));
}

TEST(HeadlessRunHost, SecurityCheckIsReportedAndReleasedAtOnce) {
    std::vector<std::string> checks;
    HeadlessRunCallbacks callbacks;
    callbacks.securityCheck = [&](const std::string& address) { checks.push_back(address); };
    HeadlessRunHost host("http://shop1.taobao.com", {}, callbacks);
    host.State().VerifyPending = 1;
    host.State().SetBrowserTargetUrl("http://sec.taobao.com/query.htm?x");
    host.State().BrowserPurpose = 9;
    host.ArmSecurityCheck();
    EXPECT_EQ(checks, std::vector<std::string>{"http://sec.taobao.com/query.htm?x"});
    EXPECT_EQ(host.State().VerifyPending.load(), 0);
    EXPECT_EQ(host.State().BrowserPurpose.load(), 0);
}

TEST(HeadlessRunHost, CaptureNormalisesTheFetchedPageAsTheLoginWindowDoes) {
    struct Case {
        std::string body;
        bool good;
        std::string listing;
    };
    const std::vector<Case> cases = {
        {"<b class=\"page-info\">1/3</b>", true, "<b class=page-info>1/3</b>"},
        {std::string("<a href=\"/i?mid%3Dw-1\">x</a>") + '\0' + "tail", true, "<a href=/i?mid=w-1>x</a>"},
        {"<title>login</title>", false, "<title>login</title>"},
        {"", false, ""},
    };
    for (const auto& c : cases) {
        std::vector<std::pair<std::string, bool>> captured;
        HeadlessRunOptions options;
        options.fetch = [&](const std::string&) { return c.body; };
        HeadlessRunCallbacks callbacks;
        callbacks.captured = [&](const std::string& address, bool good) { captured.emplace_back(address, good); };
        HeadlessRunHost host("http://shop1.taobao.com", options, callbacks);
        host.State().SetBrowserTargetUrl("http://shop1.taobao.com/search.htm");
        EXPECT_EQ(host.Capture(), c.good) << c.body;
        EXPECT_EQ(host.State().ListingPageText(), c.listing);
        EXPECT_EQ(captured,
                  (std::vector<std::pair<std::string, bool>>{{"http://shop1.taobao.com/search.htm", c.good}}));
    }
}

TEST(HeadlessRunHost, HandOffsAreTakenOnceAndTheLastFinishTextCounts) {
    HeadlessRunHost host("http://mall2.tmall.com", {}, {});
    EXPECT_FALSE(host.TakeAnalysisArmed());
    host.ArmAnalysis();
    host.ReopenLoginWindow();
    EXPECT_TRUE(host.TakeAnalysisArmed());
    EXPECT_FALSE(host.TakeAnalysisArmed());
    EXPECT_TRUE(host.TakeLoginWindowWanted());
    EXPECT_FALSE(host.TakeLoginWindowWanted());
    host.FinishRun(texts::DownloadFailed());
    host.FinishRun(texts::Finished());
    EXPECT_EQ(host.FinalText(), texts::Finished());
}

TEST(HeadlessRunHost, PauseEndsEarlyWhenCancelled) {
    std::atomic<bool> cancel{false};
    HeadlessRunOptions options;
    options.cancel = &cancel;
    options.pauseScale = 0.0;
    HeadlessRunHost host("http://shop1.taobao.com", options, {});
    EXPECT_TRUE(host.Pause(1000000));
    cancel = true;
    EXPECT_TRUE(host.Cancelled());
    EXPECT_FALSE(host.Pause(1));
}

TEST(HeadlessRunHost, ResultCellsGoToTheTable) {
    HeadlessRunHost host("http://shop1.taobao.com", {}, {});
    const int row = host.AppendRow("1");
    host.SetCell(row, kTitle, Utf8ToGbk("连衣裙"));
    host.SetCell(row, kColumnCount, "ignored");
    ASSERT_EQ(host.Table().RowCount(), 1);
    EXPECT_EQ(host.Table().Cell(0, kTitle), Utf8ToGbk("连衣裙"));
    host.ClearResults();
    EXPECT_EQ(host.Table().RowCount(), 0);
}

}  // namespace
}  // namespace vantrel

// Whole shop runs in the main window against the demo marketplace: the controls during and after a run, the rows,
// the 30-day columns, the address history, the rejection message, a crawl that gives up, and analysis passes that
// are asked for twice.
#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <cstdlib>
#include <thread>

#include "GuiTestSupport.h"
#include "analysis/ResultTable.h"
#include "run/DirectFetchCapture.h"
#include "run/RunController.h"
#include "run/RunDriver.h"
#include "run/Workers.h"
#include "ui/ResultListView.h"
#include "ui/ResultModel.h"
#include "ui/StatusPane.h"
#include "web/LoginBrowserWindow.h"
#include "web/WebRequest.h"

namespace vantrel::gui::testing {
namespace {

using RunInWindow = MainWindowTest;

// The rows of the list against the catalogue's expected cells of the shop's items, in listing order.
void ExpectRowsOfShop(const MainWindow& w, const demo::Shop& shop) {
    const demo::Catalogue& cat = Market().catalogue();
    const auto items = cat.ItemsOf(shop);
    ASSERT_EQ(w.Results()->RowCount(), static_cast<int>(items.size()));
    for (int r = 0; r < static_cast<int>(items.size()); ++r) {
        const demo::ExpectedRow expected = cat.Expected(*items[static_cast<std::size_t>(r)]);
        EXPECT_EQ(w.Results()->Cell(r, 0), std::to_string(r + 1));
        for (int c = 1; c < kColumnCount; ++c) {
            if (expected.known[static_cast<std::size_t>(c)]) {
                EXPECT_EQ(w.Results()->Cell(r, c), expected.cells[static_cast<std::size_t>(c)])
                    << "row " << r << " column " << c;
            }
        }
    }
}

void ExpectIdle(const MainWindow& w) {
    EXPECT_EQ(w.StartButton()->text(), QStringLiteral("淘一下"));
    EXPECT_TRUE(w.StartButton()->isEnabled());
    EXPECT_TRUE(w.ShopAddressBox()->isEnabled());
    EXPECT_TRUE(w.HistoryButton()->isEnabled());
    EXPECT_TRUE(w.ListHistoryAction()->isEnabled());
    EXPECT_FALSE(w.BusyPicture()->isVisible());
    EXPECT_EQ(w.StatusPane0()->ProgressCount(), 0);
}

TEST_F(RunInWindow, TaobaoThenTmallThenTaobaoShop) {
    MainWindow& w = NewWindow();
    const demo::Shop& taobao = Market().catalogue().ShopOf(demo::ShopKind::TaobaoAsync);
    const demo::Shop& tmall = Market().catalogue().ShopOf(demo::ShopKind::TmallMain);

    // Typed with spaces, the secure scheme in capitals, a path and a query: the box shows the cleaned address.
    QLineEdit* edit = w.ShopAddressBox()->lineEdit();
    QTest::keyClicks(edit, QStringLiteral(" HTTPS://asyn-shop.taobao.com /view_shop.htm?spm=1 "));
    QTest::mouseClick(w.StartButton(), Qt::LeftButton);
    EXPECT_EQ(w.ShopAddressBox()->currentText(), QString::fromStdString(taobao.address));
    EXPECT_EQ(w.StartButton()->text(), QStringLiteral("淘中…"));
    EXPECT_FALSE(w.StartButton()->isEnabled());
    EXPECT_FALSE(w.ShopAddressBox()->isEnabled());
    EXPECT_FALSE(w.HistoryButton()->isEnabled());
    EXPECT_FALSE(w.ListHistoryAction()->isEnabled());
    EXPECT_TRUE(w.BusyPicture()->isVisible());
    EXPECT_EQ(w.StatusText(), QStringLiteral("正在分析商品地址中……"));
    EXPECT_EQ(Q(w.Run().State().BrowserTargetUrl()), QString::fromStdString(taobao.searchAddress));
    // The other controls stay usable during a run.
    EXPECT_TRUE(w.ExportButton()->isEnabled());
    EXPECT_TRUE(w.SavePageButton()->isEnabled());
    EXPECT_TRUE(w.OpenLinkButton()->isEnabled());
    // Clicking the disabled button does nothing.
    QTest::mouseClick(w.StartButton(), Qt::LeftButton);

    bool sawProgress = false;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            sawProgress = sawProgress || (w.Run().AnalysisRunning() && w.StatusPane0()->ProgressCount() > 0);
            return !w.Run().Running();
        },
        90000));
    EXPECT_EQ(w.StatusText(), QStringLiteral("已完成任务！"));
    EXPECT_TRUE(sawProgress);
    ExpectIdle(w);
    ExpectRowsOfShop(w, taobao);
    EXPECT_EQ(w.ResultList()->ColumnWidth(6), 90);
    EXPECT_EQ(w.ResultList()->ColumnWidth(7), 90);

    ASSERT_TRUE(RunShop(QStringLiteral("mall-shop.tmall.com")));
    EXPECT_EQ(w.StatusText(), QStringLiteral("已完成任务！"));
    ExpectIdle(w);
    ExpectRowsOfShop(w, tmall);
    EXPECT_EQ(w.ResultList()->ColumnWidth(6), 0);
    EXPECT_EQ(w.ResultList()->ColumnWidth(7), 0);
    EXPECT_TRUE(w.ResultList()->isColumnHidden(6));

    ASSERT_TRUE(RunShop(QStringLiteral("http://asyn-shop.taobao.com")));
    EXPECT_EQ(w.ResultList()->ColumnWidth(6), 90);
    EXPECT_EQ(w.ResultList()->ColumnWidth(7), 90);
    ExpectRowsOfShop(w, taobao);

    // The history: most recent first, no duplicates; the drop-down shows the same.
    EXPECT_EQ(ReadDataFile("url.txt"), taobao.address + "\r\n" + tmall.address + "\r\n");
    ASSERT_EQ(w.ShopAddressBox()->count(), 2);
    EXPECT_EQ(w.ShopAddressBox()->itemText(0), QString::fromStdString(taobao.address));
    EXPECT_EQ(w.ShopAddressBox()->itemText(1), QString::fromStdString(tmall.address));
    EXPECT_EQ(w.ShopAddressBox()->currentText(), QString::fromStdString(taobao.address));
}

TEST_F(RunInWindow, AnAddressWithoutAShopIsRejected) {
    MainWindow& w = NewWindow();
    const char* const rejected[] = {"http://www.example.com/", "  ", "http://SHOP.TAOBAO.COM",
                                    "HTTP://asyn-shop.example"};
    for (const char* typed : rejected) {
        SCOPED_TRACE(typed);
        messages_.clear();
        QLineEdit* edit = w.ShopAddressBox()->lineEdit();
        edit->clear();
        QTest::keyClicks(edit, QString::fromUtf8(typed));
        QTest::mouseClick(w.StartButton(), Qt::LeftButton);
        ASSERT_EQ(messages_.size(), 1u);
        EXPECT_EQ(messages_[0].title, QStringLiteral("Lumora提醒您："));
        EXPECT_EQ(messages_[0].text, QStringLiteral("请输入淘宝店或天猫店首页网址！"));
        EXPECT_FALSE(w.Run().Running());
        ExpectIdle(w);
        EXPECT_TRUE(w.StatusText().isEmpty());
    }
    // Only spaces and the scheme were cleaned in the box.
    EXPECT_EQ(w.ShopAddressBox()->currentText(), QStringLiteral("http://HTTP://asyn-shop.example"));
    EXPECT_FALSE(std::filesystem::exists(dataDir_ / "url.txt"));
}

TEST_F(RunInWindow, HistoryFromUrlTxtAtStartAndAfterARun) {
    const demo::Shop& tmall = Market().catalogue().ShopOf(demo::ShopKind::TmallGlobal);
    WriteDataFile("url.txt", "http://a.taobao.com\r\n\r\n" + tmall.address + "\r\nhttp://b.tmall.com\r\n");
    MainWindow& w = NewWindow();
    ASSERT_EQ(w.ShopAddressBox()->count(), 4);
    EXPECT_EQ(w.ShopAddressBox()->itemText(1), QString());
    EXPECT_EQ(w.ShopAddressBox()->currentText(), QStringLiteral("http://a.taobao.com"));

    // Picking the third entry and running it moves it to the top.
    w.ShopAddressBox()->setCurrentIndex(2);
    QTest::mouseClick(w.StartButton(), Qt::LeftButton);
    EXPECT_EQ(ReadDataFile("url.txt"), tmall.address + "\r\nhttp://a.taobao.com\r\n\r\nhttp://b.tmall.com\r\n");
    ASSERT_TRUE(WaitForFinish());
    ASSERT_EQ(w.ShopAddressBox()->count(), 4);
    EXPECT_EQ(w.ShopAddressBox()->itemText(0), QString::fromStdString(tmall.address));
    EXPECT_EQ(w.ShopAddressBox()->itemText(1), QStringLiteral("http://a.taobao.com"));
    EXPECT_EQ(w.ShopAddressBox()->currentText(), QString::fromStdString(tmall.address));
    EXPECT_EQ(w.Results()->RowCount(), static_cast<int>(tmall.items.size()));
}

TEST_F(RunInWindow, AHistoryWithoutAnAddressIsIgnored) {
    WriteDataFile("url.txt", "nothing here\r\n");
    MainWindow& w = NewWindow();
    EXPECT_EQ(w.ShopAddressBox()->count(), 0);
    EXPECT_TRUE(w.ShopAddressBox()->currentText().isEmpty());
}

TEST_F(RunInWindow, ACrawlThatGivesUpGivesTheControlsBack) {
    MainWindow& w = NewWindow();
    QSignalSpy analyses(&w.Run(), &RunDriver::workerStarted);
    // Behind a login wall that nobody passes, the search page never shows a listing.
    Market().setLoginWall(true);
    const bool finished =
        RunShop(QString::fromStdString(Market().catalogue().ShopOf(demo::ShopKind::TaobaoSearch).address));
    Market().setLoginWall(false);
    ASSERT_TRUE(finished);
    EXPECT_EQ(w.StatusText(), QStringLiteral("网络超时，请重试！"));
    ExpectIdle(w);
    for (const QList<QVariant>& started : analyses) {
        EXPECT_NE(started.at(0).toString(), QStringLiteral("analysis"));
    }
    EXPECT_EQ(w.Results()->RowCount(), 0);
}

TEST_F(RunInWindow, AShopWithoutItemsEndsWithTheDownloadFailure) {
    MainWindow& w = NewWindow();
    ASSERT_TRUE(RunShop(QStringLiteral("http://empty-shop.taobao.com")));
    EXPECT_EQ(w.StatusText(), QStringLiteral("下载失败，请清除COOKIES缓存后再重试！"));
    ExpectIdle(w);
    EXPECT_EQ(w.Results()->RowCount(), 0);
}

TEST_F(RunInWindow, ASecondAnalysisStopsTheFirstAndThenFillsTheListAlone) {
    MainWindow& w = NewWindow();
    const demo::Shop& shop = Market().catalogue().ShopOf(demo::ShopKind::TaobaoSearch);
    // Every fetch takes a little while, so the first pass is still running when the second is asked for.
    std::atomic<int> fetches{0};
    w.Run().SetFetcher([&fetches](const std::string& address) {
        ++fetches;
        std::this_thread::sleep_for(std::chrono::milliseconds(3));
        return web::WebRequest(address);
    });
    int analysesRunning = 0;
    int mostAtOnce = 0;
    int passes = 0;
    QObject::connect(&w.Run(), &RunDriver::workerStarted, [&](const QString& stage) {
        if (stage == QStringLiteral("analysis")) {
            ++passes;
            mostAtOnce = std::max(mostAtOnce, ++analysesRunning);
        }
    });
    QObject::connect(&w.Run(), &RunDriver::workerEnded, [&](const QString& stage) {
        if (stage == QStringLiteral("analysis")) {
            --analysesRunning;
        }
    });
    w.ShopAddressBox()->setEditText(QString::fromStdString(shop.address));
    QTest::mouseClick(w.StartButton(), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.Results()->RowCount() >= 5; }, 60000));
    // The Tmall redirect case starts a further analysis pass in the middle of one: here by hand.
    w.Timer2()->start(0);
    ASSERT_TRUE(WaitForFinish());
    EXPECT_EQ(passes, 2);
    EXPECT_EQ(mostAtOnce, 1);
    EXPECT_EQ(w.StatusText(), QStringLiteral("已完成任务！"));
    ExpectIdle(w);
    ExpectRowsOfShop(w, shop);
}

// A capture window that passes the security check as a user would: it opens the check page (the demo's form sets
// the pass cookie in the shared cookie store) and then releases the waiting analyser.
class PassingCapture final : public CaptureWindowFactory {
public:
    void Reopen(CaptureHost& host) override {
        if (host.State().BrowserPurpose != 9) {
            direct_.Reopen(host);
            return;
        }
        ++checks;
        lastTarget = host.State().BrowserTargetUrl();
        host.FetchInBackground("http://sec.taobao.com/verify.do?checkcode=1", [&host](std::string) {
            host.State().VerifyPending = 0;
            host.State().BrowserPurpose = 0;
        });
    }
    void CloseAll() override { direct_.CloseAll(); }
    bool IsOpen() const override { return false; }

    int checks = 0;
    std::string lastTarget;

private:
    DirectFetchCapture direct_;
};

TEST_F(RunInWindow, ASecurityCheckOpensTheLoginWindowAndTheRunGoesOn) {
    MainWindow& w = NewWindow();
    auto capture = std::make_unique<PassingCapture>();
    PassingCapture* checks = capture.get();
    w.Run().SetCaptureFactory(std::move(capture));
    Market().resetCounters();
    Market().setSecurityCheckAfter(10);
    const demo::Shop& shop = Market().catalogue().ShopOf(demo::ShopKind::TaobaoSearch);
    const bool finished = RunShop(QString::fromStdString(shop.address));
    Market().setSecurityCheckAfter(0);
    ASSERT_TRUE(finished);
    EXPECT_GE(checks->checks, 1);
    EXPECT_NE(checks->lastTarget.find("sec.taobao.com/query.htm"), std::string::npos);
    EXPECT_EQ(w.StatusText(), QStringLiteral("已完成任务！"));
    ExpectRowsOfShop(w, shop);
}

TEST_F(RunInWindow, ClosingTheWindowDuringARunLeavesNoWorkerBehind) {
    MainWindow& w = NewWindow();
    w.ShopAddressBox()->setEditText(QStringLiteral("http://asyn-shop.taobao.com"));
    QTest::mouseClick(w.StartButton(), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.Results()->RowCount() >= 2; }, 60000));
    w.close();
    EXPECT_EQ(quits_, 1);
    DestroyWindow();
    EXPECT_TRUE(WaitForWorkers(std::chrono::seconds(10)));
}

TEST_F(RunInWindow, WholeRunThroughTheLoginBrowserWindow) {
    MainWindow& w = NewWindow();
    auto capture = std::make_unique<LoginBrowserCapture>();
    LoginBrowserCapture* browser = capture.get();
    w.Run().SetCaptureFactory(std::move(capture));
    const demo::Shop& shop = Market().catalogue().ShopOf(demo::ShopKind::TmallGlobal);
    w.ShopAddressBox()->setEditText(QString::fromStdString(shop.address));
    QTest::mouseClick(w.StartButton(), Qt::LeftButton);
    EXPECT_TRUE(browser->IsOpen());
    ASSERT_TRUE(WaitForFinish());
    EXPECT_FALSE(browser->IsOpen());
    EXPECT_EQ(w.StatusText(), QStringLiteral("已完成任务！"));
    ExpectIdle(w);
    ExpectRowsOfShop(w, shop);
}

// Writes a picture of the main window after a demo run (docs/main-window.png) when VANTREL_SCREENSHOT names a file.
TEST_F(RunInWindow, Screenshot) {
    const char* path = std::getenv("VANTREL_SCREENSHOT");
    if (path == nullptr || *path == '\0') {
        GTEST_SKIP() << "set VANTREL_SCREENSHOT=FILE to write the picture";
    }
    MainWindow& w = NewWindow();
    ASSERT_TRUE(RunShop(QStringLiteral("http://asyn-shop.taobao.com")));
    w.ResultList()->SelectRow(2);
    QApplication::processEvents();
    ASSERT_TRUE(w.grab().save(QString::fromLocal8Bit(path)));
}

}  // namespace
}  // namespace vantrel::gui::testing

// The three tool windows end to end: each window against a local HTTP server standing in for the outside
// services, with message boxes, the save dialog and playback replaced by recording seams.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScatterSeries>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <functional>
#include <memory>

#include "ToolServer.h"
#include "analysis/ResultTable.h"
#include "app/FileIO.h"
#include "tools/HistoryChart.h"
#include "tools/PriceHistoryWindow.h"
#include "tools/SaveFileDialog.h"
#include "tools/ShortUrlWindow.h"
#include "tools/SpeechWindow.h"
#include "tools/ToolSeams.h"
#include "tools/Tools.h"
#include "vantrel/Config.h"
#include "web/Encoding.h"
#include "web/WebSettings.h"

// Readable failure output for Qt's strings.
void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

namespace vantrel::gui {
namespace {

using testing::ToolServer;

struct Message {
    QString title;
    QString text;
};

// Waits (processing events) until pred holds or ms have passed.
bool WaitFor(const std::function<bool()>& pred, int ms = 10000) {
    QElapsedTimer t;
    t.start();
    while (!pred()) {
        if (t.elapsed() > ms) {
            return false;
        }
        QTest::qWait(10);
    }
    return true;
}

// Lets deferred deletions and queued results run.
void Settle(int ms = 50) {
    QTest::qWait(ms);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

QString Q(const char* utf8) {
    return QString::fromUtf8(utf8);
}

class ToolWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        server_.RouteTools();
        SetMessageHook([this](QWidget*, const QString& title, const QString& text) {
            messages_.push_back({title, text});
        });
        SetPlayHook([this](const QString& path) { played_.push_back(path); });
        SetSaveFileHook([this](QWidget*, const SaveFileRequest& r) {
            dialogs_.push_back(r);
            return nextSavePath_;
        });
    }
    void TearDown() override {
        SetMessageHook({});
        SetPlayHook({});
        SetSaveFileHook({});
        for (QWidget* w : QApplication::topLevelWidgets()) {
            w->close();
        }
        Settle();
    }

    ToolServer server_;
    std::vector<Message> messages_;
    std::vector<QString> played_;
    std::vector<SaveFileRequest> dialogs_;
    QString nextSavePath_;
};

// ---------------------------------------------------------------- price history

std::vector<QStringList> ListRows(QTreeWidget* list) {
    std::vector<QStringList> rows;
    for (int r = 0; r < list->topLevelItemCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < list->columnCount(); ++c) {
            cells << list->topLevelItem(r)->text(c);
        }
        rows.push_back(cells);
    }
    return rows;
}

PriceHistoryWindow* OpenAndWait(const char* id, const char* titleUtf8) {
    PriceHistoryWindow* w = OpenPriceHistory(nullptr, id, Utf8ToGbk(titleUtf8));
    if (w == nullptr) {
        return nullptr;
    }
    QSignalSpy applied(w, &PriceHistoryWindow::historyApplied);
    if (!applied.wait(10000)) {
        ADD_FAILURE() << "no history applied";
    }
    return w;
}

const char* const kTwoDays = R"([["2024-01-01","12900","15","连衣裙 夏"],["2024-01-02","0","0",""]])";

TEST_F(ToolWindowTest, HistoryWindowShowsTwoGroupsWithCarryOver) {
    server_.SetHistoryAnswer("520013", kTwoDays);
    QPointer<PriceHistoryWindow> w = OpenAndWait("520013", "连衣裙 夏");
    ASSERT_TRUE(w);
    EXPECT_EQ(w->windowTitle(), Q("历史分析 - 连衣裙 夏"));
    EXPECT_TRUE(w->isModal());
    EXPECT_EQ(w->windowModality(), Qt::ApplicationModal);
    const std::vector<QStringList> expected = {
        {"1", "2024-01-01", "129", "15", Q("连衣裙 夏")},
        {"2", "2024-01-02", "129", "15", Q("连衣裙 夏")},
    };
    EXPECT_EQ(ListRows(w->HistoryList()), expected);
    EXPECT_TRUE(messages_.empty());

    const auto hits = server_.Hits();
    ASSERT_EQ(hits.size(), 1u);
    EXPECT_EQ(hits[0].target, "/item-history/520013?_=");
    EXPECT_EQ(hits[0].host, std::string(config::ItemHistoryHost));
    EXPECT_EQ(HistoryItemId(), "520013");
    EXPECT_EQ(HistoryItemTitle(), Utf8ToGbk("连衣裙 夏"));
}

TEST_F(ToolWindowTest, HistoryListHasFiveColumnsInPlace) {
    server_.SetHistoryAnswer("1", "");
    QPointer<PriceHistoryWindow> w = OpenAndWait("1", "t");
    ASSERT_TRUE(w);
    QTreeWidget* list = w->HistoryList();
    EXPECT_EQ(list->objectName(), Q("超级列表框1"));
    EXPECT_EQ(list->geometry(), QRect(0, 0, 792, 592));
    const QStringList headers = {Q("序号"), Q("日期"), Q("价格"), Q("30天内销量"), Q("标题")};
    const int widths[] = {60, 90, 100, 120, 400};
    ASSERT_EQ(list->columnCount(), 5);
    for (int c = 0; c < 5; ++c) {
        EXPECT_EQ(list->headerItem()->text(c), headers[c]);
        EXPECT_EQ(list->columnWidth(c), widths[c]) << c;
        EXPECT_EQ(list->headerItem()->textAlignment(c) & Qt::AlignHorizontal_Mask,
                  c == 0 ? Qt::AlignLeft : Qt::AlignRight)
            << c;
    }
    // Unreachable or empty answer: the window stays open and empty, without a message.
    EXPECT_EQ(list->topLevelItemCount(), 0);
    EXPECT_TRUE(w->isVisible());
    EXPECT_TRUE(messages_.empty());
    EXPECT_TRUE(w->TitlePopup()->isHidden());
    EXPECT_EQ(w->TitlePopup()->size(), QSize(400, 40));
}

TEST_F(ToolWindowTest, HistoryRetMinusOneShowsTheMessageAndClosesTheWindow) {
    server_.SetHistoryAnswer("77", R"({"ret:-1","msg":"none"})");
    QPointer<PriceHistoryWindow> w = OpenAndWait("77", "x");
    Settle();
    EXPECT_FALSE(w);
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_EQ(messages_[0].title, Q("Lumora提醒您："));
    EXPECT_EQ(messages_[0].text, Q("未查询到历史记录！请稍候再重试！"));
}

TEST_F(ToolWindowTest, HistoryTitleWithCommaStaysInItsColumn) {
    server_.SetHistoryAnswer("9", R"([["2024-03-01","9900","5","袜子,男款"],["2024-03-02","9800","6","帽子"]])");
    QPointer<PriceHistoryWindow> w = OpenAndWait("9", "t");
    ASSERT_TRUE(w);
    const std::vector<QStringList> expected = {
        {"1", "2024-03-01", "99", "5", Q("袜子,男款")},
        {"2", "2024-03-02", "98", "6", Q("帽子")},
    };
    EXPECT_EQ(ListRows(w->HistoryList()), expected);
}

TEST_F(ToolWindowTest, NoItemIdMeansNoWindow) {
    ResultTable table;
    const int row = table.AppendRow("1");
    table.SetCell(row, kTitle, Utf8ToGbk("无编号"));
    EXPECT_EQ(OpenPriceHistoryForRow(nullptr, table, -1), nullptr);
    EXPECT_EQ(OpenPriceHistoryForRow(nullptr, table, row), nullptr);
    EXPECT_EQ(HistoryItemTitle(), Utf8ToGbk("无编号"));
    ASSERT_EQ(messages_.size(), 2u);
    for (const Message& m : messages_) {
        EXPECT_EQ(m.title, Q("信息："));
        EXPECT_EQ(m.text, Q("未选择要分析的商品"));
    }
    EXPECT_EQ(server_.HitCount(), 0u);

    table.SetCell(row, kItemId, "4242");
    server_.SetHistoryAnswer("4242", R"(["2024-01-01","100","1","a"])");
    QPointer<PriceHistoryWindow> w = OpenPriceHistoryForRow(nullptr, table, row);
    ASSERT_TRUE(w);
    EXPECT_EQ(w->windowTitle(), Q("历史分析 - 无编号"));
    EXPECT_TRUE(WaitFor([&] { return w && w->HistoryList()->topLevelItemCount() == 1; }));
}

TEST_F(ToolWindowTest, ClosedHistoryWindowDropsItsLateRowsAndANewWindowGetsOnlyItsOwn) {
    server_.SetHistoryAnswer("1", R"(["2024-01-01","100","1","first"])");
    server_.SetHistoryAnswer("2", R"(["2024-02-01","200","2","second"],["2024-02-02","300","3","second"])");
    server_.Hold();
    QPointer<PriceHistoryWindow> first = OpenPriceHistory(nullptr, "1", "a");
    ASSERT_TRUE(WaitFor([&] { return server_.HitCount() == 1; }));
    first->close();
    Settle();
    ASSERT_FALSE(first);

    QPointer<PriceHistoryWindow> second = OpenPriceHistory(nullptr, "2", "b");
    ASSERT_TRUE(WaitFor([&] { return server_.HitCount() == 2; }));
    QSignalSpy applied(second.data(), &PriceHistoryWindow::historyApplied);
    server_.Release();
    ASSERT_TRUE(applied.wait(10000));
    Settle(200);  // the first fetch's answer arrives too, and must go nowhere
    ASSERT_TRUE(second);
    const auto rows = ListRows(second->HistoryList());
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0][4], "second");
    EXPECT_EQ(rows[1][2], "3");
}

TEST_F(ToolWindowTest, HistoryTitlePopupFollowsDoubleClicksAndHidesOnClick) {
    server_.SetHistoryAnswer("5", R"(["2024-01-01","100","1",""],["2024-01-02","100","1","长标题 ABC"])");
    QPointer<PriceHistoryWindow> w = OpenAndWait("5", "t");
    ASSERT_TRUE(w);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w));
    QTreeWidget* list = w->HistoryList();
    QLineEdit* popup = w->TitlePopup();
    ASSERT_EQ(list->topLevelItemCount(), 2);

    const QPoint second = list->visualItemRect(list->topLevelItem(1)).center() + QPoint(30, 0);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, second);
    EXPECT_TRUE(popup->isVisible());
    EXPECT_EQ(popup->text(), Q("长标题 ABC"));
    EXPECT_EQ(popup->pos(), list->viewport()->mapTo(list, second));

    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, second);
    EXPECT_FALSE(popup->isVisible());

    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, second);
    ASSERT_TRUE(popup->isVisible());
    const QPoint first = list->visualItemRect(list->topLevelItem(0)).center();
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, first);  // the first day has no title
    EXPECT_FALSE(popup->isVisible());
}

TEST_F(ToolWindowTest, HistoryChartFollowsTheRowsAndMarksTheLowestPrice) {
    server_.SetHistoryAnswer(
        "6", R"([["2024-01-01","12900","15","a"],["2024-01-02","9900","0","a"],["2024-01-03","11900","20","a"]])");
    QPointer<PriceHistoryWindow> w = OpenAndWait("6", "t");
    ASSERT_TRUE(w);
    HistoryChart* chart = w->Chart();
    EXPECT_TRUE(chart->UsesDateAxis());
    ASSERT_EQ(chart->PriceSeries()->count(), 3);
    EXPECT_DOUBLE_EQ(chart->PriceSeries()->at(1).y(), 99);
    EXPECT_DOUBLE_EQ(chart->SalesSeries()->at(1).y(), 15);  // carried over, as the list shows it
    ASSERT_EQ(chart->LowestMark()->count(), 1);
    EXPECT_EQ(chart->LowestMark()->at(0), chart->PriceSeries()->at(1));
    EXPECT_FALSE(chart->geometry().intersects(w->HistoryList()->geometry()));
}

// ---------------------------------------------------------------- short links

TEST_F(ToolWindowTest, ShortUrlWindowLayout) {
    QPointer<ShortUrlWindow> w = OpenShortUrlTool(nullptr);
    ASSERT_TRUE(w);
    EXPECT_EQ(w->windowTitle(), Q("Vantrel - 短网址生成"));
    EXPECT_EQ(w->size(), QSize(673, 250));
    EXPECT_EQ(w->windowModality(), Qt::ApplicationModal);
    struct Control {
        const char* name;
        const char* caption;
        QRect geometry;
    };
    const Control controls[] = {
        {"标签1", "原网址：", {20, 32, 56, 24}},     {"编辑框1", "", {68, 28, 452, 32}},
        {"按钮1", "粘贴长网址", {529, 28, 120, 32}}, {"标签2", "短网址：", {20, 80, 56, 24}},
        {"编辑框2", "", {68, 76, 260, 32}},          {"按钮2", "复制短网址", {336, 76, 248, 32}},
        {"按钮3", "清空", {592, 76, 57, 32}},        {"按钮4", "生成短网址", {440, 144, 200, 56}},
    };
    for (const Control& c : controls) {
        QWidget* child = w->findChild<QWidget*>(Q(c.name));
        ASSERT_NE(child, nullptr) << c.name;
        EXPECT_EQ(child->geometry(), c.geometry) << c.name;
        QString caption;
        if (auto* label = qobject_cast<QLabel*>(child)) {
            caption = label->text();
        } else if (auto* button = qobject_cast<QPushButton*>(child)) {
            caption = button->text();
        } else if (auto* edit = qobject_cast<QLineEdit*>(child)) {
            caption = edit->text();
        }
        EXPECT_EQ(caption, Q(c.caption)) << c.name;
    }
}

TEST_F(ToolWindowTest, ShortUrlSuccessAddsTheSchemeAndEncodesAsGbk) {
    server_.SetShortUrlAnswer(R"([{"url_short":"http://t.cn/Ab3xYz","url_long":"x","type":0}])");
    ShortUrlWindow* w = OpenShortUrlTool(nullptr);
    QSignalSpy shown(w, &ShortUrlWindow::resultShown);
    w->LongAddressBox()->setText(Q("shop.example.com/a b/c"));
    QTest::mouseClick(w->MakeButton(), Qt::LeftButton);
    EXPECT_EQ(w->LongAddressBox()->text(), Q("http://shop.example.com/a b/c"));
    ASSERT_TRUE(shown.wait(10000));
    EXPECT_EQ(w->ShortLinkBox()->text(), Q("http://t.cn/Ab3xYz"));
    const auto hits = server_.Hits();
    ASSERT_EQ(hits.size(), 1u);
    EXPECT_EQ(hits[0].host, std::string(config::ShortUrlServiceHost));
    EXPECT_EQ(hits[0].target, "/tools/curl.php?uu=http%3A%2F%2Fshop.example.com%2Fa%20b%2Fc");

    // Capitals are no scheme; Chinese goes as two GBK escapes per character.
    w->LongAddressBox()->setText(Q("HTTP://x.cn/中"));
    QTest::mouseClick(w->MakeButton(), Qt::LeftButton);
    EXPECT_EQ(w->LongAddressBox()->text(), Q("http://HTTP://x.cn/中"));
    ASSERT_TRUE(shown.wait(10000));
    EXPECT_EQ(server_.Hits().back().target, "/tools/curl.php?uu=http%3A%2F%2FHTTP%3A%2F%2Fx.cn%2F%D6%D0");

    w->LongAddressBox()->setText(Q("https://x.cn"));
    QTest::mouseClick(w->MakeButton(), Qt::LeftButton);
    EXPECT_EQ(w->LongAddressBox()->text(), Q("https://x.cn"));
    ASSERT_TRUE(shown.wait(10000));
}

TEST_F(ToolWindowTest, ShortUrlFailureTextAndRepeat) {
    server_.SetShortUrlAnswer(R"({"error":"limit"})");
    ShortUrlWindow* w = OpenShortUrlTool(nullptr);
    QSignalSpy shown(w, &ShortUrlWindow::resultShown);
    w->LongAddressBox()->setText(Q("http://a.cn/x"));
    QTest::mouseClick(w->MakeButton(), Qt::LeftButton);
    ASSERT_TRUE(shown.wait(10000));
    EXPECT_EQ(w->ShortLinkBox()->text(), Q("生成失败，请重试！"));

    QTest::mouseClick(w->MakeButton(), Qt::LeftButton);
    ASSERT_TRUE(shown.wait(10000));
    EXPECT_EQ(server_.HitCount(), 2u);

    // An unreachable service fails the same way.
    web::SetMarketRoute("http://127.0.0.1:1");
    QTest::mouseClick(w->MakeButton(), Qt::LeftButton);
    ASSERT_TRUE(shown.wait(10000));
    EXPECT_EQ(w->ShortLinkBox()->text(), Q("生成失败，请重试！"));
}

TEST_F(ToolWindowTest, ShortUrlEmptyAddressAsksForOne) {
    ShortUrlWindow* w = OpenShortUrlTool(nullptr);
    QTest::mouseClick(w->MakeButton(), Qt::LeftButton);
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_EQ(messages_[0].title, Q("信息："));
    EXPECT_EQ(messages_[0].text, Q("请输入长网址！"));
    Settle(100);
    EXPECT_EQ(server_.HitCount(), 0u);
}

TEST_F(ToolWindowTest, ShortUrlClipboardButtons) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    ShortUrlWindow* w = OpenShortUrlTool(nullptr);
    w->LongAddressBox()->setText("old text");
    clipboard->setText("http://long.example.com/p?q=1");
    QTest::mouseClick(w->PasteButton(), Qt::LeftButton);
    EXPECT_EQ(w->LongAddressBox()->text(), "http://long.example.com/p?q=1");

    clipboard->clear();
    QTest::mouseClick(w->PasteButton(), Qt::LeftButton);
    EXPECT_EQ(w->LongAddressBox()->text(), "http://long.example.com/p?q=1");  // nothing to paste: kept

    w->ShortLinkBox()->setText(Q("生成失败，请重试！"));
    QTest::mouseClick(w->CopyButton(), Qt::LeftButton);
    EXPECT_EQ(clipboard->text(), Q("生成失败，请重试！"));

    QTest::mouseClick(w->ClearButton(), Qt::LeftButton);
    EXPECT_TRUE(w->LongAddressBox()->text().isEmpty());
    EXPECT_TRUE(w->ShortLinkBox()->text().isEmpty());
}

TEST_F(ToolWindowTest, ShortUrlResultAfterCloseIsDroppedAndReachesNoOtherWindow) {
    server_.SetShortUrlAnswer(R"("http://t.cn/late")");
    server_.Hold();
    QPointer<ShortUrlWindow> w = OpenShortUrlTool(nullptr);
    w->LongAddressBox()->setText("http://a.cn");
    QTest::mouseClick(w->MakeButton(), Qt::LeftButton);
    ASSERT_TRUE(WaitFor([&] { return server_.HitCount() == 1; }));
    w->close();
    Settle();
    ASSERT_FALSE(w);

    ShortUrlWindow* next = OpenShortUrlTool(nullptr);
    QSignalSpy shown(next, &ShortUrlWindow::resultShown);
    server_.Release();
    EXPECT_FALSE(shown.wait(500));
    EXPECT_TRUE(next->ShortLinkBox()->text().isEmpty());
}

// ---------------------------------------------------------------- speech

class SpeechTest : public ToolWindowTest {
protected:
    void SetUp() override {
        ToolWindowTest::SetUp();
        ASSERT_TRUE(dir_.isValid());
        nextSavePath_ = dir_.filePath("voice.mp3");
    }
    // Types text, presses "语音播读" and waits for the file.
    void Speak(SpeechWindow* w, const QString& text) {
        w->TextBox()->setPlainText(text);
        QSignalSpy saved(w, &SpeechWindow::fileSaved);
        QTest::mouseClick(w->SpeakButton(), Qt::LeftButton);
        ASSERT_TRUE(saved.wait(10000));
    }
    QTemporaryDir dir_;
};

TEST_F(SpeechTest, WindowLayout) {
    SpeechWindow* w = OpenSpeechTool(nullptr);
    EXPECT_EQ(w->windowTitle(), Q("Vantrel - 文字转语音"));
    EXPECT_EQ(w->size(), QSize(650, 500));
    EXPECT_EQ(w->windowModality(), Qt::ApplicationModal);
    EXPECT_EQ(w->TextBox()->objectName(), Q("编辑框1"));
    EXPECT_EQ(w->TextBox()->geometry(), QRect(0, 0, 645, 400));
    auto* label = w->findChild<QLabel*>(Q("标签1"));
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text(), Q("将输入的文字转成MP3语音文件。（甜美女声播音效果）"));
    EXPECT_EQ(label->geometry(), QRect(16, 416, 376, 32));
    EXPECT_EQ(w->SpeakButton()->objectName(), Q("按钮1"));
    EXPECT_EQ(w->SpeakButton()->text(), Q("语音播读"));
    EXPECT_EQ(w->SpeakButton()->geometry(), QRect(430, 412, 152, 48));
    EXPECT_EQ(w->PlayTimer()->objectName(), Q("时钟1"));
    EXPECT_FALSE(w->PlayTimer()->isActive());
}

TEST_F(SpeechTest, EmptyTextAsksForTextAndDoesNothingElse) {
    SpeechWindow* w = OpenSpeechTool(nullptr);
    QTest::mouseClick(w->SpeakButton(), Qt::LeftButton);
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_EQ(messages_[0].title, Q("信息："));
    EXPECT_EQ(messages_[0].text, Q("还没输入文字呢！？"));
    EXPECT_TRUE(dialogs_.empty());
    Settle(100);
    EXPECT_EQ(server_.HitCount(), 0u);
}

TEST_F(SpeechTest, CancelledDialogDoesNothing) {
    nextSavePath_.clear();
    SpeechWindow* w = OpenSpeechTool(nullptr);
    w->TextBox()->setPlainText(Q("你好"));
    QTest::mouseClick(w->SpeakButton(), Qt::LeftButton);
    ASSERT_EQ(dialogs_.size(), 1u);
    Settle(100);
    EXPECT_EQ(server_.HitCount(), 0u);
    EXPECT_FALSE(w->PlayTimer()->isActive());
    EXPECT_TRUE(w->SpeakButton()->isEnabled());
}

TEST_F(SpeechTest, SavesTheAnswerUnchangedAndPlaysItOnceFiveSecondsLater) {
    const std::string audio("ID3\x03\x00\x00\xFF\xFB\x90\x00 not really audio\r\n", 30);
    server_.SetSpeechAnswer(audio);
    SpeechWindow* w = OpenSpeechTool(nullptr);
    w->TextBox()->setPlainText(Q("你好"));
    QSignalSpy saved(w, &SpeechWindow::fileSaved);
    QTest::mouseClick(w->SpeakButton(), Qt::LeftButton);
    EXPECT_FALSE(w->SpeakButton()->isEnabled());  // while the answer downloads
    ASSERT_TRUE(saved.wait(10000));
    EXPECT_TRUE(w->SpeakButton()->isEnabled());

    ASSERT_EQ(dialogs_.size(), 1u);
    EXPECT_EQ(dialogs_[0].title, Q("保存为MP3"));
    EXPECT_EQ(dialogs_[0].filter, Q("*.mp3 (*.mp3)"));
    EXPECT_EQ(dialogs_[0].defaultSuffix, Q("mp3"));
    EXPECT_TRUE(dialogs_[0].initialPath.isEmpty());

    const auto hits = server_.Hits();
    ASSERT_EQ(hits.size(), 1u);
    EXPECT_EQ(hits[0].host, std::string(config::SpeechServiceHost));
    EXPECT_EQ(hits[0].target, "/text2audio?lan=zh&ie=UTF-8&text=%E4%BD%A0%E5%A5%BD");
    EXPECT_EQ(ReadWholeFile(nextSavePath_.toStdString()), audio);
    EXPECT_EQ(SpeechFilePath(), nextSavePath_);

    EXPECT_TRUE(w->PlayTimer()->isActive());
    EXPECT_EQ(w->PlayTimer()->interval(), 5000);
    EXPECT_GT(w->PlayTimer()->remainingTime(), 4000);
    EXPECT_TRUE(played_.empty());
    ASSERT_TRUE(WaitFor([&] { return !played_.empty(); }, 7000));
    QTest::qWait(300);
    ASSERT_EQ(played_.size(), 1u);
    EXPECT_EQ(played_[0], nextSavePath_);
    EXPECT_FALSE(w->PlayTimer()->isActive());
}

TEST_F(SpeechTest, BlanksAndLineBreaksAreEscaped) {
    SpeechWindow* w = OpenSpeechTool(nullptr);
    Speak(w, Q("a b\nc"));
    ASSERT_EQ(server_.HitCount(), 1u);
    EXPECT_EQ(server_.Hits()[0].target, "/text2audio?lan=zh&ie=UTF-8&text=a%20b%0D%0Ac");
    // Unreachable service: an empty file is written and the playback still comes.
    EXPECT_EQ(ReadWholeFile(nextSavePath_.toStdString()), std::string());
}

TEST_F(SpeechTest, SecondSaveRestartsTheWaitAndPlaysOnlyTheSecondFile) {
    server_.SetSpeechAnswer("mp3");
    SpeechWindow* w = OpenSpeechTool(nullptr);
    const QString first = nextSavePath_;
    Speak(w, "one");
    QTest::qWait(3000);
    nextSavePath_ = dir_.filePath("two.mp3");
    Speak(w, "two");
    ASSERT_EQ(dialogs_.size(), 2u);
    EXPECT_EQ(dialogs_[1].initialPath, first);  // the dialog remembers the previous choice
    EXPECT_EQ(w->LastChosenPath(), nextSavePath_);
    QTest::qWait(2500);  // past the first save's five seconds
    EXPECT_TRUE(played_.empty());
    ASSERT_TRUE(WaitFor([&] { return !played_.empty(); }, 5000));
    QTest::qWait(300);
    ASSERT_EQ(played_.size(), 1u);
    EXPECT_EQ(played_[0], nextSavePath_);
}

TEST_F(SpeechTest, ClosingTheWindowCancelsThePendingPlayback) {
    SpeechWindow* w = OpenSpeechTool(nullptr);
    Speak(w, "x");
    QPointer<SpeechWindow> guard(w);
    w->close();
    Settle();
    EXPECT_FALSE(guard);
    QTest::qWait(5500);
    EXPECT_TRUE(played_.empty());
}

TEST_F(SpeechTest, DownloadFinishingAfterCloseWritesTheFileButPlaysNothing) {
    server_.SetSpeechAnswer("late");
    server_.Hold();
    QPointer<SpeechWindow> w = OpenSpeechTool(nullptr);
    w->TextBox()->setPlainText("x");
    QTest::mouseClick(w->SpeakButton(), Qt::LeftButton);
    ASSERT_TRUE(WaitFor([&] { return server_.HitCount() == 1; }));
    w->close();
    Settle();
    ASSERT_FALSE(w);
    server_.Release();
    ASSERT_TRUE(WaitFor([&] { return ReadWholeFile(nextSavePath_.toStdString()) == std::string("late"); }));
    Settle(300);
    EXPECT_TRUE(played_.empty());
}

// The real save dialog: a name without extension gets ".mp3"; a folder that does not exist is refused.
TEST_F(SpeechTest, SaveDialogAddsTheSuffixAndRefusesMissingFolders) {
    const SaveFileRequest request{Q("保存为MP3"), Q("*.mp3 (*.mp3)"), Q("mp3"), QString()};
    auto accepted = [&](const QString& typed, bool* stayedOpen) {
        SaveFileDialog* dialog = CreateSaveFileDialog(nullptr, request);
        dialog->setDirectory(dir_.path());
        dialog->open();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(dialog));
        auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
        EXPECT_NE(name, nullptr);
        name->setText(typed);
        QTest::keyClick(name, Qt::Key_Return);
        Settle();
        *stayedOpen = dialog->isVisible();
        const QStringList files = dialog->result() == QDialog::Accepted ? dialog->selectedFiles() : QStringList();
        delete dialog;
        return files.isEmpty() ? QString() : files.first();
    };
    {
        // The dialog asks before replacing a file, and opens on the previous choice.
        std::unique_ptr<SaveFileDialog> dialog(CreateSaveFileDialog(
            nullptr, {request.title, request.filter, request.defaultSuffix, dir_.filePath("last.mp3")}));
        EXPECT_EQ(dialog->windowTitle(), Q("保存为MP3"));
        EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptSave);
        EXPECT_FALSE(dialog->testOption(QFileDialog::DontConfirmOverwrite));
        EXPECT_EQ(QDir(dialog->directory()), QDir(dir_.path()));
        auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
        ASSERT_NE(name, nullptr);
        EXPECT_EQ(name->text(), "last.mp3");
        EXPECT_EQ(dialog->nameFilters(), QStringList{Q("*.mp3 (*.mp3)")});
    }
    bool open = false;
    EXPECT_EQ(accepted("song", &open), dir_.filePath("song.mp3"));
    EXPECT_FALSE(open);
    EXPECT_TRUE(messages_.empty());

    EXPECT_EQ(accepted(dir_.filePath("missing/song.mp3"), &open), QString());
    EXPECT_TRUE(open);
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_EQ(messages_[0].title, Q("保存为MP3"));
}

// ---------------------------------------------------------------- screenshots

// Writes the three windows with data as PNG files when VANTREL_SCREENSHOT_DIR names a folder.
TEST_F(ToolWindowTest, Screenshots) {
    const QString out = qEnvironmentVariable("VANTREL_SCREENSHOT_DIR");
    if (out.isEmpty()) {
        GTEST_SKIP() << "set VANTREL_SCREENSHOT_DIR to write the screenshots";
    }
    server_.SetHistoryAnswer(
        "600123",
        R"([["2024-05-01","15900","120","春夏新款 纯棉短袖T恤 男"],["2024-05-02","15900","126",""],)"
        R"(["2024-05-03","13900","151",""],["2024-05-04","12900","188","春夏新款 纯棉短袖T恤 男 宽松"],)"
        R"(["2024-05-05","0","203",""],["2024-05-06","14900","0",""],["2024-05-07","14900","196",""],)"
        R"(["2024-05-08","11900","240",""],["2024-05-09","13900","255",""],["2024-05-10","13900","261",""]])");
    QPointer<PriceHistoryWindow> history = OpenAndWait("600123", "春夏新款 纯棉短袖T恤 男");
    ASSERT_TRUE(history);
    history->HistoryList()->setCurrentItem(history->HistoryList()->topLevelItem(3));
    EXPECT_TRUE(history->grab().save(QDir(out).filePath("price-history.png")));

    server_.SetShortUrlAnswer(R"([{"url_short":"http://t.cn/A6x9Qk","type":0}])");
    ShortUrlWindow* shortUrl = OpenShortUrlTool(nullptr);
    QSignalSpy shown(shortUrl, &ShortUrlWindow::resultShown);
    shortUrl->LongAddressBox()->setText("https://item.taobao.com/item.htm?id=600123&spm=a1z10.1-c");
    QTest::mouseClick(shortUrl->MakeButton(), Qt::LeftButton);
    ASSERT_TRUE(shown.wait(10000));
    EXPECT_TRUE(shortUrl->grab().save(QDir(out).filePath("short-url.png")));

    SpeechWindow* speech = OpenSpeechTool(nullptr);
    speech->TextBox()->setPlainText(Q("亲，欢迎光临本店！\n今天全场包邮，下单即送精美小礼品。"));
    EXPECT_TRUE(speech->grab().save(QDir(out).filePath("speech.png")));
}

}  // namespace
}  // namespace vantrel::gui

int main(int argc, char** argv) {
    // Test discovery runs without the test environment: never depend on a display or a sound device.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    if (qEnvironmentVariableIsEmpty("QT_MEDIA_BACKEND")) {
        qputenv("QT_MEDIA_BACKEND", "gstreamer");
    }
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

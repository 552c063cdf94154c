// The tool windows against the demo marketplace, started in-process: every item-history style of the
// catalogue, the short-link service, and the speech service's MP3 saved and really played.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QMediaPlayer>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <cstdio>

#include "Market.h"
#include "app/FileIO.h"
#include "tools/PriceHistoryWindow.h"
#include "tools/ShortUrlWindow.h"
#include "tools/SpeechWindow.h"
#include "tools/ToolSeams.h"
#include "tools/Tools.h"
#include "web/Encoding.h"
#include "web/WebSettings.h"

namespace vantrel::gui {
namespace {

QString Q(std::string_view utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

class DemoToolsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(market_.start());
        web::SetMarketRoute("http://127.0.0.1:" + std::to_string(market_.port()));
        SetMessageHook(
            [this](QWidget*, const QString& title, const QString& text) { messages_.push_back(title + "|" + text); });
    }
    void TearDown() override {
        SetMessageHook({});
        SetSaveFileHook({});
        for (QWidget* w : QApplication::topLevelWidgets()) {
            w->close();
        }
        QTest::qWait(20);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        web::SetMarketRoute("");
    }

    const demo::Item* ItemWithStyle(demo::HistoryStyle style) const {
        for (const demo::Item& item : market_.catalogue().Items()) {
            if (item.historyStyle == style) {
                return &item;
            }
        }
        return nullptr;
    }

    demo::DemoMarket market_;
    std::vector<QString> messages_;
};

// The rows a reader of the recorded days shows: gaps filled from the last usable value of their kind.
std::vector<QStringList> ExpectedRows(const std::vector<demo::HistoryDay>& days) {
    std::vector<QStringList> rows;
    QString price = "0", sales = "0", title;
    for (const demo::HistoryDay& day : days) {
        const double cents = std::atof(day.priceCents.c_str());
        if (cents / 100 > 0.0000001) {
            char text[64];
            std::snprintf(text, sizeof text, "%.13g", cents / 100);
            price = text;
        }
        if (std::atof(day.sales.c_str()) > 0.0000001) {
            sales = Q(day.sales);
        }
        if (!Q(day.title).trimmed().isEmpty()) {
            title = Q(day.title);
        }
        rows.push_back({QString::number(rows.size() + 1), day.date.empty() ? " " : Q(day.date), price, sales, title});
    }
    return rows;
}

TEST_F(DemoToolsTest, PriceHistoryOfEveryHistoryStyle) {
    using demo::HistoryStyle;
    for (HistoryStyle style :
         {HistoryStyle::Normal, HistoryStyle::CommaInTitle, HistoryStyle::EmptyValues, HistoryStyle::Zeros}) {
        const demo::Item* item = ItemWithStyle(style);
        ASSERT_NE(item, nullptr) << static_cast<int>(style);
        const std::vector<demo::HistoryDay> days = market_.catalogue().History(*item);
        ASSERT_FALSE(days.empty());
        QPointer<PriceHistoryWindow> w = OpenPriceHistory(nullptr, item->id, Utf8ToGbk(item->title));
        ASSERT_TRUE(w);
        QSignalSpy applied(w.data(), &PriceHistoryWindow::historyApplied);
        ASSERT_TRUE(applied.wait(10000)) << static_cast<int>(style);
        EXPECT_EQ(w->windowTitle(), QStringLiteral("历史分析 - ") + Q(item->title));
        QTreeWidget* list = w->HistoryList();
        std::vector<QStringList> shown;
        for (int r = 0; r < list->topLevelItemCount(); ++r) {
            QStringList cells;
            for (int c = 0; c < 5; ++c) {
                cells << list->topLevelItem(r)->text(c);
            }
            shown.push_back(cells);
        }
        EXPECT_EQ(shown, ExpectedRows(days)) << "style " << static_cast<int>(style);
        w->close();
    }
    EXPECT_TRUE(messages_.empty());
}

TEST_F(DemoToolsTest, PriceHistoryWithoutRecordsSaysSoAndCloses) {
    const demo::Item* item = ItemWithStyle(demo::HistoryStyle::NoHistory);
    ASSERT_NE(item, nullptr);
    QPointer<PriceHistoryWindow> w = OpenPriceHistory(nullptr, item->id, "t");
    QSignalSpy applied(w.data(), &PriceHistoryWindow::historyApplied);
    ASSERT_TRUE(applied.wait(10000));
    QTest::qWait(20);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(w);
    EXPECT_EQ(messages_, std::vector<QString>{QStringLiteral("Lumora提醒您：|未查询到历史记录！请稍候再重试！")});
}

TEST_F(DemoToolsTest, ShortLinkSuccessAndFailure) {
    ShortUrlWindow* w = OpenShortUrlTool(nullptr);
    QSignalSpy shown(w, &ShortUrlWindow::resultShown);
    w->LongAddressBox()->setText(QStringLiteral("item.taobao.com/item.htm?id=5 6&t=中"));
    QTest::mouseClick(w->MakeButton(), Qt::LeftButton);
    ASSERT_TRUE(shown.wait(10000));
    const std::string expected =
        demo::Catalogue::ShortLinkFor(Utf8ToGbk("http://item.taobao.com/item.htm?id=5 6&t=中"));
    EXPECT_EQ(w->ShortLinkBox()->text(), Q(expected));
    EXPECT_TRUE(w->ShortLinkBox()->text().startsWith("http://t.cn/"));

    w->LongAddressBox()->setText("http://x.cn/fail");
    QTest::mouseClick(w->MakeButton(), Qt::LeftButton);
    ASSERT_TRUE(shown.wait(10000));
    EXPECT_EQ(w->ShortLinkBox()->text(), QStringLiteral("生成失败，请重试！"));
}

TEST_F(DemoToolsTest, SpeechSavesTheServiceMp3AndPlaysItToTheEnd) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("nihao.mp3");
    SetSaveFileHook([&](QWidget*, const SaveFileRequest&) { return path; });
    SetPlayHook({});  // the real player (GStreamer; no sound device needed)
    SpeechWindow* w = OpenSpeechTool(nullptr);
    w->TextBox()->setPlainText(QStringLiteral("你好"));
    QSignalSpy saved(w, &SpeechWindow::fileSaved);
    QTest::mouseClick(w->SpeakButton(), Qt::LeftButton);
    ASSERT_TRUE(saved.wait(10000));
    const auto bytes = ReadWholeFile(QFile::encodeName(path).toStdString());
    ASSERT_TRUE(bytes.has_value());
    const auto reference = ReadWholeFile(VANTREL_TEST_MP3);
    ASSERT_TRUE(reference.has_value());
    EXPECT_EQ(*bytes, *reference);

    QSignalSpy started(w->PlayTimer(), &QTimer::timeout);
    ASSERT_TRUE(started.wait(7000));
    QMediaPlayer* player = ToolMediaPlayer();
    ASSERT_NE(player, nullptr);
    EXPECT_EQ(player->source(), QUrl::fromLocalFile(path));
    QElapsedTimer t;
    t.start();
    while (player->mediaStatus() != QMediaPlayer::EndOfMedia && player->error() == QMediaPlayer::NoError &&
           t.elapsed() < 15000) {
        QTest::qWait(20);
    }
    EXPECT_EQ(player->mediaStatus(), QMediaPlayer::EndOfMedia) << player->errorString().toStdString();
    EXPECT_EQ(player->error(), QMediaPlayer::NoError);
}

}  // namespace
}  // namespace vantrel::gui

// The main window's tool commands open the tool windows once wired.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "analysis/ResultTable.h"
#include "app/DataFolder.h"
#include "tools/PriceHistoryWindow.h"
#include "tools/ShortUrlWindow.h"
#include "tools/SpeechWindow.h"
#include "tools/ToolSeams.h"
#include "tools/ToolWiring.h"
#include "ui/MainWindow.h"
#include "ui/ResultListView.h"
#include "ui/ResultModel.h"
#include "web/Encoding.h"
#include "web/WebSettings.h"

namespace vantrel::gui {
namespace {

class ToolWiringTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        SetDataFolder(dir_.path().toStdString());
        web::SetMarketRoute("http://127.0.0.1:1");  // nothing answers: no outside host is ever asked
        SetMessageHook(
            [this](QWidget*, const QString& title, const QString& text) { messages_.push_back(title + "|" + text); });
        window_ = std::make_unique<MainWindow>();
        WireTools(*window_);
    }
    void TearDown() override {
        window_.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        SetMessageHook({});
        web::SetMarketRoute("");
    }

    template <typename Window>
    Window* OpenedTool() const {
        return window_->findChild<Window*>(QString(), Qt::FindDirectChildrenOnly);
    }

    QAction* TrayItem(const QString& caption) const {
        for (QAction* a : window_->TrayMenu()->actions()) {
            if (a->text() == caption) {
                return a;
            }
        }
        return nullptr;
    }

    QTemporaryDir dir_;
    std::unique_ptr<MainWindow> window_;
    std::vector<QString> messages_;
};

TEST_F(ToolWiringTest, TrayItemsOpenTheShortUrlAndSpeechTools) {
    QAction* shortUrl = TrayItem(QStringLiteral("短网址生成工具"));
    QAction* speech = TrayItem(QStringLiteral("文字转语音"));
    ASSERT_NE(shortUrl, nullptr);
    ASSERT_NE(speech, nullptr);
    shortUrl->trigger();
    ShortUrlWindow* s = OpenedTool<ShortUrlWindow>();
    ASSERT_NE(s, nullptr);
    EXPECT_TRUE(s->isVisible());
    speech->trigger();
    SpeechWindow* t = OpenedTool<SpeechWindow>();
    ASSERT_NE(t, nullptr);
    EXPECT_TRUE(t->isVisible());
}

TEST_F(ToolWiringTest, HistoryCommandHandsOverTheSelectedRow) {
    // No row selected, then a selected row without an item id: the message, no window.
    window_->HistoryButton()->click();
    ResultModel* model = window_->Results();
    const int row = model->AppendRow("1");
    model->SetCell(row, kTitle, Utf8ToGbk("纯棉T恤"));
    window_->ResultList()->SelectRow(row);
    window_->ListHistoryAction()->trigger();
    EXPECT_EQ(OpenedTool<PriceHistoryWindow>(), nullptr);
    const QString expected = QStringLiteral("信息：|未选择要分析的商品");
    EXPECT_EQ(messages_, (std::vector<QString>{expected, expected}));

    model->SetCell(row, kItemId, "600123");
    window_->HistoryButton()->click();
    PriceHistoryWindow* w = OpenedTool<PriceHistoryWindow>();
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->windowTitle(), QStringLiteral("历史分析 - 纯棉T恤"));
    EXPECT_EQ(messages_.size(), 2u);
}

}  // namespace
}  // namespace vantrel::gui

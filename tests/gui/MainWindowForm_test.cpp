// The main window's form, menus, tray icon, event map and link commands.
#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QImageReader>
#include <QLabel>
#include <QMenu>
#include <QMovie>
#include <QPushButton>
#include <QStatusBar>
#include <QSystemTrayIcon>
#include <QTest>
#include <QTimer>

#include "GuiTestSupport.h"
#include "analysis/ResultTable.h"
#include "run/RunDriver.h"
#include "tools/LinkTable.h"
#include "ui/ResultListView.h"
#include "ui/ResultModel.h"
#include "ui/StatusPane.h"
#include "vantrel/Config.h"

namespace vantrel::gui::testing {
namespace {

using MainWindowForm = MainWindowTest;

QStringList Captions(const QMenu* menu) {
    QStringList captions;
    for (QAction* action : menu->actions()) {
        captions << (action->isSeparator() ? QStringLiteral("-") : action->text());
    }
    return captions;
}

QAction* FindAction(const QMenu* menu, const QString& caption) {
    for (QAction* action : menu->actions()) {
        if (action->text() == caption) {
            return action;
        }
    }
    return nullptr;
}

TEST_F(MainWindowForm, CaptionSizeAndControlsAsTheFormGivesThem) {
    MainWindow& w = NewWindow();
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Vantrel —— 分析店铺情况辅助工具（淘宝、天猫运营必备软件） V2.2"));
    EXPECT_EQ(w.OuterSize(), QSize(800, 625));
    EXPECT_EQ(w.menuWidget(), nullptr);

    struct Expected {
        const char* name;
        QRect geometry;
        QString text;
    };
    const Expected controls[] = {
        {"分组框1", {0, 5, 488, 65}, QStringLiteral("淘宝、天猫首页网址")},
        {"编辑框1", {8, 29, 392, 20}, QString()},
        {"按钮1", {409, 23, 64, 32}, QStringLiteral("淘一下")},
        {"图片框1", {345, 10, 60, 60}, QString()},
        {"按钮5", {552, 15, 72, 24}, QStringLiteral("打开链接")},
        {"按钮6", {552, 44, 72, 24}, QStringLiteral("历史分析")},
        {"按钮3", {630, 21, 72, 40}, QStringLiteral("保存页面")},
        {"按钮4", {707, 21, 72, 40}, QStringLiteral("导出报表")},
        {"透明标签2",
         {815, 23, 167, 16},
         QString::fromUtf8(config::VendorContact1Text.data(),
                           static_cast<qsizetype>(config::VendorContact1Text.size()))},
        {"透明标签9",
         {815, 47, 167, 16},
         QString::fromUtf8(config::VendorContact2Text.data(),
                           static_cast<qsizetype>(config::VendorContact2Text.size()))},
        {"超级列表框1", {1, 76, 788, 488}, QString()},
    };
    for (const Expected& e : controls) {
        SCOPED_TRACE(e.name);
        auto* widget = w.findChild<QWidget*>(QString::fromUtf8(e.name));
        ASSERT_NE(widget, nullptr);
        EXPECT_EQ(widget->geometry(), e.geometry);
        if (auto* button = qobject_cast<QPushButton*>(widget)) {
            EXPECT_EQ(button->text(), e.text);
            EXPECT_TRUE(button->isEnabled());
        } else if (auto* group = qobject_cast<QGroupBox*>(widget)) {
            EXPECT_EQ(group->title(), e.text);
        } else if (auto* box = qobject_cast<QComboBox*>(widget)) {
            EXPECT_TRUE(box->isEditable());
            EXPECT_EQ(box->currentText(), e.text);
            EXPECT_EQ(box->count(), 0);  // no url.txt yet
            EXPECT_EQ(box->parentWidget(), w.AddressGroup());
        } else if (auto* label = qobject_cast<QLabel*>(widget); label != nullptr && !e.text.isEmpty()) {
            EXPECT_EQ(label->text(), e.text);
        }
    }
    EXPECT_EQ(w.StartButton()->parentWidget(), w.AddressGroup());
    EXPECT_FALSE(w.BusyPicture()->isVisible());

    // The status bar: two panes of 300 and 500 pixels, pane 0 empty, pane 1 the welcome line with its tooltip.
    EXPECT_EQ(w.statusBar()->objectName(), QStringLiteral("状态条1"));
    EXPECT_EQ(w.statusBar()->geometry(), QRect(0, 577, 794, 20));
    EXPECT_EQ(w.StatusPane0()->sizeHint().width(), 300);
    EXPECT_EQ(w.StatusPane1()->sizeHint().width(), 500);
    EXPECT_TRUE(w.StatusText().isEmpty());
    EXPECT_FALSE(w.StatusPane1()->text().isEmpty());
    EXPECT_FALSE(w.StatusPane1()->toolTip().isEmpty());

    // The stage timers: idle one-shot timers.
    for (const char* name : {"时钟1", "时钟2", "时钟6"}) {
        auto* timer = w.findChild<QTimer*>(QString::fromUtf8(name));
        ASSERT_NE(timer, nullptr) << name;
        EXPECT_TRUE(timer->isSingleShot());
        EXPECT_FALSE(timer->isActive());
    }
}

TEST_F(MainWindowForm, ResultListHasFifteenColumnsWithTitlesWidthsAndAlignments) {
    MainWindow& w = NewWindow();
    const QStringList titles = {"序号",   "标题", "摆价",     "售价", "历史最低价", "收藏量",   "30天成交", "30天收货",
                                "评价数", "网址", "图片地址", "淘ID", "上新时间",   "发布时间", "下架时间"};
    const int widths[] = {40, 380, 100, 60, 80, 70, 90, 90, 80, 0, 0, 0, 100, 100, 100};
    const bool right[] = {false, false, true,  true,  true, true, true, true,
                          true,  false, false, false, true, true, true};
    ResultModel* model = w.Results();
    ASSERT_EQ(model->columnCount(), 15);
    for (int c = 0; c < 15; ++c) {
        SCOPED_TRACE(c);
        EXPECT_EQ(model->headerData(c, Qt::Horizontal).toString(), titles[c]);
        EXPECT_EQ(w.ResultList()->ColumnWidth(c), widths[c]);
        EXPECT_EQ(w.ResultList()->isColumnHidden(c), widths[c] == 0);
        const int align = model->headerData(c, Qt::Horizontal, Qt::TextAlignmentRole).toInt();
        EXPECT_EQ((align & Qt::AlignRight) != 0, right[c]);
    }

    // Hidden columns are written and read like the others.
    const int row = model->AppendRow("1");
    model->SetCell(row, kItemUrl, "https://item.taobao.com/item.htm?id=1");
    model->SetCell(row, kImageUrl, "http://img/1.jpg");
    model->SetCell(row, kItemId, "1");
    model->SetCell(row, 15, "ignored");
    model->SetCell(7, 1, "ignored");
    EXPECT_EQ(model->Cell(row, kItemUrl), "https://item.taobao.com/item.htm?id=1");
    EXPECT_EQ(model->Cell(row, kImageUrl), "http://img/1.jpg");
    EXPECT_EQ(model->Cell(row, kItemId), "1");
    EXPECT_EQ(model->Cell(row, 15), "");
    EXPECT_EQ(model->Cell(-1, 9), "");
    EXPECT_EQ(model->RowCount(), 1);
    EXPECT_EQ(model->data(model->index(0, kItemId)).toString(), QStringLiteral("1"));
    const int align = model->data(model->index(0, kListPrice), Qt::TextAlignmentRole).toInt();
    EXPECT_TRUE(align & Qt::AlignRight);
}

TEST_F(MainWindowForm, ResizingKeepsTheListsMargins) {
    MainWindow& w = NewWindow();
    w.ResizeOuter(QSize(400, 300));
    QApplication::processEvents();
    EXPECT_EQ(w.ResultList()->geometry(), QRect(1, 76, 388, 163));
    w.ResizeOuter(QSize(1024, 768));
    QApplication::processEvents();
    EXPECT_EQ(w.ResultList()->geometry(), QRect(1, 76, 1012, 631));
    // Nothing else moves.
    EXPECT_EQ(w.ExportButton()->geometry(), QRect(707, 21, 72, 40));
    EXPECT_EQ(w.AddressGroup()->geometry(), QRect(0, 5, 488, 65));
}

TEST_F(MainWindowForm, VendorLabelsComeIntoViewOnlyWhenTheWindowIsWidened) {
    MainWindow& w = NewWindow();
    const QRect client = w.centralWidget()->rect();
    EXPECT_FALSE(client.intersects(w.ContactLabel1()->geometry()));
    EXPECT_FALSE(client.intersects(w.ContactLabel2()->geometry()));
    w.ResizeOuter(QSize(1000, 625));
    QApplication::processEvents();
    const QRect wide = w.centralWidget()->rect();
    EXPECT_TRUE(wide.contains(w.ContactLabel1()->geometry()));
    EXPECT_TRUE(wide.contains(w.ContactLabel2()->geometry()));
    EXPECT_EQ(w.ContactLabel1()->geometry(), QRect(815, 23, 167, 16));

    // Each label opens its group's join page; the status bar opens the vendor's home page.
    QTest::mouseClick(w.ContactLabel1(), Qt::LeftButton);
    QTest::mouseClick(w.ContactLabel2(), Qt::LeftButton);
    QTest::mouseClick(w.StatusPane0(), Qt::LeftButton);
    QTest::mouseClick(w.StatusPane1(), Qt::LeftButton);
    const QString home = QString::fromStdString(Links().makerHome);
    EXPECT_EQ(opened_, QStringList({QString::fromStdString(Links().groupJoinPages[0]),
                                    QString::fromStdString(Links().groupJoinPages[1]), home, home}));
}

TEST_F(MainWindowForm, BusyPictureIsAnAnimatedGifOfEightFrames) {
    MainWindow& w = NewWindow();
    QImageReader reader(QStringLiteral(":/busy.gif"));
    EXPECT_EQ(reader.format(), QByteArray("gif"));
    EXPECT_EQ(reader.size(), QSize(85, 81));
    EXPECT_EQ(reader.imageCount(), 8);
    EXPECT_EQ(reader.loopCount(), -1);  // forever
    for (int i = 0; i < 8; ++i) {
        ASSERT_FALSE(reader.read().isNull()) << i;
        EXPECT_EQ(reader.nextImageDelay(), 60) << i;
    }
    EXPECT_TRUE(w.BusyMovie()->isValid());
    EXPECT_EQ(w.BusyMovie()->state(), QMovie::NotRunning);
    w.BusyPicture()->show();
    EXPECT_EQ(w.BusyMovie()->state(), QMovie::Running);
    w.BusyPicture()->hide();
    EXPECT_EQ(w.BusyMovie()->state(), QMovie::NotRunning);
}

TEST_F(MainWindowForm, TrayMenuHasEveryEntryInOrder) {
    MainWindow& w = NewWindow();
    EXPECT_EQ(w.TrayMenu()->objectName(), QStringLiteral("托盘菜单"));
    EXPECT_EQ(Captions(w.TrayMenu()), QStringList({"Kestrum官网", "官方淘宝店", "-", "短网址生成工具", "文字转语音",
                                                   "运营常用网址", "-", "其他电商软件", "-", "退出软件"}));
    QMenu* sites = FindAction(w.TrayMenu(), QStringLiteral("运营常用网址"))->menu();
    ASSERT_NE(sites, nullptr);
    EXPECT_EQ(Captions(sites),
              QStringList({"生意参谋", "淘宝排行版", "淘宝指数", "搜索诊断助手", "直通车", "站内TOP20万词表",
                           "站外TOP20万词表", "淘宝情报", "超级数据", "阿里指数", "百度指数", "百度搜索风云榜",
                           "新浪微博榜单", "好搜指数", "淘宝模板", "商品类目表"}));
    QMenu* products = FindAction(w.TrayMenu(), QStringLiteral("其他电商软件"))->menu();
    ASSERT_NE(products, nullptr);
    EXPECT_EQ(products->actions().size(), static_cast<qsizetype>(Links().otherProducts.size()));

    EXPECT_EQ(w.ListMenu()->objectName(), QStringLiteral("右键菜单"));
    EXPECT_EQ(Captions(w.ListMenu()), QStringList({"打开链接", "历史分析"}));
}

TEST_F(MainWindowForm, EveryLinkEntryOpensItsAddressOnce) {
    MainWindow& w = NewWindow();
    QMenu* sites = FindAction(w.TrayMenu(), QStringLiteral("运营常用网址"))->menu();
    const auto& table = Links().operationSites;
    ASSERT_EQ(sites->actions().size(), 16);
    for (int i = 0; i < 16; ++i) {
        opened_.clear();
        sites->actions()[i]->trigger();
        ASSERT_EQ(opened_.size(), 1) << i;
        EXPECT_EQ(opened_[0].toStdString(), table[static_cast<std::size_t>(i)].url);
    }
    opened_.clear();
    FindAction(w.TrayMenu(), QStringLiteral("Kestrum官网"))->trigger();
    FindAction(w.TrayMenu(), QStringLiteral("官方淘宝店"))->trigger();
    EXPECT_EQ(opened_,
              QStringList({QString::fromStdString(Links().makerHome), QString::fromStdString(Links().makerShop)}));
    opened_.clear();
    QMenu* products = FindAction(w.TrayMenu(), QStringLiteral("其他电商软件"))->menu();
    for (QAction* a : products->actions()) {
        a->trigger();
    }
    EXPECT_EQ(opened_.size(), products->actions().size());
}

TEST_F(MainWindowForm, LinkTableKeepsTheSchemesAndPaths) {
    const auto& t = Links().operationSites;
    ASSERT_EQ(t.size(), 16u);
    auto starts = [](const std::string& s, std::string_view p) { return s.rfind(p, 0) == 0; };
    auto ends = [](const std::string& s, std::string_view p) {
        return s.size() >= p.size() && s.compare(s.size() - p.size(), p.size(), p) == 0;
    };
    EXPECT_TRUE(starts(t[0].url, "http://") && ends(t[0].url, "/login.htm"));
    for (int i : {1, 2, 3, 4, 7}) {
        EXPECT_TRUE(starts(t[static_cast<std::size_t>(i)].url, "http://")) << i;
        EXPECT_TRUE(ends(t[static_cast<std::size_t>(i)].url, "/")) << i;
    }
    EXPECT_TRUE(starts(t[6].url, "https://") && ends(t[6].url, "/catalog/thread/244117-258918740.htm"));
    EXPECT_TRUE(starts(t[9].url, "http://") && ends(t[9].url, "/alizs/home.htm"));
    EXPECT_TRUE(starts(t[14].url, "http://") && ends(t[14].url, "/listpage/"));
    EXPECT_TRUE(starts(t[15].url, "https://") && ends(t[15].url, "/markets/tbhome/market-list"));
}

TEST_F(MainWindowForm, ToolEntriesCallTheirHooks) {
    MainWindow& w = NewWindow();
    int shortUrl = 0;
    int speech = 0;
    int history = 0;
    FindAction(w.TrayMenu(), QStringLiteral("短网址生成工具"))->trigger();  // no hook yet: nothing happens
    w.SetShortUrlTool([&](MainWindow&) { ++shortUrl; });
    w.SetSpeechTool([&](MainWindow&) { ++speech; });
    w.SetPriceHistoryTool([&](MainWindow& window) {
        EXPECT_EQ(&window, &w);
        ++history;
    });
    FindAction(w.TrayMenu(), QStringLiteral("短网址生成工具"))->trigger();
    FindAction(w.TrayMenu(), QStringLiteral("文字转语音"))->trigger();
    QTest::mouseClick(w.HistoryButton(), Qt::LeftButton);
    w.ListHistoryAction()->trigger();
    EXPECT_EQ(shortUrl, 1);
    EXPECT_EQ(speech, 1);
    EXPECT_EQ(history, 2);
}

TEST_F(MainWindowForm, RowCommandsWithoutASelectedRow) {
    MainWindow& w = NewWindow();
    QTest::mouseClick(w.OpenLinkButton(), Qt::LeftButton);
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_EQ(messages_[0].title, QStringLiteral("信息："));
    EXPECT_EQ(messages_[0].text, QStringLiteral("未选择要打开的商品！"));
    w.ListOpenLinkAction()->trigger();
    EXPECT_EQ(messages_.size(), 2u);
    QTest::mouseDClick(w.ResultList()->viewport(), Qt::LeftButton);
    EXPECT_EQ(messages_.size(), 2u);  // the double-click stays silent
    EXPECT_TRUE(opened_.isEmpty());

    // With a row whose address is set, all three open it.
    ResultModel* model = w.Results();
    for (int i = 0; i < 2; ++i) {
        const int row = model->AppendRow(std::to_string(i + 1));
        model->SetCell(row, kItemUrl, "https://item.taobao.com/item.htm?id=10" + std::to_string(i));
    }
    w.ResultList()->SelectRow(1);
    QTest::mouseClick(w.OpenLinkButton(), Qt::LeftButton);
    w.ListOpenLinkAction()->trigger();
    const QRect second = w.ResultList()->visualRect(model->index(0, 1));
    QTest::mouseDClick(w.ResultList()->viewport(), Qt::LeftButton, {}, second.center());
    EXPECT_EQ(opened_,
              QStringList({"https://item.taobao.com/item.htm?id=101", "https://item.taobao.com/item.htm?id=101",
                           "https://item.taobao.com/item.htm?id=100"}));
    EXPECT_EQ(messages_.size(), 2u);
}

TEST_F(MainWindowForm, TrayIconTogglesTheWindowAndNeverStaysBehind) {
    MainWindow& w = NewWindow();
    ASSERT_NE(w.Tray(), nullptr);
    EXPECT_EQ(w.Tray()->toolTip(), QStringLiteral("Vantrel"));
    EXPECT_FALSE(w.Tray()->icon().isNull());
    EXPECT_EQ(w.Tray()->isVisible(), true);
    emit w.Tray()->activated(QSystemTrayIcon::Trigger);
    EXPECT_FALSE(w.isVisible());
    emit w.Tray()->activated(QSystemTrayIcon::Trigger);
    EXPECT_TRUE(w.isVisible());
    // A double-click toggles twice.
    emit w.Tray()->activated(QSystemTrayIcon::Trigger);
    emit w.Tray()->activated(QSystemTrayIcon::DoubleClick);
    EXPECT_TRUE(w.isVisible());
    // The right button pops up the tray menu.
    emit w.Tray()->activated(QSystemTrayIcon::Context);
    EXPECT_TRUE(QTest::qWaitFor([&] { return w.TrayMenu()->isVisible(); }, 2000));
    w.TrayMenu()->hide();

    // "退出软件" ends the program at once, the tray icon removed first.
    w.ExitAction()->trigger();
    EXPECT_EQ(quits_, 1);
    EXPECT_FALSE(w.Tray()->isVisible());
}

TEST_F(MainWindowForm, ClosingTheWindowEndsTheProgram) {
    MainWindow& w = NewWindow();
    EXPECT_TRUE(w.close());
    EXPECT_EQ(quits_, 1);
    EXPECT_FALSE(w.Tray()->isVisible());
}

TEST_F(MainWindowForm, RightClickOnTheBackgroundPopsUpTheTrayMenu) {
    MainWindow& w = NewWindow();
    QTest::mouseClick(w.centralWidget(), Qt::RightButton, {}, QPoint(520, 40));
    EXPECT_TRUE(QTest::qWaitFor([&] { return w.TrayMenu()->isVisible(); }, 2000));
    w.TrayMenu()->hide();
    QApplication::processEvents();
    // Not on a control.
    QTest::mouseClick(w.ExportButton(), Qt::RightButton);
    QTest::qWait(50);
    EXPECT_FALSE(w.TrayMenu()->isVisible());
    // The list's right click pops up 右键菜单.
    emit w.ResultList()->customContextMenuRequested(QPoint(10, 10));
    EXPECT_TRUE(QTest::qWaitFor([&] { return w.ListMenu()->isVisible(); }, 2000));
    w.ListMenu()->hide();
}

}  // namespace
}  // namespace vantrel::gui::testing

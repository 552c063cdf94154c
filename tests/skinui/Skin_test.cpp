#include <gtest/gtest.h>

#include <QApplication>
#include <QColor>
#include <QComboBox>
#include <QImage>
#include <QLineEdit>
#include <QPalette>
#include <QStyle>
#include <QTest>
#include <cstdlib>
#include <memory>
#include <set>

#include "analysis/ResultTable.h"
#include "skin/MappedModule.h"
#include "skin/Skin.h"
#include "ui/MainWindow.h"
#include "ui/ResultListView.h"
#include "ui/ResultModel.h"
#include "ui/StatusPane.h"
#include "web/Encoding.h"

namespace vantrel::gui {
namespace {

class QtEnvironment final : public ::testing::Environment {
public:
    void SetUp() override {
        static int argc = 1;
        static char name[] = "skin_gui_tests";
        static char* argv[] = {name, nullptr};
        app_ = std::make_unique<QApplication>(argc, argv);
        QApplication::setQuitOnLastWindowClosed(false);
    }
    void TearDown() override { app_.reset(); }

private:
    std::unique_ptr<QApplication> app_;
};

[[maybe_unused]] const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

// What a skin changes in the application.
struct Look {
    QString style;
    QString styleSheet;
    QPalette palette;

    static Look Now() { return {QApplication::style()->name(), qApp->styleSheet(), QApplication::palette()}; }
    bool operator==(const Look& other) const {
        return style == other.style && styleSheet == other.styleSheet && palette == other.palette;
    }
};

// Every test starts from the standard look and leaves it so.
class SkinTest : public ::testing::Test {
protected:
    void SetUp() override { standard_ = Look::Now(); }
    void TearDown() override {
        SetSkinBlockSource({});
        qApp->setStyleSheet({});
        QApplication::setStyle(standard_.style);
        QApplication::setPalette(standard_.palette);
    }

    Look standard_;
};

QByteArray Block(const char* text) {
    return QByteArray(text);
}

TEST_F(SkinTest, TheProgramCarriesThreeDistinctSkins) {
    std::set<QString> names;
    std::set<QRgb> windows;
    std::set<QString> sheets;
    for (int n = 1; n <= 3; ++n) {
        const QByteArray block = SkinBlock(n);
        ASSERT_FALSE(block.isEmpty()) << n;
        const auto skin = ParseSkin(block);
        ASSERT_TRUE(skin.has_value()) << n;
        names.insert(skin->name);
        windows.insert(skin->palette.color(QPalette::Window).rgb());
        sheets.insert(skin->styleSheet);
        // Each styles every kind of window and the controls the program uses.
        for (const char* selector : {"QMainWindow", "QDialog", "vantrel--gui--LoginBrowserWindow", "QPushButton",
                                     "QComboBox", "QLineEdit", "QTableView", "QHeaderView", "QStatusBar", "QMenu"}) {
            EXPECT_TRUE(skin->styleSheet.contains(QLatin1String(selector))) << n << " " << selector;
        }
    }
    EXPECT_EQ(names.size(), 3u);
    EXPECT_EQ(windows.size(), 3u);
    EXPECT_EQ(sheets.size(), 3u);
    EXPECT_TRUE(SkinBlock(0).isEmpty());
    EXPECT_TRUE(SkinBlock(4).isEmpty());
}

TEST_F(SkinTest, TheFormatReadsNamePaletteAndStyleSheet) {
    const auto skin =
        ParseSkin(Block("VSKIN 1\n"
                        "# a comment\n"
                        "\n"
                        "name: 测试\n"
                        "palette Window: #102030\n"
                        "palette Disabled.Text: #405060\n"
                        "palette Highlight: red\n"
                        "---\n"
                        "QPushButton { color: #112233; } /* } in a comment */\n"
                        "QLabel { font-family: \"A } B\"; }\n"));
    ASSERT_TRUE(skin.has_value());
    EXPECT_EQ(skin->name, QStringLiteral("测试"));
    EXPECT_EQ(skin->palette.color(QPalette::Active, QPalette::Window), QColor(0x10, 0x20, 0x30));
    EXPECT_EQ(skin->palette.color(QPalette::Disabled, QPalette::Window), QColor(0x10, 0x20, 0x30));
    EXPECT_EQ(skin->palette.color(QPalette::Disabled, QPalette::Text), QColor(0x40, 0x50, 0x60));
    EXPECT_NE(skin->palette.color(QPalette::Active, QPalette::Text), QColor(0x40, 0x50, 0x60));
    EXPECT_EQ(skin->palette.color(QPalette::Highlight), QColor(Qt::red));
    EXPECT_TRUE(skin->styleSheet.startsWith(QStringLiteral("QPushButton { color: #112233; }")));
}

TEST_F(SkinTest, BrokenBlocksAreRefused) {
    const QByteArray good = SkinBlock(2);
    ASSERT_TRUE(ParseSkin(good).has_value());
    const QByteArray broken[] = {
        {},
        Block("VSKIN 2\nname: x\n---\n"),                             // unknown version
        Block("name: x\n---\n"),                                      // no first line
        Block("VSKIN 1\nname: x\n"),                                  // no end of header
        Block("VSKIN 1\n---\n"),                                      // no name
        Block("VSKIN 1\nname: x\npalette Windows: #fff\n---\n"),      // unknown role
        Block("VSKIN 1\nname: x\npalette NoRole: #fff\n---\n"),       // not a colour role
        Block("VSKIN 1\nname: x\npalette Normal.Text: #fff\n---\n"),  // unknown group
        Block("VSKIN 1\nname: x\npalette Window: #ggg\n---\n"),       // not a colour
        Block("VSKIN 1\nname: x\npalette Window #fff\n---\n"),        // no colon
        Block("VSKIN 1\nname: x\ncolour: #fff\n---\n"),               // unknown key
        Block("VSKIN 1\nname: x\n---\nQWidget { color: red;\n"),      // unbalanced braces
        Block("VSKIN 1\nname: x\n---\nQWidget { color: red; }}\n"),
        Block("VSKIN 1\nname: x\n---\n/* never closed\n"),
        Block("VSKIN 1\nname: \xff\xfe\n---\n"),            // not UTF-8
        QByteArray("VSKIN 1\nname: x\0\n---\n", 20),        // a zero byte
        good.left(good.indexOf('{', good.size() / 2) + 1),  // cut off inside a rule
        good + QByteArray(256 * 1024, ' '),                 // far too large
    };
    for (const QByteArray& block : broken) {
        EXPECT_FALSE(ParseSkin(block).has_value()) << block.left(60).toStdString();
        EXPECT_FALSE(AttachSkinData(block));
    }
    EXPECT_TRUE(Look::Now() == standard_);
}

TEST_F(SkinTest, AttachingASkinOutsideOneToThreeChangesNothing) {
    for (int n : {4, 0, -1, 100}) {
        EXPECT_FALSE(AttachSkin(n)) << n;
    }
    EXPECT_TRUE(Look::Now() == standard_);
}

TEST_F(SkinTest, AttachingSkinTwoChangesTheApplicationsStyleSheetAndPalette) {
    const auto skin = ParseSkin(SkinBlock(2));
    ASSERT_TRUE(skin.has_value());
    ASSERT_TRUE(AttachSkin(2));
    EXPECT_EQ(qApp->styleSheet(), skin->styleSheet);
    EXPECT_FALSE(qApp->styleSheet().isEmpty());
    EXPECT_EQ(QApplication::palette().color(QPalette::Window), QColor(0xf6, 0xf2, 0xed));
    EXPECT_EQ(QApplication::palette().color(QPalette::Highlight), skin->palette.color(QPalette::Highlight));
    EXPECT_FALSE(Look::Now() == standard_);

    // Later windows and controls get the skin too.
    QLineEdit edit;
    EXPECT_EQ(edit.palette().color(QPalette::Window), QColor(0xf6, 0xf2, 0xed));

    // Under the style sheet lies the Fusion style, which draws with the palette on every platform.
    qApp->setStyleSheet({});
    EXPECT_EQ(QApplication::style()->name().toLower(), QStringLiteral("fusion"));
}

TEST_F(SkinTest, EachSkinCanBeAttached) {
    for (int n = 1; n <= 3; ++n) {
        ASSERT_TRUE(AttachSkin(n)) << n;
        EXPECT_EQ(QApplication::palette().color(QPalette::Window),
                  ParseSkin(SkinBlock(n))->palette.color(QPalette::Window));
    }
}

TEST_F(SkinTest, WithoutASkinLibraryImageOurOwnSkinIsAttached) {
    EXPECT_FALSE(LoadSkinLibrary());  // this build carries no library image
    EXPECT_EQ(SkinModule().BaseAddress(), 0u);
    EXPECT_EQ(SkinModule().FindExport("SkinH_AttachRes"), 0u);
    EXPECT_TRUE(AttachSkin(2));
    EXPECT_EQ(qApp->styleSheet(), ParseSkin(SkinBlock(2))->styleSheet);
}

TEST_F(SkinTest, TheMainWindowStillOpensWhenTheSkinDataIsBroken) {
    SetSkinBlockSource(
        [](int n) { return n == 2 ? QByteArray("VSKIN 1\nname: cut off\n---\nQWidget {") : QByteArray(); });
    EXPECT_FALSE(AttachSkin(2));
    auto window = std::make_unique<MainWindow>();  // its "created" handler attaches skin 2
    window->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(Look::Now() == standard_);  // the standard look
}

// The main window drawn with skin 2, a few rows in its list. Writes the picture to VANTREL_SKIN_SCREENSHOT when set.
TEST_F(SkinTest, ScreenshotOfTheMainWindowWithSkinTwo) {
    ASSERT_TRUE(AttachSkin(2));
    auto window = std::make_unique<MainWindow>();
    ResultModel& model = *window->Results();
    const char* rows[][5] = {
        {"2024春季新款纯棉宽松短袖T恤女", "89.00", "59.00", "49.00", "1532"},
        {"北欧简约陶瓷马克杯 大容量咖啡杯", "45.00", "32.80", "29.90", "868"},
        {"手工编织草帽 夏季遮阳沙滩帽", "68.00", "48.00", "45.00", "421"},
        {"天然竹制砧板 家用切菜板加厚", "79.00", "66.00", "66.00", "297"},
        {"复古帆布双肩包 大学生书包", "129.00", "99.00", "89.00", "1104"},
    };
    for (int i = 0; i < 5; ++i) {
        const int row = model.AppendRow(std::to_string(i + 1));
        for (int c = 0; c < 5; ++c) {
            model.SetCell(row, kTitle + c, Utf8ToGbk(rows[i][c]));
        }
        model.SetCell(row, kDeals30d, std::to_string(40 + 17 * i));
        model.SetCell(row, kReceipts30d, std::to_string(31 + 13 * i));
        model.SetCell(row, kReviews, std::to_string(200 + 91 * i));
        model.SetCell(row, kListedAt, "2024-03-0" + std::to_string(i + 1) + " 10:2" + std::to_string(i) + ":00");
    }
    window->ShopAddressBox()->setEditText(QStringLiteral("https://shop.taobao.com/"));
    window->StatusPane0()->setText(QStringLiteral("已完成任务！"));
    window->ResultList()->SelectRow(1);
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    QApplication::processEvents();

    const QImage picture = window->grab().toImage();
    ASSERT_FALSE(picture.isNull());
    // Between the address group and the buttons the window shows the skin's window colour.
    EXPECT_EQ(picture.pixelColor(520, 40), QColor(0xf6, 0xf2, 0xed));

    const char* path = std::getenv("VANTREL_SKIN_SCREENSHOT");
    if (path != nullptr && *path != '\0') {
        EXPECT_TRUE(picture.save(QString::fromLocal8Bit(path), "PNG"));
    }
}

}  // namespace
}  // namespace vantrel::gui

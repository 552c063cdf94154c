// "导出报表" (CSV through the save dialog) and "保存页面" (the HTML report into the data folder).
#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include "GuiTestSupport.h"
#include "analysis/ResultTable.h"
#include "app/DataFolder.h"
#include "app/FileIO.h"
#include "export/CsvExport.h"
#include "export/HtmlReportExport.h"
#include "export/Reports.h"
#include "run/RunDriver.h"
#include "ui/ResultModel.h"
#include "web/WebRequest.h"

namespace vantrel::gui::testing {
namespace {

using Exports = MainWindowTest;

// Two rows of the asynchronous Taobao shop, written straight into the list.
void FillTwoRows(MainWindow& w) {
    const demo::Catalogue& cat = Market().catalogue();
    const demo::Shop& shop = cat.ShopOf(demo::ShopKind::TaobaoAsync);
    const auto items = cat.ItemsOf(shop);
    for (int r = 0; r < 2; ++r) {
        const demo::ExpectedRow row = cat.Expected(*items[static_cast<std::size_t>(r)]);
        w.Results()->AppendRow(std::to_string(r + 1));
        for (int c = 1; c < kColumnCount; ++c) {
            w.Results()->SetCell(r, c, row.cells[static_cast<std::size_t>(c)]);
        }
    }
    w.Results()->SetCell(1, kTitle, Gbk(QStringLiteral("标题, 带逗号")));
    w.ShopAddressBox()->setEditText(QString::fromStdString(shop.address));
}

TEST_F(Exports, CsvWithoutRowsSaysSo) {
    MainWindow& w = NewWindow();
    QTest::mouseClick(w.ExportButton(), Qt::LeftButton);
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_EQ(messages_[0].title, QStringLiteral("Lumora提醒您："));
    EXPECT_EQ(messages_[0].text, QStringLiteral("暂无数据可导出！"));
    EXPECT_TRUE(saveRequests_.empty());
    EXPECT_TRUE(w.ExportButton()->isEnabled());
}

TEST_F(Exports, CsvThroughTheSaveDialog) {
    MainWindow& w = NewWindow();
    FillTwoRows(w);

    // Cancelled: nothing written, no message, the button enabled again.
    saveAnswer_.clear();
    QTest::mouseClick(w.ExportButton(), Qt::LeftButton);
    ASSERT_EQ(saveRequests_.size(), 1u);
    EXPECT_EQ(saveRequests_[0].title, QStringLiteral("导出为CSV文档"));
    EXPECT_EQ(saveRequests_[0].filter, QStringLiteral("*.csv"));
    EXPECT_EQ(saveRequests_[0].defaultSuffix, QStringLiteral("csv"));
    EXPECT_TRUE(saveRequests_[0].initialPath.isEmpty());
    EXPECT_TRUE(messages_.empty());
    EXPECT_TRUE(w.ExportButton()->isEnabled());

    // Written: the builder's bytes, the success message, and the path remembered for the next export.
    const QString path = QString::fromStdString((dataDir_ / "export.csv").string());
    saveAnswer_ = path;
    QTest::mouseClick(w.ExportButton(), Qt::LeftButton);
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_EQ(messages_[0].title, QStringLiteral("恭喜："));
    EXPECT_EQ(messages_[0].text, QStringLiteral("导出CSV成功！"));
    EXPECT_EQ(ReadDataFile("export.csv"), BuildCsv(w.Results()->Table(), ExportLayout::Taobao));
    EXPECT_EQ(w.Csv().LastPath(), path);
    EXPECT_TRUE(w.ExportButton()->isEnabled());

    // A Tmall address gives the Tmall layout; the dialog starts with the previous path.
    w.ShopAddressBox()->setEditText(QStringLiteral("http://mall-shop.tmall.com"));
    QTest::mouseClick(w.ExportButton(), Qt::LeftButton);
    ASSERT_EQ(saveRequests_.size(), 3u);
    EXPECT_EQ(saveRequests_[2].initialPath, path);
    EXPECT_EQ(ReadDataFile("export.csv"), BuildCsv(w.Results()->Table(), ExportLayout::Tmall));

    // A write that fails shows nothing and leaves no file.
    messages_.clear();
    saveAnswer_ = QString::fromStdString((dataDir_ / "missing-folder" / "x.csv").string());
    QTest::mouseClick(w.ExportButton(), Qt::LeftButton);
    EXPECT_TRUE(messages_.empty());
    EXPECT_FALSE(std::filesystem::exists(dataDir_ / "missing-folder"));
    EXPECT_EQ(w.Csv().LastPath(), path);
    EXPECT_TRUE(w.ExportButton()->isEnabled());
}

// Answers the modal widgets as they come up, from a timer (the dialogs run their own event loops). An answer that
// opens a further modal widget must not run inside the timer's tick (the tick would not come again while that
// widget's loop runs): the steps queue such answers.
class ModalDriver {
public:
    explicit ModalDriver(std::function<bool(QWidget* modal)> step) : step_(std::move(step)) {
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            QWidget* modal = QApplication::activeModalWidget();
            if (modal != nullptr && modal != last_ && step_(modal)) {
                last_ = modal;
            }
        });
        timer_.start(20);
    }

private:
    std::function<bool(QWidget*)> step_;
    QTimer timer_;
    QWidget* last_ = nullptr;
};

TEST_F(Exports, CsvWithTheRealDialogAndMessageBoxes) {
    SetSaveFileHook(nullptr);
    SetMessageHook(nullptr);
    MainWindow& w = NewWindow();
    FillTwoRows(w);

    QStringList seen;
    bool replace = false;
    ModalDriver driver([&](QWidget* modal) {
        if (auto* dialog = qobject_cast<QFileDialog*>(modal)) {
            seen << QStringLiteral("dialog:") + dialog->windowTitle() + QStringLiteral("|") +
                        dialog->nameFilters().join(QStringLiteral(";")) + QStringLiteral("|") + dialog->defaultSuffix();
            dialog->setDirectory(QString::fromStdString(dataDir_.string()));
            auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            name->setText(QStringLiteral("report"));  // no extension: ".csv" is added
            QMetaObject::invokeMethod(
                name, [name] { QTest::keyClick(name, Qt::Key_Return); }, Qt::QueuedConnection);
            return true;
        }
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            seen << QStringLiteral("box:") + box->windowTitle() + QStringLiteral("|") + box->text();
            if (box->button(QMessageBox::Yes) != nullptr) {  // the dialog's overwrite confirmation
                replace = true;
                QMetaObject::invokeMethod(box->button(QMessageBox::Yes), &QPushButton::click, Qt::QueuedConnection);
            } else {
                QMetaObject::invokeMethod(box->button(QMessageBox::Ok), &QPushButton::click, Qt::QueuedConnection);
            }
            return true;
        }
        return false;
    });

    QTest::mouseClick(w.ExportButton(), Qt::LeftButton);
    ASSERT_GE(seen.size(), 2);
    EXPECT_EQ(seen[0], QStringLiteral("dialog:导出为CSV文档|*.csv|csv"));
    EXPECT_EQ(seen[1], QStringLiteral("box:恭喜：|导出CSV成功！"));
    EXPECT_EQ(ReadDataFile("report.csv"), BuildCsv(w.Results()->Table(), ExportLayout::Taobao));
    EXPECT_FALSE(replace);

    // The same name again: the dialog asks before replacing the file.
    w.Results()->SetCell(0, kTitle, "changed");
    QTest::mouseClick(w.ExportButton(), Qt::LeftButton);
    EXPECT_TRUE(replace);
    EXPECT_EQ(ReadDataFile("report.csv"), BuildCsv(w.Results()->Table(), ExportLayout::Taobao));
    EXPECT_TRUE(w.ExportButton()->isEnabled());
}

TEST_F(Exports, HtmlReportIsWrittenIntoTheDataFolderWhichIsThenOpened) {
    MainWindow& w = NewWindow();
    FillTwoRows(w);
    const demo::Shop& shop = Market().catalogue().ShopOf(demo::ShopKind::TaobaoAsync);
    QSignalSpy done(&w.HtmlReport(), &HtmlReportExport::finished);
    QTest::mouseClick(w.SavePageButton(), Qt::LeftButton);
    EXPECT_FALSE(w.SavePageButton()->isEnabled());
    ASSERT_TRUE(done.wait(30000));
    EXPECT_TRUE(w.SavePageButton()->isEnabled());
    EXPECT_TRUE(messages_.empty());

    const std::string page = web::PageText(web::WebRequest(shop.address));
    const std::string title = ReportTitleFor(page, shop.address);
    EXPECT_EQ(Q(title), QString::fromStdString(shop.name));
    // The file carries the shop's name in UTF-8, as the file manager shows it.
    const std::filesystem::path file = dataDir_ / (shop.name + ".html");
    EXPECT_EQ(file, ReportFilePath(dataDir_, title));
    EXPECT_EQ(done.at(0).at(0).toString(), QString::fromStdString(file.string()));
    EXPECT_EQ(ReadWholeFile(file).value_or(""), BuildHtmlReport(w.Results()->Table(), ExportLayout::Taobao, title));
    ASSERT_EQ(opened_.size(), 1);
    EXPECT_EQ(opened_[0], QString::fromStdString(dataDir_.string()));
}

TEST_F(Exports, HtmlReportWithoutRowsSaysSo) {
    MainWindow& w = NewWindow();
    QTest::mouseClick(w.SavePageButton(), Qt::LeftButton);
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_EQ(messages_[0].title, QStringLiteral("Lumora提醒您："));
    EXPECT_EQ(messages_[0].text, QStringLiteral("暂无数据可保存"));
    EXPECT_TRUE(w.SavePageButton()->isEnabled());
    EXPECT_TRUE(opened_.isEmpty());
}

TEST_F(Exports, HtmlReportThatCannotBeWrittenOpensNothing) {
    MainWindow& w = NewWindow();
    FillTwoRows(w);
    // A data folder that is a file: the write fails (also for root).
    WriteDataFile("not-a-folder", "x");
    SetDataFolder(dataDir_ / "not-a-folder");
    QSignalSpy done(&w.HtmlReport(), &HtmlReportExport::finished);
    QTest::mouseClick(w.SavePageButton(), Qt::LeftButton);
    const bool ended = done.wait(30000);
    SetDataFolder(dataDir_);
    ASSERT_TRUE(ended);
    EXPECT_TRUE(done.at(0).at(0).toString().isEmpty());
    EXPECT_TRUE(opened_.isEmpty());
    EXPECT_TRUE(messages_.empty());
    EXPECT_TRUE(w.SavePageButton()->isEnabled());
}

}  // namespace
}  // namespace vantrel::gui::testing

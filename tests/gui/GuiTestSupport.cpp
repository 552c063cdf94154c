#include "GuiTestSupport.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <chrono>
#include <fstream>
#include <random>

#include "app/DataFolder.h"
#include "app/FileIO.h"
#include "run/RunDriver.h"
#include "run/Workers.h"
#include "web/BrowserEnvironment.h"
#include "web/Encoding.h"
#include "web/WebSettings.h"

namespace vantrel::gui::testing {
namespace {

class QtEnvironment final : public ::testing::Environment {
public:
    void SetUp() override {
        // The marketplace first: the embedded browser takes its host mapping before the application exists.
        market_ = std::make_unique<demo::DemoMarket>();
        ASSERT_TRUE(market_->start());
        ASSERT_TRUE(web::SetMarketRoute("http://127.0.0.1:" + std::to_string(market_->port())));
        PrepareBrowserEnvironment(web::MarketRouteTarget());
        static int argc = 1;
        static char name[] = "gui_tests";
        static char* argv[] = {name, nullptr};
        app_ = new QApplication(argc, argv);
        QApplication::setQuitOnLastWindowClosed(false);
    }
    void TearDown() override {
        if (market_) {
            market_->stop();
        }
    }
    QApplication* app_ = nullptr;
    std::unique_ptr<demo::DemoMarket> market_;
};

QtEnvironment* const kEnvironment = static_cast<QtEnvironment*>(::testing::AddGlobalTestEnvironment(new QtEnvironment));

}  // namespace

demo::DemoMarket& Market() {
    return *kEnvironment->market_;
}

QString Q(const std::string& gbk) {
    return FromGbk(gbk);
}

std::string Gbk(const QString& text) {
    return ToGbk(text);
}

void MainWindowTest::SetUp() {
    std::random_device rd;
    dataDir_ = std::filesystem::temp_directory_path() / ("vantrel-gui-test-" + std::to_string(rd()));
    std::filesystem::create_directories(dataDir_);
    SetDataFolder(dataDir_);
    SetMessageHook([this](QWidget*, const QString& title, const QString& text) { messages_.push_back({title, text}); });
    SetSaveFileHook([this](QWidget*, const SaveFileRequest& request) {
        saveRequests_.push_back(request);
        return saveAnswer_;
    });
}

void MainWindowTest::TearDown() {
    DestroyWindow();
    SetMessageHook(nullptr);
    SetSaveFileHook(nullptr);
    EXPECT_TRUE(WaitForWorkers(std::chrono::seconds(30)));
    std::error_code ec;
    std::filesystem::remove_all(dataDir_, ec);
}

MainWindow& MainWindowTest::NewWindow() {
    DestroyWindow();
    window_ = std::make_unique<MainWindow>();
    window_->SetOpenAction([this](const QString& address) { opened_ << address; });
    window_->SetQuitAction([this] { ++quits_; });
    window_->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
    return *window_;
}

void MainWindowTest::DestroyWindow() {
    window_.reset();
    QApplication::processEvents();
}

bool MainWindowTest::RunShop(const QString& typed, int timeoutMs) {
    QLineEdit* edit = window_->ShopAddressBox()->lineEdit();
    edit->clear();
    QTest::keyClicks(edit, typed);
    QTest::mouseClick(window_->StartButton(), Qt::LeftButton);
    return WaitForFinish(timeoutMs);
}

bool MainWindowTest::WaitForFinish(int timeoutMs) {
    return QTest::qWaitFor([this] { return !window_->Run().Running(); }, timeoutMs);
}

std::string MainWindowTest::ReadDataFile(const std::string& name) const {
    return ReadWholeFile(dataDir_ / name).value_or(std::string());
}

void MainWindowTest::WriteDataFile(const std::string& name, const std::string& bytes) const {
    ASSERT_TRUE(WriteFileAtomic(dataDir_ / name, bytes));
}

}  // namespace vantrel::gui::testing

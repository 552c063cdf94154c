// Shared set-up of the main-window tests: one QApplication and one demo marketplace for the whole binary, a fresh
// data folder per test, and the modal prompts and the desktop's open action answered by the test.
#pragma once

#include <gtest/gtest.h>

#include <QString>
#include <QStringList>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Market.h"
#include "tools/ToolSeams.h"
#include "ui/MainWindow.h"

namespace vantrel::gui::testing {

// The marketplace every test talks to (started once, routed through --market).
demo::DemoMarket& Market();

// UTF-8 QString of GBK text and back.
QString Q(const std::string& gbk);
std::string Gbk(const QString& text);

struct Message {
    QString title;
    QString text;
};

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // A new main window on the test's data folder, with the open action and the quit action recorded.
    MainWindow& NewWindow();
    void DestroyWindow();

    // Types the address into the box, clicks "淘一下" and waits until the run has finished (true) or timeoutMs
    // passed (false).
    bool RunShop(const QString& typed, int timeoutMs = 90000);
    // Waits until the run in progress has finished.
    bool WaitForFinish(int timeoutMs = 90000);

    std::string ReadDataFile(const std::string& name) const;
    void WriteDataFile(const std::string& name, const std::string& bytes) const;

    std::filesystem::path dataDir_;
    std::unique_ptr<MainWindow> window_;
    std::vector<Message> messages_;
    QStringList opened_;
    int quits_ = 0;
    // What the save dialog answers (empty: cancelled); the requests it was shown with.
    QString saveAnswer_;
    std::vector<SaveFileRequest> saveRequests_;
};

}  // namespace vantrel::gui::testing

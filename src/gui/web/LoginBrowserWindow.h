// The login browser window: shows BrowserTargetUrl in an embedded browser so the user can log in or pass a
// security check there, watches the document until it looks usable and hands it to the run.
#pragma once

#include <QPointer>
#include <QWidget>
#include <memory>
#include <string>

#include "run/CaptureSeam.h"

class QTimer;
class QWebEngineView;

namespace vantrel::gui {

class LoginBrowserWindow final : public QWidget {
    Q_OBJECT
public:
    static constexpr int kFirstCheckMs = 1000;  // after the browser's last navigation or download event
    static constexpr int kRecheckMs = 100;      // while the page is not good yet

    explicit LoginBrowserWindow(CaptureHost& host);
    ~LoginBrowserWindow() override;

    // Destroys the window without its closing work: a newer window takes over the request.
    void Replace();

    QWebEngineView* Browser() const { return browser_; }

signals:
    // A capture check found a good page (before the window goes away).
    void captured();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void ArmCheck(int ms);
    void CaptureListingPage();
    void Judge(const std::string& documentSource);
    void Finish(bool byUser);

    CaptureHost& host_;
    QWebEngineView* browser_ = nullptr;  // 超文本浏览框1
    QTimer* timer_ = nullptr;            // 时钟1
    std::string target_;
    bool done_ = false;      // the closing work ran (or was skipped by Replace)
    bool checking_ = false;  // a document serialisation is in flight
};

// Makes the login browser windows for the run: one at a time.
class LoginBrowserCapture final : public CaptureWindowFactory {
public:
    void Reopen(CaptureHost& host) override;
    void CloseAll() override;
    bool IsOpen() const override { return !window_.isNull(); }

    LoginBrowserWindow* Window() const { return window_.data(); }

private:
    QPointer<LoginBrowserWindow> window_;
};

}  // namespace vantrel::gui

#include "web/LoginBrowserWindow.h"

#include <QCloseEvent>
#include <QTimer>
#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineView>

#include "web/BrowserProfile.h"
#include "web/CapturedPage.h"
#include "web/Encoding.h"
#include "web/WebRequest.h"

namespace vantrel::gui {

LoginBrowserWindow::LoginBrowserWindow(CaptureHost& host) : QWidget(nullptr, Qt::Window), host_(host) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("请登录淘宝网后继续操作！ 如果是输入验证码，需要输入后手动关闭本窗口！"));
    setGeometry(50, 50, 800, 592);

    browser_ = new QWebEngineView(this);
    browser_->setObjectName(QStringLiteral("超文本浏览框1"));
    browser_->setPage(new QWebEnginePage(BrowserProfile::Instance().Profile(), browser_));
    browser_->setGeometry(0, 0, 795, 565);

    timer_ = new QTimer(this);
    timer_->setObjectName(QStringLiteral("时钟1"));
    timer_->setSingleShot(true);
    connect(timer_, &QTimer::timeout, this, &LoginBrowserWindow::CaptureListingPage);

    // Navigation complete and download complete: the first check comes a second after the last of them.
    connect(browser_, &QWebEngineView::loadFinished, this, [this](bool) { ArmCheck(kFirstCheckMs); });
    connect(browser_, &QWebEngineView::urlChanged, this, [this](const QUrl&) { ArmCheck(kFirstCheckMs); });

    target_ = host_.State().BrowserTargetUrl();
    browser_->load(QUrl(QString::fromStdString(GbkToUtf8(target_))));
}

LoginBrowserWindow::~LoginBrowserWindow() {
    Finish(false);
}

void LoginBrowserWindow::ArmCheck(int ms) {
    if (!done_) {
        timer_->start(ms);
    }
}

void LoginBrowserWindow::CaptureListingPage() {
    timer_->stop();
    if (done_ || checking_) {
        return;
    }
    checking_ = true;
    QPointer<LoginBrowserWindow> self(this);
    browser_->page()->toHtml([self](const QString& html) {
        if (!self || self->done_) {
            return;
        }
        self->checking_ = false;
        std::string source = Utf8ToGbk(html.toStdString());
        if (!source.empty()) {
            self->Judge(source);
            return;
        }
        // No document: judge the page as a direct fetch gives it, off the user-interface thread.
        self->checking_ = true;
        self->host_.FetchInBackground(self->target_, [self](std::string body) {
            if (!self || self->done_) {
                return;
            }
            self->checking_ = false;
            self->Judge(web::PageText(body));
        });
    });
}

void LoginBrowserWindow::Judge(const std::string& documentSource) {
    RunState& state = host_.State();
    const std::string page = NormaliseCapturedPage(documentSource);
    state.SetListingPageText(page);
    if (WantsLoginFirstCaption(page)) {
        setWindowTitle(QStringLiteral("请先登录淘宝网再操作！"));
    }
    show();
    if (!IsGoodListingPage(page)) {
        ArmCheck(kRecheckMs);
        return;
    }
    setWindowTitle(QStringLiteral("获取信息成功！"));
    done_ = true;
    if (state.BrowserPurpose == 9) {
        state.VerifyPending = 0;
        state.BrowserPurpose = 0;
    } else {
        host_.ArmCrawl();
    }
    emit captured();
    // ListingPageText is filled, so the closing work only resets the flags, which is done above.
    deleteLater();
    hide();
}

void LoginBrowserWindow::closeEvent(QCloseEvent* event) {
    Finish(true);
    event->accept();
}

void LoginBrowserWindow::Replace() {
    done_ = true;
    timer_->stop();
    deleteLater();
    hide();
}

void LoginBrowserWindow::Finish(bool byUser) {
    if (done_) {
        return;
    }
    done_ = true;
    timer_->stop();
    RunState& state = host_.State();
    const bool forCrawl = state.BrowserPurpose != 9;
    CaptureHost& host = host_;
    // The order of effects stays: ListingPageText first, then the flags, then the run goes on.
    auto release = [&host, forCrawl, byUser] {
        host.State().VerifyPending = 0;
        host.State().BrowserPurpose = 0;
        if (forCrawl && byUser) {
            host.CaptureAbandoned();
        }
    };
    if (!state.ListingPageText().empty()) {
        release();
        return;
    }
    host_.FetchInBackground(target_, [&host, release](std::string body) {
        if (host.State().ListingPageText().empty()) {
            host.State().SetListingPageText(NormaliseCapturedPage(web::PageText(body)));
        }
        release();
    });
}

void LoginBrowserCapture::Reopen(CaptureHost& host) {
    if (window_) {
        window_->Replace();
    }
    window_ = new LoginBrowserWindow(host);
    window_->show();
}

void LoginBrowserCapture::CloseAll() {
    if (window_) {
        window_->Replace();
        window_ = nullptr;
    }
}

}  // namespace vantrel::gui

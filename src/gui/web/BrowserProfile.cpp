#include "web/BrowserProfile.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QNetworkCookie>
#include <QUrl>
#include <QWebEngineCookieStore>
#include <QWebEngineProfile>
#include <filesystem>

#include "app/DataFolder.h"
#include "web/CookieStore.h"
#include "web/WebSettings.h"

namespace vantrel::gui {
namespace {

std::string KeyOf(const web::Cookie& c) {
    return c.name + '\t' + c.domain + '\t' + (c.hostOnly ? "1" : "0") + '\t' + c.path;
}

web::Cookie FromNetworkCookie(const QNetworkCookie& q) {
    web::Cookie c;
    c.name = q.name().toStdString();
    c.value = q.value().toStdString();
    QString domain = q.domain();
    c.hostOnly = !domain.startsWith(QLatin1Char('.'));
    if (!c.hostOnly) {
        domain.remove(0, 1);
    }
    c.domain = domain.toLower().toStdString();
    c.path = q.path().isEmpty() ? std::string("/") : q.path().toStdString();
    c.secure = q.isSecure();
    c.httpOnly = q.isHttpOnly();
    c.expiry = q.expirationDate().isValid() ? q.expirationDate().toSecsSinceEpoch() : 0;
    return c;
}

// The cookie as Chromium takes it: a host-only cookie has no domain and is bound to its origin; a domain
// cookie carries ".domain" and an origin inside that domain (otherwise Chromium drops it silently).
QNetworkCookie ToNetworkCookie(const web::Cookie& c) {
    QNetworkCookie q(QByteArray::fromStdString(c.name), QByteArray::fromStdString(c.value));
    if (!c.hostOnly) {
        q.setDomain(QLatin1Char('.') + QString::fromStdString(c.domain));
    }
    q.setPath(QString::fromStdString(c.path));
    q.setSecure(c.secure);
    q.setHttpOnly(c.httpOnly);
    if (c.expiry > 0) {
        q.setExpirationDate(QDateTime::fromSecsSinceEpoch(c.expiry));
    }
    return q;
}

QUrl OriginOf(const web::Cookie& c) {
    return QUrl(QString::fromLatin1(c.secure ? "https://" : "http://") + QString::fromStdString(c.domain) +
                QLatin1Char('/'));
}

}  // namespace

BrowserProfile& BrowserProfile::Instance() {
    static BrowserProfile* instance = new BrowserProfile;
    return *instance;
}

BrowserProfile::BrowserProfile() : QObject(QCoreApplication::instance()) {
    const std::filesystem::path storage = DataFolder() / "browser" / "profile";
    const std::filesystem::path cache = web::BrowserCacheFolder();
    std::error_code ec;
    std::filesystem::create_directories(storage, ec);
    std::filesystem::create_directories(cache, ec);

    profile_ = new QWebEngineProfile(QStringLiteral("vantrel"), this);
    profile_->setPersistentStoragePath(QString::fromStdString(storage.string()));
    profile_->setCachePath(QString::fromStdString(cache.string()));
    // No HTTP cache: every page comes from the server, as for WebRequest. (Clearing Chromium's cache right
    // before a navigation, as every run start does, can stall that navigation for good.)
    profile_->setHttpCacheType(QWebEngineProfile::NoCache);
    profile_->setPersistentCookiesPolicy(QWebEngineProfile::NoPersistentCookies);

    QWebEngineCookieStore* store = profile_->cookieStore();
    connect(store, &QWebEngineCookieStore::cookieAdded, this, &BrowserProfile::OnBrowserCookieAdded);
    connect(store, &QWebEngineCookieStore::cookieRemoved, this, &BrowserProfile::OnBrowserCookieRemoved);

    // Changes made by WebRequest responses or by the program reach the browser on this thread, in order.
    listenerId_ = web::AddCookieListener([this](const web::CookieEvent& event) {
        if (event.origin == web::CookieOrigin::Browser) {
            return;  // the browser's own change coming back
        }
        QMetaObject::invokeMethod(
            this,
            [this, event] {
                switch (event.change) {
                    case web::CookieChange::Added:
                        PushToBrowser(event.cookie);
                        break;
                    case web::CookieChange::Removed:
                        pendingEchoes_.erase(KeyOf(event.cookie));
                        profile_->cookieStore()->deleteCookie(ToNetworkCookie(event.cookie), OriginOf(event.cookie));
                        break;
                    case web::CookieChange::Cleared:
                        pendingEchoes_.clear();
                        profile_->cookieStore()->deleteAllCookies();
                        break;
                }
            },
            Qt::QueuedConnection);
    });
    // Listed after the listener is in place, so a change made meanwhile is not missed (a cookie pushed twice
    // is harmless).
    for (const web::Cookie& c : web::ListCookies()) {
        PushToBrowser(c);
    }
}

BrowserProfile::~BrowserProfile() {
    if (listenerId_ >= 0) {
        web::RemoveCookieListener(listenerId_);
    }
}

void BrowserProfile::PushToBrowser(const web::Cookie& cookie) {
    pendingEchoes_[KeyOf(cookie)] = cookie.value;
    profile_->cookieStore()->setCookie(ToNetworkCookie(cookie), OriginOf(cookie));
}

void BrowserProfile::OnBrowserCookieAdded(const QNetworkCookie& cookie) {
    ++browserEvents_;
    const web::Cookie c = FromNetworkCookie(cookie);
    auto echo = pendingEchoes_.find(KeyOf(c));
    if (echo != pendingEchoes_.end() && echo->second == c.value) {
        pendingEchoes_.erase(echo);
        return;
    }
    web::SetCookie(c, web::CookieOrigin::Browser);
}

void BrowserProfile::OnBrowserCookieRemoved(const QNetworkCookie& cookie) {
    ++browserEvents_;
    const web::Cookie c = FromNetworkCookie(cookie);
    if (pendingEchoes_.count(KeyOf(c)) != 0) {
        return;  // an overwrite we asked for: Chromium removes the old cookie before adding ours
    }
    web::RemoveCookie(c, web::CookieOrigin::Browser);
}

}  // namespace vantrel::gui

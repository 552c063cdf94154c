// The embedded browser's profile: kept in the data folder, without an HTTP cache, and its cookies mirrored both ways
// with the process's cookie store, so a login or a passed check in the browser holds for every later WebRequest and a
// cookie a response set is seen by the browser. Our store stays authoritative (Chromium cannot list the cookies it
// restores from disk), so the browser keeps no cookie file of its own and gets the store's cookies pushed at start.
#pragma once

#include <QObject>
#include <QString>
#include <map>
#include <string>

#include "web/CookieStore.h"

class QWebEngineProfile;
class QNetworkCookie;

namespace vantrel::gui {

class BrowserProfile final : public QObject {
    Q_OBJECT
public:
    // The profile of the process, created on first use (user-interface thread, after the data folder is set).
    static BrowserProfile& Instance();

    QWebEngineProfile* Profile() const { return profile_; }

    // Cookie mirroring is asynchronous in Chromium; tests wait for it with this count of browser-side changes.
    int BrowserCookieEvents() const { return browserEvents_; }

private:
    BrowserProfile();
    ~BrowserProfile() override;

    void OnBrowserCookieAdded(const QNetworkCookie& cookie);
    void OnBrowserCookieRemoved(const QNetworkCookie& cookie);
    void PushToBrowser(const web::Cookie& cookie);

    QWebEngineProfile* profile_ = nullptr;
    int listenerId_ = -1;
    int browserEvents_ = 0;
    // Cookies we pushed into the browser whose echoes (a removal for the overwrite, then the addition) are due.
    std::map<std::string, std::string> pendingEchoes_;
};

}  // namespace vantrel::gui

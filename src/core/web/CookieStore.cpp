// The cookie store: libcurl's cookie engine in a share handle holds the cookies that requests send and receive;
// `known` mirrors it as the state last told to the listeners and written to the file.
//
// Locks, always taken in this order: fileLock -> cookieLock -> queueLock / listenersLock.
// cookieLock is the share's CURL_LOCK_DATA_COOKIE lock. It is recursive so that an operation made of several
// libcurl calls (read, change, read again) holds it throughout and no transfer changes the cookies in between.
#include "web/CookieStore.h"

#include <curl/curl.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdlib>
#include <ctime>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <tuple>

#include "app/DataFolder.h"
#include "app/FileIO.h"
#include "web/WebRequest.h"

namespace vantrel::web {

namespace {

using Key = std::tuple<std::string, std::string, bool, std::string>;  // name, domain, hostOnly, path

Key KeyOf(const Cookie& c) {
    return {c.name, c.domain, c.hostOnly, c.path};
}

std::int64_t Now() {
    return static_cast<std::int64_t>(std::time(nullptr));
}

bool Expired(const Cookie& c, std::int64_t now) {
    return c.expiry > 0 && c.expiry <= now;
}

std::string Lower(std::string s) {
    for (char& ch : s) {
        ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    }
    return s;
}

bool CleanField(std::string_view s) {
    return s.find_first_of(std::string_view("\t\r\n\0", 4)) == std::string_view::npos;
}

// Brings a cookie given by a caller into the stored form; false when it cannot be stored.
bool Normalise(Cookie& c) {
    if (!c.domain.empty() && c.domain.front() == '.') {
        c.domain.erase(0, 1);
        c.hostOnly = false;
    }
    c.domain = Lower(c.domain);
    if (c.path.empty()) {
        c.path = "/";
    }
    if (c.expiry < 0) {
        c.expiry = 1;  // in the past: a removal
    }
    return !c.name.empty() && !c.domain.empty() && c.domain.find_first_of("#/ ") == std::string::npos &&
           c.path.front() == '/' && CleanField(c.name) && CleanField(c.value) && CleanField(c.domain) &&
           CleanField(c.path);
}

struct ListenerEntry {
    CookieListener fn;
    std::recursive_mutex callLock;  // held during a call; RemoveCookieListener waits on it
    bool active = true;             // guarded by callLock
};

struct Store {
    CURLSH* share = nullptr;
    CURL* helper = nullptr;  // attached to the share; used only while cookieLock is held

    std::recursive_mutex cookieLock;  // CURL_LOCK_DATA_COOKIE
    std::mutex shareLock;             // CURL_LOCK_DATA_SHARE (and anything else libcurl may ask for)

    // Guarded by cookieLock.
    std::map<Key, Cookie> known;
    std::uint64_t persistentGeneration = 0;  // counts changes that touch the file

    std::filesystem::path file;
    std::mutex fileLock;
    std::uint64_t writtenGeneration = 0;  // guarded by fileLock

    std::mutex queueLock;
    std::deque<CookieEvent> queue;
    std::atomic<bool> draining{false};

    std::mutex listenersLock;
    std::map<int, std::shared_ptr<ListenerEntry>> listeners;
    int nextListenerId = 1;
};

Store* g_store = nullptr;
std::once_flag g_storeOnce;

void LockShare(CURL*, curl_lock_data data, curl_lock_access, void* userptr) {
    auto* s = static_cast<Store*>(userptr);
    if (data == CURL_LOCK_DATA_COOKIE) {
        s->cookieLock.lock();
    } else {
        s->shareLock.lock();
    }
}

void UnlockShare(CURL*, curl_lock_data data, void* userptr) {
    auto* s = static_cast<Store*>(userptr);
    if (data == CURL_LOCK_DATA_COOKIE) {
        s->cookieLock.unlock();
    } else {
        s->shareLock.unlock();
    }
}

// The non-expired cookies of the share. Caller holds cookieLock.
std::map<Key, Cookie> ReadShareLocked(Store& s) {
    std::map<Key, Cookie> out;
    curl_slist* list = nullptr;
    if (curl_easy_getinfo(s.helper, CURLINFO_COOKIELIST, &list) != CURLE_OK) {
        return out;
    }
    const std::int64_t now = Now();
    for (curl_slist* p = list; p; p = p->next) {
        Cookie c;
        if (p->data && CookieFromNetscapeLine(p->data, c) && !Expired(c, now)) {
            out[KeyOf(c)] = std::move(c);
        }
    }
    curl_slist_free_all(list);
    return out;
}

struct Outcome {
    bool changed = false;
    bool persist = false;
    std::uint64_t generation = 0;
};

void Queue(Store& s, CookieEvent ev) {
    std::lock_guard<std::mutex> q(s.queueLock);
    s.queue.push_back(std::move(ev));
}

// Compares the share with `known`, queues an event per difference (attributed to origin) and updates `known`.
// A cookie that merely expired disappears without an event: every holder expires it by itself.
// Caller holds cookieLock.
void SyncLocked(Store& s, CookieOrigin origin, Outcome& out) {
    std::map<Key, Cookie> current = ReadShareLocked(s);
    const std::int64_t now = Now();
    bool persist = false;
    for (const auto& [key, old] : s.known) {
        if (current.find(key) == current.end()) {
            if (Expired(old, now)) {
                continue;
            }
            Queue(s, CookieEvent{CookieChange::Removed, old, origin});
            out.changed = true;
            persist = persist || old.expiry != 0;
        }
    }
    for (const auto& [key, cookie] : current) {
        auto it = s.known.find(key);
        if (it != s.known.end() && it->second == cookie) {
            continue;
        }
        Queue(s, CookieEvent{CookieChange::Added, cookie, origin});
        out.changed = true;
        persist = persist || cookie.expiry != 0 || (it != s.known.end() && it->second.expiry != 0);
    }
    s.known = std::move(current);
    if (persist) {
        ++s.persistentGeneration;
        out.persist = true;
    }
    out.generation = s.persistentGeneration;
}

std::string FileContentLocked(const Store& s) {
    std::string text =
        "# Netscape HTTP Cookie File\n"
        "# The persistent cookies of Vantrel, shared by its web requests and its browser.\n"
        "# Rewritten whole after every change.\n\n";
    const std::int64_t now = Now();
    for (const auto& [key, c] : s.known) {
        if (c.expiry != 0 && !Expired(c, now)) {
            text += CookieToNetscapeLine(c);
            text += '\n';
        }
    }
    return text;
}

// Writes the file unless a later write already covered generation `upTo`.
void WriteFile(Store& s, std::uint64_t upTo) {
    std::lock_guard<std::mutex> f(s.fileLock);
    if (s.writtenGeneration >= upTo) {
        return;
    }
    std::string content;
    std::uint64_t generation = 0;
    {
        std::lock_guard<std::recursive_mutex> c(s.cookieLock);
        content = FileContentLocked(s);
        generation = s.persistentGeneration;
    }
    std::error_code ec;
    std::filesystem::create_directories(s.file.parent_path(), ec);
    if (WriteFileAtomic(s.file, content)) {
        s.writtenGeneration = generation;
    }
}

// Delivers the queued events in order. Whoever finds the queue being delivered leaves its events to that
// thread, so no thread ever waits here for another (and a listener may change the store).
void Drain(Store& s) {
    for (;;) {
        bool expected = false;
        if (!s.draining.compare_exchange_strong(expected, true)) {
            return;
        }
        for (;;) {
            CookieEvent ev;
            {
                std::lock_guard<std::mutex> q(s.queueLock);
                if (s.queue.empty()) {
                    break;
                }
                ev = std::move(s.queue.front());
                s.queue.pop_front();
            }
            std::vector<std::shared_ptr<ListenerEntry>> targets;
            {
                std::lock_guard<std::mutex> l(s.listenersLock);
                for (const auto& [id, entry] : s.listeners) {
                    targets.push_back(entry);
                }
            }
            for (const auto& entry : targets) {
                std::lock_guard<std::recursive_mutex> call(entry->callLock);
                if (entry->active) {
                    try {
                        entry->fn(ev);
                    } catch (...) {
                        // A listener's failure is its own; the others still hear of the change.
                    }
                }
            }
        }
        s.draining.store(false);
        std::lock_guard<std::mutex> q(s.queueLock);
        if (s.queue.empty()) {
            return;
        }
    }
}

void Finish(Store& s, const Outcome& out) {
    if (out.persist) {
        WriteFile(s, out.generation);
    }
    Drain(s);
}

void AddLineLocked(Store& s, const Cookie& c) {
    const std::string line = CookieToNetscapeLine(c);
    curl_easy_setopt(s.helper, CURLOPT_COOKIELIST, line.c_str());
}

void LoadFileLocked(Store& s) {
    std::optional<std::string> text = ReadWholeFile(s.file);
    if (!text) {
        return;
    }
    const std::int64_t now = Now();
    std::size_t pos = 0;
    while (pos < text->size()) {
        std::size_t end = text->find('\n', pos);
        if (end == std::string::npos) {
            end = text->size();
        }
        Cookie c;
        if (CookieFromNetscapeLine(std::string_view(*text).substr(pos, end - pos), c) && c.expiry != 0 &&
            !Expired(c, now)) {
            AddLineLocked(s, c);
        }
        pos = end + 1;
    }
    s.known = ReadShareLocked(s);
}

void CreateStore() {
    if (curl_global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK) {
        return;
    }
    auto* s = new Store;  // lives until the process ends
    s->share = curl_share_init();
    s->helper = curl_easy_init();
    if (!s->share || !s->helper) {
        return;
    }
    curl_share_setopt(s->share, CURLSHOPT_LOCKFUNC, LockShare);
    curl_share_setopt(s->share, CURLSHOPT_UNLOCKFUNC, UnlockShare);
    curl_share_setopt(s->share, CURLSHOPT_USERDATA, s);
    curl_share_setopt(s->share, CURLSHOPT_SHARE, CURL_LOCK_DATA_COOKIE);
    curl_easy_setopt(s->helper, CURLOPT_SHARE, s->share);
    s->file = DataFolder() / "cookies.txt";
    {
        std::lock_guard<std::recursive_mutex> c(s->cookieLock);
        LoadFileLocked(*s);
    }
    g_store = s;
}

Store* TheStore() {
    std::call_once(g_storeOnce, CreateStore);
    return g_store;
}

bool IsIpAddress(std::string_view host) {
    if (host.find(':') != std::string_view::npos || (!host.empty() && host.front() == '[')) {
        return true;
    }
    return !host.empty() && host.find_first_not_of("0123456789.") == std::string_view::npos;
}

bool DomainMatches(const Cookie& c, const std::string& host) {
    if (host == c.domain) {
        return true;
    }
    return !c.hostOnly && !IsIpAddress(host) && host.size() > c.domain.size() &&
           host.compare(host.size() - c.domain.size(), c.domain.size(), c.domain) == 0 &&
           host[host.size() - c.domain.size() - 1] == '.';
}

bool PathMatches(const std::string& cookiePath, const std::string& path) {
    if (path.compare(0, cookiePath.size(), cookiePath) != 0) {
        return false;
    }
    return path.size() == cookiePath.size() || cookiePath.back() == '/' || path[cookiePath.size()] == '/';
}

}  // namespace

bool Cookie::SameKey(const Cookie& other) const {
    return KeyOf(*this) == KeyOf(other);
}

std::string CookieToNetscapeLine(const Cookie& c) {
    std::string line;
    if (c.httpOnly) {
        line += "#HttpOnly_";
    }
    if (!c.hostOnly) {
        line += '.';
    }
    line += c.domain;
    line += c.hostOnly ? "\tFALSE\t" : "\tTRUE\t";
    line += c.path;
    line += c.secure ? "\tTRUE\t" : "\tFALSE\t";
    line += std::to_string(c.expiry);
    line += '\t';
    line += c.name;
    line += '\t';
    line += c.value;
    return line;
}

bool CookieFromNetscapeLine(std::string_view line, Cookie& cookie) {
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) {
        line.remove_suffix(1);
    }
    Cookie c;
    constexpr std::string_view kHttpOnly = "#HttpOnly_";
    if (line.substr(0, kHttpOnly.size()) == kHttpOnly) {
        c.httpOnly = true;
        line.remove_prefix(kHttpOnly.size());
    } else if (line.empty() || line.front() == '#') {
        return false;
    }
    std::vector<std::string_view> f;
    std::size_t pos = 0;
    for (;;) {
        std::size_t tab = line.find('\t', pos);
        f.push_back(line.substr(pos, tab == std::string_view::npos ? std::string_view::npos : tab - pos));
        if (tab == std::string_view::npos) {
            break;
        }
        pos = tab + 1;
    }
    if (f.size() == 6) {
        f.push_back({});  // a blank value without its tab
    }
    if (f.size() != 7) {
        return false;
    }
    c.domain = std::string(f[0]);
    c.hostOnly = f[1] != "TRUE";
    if (!c.domain.empty() && c.domain.front() == '.') {
        c.domain.erase(0, 1);
        c.hostOnly = false;
    }
    c.domain = Lower(c.domain);
    c.path = std::string(f[2]);
    c.secure = f[3] == "TRUE";
    const std::string expiry(f[4]);
    char* end = nullptr;
    c.expiry = std::strtoll(expiry.c_str(), &end, 10);
    if (expiry.empty() || *end != '\0') {
        return false;
    }
    c.name = std::string(f[5]);
    c.value = std::string(f[6]);
    if (c.expiry < 0 || !Normalise(c)) {
        return false;
    }
    cookie = std::move(c);
    return true;
}

std::filesystem::path CookieStoreFile() {
    Store* s = TheStore();  // the file is fixed when the store is first used
    return s ? s->file : DataFolder() / "cookies.txt";
}

int AddCookieListener(CookieListener listener) {
    Store* s = TheStore();
    if (!s || !listener) {
        return 0;
    }
    auto entry = std::make_shared<ListenerEntry>();
    entry->fn = std::move(listener);
    std::lock_guard<std::mutex> l(s->listenersLock);
    const int id = s->nextListenerId++;
    s->listeners[id] = std::move(entry);
    return id;
}

void RemoveCookieListener(int id) {
    Store* s = TheStore();
    if (!s) {
        return;
    }
    std::shared_ptr<ListenerEntry> entry;
    {
        std::lock_guard<std::mutex> l(s->listenersLock);
        auto it = s->listeners.find(id);
        if (it == s->listeners.end()) {
            return;
        }
        entry = std::move(it->second);
        s->listeners.erase(it);
    }
    std::lock_guard<std::recursive_mutex> call(entry->callLock);  // waits for a running call to end
    entry->active = false;
}

bool SetCookie(Cookie cookie, CookieOrigin origin) {
    Store* s = TheStore();
    if (!s || !Normalise(cookie)) {
        return false;
    }
    if (Expired(cookie, Now())) {
        return RemoveCookie(cookie, origin);
    }
    Outcome before;
    Outcome mine;
    {
        std::lock_guard<std::recursive_mutex> c(s->cookieLock);
        SyncLocked(*s, CookieOrigin::Server, before);  // what the responses changed meanwhile is theirs
        auto it = s->known.find(KeyOf(cookie));
        if (it == s->known.end() || !(it->second == cookie)) {
            AddLineLocked(*s, cookie);
            SyncLocked(*s, origin, mine);
        }
    }
    Finish(*s, Outcome{before.changed || mine.changed, before.persist || mine.persist,
                       std::max(before.generation, mine.generation)});
    return mine.changed;
}

bool RemoveCookie(const Cookie& key, CookieOrigin origin) {
    Store* s = TheStore();
    Cookie k = key;
    if (!s || !Normalise(k)) {
        return false;
    }
    Outcome before;
    Outcome mine;
    {
        std::lock_guard<std::recursive_mutex> c(s->cookieLock);
        SyncLocked(*s, CookieOrigin::Server, before);
        if (s->known.count(KeyOf(k)) != 0) {
            // libcurl cannot delete one cookie: empty its jar and put the others back, all under the lock.
            std::map<Key, Cookie> keep = s->known;
            keep.erase(KeyOf(k));
            curl_easy_setopt(s->helper, CURLOPT_COOKIELIST, "ALL");
            for (const auto& [kk, cookie] : keep) {
                AddLineLocked(*s, cookie);
            }
            SyncLocked(*s, origin, mine);
        }
    }
    Finish(*s, Outcome{before.changed || mine.changed, before.persist || mine.persist,
                       std::max(before.generation, mine.generation)});
    return mine.changed;
}

std::vector<Cookie> ListCookies() {
    Store* s = TheStore();
    if (!s) {
        return {};
    }
    Outcome out;
    std::vector<Cookie> all;
    {
        std::lock_guard<std::recursive_mutex> c(s->cookieLock);
        SyncLocked(*s, CookieOrigin::Server, out);
        for (const auto& [key, cookie] : s->known) {
            all.push_back(cookie);
        }
    }
    Finish(*s, out);
    std::sort(all.begin(), all.end(), [](const Cookie& a, const Cookie& b) {
        return std::tie(a.domain, a.path, a.name, a.hostOnly) < std::tie(b.domain, b.path, b.name, b.hostOnly);
    });
    return all;
}

std::vector<Cookie> CookiesForUrl(std::string_view url) {
    std::string address(url.substr(0, url.find('#')));
    std::string scheme;
    std::string host;
    std::string path;
    CURLU* u = curl_url();
    if (!u) {
        return {};
    }
    if (curl_url_set(u, CURLUPART_URL, address.c_str(), 0) == CURLUE_OK) {
        char* part = nullptr;
        if (curl_url_get(u, CURLUPART_SCHEME, &part, 0) == CURLUE_OK) {
            scheme = Lower(part);
            curl_free(part);
        }
        if (curl_url_get(u, CURLUPART_HOST, &part, 0) == CURLUE_OK) {
            host = Lower(part);
            curl_free(part);
        }
        if (curl_url_get(u, CURLUPART_PATH, &part, 0) == CURLUE_OK) {
            path = part;
            curl_free(part);
        }
    }
    curl_url_cleanup(u);
    if ((scheme != "http" && scheme != "https") || host.empty()) {
        return {};
    }
    if (path.empty() || path.front() != '/') {
        path = "/";
    }
    std::vector<Cookie> out;
    for (Cookie& c : ListCookies()) {
        if (DomainMatches(c, host) && PathMatches(c.path, path) && (!c.secure || scheme == "https")) {
            out.push_back(std::move(c));
        }
    }
    std::stable_sort(out.begin(), out.end(),
                     [](const Cookie& a, const Cookie& b) { return a.path.size() > b.path.size(); });
    return out;
}

void ClearBrowserCookies() {
    Store* s = TheStore();
    if (!s) {
        return;
    }
    std::uint64_t generation = 0;
    {
        std::lock_guard<std::recursive_mutex> c(s->cookieLock);
        curl_easy_setopt(s->helper, CURLOPT_COOKIELIST, "ALL");
        s->known.clear();
        generation = ++s->persistentGeneration;
        Queue(*s, CookieEvent{CookieChange::Cleared, Cookie{}, CookieOrigin::Program});
    }
    Finish(*s, Outcome{true, true, generation});
}

namespace detail {

void* CookieShare() {
    Store* s = TheStore();
    return s ? s->share : nullptr;
}

void NoteResponseCookies() {
    Store* s = TheStore();
    if (!s) {
        return;
    }
    Outcome out;
    {
        std::lock_guard<std::recursive_mutex> c(s->cookieLock);
        SyncLocked(*s, CookieOrigin::Server, out);
    }
    Finish(*s, out);
}

}  // namespace detail

}  // namespace vantrel::web

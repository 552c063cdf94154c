// The one cookie store of the process, shared by WebRequest and the embedded browser.
//
// WebRequest sends the cookies of this store and puts every cookie that a response sets (also on a redirect
// on the way) into it. The embedded browser mirrors it both ways: it pushes the cookies it receives with
// SetCookie/RemoveCookie (origin Browser) and applies the changes it is told about through a listener,
// ignoring those of origin Browser (its own echoes).
//
// Persistence: the cookies that have an expiry time are kept in "cookies.txt" (Netscape format) in the data
// folder. The file is read at the first use of the store (so the data folder must be set before) and written
// whole and atomically right after every change of a persistent cookie, so a crash later loses nothing.
// Session cookies (expiry 0) live only as long as the process, as in a browser.
//
// All operations are safe from any thread and never throw or report errors.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace vantrel::web {

struct Cookie {
    std::string name;  // never empty
    std::string value;
    std::string domain;    // host or domain, lower case, without a leading "."
    bool hostOnly = true;  // true: sent to exactly `domain`; false: also to its subdomains
    std::string path = "/";
    bool secure = false;  // sent over https only
    bool httpOnly = false;
    std::int64_t expiry = 0;  // Unix seconds; 0 = session cookie

    // A cookie is one entry of the store per (name, domain, hostOnly, path).
    bool SameKey(const Cookie& other) const;
    bool operator==(const Cookie&) const = default;
};

// Who made a change, so that a mirror can tell its own echoes apart.
enum class CookieOrigin {
    Server,   // set or expired by a response to WebRequest
    Browser,  // pushed by the embedded browser
    Program,  // any other caller of SetCookie/RemoveCookie, and ClearBrowserCookies
};

enum class CookieChange {
    Added,    // a new cookie, or a new value/attributes for an existing key (replaces it)
    Removed,  // the cookie with this key is gone
    Cleared,  // every cookie is gone (ClearBrowserCookies); `cookie` is empty
};

struct CookieEvent {
    CookieChange change = CookieChange::Added;
    Cookie cookie;
    CookieOrigin origin = CookieOrigin::Program;
};

// Listeners get every change exactly once and in the order the changes were made. They may run on any thread
// (often the one that made the change, but not always); they may call the store, also to change it.
using CookieListener = std::function<void(const CookieEvent&)>;
int AddCookieListener(CookieListener listener);  // returns an id for RemoveCookieListener
void RemoveCookieListener(int id);

// Adds the cookie or replaces the one with the same key. A cookie whose expiry is in the past removes the
// one with that key. Returns true when the store changed (setting an identical cookie changes nothing and
// notifies nobody). Refused (false): an empty name or domain, or a tab, CR, LF or zero byte in any field.
bool SetCookie(Cookie cookie, CookieOrigin origin = CookieOrigin::Program);

// Removes the cookie with the key of `key` (its value and other fields are not looked at).
// Returns true when there was one.
bool RemoveCookie(const Cookie& key, CookieOrigin origin = CookieOrigin::Program);

// All cookies that have not expired, sorted by domain, path and name.
std::vector<Cookie> ListCookies();

// The cookies that a request to url would carry (domain, path, secure and expiry rules of RFC 6265).
std::vector<Cookie> CookiesForUrl(std::string_view url);

// The file that keeps the persistent cookies: <data folder>/cookies.txt, the data folder being the one in force
// at the first use of the store (a later SetDataFolder does not move it).
std::filesystem::path CookieStoreFile();

// One line of the Netscape cookie file format (as libcurl and `curl -c` write it) and back.
std::string CookieToNetscapeLine(const Cookie& cookie);
bool CookieFromNetscapeLine(std::string_view line, Cookie& cookie);

// Internal: the link between the store and WebRequest.
namespace detail {
// The libcurl share handle that holds the cookies; creates the process-wide client (curl_global_init, the share,
// the cookies of the file) on the first call, from any thread. Never null after a successful creation.
void* CookieShare();
// After a request whose responses set cookies: tells the listeners and writes the file.
void NoteResponseCookies();
}  // namespace detail

}  // namespace vantrel::web

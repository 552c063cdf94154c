// A plain libcurl client for the demo marketplace tests: every connection goes to the demo's port while the
// Host header keeps the marketplace host; cookies persist for the life of one client.
#pragma once

#include <curl/curl.h>

#include <string>

namespace vantrel::demo::testing {

struct Reply {
    CURLcode rc = CURLE_OK;
    long status = 0;
    std::string body;
    std::string headers;  // of every response on the way, as received
    std::string contentType;
    std::string url;  // the final address after redirects
};

class Client {
public:
    explicit Client(int port);
    ~Client();
    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;

    Reply Get(const std::string& address, bool followRedirects = true);
    Reply Post(const std::string& address, const std::string& formBody, bool followRedirects = true);
    // HTTP/1.0 like the program's own requests.
    Reply Get10(const std::string& address);
    // "name=value" lines of the cookies the client holds (domain, name and value).
    std::string Cookies();

private:
    Reply Perform(const std::string& address, const std::string* postBody, bool follow, bool http10);

    CURL* curl_;
    curl_slist* connectTo_;
};

}  // namespace vantrel::demo::testing

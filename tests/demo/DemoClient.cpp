#include "DemoClient.h"

namespace vantrel::demo::testing {
namespace {

std::size_t Append(char* data, std::size_t size, std::size_t count, void* out) {
    static_cast<std::string*>(out)->append(data, size * count);
    return size * count;
}

}  // namespace

Client::Client(int port)
    : curl_(curl_easy_init()), connectTo_(curl_slist_append(nullptr, ("::127.0.0.1:" + std::to_string(port)).c_str())) {
    curl_easy_setopt(curl_, CURLOPT_COOKIEFILE, "");  // the cookie engine, in memory
}

Client::~Client() {
    curl_easy_cleanup(curl_);
    curl_slist_free_all(connectTo_);
}

Reply Client::Perform(const std::string& address, const std::string* postBody, bool follow, bool http10) {
    Reply r;
    curl_easy_setopt(curl_, CURLOPT_URL, address.c_str());
    curl_easy_setopt(curl_, CURLOPT_CONNECT_TO, connectTo_);
    curl_easy_setopt(curl_, CURLOPT_NOPROXY, "*");
    curl_easy_setopt(curl_, CURLOPT_FORBID_REUSE, 1L);
    curl_easy_setopt(curl_, CURLOPT_TIMEOUT, 60L);
    curl_easy_setopt(curl_, CURLOPT_FOLLOWLOCATION, follow ? 1L : 0L);
    curl_easy_setopt(curl_, CURLOPT_MAXREDIRS, 20L);
    curl_easy_setopt(curl_, CURLOPT_HTTP_VERSION, http10 ? CURL_HTTP_VERSION_1_0 : CURL_HTTP_VERSION_1_1);
    curl_easy_setopt(curl_, CURLOPT_WRITEFUNCTION, Append);
    curl_easy_setopt(curl_, CURLOPT_WRITEDATA, &r.body);
    curl_easy_setopt(curl_, CURLOPT_HEADERFUNCTION, Append);
    curl_easy_setopt(curl_, CURLOPT_HEADERDATA, &r.headers);
    if (postBody) {
        curl_easy_setopt(curl_, CURLOPT_POSTFIELDS, postBody->c_str());
        curl_easy_setopt(curl_, CURLOPT_POSTFIELDSIZE, static_cast<long>(postBody->size()));
    } else {
        curl_easy_setopt(curl_, CURLOPT_HTTPGET, 1L);
    }
    r.rc = curl_easy_perform(curl_);
    curl_easy_getinfo(curl_, CURLINFO_RESPONSE_CODE, &r.status);
    char* type = nullptr;
    if (curl_easy_getinfo(curl_, CURLINFO_CONTENT_TYPE, &type) == CURLE_OK && type) {
        r.contentType = type;
    }
    char* url = nullptr;
    if (curl_easy_getinfo(curl_, CURLINFO_EFFECTIVE_URL, &url) == CURLE_OK && url) {
        r.url = url;
    }
    return r;
}

Reply Client::Get(const std::string& address, bool followRedirects) {
    return Perform(address, nullptr, followRedirects, false);
}

Reply Client::Post(const std::string& address, const std::string& formBody, bool followRedirects) {
    return Perform(address, &formBody, followRedirects, false);
}

Reply Client::Get10(const std::string& address) {
    return Perform(address, nullptr, true, true);
}

std::string Client::Cookies() {
    std::string out;
    curl_slist* list = nullptr;
    if (curl_easy_getinfo(curl_, CURLINFO_COOKIELIST, &list) == CURLE_OK) {
        for (curl_slist* p = list; p; p = p->next) {
            // Netscape format: domain, subdomains, path, secure, expiry, name, value (TAB separated).
            std::string line = p->data, fields[7];
            std::size_t start = 0;
            for (int i = 0; i < 7; ++i) {
                const std::size_t tab = line.find('\t', start);
                fields[i] = line.substr(start, tab == std::string::npos ? std::string::npos : tab - start);
                start = tab == std::string::npos ? line.size() : tab + 1;
            }
            out += fields[0] + " " + fields[5] + "=" + fields[6] + "\n";
        }
        curl_slist_free_all(list);
    }
    return out;
}

}  // namespace vantrel::demo::testing

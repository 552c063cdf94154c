// A small local stand-in for the three outside services of the tool windows (item history, short links,
// speech), answering by path whatever the Host header says, and recording every request as it arrived.
#pragma once

#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace httplib {
class Server;
}

namespace vantrel::testing {

class ToolServer {
public:
    struct Hit {
        std::string host;    // the Host header
        std::string target;  // path and query exactly as sent
    };

    ToolServer();
    ~ToolServer();
    ToolServer(const ToolServer&) = delete;
    ToolServer& operator=(const ToolServer&) = delete;

    int Port() const { return port_; }

    // Answers (bodies sent as they are). History answers are per item id; an unknown id gets an empty body.
    void SetHistoryAnswer(const std::string& itemId, std::string body);
    void SetShortUrlAnswer(std::string body);
    void SetSpeechAnswer(std::string body);

    // While held, every request waits (at most 20 s) before it is answered.
    void Hold();
    void Release();

    std::vector<Hit> Hits() const;
    std::size_t HitCount() const;

    // Routes every WebRequest to this server (the host of each address stays in the Host header).
    void RouteTools();

private:
    std::string Answer(const std::string& host, const std::string& target, const std::string& path);

    std::unique_ptr<httplib::Server> server_;
    std::thread thread_;
    int port_ = 0;
    mutable std::mutex mutex_;
    std::condition_variable released_;
    bool held_ = false;
    std::map<std::string, std::string> history_;
    std::string shortUrl_;
    std::string speech_;
    std::vector<Hit> hits_;
};

}  // namespace vantrel::testing

#include "ToolServer.h"

#include <httplib.h>

#include <chrono>

#include "web/WebSettings.h"

namespace vantrel::testing {

ToolServer::ToolServer() : server_(std::make_unique<httplib::Server>()) {
    server_->set_tcp_nodelay(true);
    server_->Get(R"(/.*)", [this](const httplib::Request& req, httplib::Response& res) {
        const std::string body = Answer(req.get_header_value("Host"), req.target, req.path);
        res.set_content(body, req.path.rfind("/text2audio", 0) == 0 ? "audio/mp3" : "text/html; charset=utf-8");
    });
    port_ = server_->bind_to_any_port("127.0.0.1");
    thread_ = std::thread([this] { server_->listen_after_bind(); });
    while (!server_->is_running()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

ToolServer::~ToolServer() {
    web::SetMarketRoute("");
    Release();
    server_->stop();
    thread_.join();
}

void ToolServer::SetHistoryAnswer(const std::string& itemId, std::string body) {
    std::lock_guard lock(mutex_);
    history_[itemId] = std::move(body);
}

void ToolServer::SetShortUrlAnswer(std::string body) {
    std::lock_guard lock(mutex_);
    shortUrl_ = std::move(body);
}

void ToolServer::SetSpeechAnswer(std::string body) {
    std::lock_guard lock(mutex_);
    speech_ = std::move(body);
}

void ToolServer::Hold() {
    std::lock_guard lock(mutex_);
    held_ = true;
}

void ToolServer::Release() {
    {
        std::lock_guard lock(mutex_);
        held_ = false;
    }
    released_.notify_all();
}

std::vector<ToolServer::Hit> ToolServer::Hits() const {
    std::lock_guard lock(mutex_);
    return hits_;
}

std::size_t ToolServer::HitCount() const {
    std::lock_guard lock(mutex_);
    return hits_.size();
}

std::string ToolServer::Answer(const std::string& host, const std::string& target, const std::string& path) {
    std::unique_lock lock(mutex_);
    hits_.push_back({host, target});
    released_.wait_for(lock, std::chrono::seconds(20), [this] { return !held_; });
    static const std::string kHistory = "/item-history/";
    if (path.rfind(kHistory, 0) == 0) {
        const auto it = history_.find(path.substr(kHistory.size()));
        return it == history_.end() ? std::string() : it->second;
    }
    if (path == "/tools/curl.php") {
        return shortUrl_;
    }
    if (path == "/text2audio") {
        return speech_;
    }
    return {};
}

void ToolServer::RouteTools() {
    web::SetMarketRoute("http://127.0.0.1:" + std::to_string(port_));
}

}  // namespace vantrel::testing

// Real local servers for the web tests: cpp-httplib (plain and TLS) and a raw TCP server that answers with
// exactly the bytes a test writes (for broken connections, drips and byte-exact request checks).
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace vantrel::webtest {

class TempDir {
public:
    TempDir() {
        std::random_device rd;
        path_ = std::filesystem::temp_directory_path() /
                ("vantrel-web-" + std::to_string(::getpid()) + "-" + std::to_string(rd()));
        std::filesystem::create_directories(path_);
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

// A cpp-httplib server on 127.0.0.1 and a free port, listening on its own thread until destroyed.
class HttpServer {
public:
    HttpServer() : server_(std::make_unique<httplib::Server>()) {}
    HttpServer(const std::string& certFile, const std::string& keyFile)
        : server_(std::make_unique<httplib::SSLServer>(certFile.c_str(), keyFile.c_str())) {}
    ~HttpServer() { Stop(); }

    httplib::Server& operator*() { return *server_; }
    httplib::Server* operator->() { return server_.get(); }

    bool Start() {
        server_->set_tcp_nodelay(true);
        port_ = server_->bind_to_any_port("127.0.0.1");
        if (port_ <= 0) {
            return false;
        }
        thread_ = std::thread([this] { server_->listen_after_bind(); });
        for (int i = 0; i < 500 && !server_->is_running(); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return server_->is_running();
    }
    void Stop() {
        if (thread_.joinable()) {
            server_->stop();
            thread_.join();
        }
    }
    int port() const { return port_; }
    std::string Url(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(port_) + path; }

private:
    std::unique_ptr<httplib::Server> server_;
    std::thread thread_;
    int port_ = 0;
};

// Writes all of data to fd (ignoring failures: the peer may have gone).
inline void SendAll(int fd, std::string_view data) {
    while (!data.empty()) {
        ssize_t n = ::send(fd, data.data(), data.size(), MSG_NOSIGNAL);
        if (n <= 0) {
            return;
        }
        data.remove_prefix(static_cast<std::size_t>(n));
    }
}

// A TCP server on 127.0.0.1: for each connection it reads the request head (up to the blank line) and calls
// the handler with the socket and the head; the connection is closed when the handler returns.
class RawServer {
public:
    using Handler = std::function<void(int fd, const std::string& head, const RawServer& server)>;

    explicit RawServer(Handler handler) : handler_(std::move(handler)) {
        listen_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        addr.sin_port = 0;
        if (listen_ < 0 || ::bind(listen_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
            ::listen(listen_, 64) != 0) {
            return;
        }
        socklen_t len = sizeof addr;
        ::getsockname(listen_, reinterpret_cast<sockaddr*>(&addr), &len);
        port_ = ntohs(addr.sin_port);
        acceptor_ = std::thread([this] { AcceptLoop(); });
    }
    ~RawServer() {
        stopping_ = true;
        if (acceptor_.joinable()) {
            acceptor_.join();
        }
        for (auto& t : workers_) {
            t.join();
        }
        if (listen_ >= 0) {
            ::close(listen_);
        }
    }
    RawServer(const RawServer&) = delete;
    RawServer& operator=(const RawServer&) = delete;

    int port() const { return port_; }
    std::string Url(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(port_) + path; }
    int connections() const { return connections_.load(); }
    bool stopping() const { return stopping_.load(); }
    std::vector<std::string> heads() const {
        std::lock_guard<std::mutex> l(lock_);
        return heads_;
    }

    // Sleeps up to ms, returning early (false) when the server is being stopped.
    bool Pause(int ms) const {
        for (int waited = 0; waited < ms; waited += 10) {
            if (stopping_) {
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return !stopping_;
    }

private:
    void AcceptLoop() {
        while (!stopping_) {
            pollfd p{listen_, POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0) {
                continue;
            }
            int fd = ::accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0) {
                continue;
            }
            ++connections_;
            workers_.emplace_back([this, fd] { Serve(fd); });
        }
    }
    void Serve(int fd) {
        std::string head;
        char buf[4096];
        while (head.find("\r\n\r\n") == std::string::npos && !stopping_) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0) {
                continue;
            }
            ssize_t n = ::recv(fd, buf, sizeof buf, 0);
            if (n <= 0) {
                break;
            }
            head.append(buf, static_cast<std::size_t>(n));
        }
        {
            std::lock_guard<std::mutex> l(lock_);
            heads_.push_back(head);
        }
        if (!stopping_) {
            handler_(fd, head, *this);
        }
        ::close(fd);
    }

    Handler handler_;
    int listen_ = -1;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    std::atomic<int> connections_{0};
    std::thread acceptor_;
    std::vector<std::thread> workers_;  // touched by the acceptor thread only, joined after it ended
    mutable std::mutex lock_;
    std::vector<std::string> heads_;
};

// Closes the socket with a TCP reset instead of an orderly end.
inline void ResetConnection(int fd) {
    linger l{1, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &l, sizeof l);
}

// A CA and a server certificate signed by it for 127.0.0.1, localhost and shop.example, made with the
// openssl command line into dir. Returns false when openssl is missing or fails.
inline bool MakeCertificates(const std::filesystem::path& dir) {
    const std::string d = dir.string();
    const std::string script =
        "cd '" + d +
        "' && openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -keyout ca.key -out ca.pem "
        "-days 2 "
        "-subj '/CN=Vantrel Test CA' >/dev/null 2>&1"
        " && openssl req -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -keyout server.key -out server.csr "
        "-subj '/CN=127.0.0.1' "
        ">/dev/null 2>&1"
        " && printf 'subjectAltName=IP:127.0.0.1,DNS:localhost,DNS:shop.example\\n' > ext.cnf"
        " && openssl x509 -req -in server.csr -CA ca.pem -CAkey ca.key -CAcreateserial -out server.pem -days 2 "
        "-extfile ext.cnf >/dev/null 2>&1";
    return std::system(script.c_str()) == 0;
}

}  // namespace vantrel::webtest

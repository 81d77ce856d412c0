// A scripted HTTP peer on 127.0.0.1 for the client tests: it runs in its own
// thread, accepts connections one after another, reads each request up to its
// empty line and answers with the step list given for that connection.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <poll.h>
#include <string>
#include <thread>
#include <vector>

class TScriptedPeer {
public:
    struct TStep {
        enum TKind { Send, Pause, Close, Reset, Hold } Kind;
        std::string Data;
        int Ms = 0;
    };
    using TScript = std::vector<TStep>;

    static TStep Send(std::string d) { return {TStep::Send, std::move(d), 0}; }
    static TStep Pause(int ms) { return {TStep::Pause, {}, ms}; }
    static TStep Close() { return {TStep::Close, {}, 0}; }
    static TStep Reset() { return {TStep::Reset, {}, 0}; }
    static TStep Hold() { return {TStep::Hold, {}, 0}; } // keep open until stopped
    // Sends the text in pieces of the given size with a short pause between.
    static std::vector<TStep> Trickle(const std::string& d, size_t piece) {
        std::vector<TStep> s;
        for (size_t i = 0; i < d.size(); i += piece) {
            s.push_back(Send(d.substr(i, piece)));
            s.push_back(Pause(1));
        }
        return s;
    }

    TScriptedPeer() {
        listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        int one = 1;
        ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(listener_, reinterpret_cast<sockaddr*>(&a), sizeof a);
        ::listen(listener_, 8);
        socklen_t len = sizeof a;
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &len);
        port_ = ntohs(a.sin_port);
        thread_ = std::thread([this] { Run(); });
    }
    ~TScriptedPeer() {
        stop_ = true;
        thread_.join();
        ::close(listener_);
    }

    int Port() const { return port_; }
    std::string Url(const std::string& path = "/") const {
        return "http://127.0.0.1:" + std::to_string(port_) + path;
    }
    void Add(TScript script) {
        std::lock_guard<std::mutex> l(m_);
        scripts_.push_back(std::move(script));
    }
    std::vector<std::string> Requests() {
        std::lock_guard<std::mutex> l(m_);
        return requests_;
    }

private:
    void Run() {
        while (!stop_) {
            pollfd p{listener_, POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0) continue;
            const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0) continue;
            TScript script;
            {
                std::lock_guard<std::mutex> l(m_);
                if (!scripts_.empty()) {
                    script = std::move(scripts_.front());
                    scripts_.pop_front();
                }
            }
            Serve(fd, script);
        }
    }

    void Serve(int fd, const TScript& script) {
        std::string request;
        char buf[4096];
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (request.find("\r\n\r\n") == std::string::npos && !stop_ &&
               std::chrono::steady_clock::now() < until) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0) continue;
            const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
            if (n <= 0) break;
            request.append(buf, static_cast<size_t>(n));
        }
        {
            std::lock_guard<std::mutex> l(m_);
            requests_.push_back(request);
        }
        bool closed = false;
        for (const auto& step : script) {
            if (closed) break;
            switch (step.Kind) {
            case TStep::Send:
                ::send(fd, step.Data.data(), step.Data.size(), MSG_NOSIGNAL);
                break;
            case TStep::Pause:
                std::this_thread::sleep_for(std::chrono::milliseconds(step.Ms));
                break;
            case TStep::Close:
                ::close(fd);
                closed = true;
                break;
            case TStep::Reset: {
                linger l{1, 0};
                ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &l, sizeof l);
                ::close(fd);
                closed = true;
                break;
            }
            case TStep::Hold:
                while (!stop_) {
                    pollfd p{fd, POLLIN, 0};
                    if (::poll(&p, 1, 20) > 0 && ::recv(fd, buf, sizeof buf, 0) <= 0) break;
                }
                break;
            }
        }
        if (!closed) ::close(fd);
    }

    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::thread thread_;
    std::mutex m_;
    std::deque<TScript> scripts_;
    std::vector<std::string> requests_;
};

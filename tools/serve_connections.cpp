#include "serve_connections.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <iostream>

#include "call_session.h"

namespace tivtool {

struct ConnectionServer::Connection {
    // drain: answered without its body, which is read and dropped until the client stops
    // sending, so that closing does not reset the connection before the answer is read.
    enum class Phase { idle, header, body, drain };
    int fd = -1;
    std::string remoteIp;
    int remotePort = 0;
    std::string buffer;
    Phase phase = Phase::idle;
    Clock::time_point since;
    size_t needed = 0;       // header and body, once the header is whole
    bool headerOnly = false; // the body is not gathered: answered, then closed
    size_t served = 0;

    ~Connection() {
        if (fd >= 0) ::close(fd);
    }
    // The method and path of the request line, for the log; "- -" before it is whole.
    std::string requestLine() const {
        const size_t end = buffer.find_first_of("\r\n");
        if (end == std::string::npos) return "- -";
        const std::string line = buffer.substr(0, end);
        const size_t path = line.find(' ');
        return path == std::string::npos ? "- -" : line.substr(0, line.find(' ', path + 1));
    }
};

namespace {

// A request gathered whole, read from memory; answers go to the socket within one deadline.
class GatheredStream : public httplib::Stream {
  public:
    GatheredStream(int fd, const std::string &in, const std::string &ip, int port,
                   std::chrono::milliseconds writeTimeout)
        : fd_(fd), in_(in), ip_(ip), port_(port), writeTimeout_(writeTimeout) {}

    bool is_readable() const override { return used_ < in_.size(); }
    bool is_writable() const override { return true; }
    // 0 past what was gathered: the request ends there.
    ssize_t read(char *ptr, size_t size) override {
        const size_t n = std::min(size, in_.size() - used_);
        std::memcpy(ptr, in_.data() + used_, n);
        used_ += n;
        return static_cast<ssize_t>(n);
    }
    ssize_t write(const char *ptr, size_t size) override {
        const auto now = std::chrono::steady_clock::now();
        if (!writing_) deadline_ = now + writeTimeout_;
        writing_ = true;
        size_t sent = 0;
        while (sent < size) {
            const ssize_t n = ::send(fd_, ptr + sent, size - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
            if (n > 0) {
                sent += static_cast<size_t>(n);
                continue;
            }
            if (n < 0 && errno == EINTR) continue;
            if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return -1;
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline_ - std::chrono::steady_clock::now());
            if (left.count() <= 0) return -1; // a client that does not read holds no worker
            pollfd p{fd_, POLLOUT, 0};
            if (::poll(&p, 1, static_cast<int>(left.count())) < 0 && errno != EINTR) return -1;
        }
        return static_cast<ssize_t>(size);
    }
    void get_remote_ip_and_port(std::string &ip, int &port) const override {
        ip = ip_;
        port = port_;
    }
    void get_local_ip_and_port(std::string &ip, int &port) const override {
        ip.clear();
        port = 0;
    }
    socket_t socket() const override { return fd_; }
    size_t used() const { return used_; }

  private:
    int fd_;
    const std::string &in_;
    std::string ip_;
    int port_;
    std::chrono::milliseconds writeTimeout_;
    std::chrono::steady_clock::time_point deadline_;
    bool writing_ = false;
    size_t used_ = 0;
};

std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

// The value of a header field in `header` (lines after the request line), trimmed; whether it
// was there.
bool headerValue(const std::string &header, const std::string &name, std::string &value) {
    const std::string wanted = lower(name);
    bool found = false;
    for (size_t at = header.find('\n'); at != std::string::npos && at + 1 < header.size();) {
        const size_t end = header.find('\n', at + 1);
        const std::string line =
            header.substr(at + 1, (end == std::string::npos ? header.size() : end) - at - 1);
        at = end;
        const size_t colon = line.find(':');
        if (colon == std::string::npos || lower(line.substr(0, colon)) != wanted) continue;
        std::string v = line.substr(colon + 1);
        const size_t first = v.find_first_not_of(" \t");
        const size_t last = v.find_last_not_of(" \t\r");
        value = first == std::string::npos ? std::string() : v.substr(first, last - first + 1);
        found = true;
    }
    return found;
}

const char *reason(int status) {
    switch (status) {
    case 408:
        return "Request Timeout";
    case 431:
        return "Request Header Fields Too Large";
    default:
        return "Service Unavailable";
    }
}

long long millis(std::chrono::milliseconds d) {
    return static_cast<long long>(d.count());
}

} // namespace

ConnectionServer::ConnectionServer(const ConnectionLimits &limits) : limits_(limits) {
    wakeFd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    // Truthful Keep-Alive headers on the answers.
    set_keep_alive_timeout(std::max<time_t>(1, limits_.idle.count() / 1000));
    set_keep_alive_max_count(limits_.requestsPerConnection);
}

ConnectionServer::~ConnectionServer() {
    if (wakeFd_ >= 0) ::close(wakeFd_);
}

void ConnectionServer::wake() {
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(wakeFd_, &one, sizeof one);
}

void ConnectionServer::stopServing() {
    stopping_ = true;
    wake();
}

bool ConnectionServer::serve() {
    if (svr_sock_ == INVALID_SOCKET || wakeFd_ < 0) return false;
    // The backlog the library's bind gives is short; the gathering thread accepts at once.
    ::listen(svr_sock_, SOMAXCONN);
    ::fcntl(svr_sock_, F_SETFL, ::fcntl(svr_sock_, F_GETFL) | O_NONBLOCK);
    // Every connection is a descriptor: the limit must fit in what the process may open.
    constexpr rlim_t kOtherFiles = 64;
    if (rlimit files{}; ::getrlimit(RLIMIT_NOFILE, &files) == 0) {
        const rlim_t wanted = limits_.maxConnections + kOtherFiles;
        if (files.rlim_cur < wanted) {
            files.rlim_cur = std::min(wanted, files.rlim_max);
            ::setrlimit(RLIMIT_NOFILE, &files);
        }
        if (files.rlim_cur < wanted)
            limits_.maxConnections =
                files.rlim_cur > 2 * kOtherFiles ? files.rlim_cur - kOtherFiles : kOtherFiles;
    }
    std::vector<std::thread> workers;
    for (size_t i = 0; i < limits_.workers; ++i)
        workers.emplace_back([this] { work(); });
    const bool ok = gather();
    {
        const std::lock_guard lock(mutex_);
        gatheringEnded_ = true;
    }
    jobsReady_.notify_all();
    for (std::thread &w : workers)
        w.join();
    const std::lock_guard lock(mutex_);
    open_ -= returned_.size();
    returned_.clear();
    return ok;
}

void ConnectionServer::accept() {
    for (;;) {
        sockaddr_storage from{};
        socklen_t length = sizeof from;
        const int fd = ::accept4(svr_sock_, reinterpret_cast<sockaddr *>(&from), &length,
                                 SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            // Out of descriptors: the rest wait in the backlog until one is closed.
            if (errno == EMFILE || errno == ENFILE)
                acceptPausedUntil_ = Clock::now() + std::chrono::milliseconds(100);
            return;
        }
        auto c = std::make_unique<Connection>();
        c->fd = fd;
        c->since = Clock::now();
        char ip[INET6_ADDRSTRLEN] = {};
        if (from.ss_family == AF_INET) {
            const auto *a = reinterpret_cast<const sockaddr_in *>(&from);
            inet_ntop(AF_INET, &a->sin_addr, ip, sizeof ip);
            c->remotePort = ntohs(a->sin_port);
        } else if (from.ss_family == AF_INET6) {
            const auto *a = reinterpret_cast<const sockaddr_in6 *>(&from);
            inet_ntop(AF_INET6, &a->sin6_addr, ip, sizeof ip);
            c->remotePort = ntohs(a->sin6_port);
        }
        c->remoteIp = ip;
        // An answer goes out whole at once, not held back waiting for the client's
        // acknowledgement.
        int yes = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
        ++open_;
        if (open_ > limits_.maxConnections) {
            // The longest idle connection makes room; one mid-request is never cut.
            const auto idle = std::find_if(gathering_.begin(), gathering_.end(), [](auto &g) {
                if (g->phase == Connection::Phase::drain) return true;
                if (g->phase != Connection::Phase::idle || !g->buffer.empty()) return false;
                // Accepted but not read yet: one that has begun its request is not idle.
                char byte;
                return ::recv(g->fd, &byte, 1, MSG_PEEK | MSG_DONTWAIT) <= 0;
            });
            if (idle != gathering_.end()) {
                gathering_.erase(idle);
                --open_;
            } else {
                refuse(std::move(c), 503,
                       "the service has " + std::to_string(limits_.maxConnections) +
                           " connections open; try again later");
                continue;
            }
        }
        gathering_.push_back(std::move(c));
    }
}

bool ConnectionServer::receive(Connection &c) {
    char chunk[16384];
    for (;;) {
        // Never more than the request needs: what follows is the next request's.
        size_t room = sizeof chunk;
        if (c.phase == Connection::Phase::body) room = std::min(room, c.needed - c.buffer.size());
        if (room == 0) return true;
        const ssize_t n = ::recv(c.fd, chunk, room, 0);
        if (n > 0 && c.phase == Connection::Phase::drain) continue;
        if (n > 0) {
            if (c.phase == Connection::Phase::idle) {
                c.phase = Connection::Phase::header;
                c.since = Clock::now();
            }
            c.buffer.append(chunk, static_cast<size_t>(n));
            if (ready(c) || c.buffer.size() > kMaxHeaderBytes + limits_.maxBodyBytes) return true;
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return true;
        // The client has gone (or closed its side): a whole request is still answered.
        return ready(c);
    }
}

bool ConnectionServer::ready(Connection &c) {
    if (c.phase == Connection::Phase::idle || c.phase == Connection::Phase::drain) return false;
    if (c.phase == Connection::Phase::header) {
        size_t end = c.buffer.find("\r\n\r\n");
        size_t endLength = 4;
        if (const size_t bare = c.buffer.find("\n\n"); bare < end) {
            end = bare;
            endLength = 2;
        }
        if (end == std::string::npos) return false;
        const std::string header = c.buffer.substr(0, end + 1);
        std::string value;
        size_t length = 0;
        if (headerValue(header, "Transfer-Encoding", value)) {
            c.headerOnly = true; // refused before its body is read
        } else if (headerValue(header, "Content-Length", value)) {
            char *stop = nullptr;
            errno = 0;
            const unsigned long long n = std::strtoull(value.c_str(), &stop, 10);
            if (value.empty() || *stop || errno || value[0] == '-' || n > limits_.maxBodyBytes)
                c.headerOnly = true; // refused by its length, or malformed: answered, then closed
            else
                length = static_cast<size_t>(n);
        }
        c.needed = c.headerOnly ? end + endLength : end + endLength + length;
        c.phase = Connection::Phase::body;
        c.since = Clock::now();
        // The client waits to be told to send its body.
        if (!c.headerOnly && length > 0 && c.buffer.size() < c.needed &&
            headerValue(header, "Expect", value) && lower(value) == "100-continue") {
            static const char go[] = "HTTP/1.1 100 Continue\r\n\r\n";
            [[maybe_unused]] const ssize_t n =
                ::send(c.fd, go, sizeof go - 1, MSG_NOSIGNAL | MSG_DONTWAIT);
        }
    }
    return c.buffer.size() >= c.needed;
}

void ConnectionServer::refuse(std::unique_ptr<Connection> c, int status, const std::string &why) {
    const std::string body = CallSession::error(status == 503 ? "busy" : "request", why)
                                 .dump(-1, ' ', false, Json::error_handler_t::replace);
    const std::string answer = "HTTP/1.1 " + std::to_string(status) + " " + reason(status) +
                               "\r\nContent-Type: application/json; charset=utf-8\r\n"
                               "Content-Length: " +
                               std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
    // Best effort: a client that does not read loses its answer, not a thread's time.
    [[maybe_unused]] const ssize_t n =
        ::send(c->fd, answer.data(), answer.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    std::cerr << "tiv serve: " + c->remoteIp + " " + c->requestLine() + " " +
                     std::to_string(status) + "\n"
              << std::flush;
    --open_;
}

void ConnectionServer::hand(std::unique_ptr<Connection> c) {
    {
        const std::lock_guard lock(mutex_);
        jobs_.push_back(std::move(c));
    }
    jobsReady_.notify_one();
}

bool ConnectionServer::gather() {
    bool failed = false;
    std::vector<pollfd> polled;
    std::vector<Connection *> polledConnections;
    while (!stopping_) {
        {
            const std::lock_guard lock(mutex_);
            for (auto &c : returned_)
                gathering_.push_back(std::move(c));
            returned_.clear();
        }
        // Pipelined requests already whole go on at once; deadlines passed end their
        // connection.
        const auto now = Clock::now();
        auto nextDeadline = now + std::chrono::seconds(1);
        for (auto it = gathering_.begin(); it != gathering_.end();) {
            Connection &c = **it;
            if (ready(c)) {
                hand(std::move(*it));
                it = gathering_.erase(it);
                continue;
            }
            const auto limit = c.phase == Connection::Phase::idle     ? limits_.idle
                               : c.phase == Connection::Phase::header ? limits_.header
                                                                      : limits_.body;

            if (now >= c.since + limit) {
                if (c.phase == Connection::Phase::idle || c.phase == Connection::Phase::drain)
                    --open_;
                else
                    refuse(std::move(*it), 408,
                           std::string("the request's ") +
                               (c.phase == Connection::Phase::header ? "header" : "body") +
                               " did not arrive within " + std::to_string(millis(limit)) + " ms");
                it = gathering_.erase(it);
                continue;
            }
            nextDeadline = std::min(nextDeadline, c.since + limit);
            ++it;
        }

        polled.assign(
            {{wakeFd_, POLLIN, 0}, {svr_sock_, short(now >= acceptPausedUntil_ ? POLLIN : 0), 0}});
        polledConnections.assign(2, nullptr);
        for (auto &c : gathering_) {
            polled.push_back({c->fd, POLLIN, 0});
            polledConnections.push_back(c.get());
        }
        const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(nextDeadline - now);
        const int ready = ::poll(polled.data(), polled.size(),
                                 static_cast<int>(std::max<long long>(wait.count(), 0) + 1));
        if (ready < 0 && errno != EINTR) {
            failed = true;
            break;
        }
        if (ready <= 0) continue;
        if (polled[0].revents) {
            uint64_t count = 0;
            [[maybe_unused]] const ssize_t n = ::read(wakeFd_, &count, sizeof count);
        }
        std::vector<Connection *> readable;
        for (size_t i = 2; i < polled.size(); ++i)
            if (polled[i].revents) readable.push_back(polledConnections[i]);
        for (Connection *r : readable) {
            const auto it = std::find_if(gathering_.begin(), gathering_.end(),
                                         [&](auto &g) { return g.get() == r; });
            if (!receive(*r)) {
                --open_;
                gathering_.erase(it);
            } else if (this->ready(*r)) {
                hand(std::move(*it));
                gathering_.erase(it);
            } else if (r->phase == Connection::Phase::header &&
                       r->buffer.size() > kMaxHeaderBytes) {
                refuse(std::move(*it), 431,
                       "the request's header is longer than " + std::to_string(kMaxHeaderBytes) +
                           " bytes");
                gathering_.erase(it);
            }
        }
        if (polled[1].revents) accept();
    }
    // Stopping: connections not yet whole are closed unanswered; no call was begun for them.
    open_ -= gathering_.size();
    gathering_.clear();
    const int listening = svr_sock_.exchange(INVALID_SOCKET);
    if (listening != INVALID_SOCKET) ::close(listening);
    return !failed;
}

void ConnectionServer::work() {
    for (;;) {
        std::unique_ptr<Connection> c;
        {
            std::unique_lock lock(mutex_);
            jobsReady_.wait(lock, [&] { return !jobs_.empty() || gatheringEnded_; });
            if (jobs_.empty()) return;
            c = std::move(jobs_.front());
            jobs_.pop_front();
        }
        answer(std::move(c));
    }
}

void ConnectionServer::answer(std::unique_ptr<Connection> c) {
    const bool closeAfter =
        c->headerOnly || ++c->served >= limits_.requestsPerConnection || stopping_;
    GatheredStream stream(c->fd, c->buffer, c->remoteIp, c->remotePort, limits_.write);
    bool closed = false;
    // A 100 Continue, when asked for, was sent while the body was gathered; the body is here.
    const bool answered = process_request(
        stream, closeAfter, closed, [](httplib::Request &req) { req.headers.erase("Expect"); });
    if (answered && c->headerOnly && !stopping_) {
        ::shutdown(c->fd, SHUT_WR);
        c->buffer.clear();
        c->phase = Connection::Phase::drain;
    } else if (!answered || closed || closeAfter || stopping_) {
        --open_;
        return;
    } else {
        c->buffer.erase(0, stream.used());
        c->phase = c->buffer.empty() ? Connection::Phase::idle : Connection::Phase::header;
    }
    c->since = Clock::now();
    c->needed = 0;
    {
        const std::lock_guard lock(mutex_);
        returned_.push_back(std::move(c));
    }
    wake();
}

} // namespace tivtool

#pragma once
// tiv serve's HTTP connections. One thread gathers every request whole, header
// and body, each within its deadline; only then does a worker answer it, so a
// slow or idle client holds a connection slot and never a worker.
#include <httplib.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tivtool {

struct ConnectionLimits {
    // Open connections at most; at the limit a new one takes the place of the longest idle,
    // or is answered 503 when every one is in the middle of a request.
    size_t maxConnections = 512;
    // Waiting for a request's first byte (keep-alive), then closed without an answer.
    std::chrono::milliseconds idle{5000};
    // From a request's first byte to its header's end, then from there to its body's end;
    // past either, 408 and closed.
    std::chrono::milliseconds header{10000};
    std::chrono::milliseconds body{30000};
    // Writing one answer.
    std::chrono::milliseconds write{10000};
    size_t workers = 16;
    size_t requestsPerConnection = 100;
    size_t maxBodyBytes = 1 << 20;
};

class ConnectionServer : public httplib::Server {
  public:
    explicit ConnectionServer(const ConnectionLimits &limits);
    ~ConnectionServer() override;

    // Serves on the socket bound by bind_to_port or bind_to_any_port until
    // stopServing(); the requests already gathered are answered first.
    bool serve();
    // From any thread.
    void stopServing();

    // The largest request header gathered.
    static constexpr size_t kMaxHeaderBytes = 64 << 10;

  private:
    struct Connection;
    using Clock = std::chrono::steady_clock;

    // False when it could not wait for the connections any more.
    bool gather();
    void work();
    void accept();
    // Reads what the client sent; false when the connection is to be dropped.
    bool receive(Connection &c);
    // Whether the request in c.buffer is whole (or all of it the service will read).
    bool ready(Connection &c);
    // Answers before a worker saw the request (408, 431, 503), then closes.
    void refuse(std::unique_ptr<Connection> c, int status, const std::string &why);
    void answer(std::unique_ptr<Connection> c);
    void hand(std::unique_ptr<Connection> c);
    void wake();

    ConnectionLimits limits_;
    int wakeFd_ = -1;
    std::atomic<bool> stopping_{false};
    std::atomic<size_t> open_{0};
    std::list<std::unique_ptr<Connection>> gathering_; // the gathering thread's own
    std::mutex mutex_;
    std::condition_variable jobsReady_;
    std::deque<std::unique_ptr<Connection>> jobs_;      // whole requests for the workers
    std::vector<std::unique_ptr<Connection>> returned_; // kept alive after their answer
    bool gatheringEnded_ = false;
    Clock::time_point acceptPausedUntil_{};
};

} // namespace tivtool

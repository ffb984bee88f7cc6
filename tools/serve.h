#pragma once
// tiv serve: the driver's procedures as a local service, JSON lines on
// standard input/output or HTTP with JSON (docs/hosts.md).
#include <cstddef>
#include <iosfwd>
#include <mutex>
#include <string>
#include <vector>

#include "serve_connections.h"
#include "service.h"

namespace tivtool {

struct ServeOptions {
    std::string modulePath; // empty: beside tiv
    std::string printerPath;
    bool lines = false; // JSON lines on stdin/stdout instead of HTTP
    std::string address = "127.0.0.1";
    int port = 8765; // 0: any free port, told on standard output
    std::string token;
    // Web pages of these origins ("http://host:port", exactly as a browser sends it) may call
    // the service; every other page is refused.
    std::vector<std::string> allowOrigins;
    ConnectionLimits limits;
};

// The largest request accepted, in bytes: an HTTP body or one JSON line.
constexpr size_t kMaxRequestBytes = 1 << 20;

// Serves until standard input ends (lines) or SIGINT/SIGTERM (HTTP); the
// process's exit status.
int serve(const ServeOptions &options);

// One JSON line per request, one per answer, until `in` ends. Besides the
// requests of Service::call: {"status": "id"} and {"log": lines}.
// `answering`, when given, is held from a line's reading to its answer's writing.
void serveLines(Service &service, std::istream &in, std::ostream &out,
                std::mutex *answering = nullptr);
// HTTP on options.address:options.port until SIGINT or SIGTERM.
int serveHttp(Service &service, const ServeOptions &options);

// Why `origin` cannot be allowed ("" when it can): the form a browser sends, scheme and host
// and an optional port, nothing more.
std::string originProblem(const std::string &origin);

// Whether `address` is a loopback address (127.0.0.0/8, ::1, localhost).
bool isLoopback(const std::string &address);

} // namespace tivtool

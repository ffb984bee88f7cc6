// HTTP with JSON on one address and port. Every answer is a JSON body; the
// status code says whose fault a failure was.
#include <arpa/inet.h>
#include <openssl/crypto.h>
#include <signal.h>

#include <httplib.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <iostream>
#include <thread>

#include "procedure_reference.h"
#include "procedure_table.h"
#include "serve.h"

namespace tivtool {

namespace {

void reply(httplib::Response &res, const Json &answer, int given = 0) {
    int status = 200;
    if (answer.is_object() && answer.contains("error")) {
        const std::string kind = answer["error"].value("kind", std::string());
        status = kind == "unknown"                                           ? 404
                 : kind == "forbidden"                                       ? 401
                 : kind == "busy" || kind == "stopping"                      ? 503
                 : kind == "json" || kind == "request" || kind == "argument" ? 400
                                                                             : 500;
    }
    if (given) status = given;
    res.status = status;
    res.set_content(answer.dump(-1, ' ', false, Json::error_handler_t::replace),
                    "application/json; charset=utf-8");
}

// The body as a JSON object; an empty body is an empty object.
bool bodyObject(const httplib::Request &req, httplib::Response &res, Json &body) {
    if (req.body.find_first_not_of(" \t\r\n") == std::string::npos) {
        body = Json::object();
        return true;
    }
    try {
        body = parseJsonText(req.body);
    } catch (const JsonTextError &e) {
        reply(res, CallSession::error("json", std::string("the body: ") + e.what()));
        return false;
    }
    if (!body.is_object()) {
        reply(res, CallSession::error("request", "the body is a JSON object"));
        return false;
    }
    return true;
}

// A number from the query, `fallback` when absent; false (and answered) when not a number.
bool queryNumber(const httplib::Request &req, httplib::Response &res, const std::string &name,
                 long long fallback, long long &value) {
    value = fallback;
    if (!req.has_param(name.c_str())) return true;
    const std::string text = req.get_param_value(name.c_str());
    size_t used = 0;
    try {
        value = std::stoll(text, &used);
    } catch (const std::exception &) {
        used = 0;
    }
    if (used == 0 || used != text.size() || value < 0) {
        reply(res, CallSession::error("request", "\"" + name + "\" is a whole number"));
        return false;
    }
    return true;
}

bool tokenMatches(const std::string &given, const std::string &token) {
    // Constant time, so the token cannot be guessed a character at a time.
    return given.size() == token.size() &&
           CRYPTO_memcmp(given.data(), token.data(), given.size()) == 0;
}

// The host part of a Host header: "127.0.0.1:8765", "[::1]:8765", "localhost".
std::string hostOf(const std::string &header) {
    if (header.starts_with("[")) return header.substr(1, header.find(']') - 1);
    return header.substr(0, header.find(':'));
}

// A JSON body's media type, with or without its parameters ("; charset=utf-8").
bool isJson(const std::string &contentType) {
    std::string type = contentType.substr(0, contentType.find(';'));
    while (!type.empty() && (type.back() == ' ' || type.back() == '\t'))
        type.pop_back();
    std::transform(type.begin(), type.end(), type.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return type == "application/json";
}

// The methods a path answers to; empty for a path this service does not have.
std::string allowedMethods(const std::string &path) {
    const auto under = [&](std::string_view prefix) {
        return path.size() > prefix.size() && path.starts_with(prefix) &&
               path.find('/', prefix.size()) == std::string::npos;
    };
    if (path == "/printer/state") return "GET, POST";
    if (under("/calls/") || under("/printer/") || path == "/paper/mark" || path == "/receipts")
        return "POST";
    if (path.starts_with("/answers/") && path.size() > 9) return "GET";
    if (path == "/" || path == "/paper" || path == "/log" || path == "/calls") return "GET";
    return "";
}

// What every request must pass before it is routed (its body not read yet); true when it was
// refused and answered.
bool refused(const httplib::Request &req, httplib::Response &res, const ServeOptions &options) {
    const auto refuse = [&](int status, const char *kind, const std::string &why) {
        reply(res, CallSession::error(kind, why), status);
        return true;
    };
    // The size limit holds for bodies that state their length.
    if (req.has_header("Transfer-Encoding") ||
        (req.method == "POST" && !req.has_header("Content-Length")))
        return refuse(411, "request",
                      "a request states its Content-Length; chunked bodies are "
                      "not taken");
    // A web page the operator visits must not drive the printer: browsers name the page's
    // origin, and a page that rebinds a name of its own to this address shows it in Host.
    // Only the pages of origins the service was started with are let through, each told so.
    if (req.has_header("Origin")) {
        const std::string origin = req.get_header_value("Origin");
        if (std::find(options.allowOrigins.begin(), options.allowOrigins.end(), origin) ==
            options.allowOrigins.end())
            return refuse(403, "forbidden",
                          "requests from web pages are refused (Origin: " + origin + ")");
        res.set_header("Access-Control-Allow-Origin", origin);
        res.set_header("Vary", "Origin");
    }
    if (isLoopback(options.address) && !isLoopback(hostOf(req.get_header_value("Host"))))
        return refuse(403, "forbidden",
                      "the request names another host (Host: " + req.get_header_value("Host") +
                          "); this service answers on " + options.address);
    // A browser asks before its page's request, without the token: the answer only says what
    // the page may send, and the request itself still needs the token.
    if (req.method == "OPTIONS" && req.has_header("Origin")) {
        const std::string methods = allowedMethods(req.path);
        if (methods.empty()) return refuse(404, "unknown", "no such resource: " + req.path);
        res.set_header("Access-Control-Allow-Methods", methods);
        res.set_header("Access-Control-Allow-Headers", "Authorization, Content-Type");
        res.set_header("Access-Control-Max-Age", "600");
        res.status = 204;
        return true;
    }
    if (!options.token.empty() &&
        !tokenMatches(req.get_header_value("Authorization"), "Bearer " + options.token)) {
        res.set_header("WWW-Authenticate", "Bearer realm=\"tiv serve\"");
        return refuse(401, "forbidden",
                      "this service needs its token: Authorization: Bearer <token>");
    }
    const std::string length = req.get_header_value("Content-Length");
    if (req.method == "POST" && length.find_first_not_of('0') != std::string::npos &&
        !isJson(req.get_header_value("Content-Type")))
        return refuse(415, "request", "a body is JSON: Content-Type: application/json");
    return false;
}

void routes(httplib::Server &server, Service &service) {
    server.Post(R"(/calls/([A-Za-z_][A-Za-z0-9_]*))", [&](const httplib::Request &req,
                                                          httplib::Response &res) {
        Json body;
        if (!bodyObject(req, res, body)) return;
        if (body.contains("call") || body.contains("ecfsim"))
            return reply(res, CallSession::error("request", "the procedure is named by the path"));
        body["call"] = req.matches[1].str();
        if (!body.contains("args")) body["args"] = Json::array();
        reply(res, service.call(body));
    });
    // A whole sale: the body is the receipt, with the client's "id" beside its members.
    server.Post("/receipts", [&](const httplib::Request &req, httplib::Response &res) {
        Json body;
        if (!bodyObject(req, res, body)) return;
        Json request{{"receipt", body}};
        if (body.contains("id")) {
            request["id"] = body["id"];
            request["receipt"].erase("id");
        }
        reply(res, service.call(request));
    });
    server.Get(R"(/answers/(.+))", [&](const httplib::Request &req, httplib::Response &res) {
        reply(res, service.status(req.matches[1].str()));
    });
    server.Post(R"(/printer/([A-Za-z]+))", [&](const httplib::Request &req,
                                               httplib::Response &res) {
        Json body;
        if (!bodyObject(req, res, body)) return;
        Json request{{"ecfsim", req.matches[1].str()}, {"args", body.value("args", Json::array())}};
        if (body.contains("id")) request["id"] = body["id"];
        reply(res, service.call(request));
    });
    server.Get("/printer/state", [&](const httplib::Request &, httplib::Response &res) {
        reply(res, service.call(Json{{"ecfsim", "State"}, {"args", Json::array()}}));
    });
    server.Post("/paper/mark", [&](const httplib::Request &, httplib::Response &res) {
        reply(res, service.call(Json{{"ecfsim", "MarkPaper"}, {"args", Json::array()}}));
    });
    server.Get("/paper", [&](const httplib::Request &req, httplib::Response &res) {
        long long since = 0;
        if (!queryNumber(req, res, "since", 0, since)) return;
        reply(res, service.call(Json{{"ecfsim", "PaperSince"}, {"args", Json::array({since})}}));
    });
    server.Get("/log", [&](const httplib::Request &req, httplib::Response &res) {
        long long lines = 0;
        if (!queryNumber(req, res, "lines", 50, lines)) return;
        reply(res, Service::logTail(static_cast<size_t>(lines)));
    });
    // What a client can call: every procedure the module exports, with its declared form.
    server.Get("/calls", [&](const httplib::Request &, httplib::Response &res) {
        Json calls = Json::array();
        for (const ProcedureEntry &p : procedureTable()) {
            if (!service.session().module().symbol(std::string(p.name))) continue;
            Json call{{"call", std::string(p.name)},
                      {"parameters", p.declaredParams},
                      {"returns", p.declaredReturn}};
            // What each argument takes, as docs/procedures.md says it.
            if (const Json *entry = referenceEntry(p.name)) call["reference"] = *entry;
            calls.push_back(std::move(call));
        }
        reply(res, Json{{"calls", std::move(calls)}});
    });
    server.Get("/", [&](const httplib::Request &, httplib::Response &res) {
        const PrinterControl *printer = service.session().printer();
        reply(res, Json{{"module", service.session().module().path()},
                        {"printer", printer ? Json(printer->path()) : Json(nullptr)}});
    });
}

} // namespace

std::string originProblem(const std::string &origin) {
    const size_t hostAt = origin.find("://");
    const std::string scheme = origin.substr(0, hostAt);
    if (hostAt == std::string::npos || (scheme != "http" && scheme != "https"))
        return "an origin begins with http:// or https://";
    const std::string authority = origin.substr(hostAt + 3);
    // A port after the host's last colon (an IPv6 host is in brackets).
    const size_t colon = authority.rfind(':');
    const bool hasPort =
        colon != std::string::npos && authority.find(']', colon) == std::string::npos;
    const std::string host = hasPort ? authority.substr(0, colon) : authority;
    const std::string port = hasPort ? authority.substr(colon + 1) : "";
    if (host.empty()) return "an origin names a host";
    if (hasPort && (port.empty() || port.size() > 5 ||
                    port.find_first_not_of("0123456789") != std::string::npos))
        return "an origin's port is a number";
    for (const char c : host)
        if (!(std::islower(static_cast<unsigned char>(c)) ||
              std::isdigit(static_cast<unsigned char>(c)) ||
              std::string_view(".-:[]").find(c) != std::string_view::npos))
            return "an origin is scheme, host and port only, in lower case, as a browser "
                   "sends it (no path, no trailing /)";
    return "";
}

bool isLoopback(const std::string &address) {
    if (address == "localhost" || address == "::1") return true;
    in_addr v4{};
    return inet_pton(AF_INET, address.c_str(), &v4) == 1 && (ntohl(v4.s_addr) >> 24) == 127;
}

int serveHttp(Service &service, const ServeOptions &options) {
    if (!isLoopback(options.address) && options.token.empty()) {
        std::cerr << "tiv serve: " << options.address
                  << " is not a loopback address: give a token (--token or TIV_SERVE_TOKEN) that "
                     "every request must bear\n";
        return 1;
    }
    // Signals are taken by one thread of ours, so that the server's threads never see them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    ConnectionLimits limits = options.limits;
    // Calls wait for the printer on workers of their own; status requests always find one.
    limits.workers = Service::kMaxWaiting + 8;
    limits.maxBodyBytes = kMaxRequestBytes;
    ConnectionServer server(limits);
    // Address reuse lets a restart take the port at once; port sharing would let a second
    // service listen beside this one and split the calls between two printers.
    server.set_socket_options([](socket_t sock) {
        int yes = 1;
        setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    });
    server.set_payload_max_length(kMaxRequestBytes);
    server.set_pre_routing_handler([&](const httplib::Request &req, httplib::Response &res) {
        return refused(req, res, options) ? httplib::Server::HandlerResponse::Handled
                                          : httplib::Server::HandlerResponse::Unhandled;
    });
    server.set_error_handler([](const httplib::Request &req, httplib::Response &res) {
        if (!res.body.empty()) return;
        const std::string what =
            res.status == 413
                ? "the request is larger than " + std::to_string(kMaxRequestBytes) + " bytes"
            : res.status == 404 ? "no such resource: " + req.method + " " + req.path
            : res.status == 400 ? "the request is not well-formed HTTP (a POST needs its "
                                  "Content-Length, 0 for an empty body)"
                                : "the request was refused (" + std::to_string(res.status) + ")";
        int status = res.status;
        // A path the service has, asked with another method.
        const std::string allowed = status == 404 ? allowedMethods(req.path) : "";
        if (!allowed.empty() && allowed.find(req.method) == std::string::npos) {
            status = 405;
            res.set_header("Allow", allowed);
            reply(res, CallSession::error("request", req.method + " " + req.path +
                                                         " is not answered; it takes " + allowed));
            res.status = status;
            return;
        }
        reply(res, CallSession::error(status == 404 ? "unknown" : "request", what));
        res.status = status;
    });
    server.set_exception_handler(
        [](const httplib::Request &, httplib::Response &res, std::exception_ptr e) {
            std::string what = "the call failed";
            try {
                std::rethrow_exception(e);
            } catch (const std::exception &x) {
                what = x.what();
            } catch (...) {
            }
            reply(res, CallSession::error("run", what));
        });
    routes(server, service);
    // One line per request on standard error, for whoever keeps the service's log.
    server.set_logger([](const httplib::Request &req, const httplib::Response &res) {
        // One write per line: workers answer at the same time.
        std::cerr << "tiv serve: " + req.remote_addr + " " + req.method + " " + req.path + " " +
                         std::to_string(res.status) + "\n"
                  << std::flush;
    });

    const int port = options.port == 0
                         ? server.bind_to_any_port(options.address)
                         : (server.bind_to_port(options.address, options.port) ? options.port : -1);
    if (port < 0) {
        std::cerr << "tiv serve: cannot listen on " << options.address << ":" << options.port
                  << '\n';
        return 1;
    }
    const bool v6 = options.address.find(':') != std::string::npos;
    std::cout << "tiv serve: listening on http://" << (v6 ? "[" : "") << options.address
              << (v6 ? "]" : "") << ":" << port << std::endl;

    std::atomic<bool> signalled{false};
    std::thread stopper([&] {
        int signal = 0;
        sigwait(&stopSignals, &signal);
        signalled = true;
        service.stop(); // calls still waiting are refused; the one under way ends as it would
        server.stopServing();
    });
    const bool ok = server.serve();
    // listen ended on its own: wake the stopper so that it can be joined.
    if (!signalled) pthread_kill(stopper.native_handle(), SIGTERM);
    stopper.join();
    return ok || signalled ? 0 : 1;
}

} // namespace tivtool

// tiv serve: calls one at a time, answers kept under the client's id and never
// made twice, JSON lines, and HTTP as a client sees it (status codes, the size
// limit, the token, a client killed before its answer).
#include <arpa/inet.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <httplib.h>

#include "../common/lines_service.h"
#include "../common/printer_folder.h"
#include "call_session.h"
#include "serve.h"
#include "service.h"

namespace {

using tivtool::Json;

const Json kStart = {
    {"call", "StartImpFiscal"},
    {"args", {{{"CDFILIAL", "0001"}, {"IDTIPOIMPFIS", 31}, {"BOUTILTAA", false}}}}};
// A TEF slip printed twice: the driver waits two seconds between its copies, long enough for
// what a test must do while a call is under way.
const Json kSlowTef = {{"call", "ImprimeTef"},
                       {"args",
                        {"",
                         "",
                         "",
                         "001",
                         {"SLIP\n"},
                         {"SLIP\n"},
                         Json::array(),
                         Json::array(),
                         "",
                         "",
                         "",
                         0,
                         0,
                         0,
                         "N",
                         "N"}}};
const Json kOpenReceipt = {
    {"call", "AbreCupom"},
    {"args", {{{"ESQUEMACOR", "001"}, {"IDUTILTEF", "N"}, {"UTILTEF", false}}}}};

// The driver's program folder, its printer's folder "ecf" inside.
class TempFolder : public PrinterFolder {
  public:
    TempFolder() : PrinterFolder("tiv-serve") { setenv("TIV_PROGRAM_DIR", path.c_str(), 1); }
};

class ServiceTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(session.invoke(Json{{"ecfsim", "OpenFolder"}, {"args", {folder.path + "/ecf"}}})
                      .value("result", -1),
                  0);
        ASSERT_EQ(session.invoke(Json{{"ecfsim", "Reset"}}).value("result", -1), 0);
        ASSERT_EQ(session.invoke(kStart).value("return", false), true);
    }
    int coo() {
        return session.invoke(Json{{"ecfsim", "State"}})["result"]["counters"]["coo"].get<int>();
    }

    TempFolder folder;
    tivtool::CallSession session{Json::object(), TIV_MODULE_PATH};
};

TEST_F(ServiceTest, ACallSentAgainUnderItsIdIsAnsweredFromWhatWasKept) {
    tivtool::Service service(session);
    Json request = kOpenReceipt;
    request["id"] = "sale-1";
    const Json first = service.call(request);
    ASSERT_EQ(first.value("return", false), true) << first.dump();
    EXPECT_EQ(first.at("id"), "sale-1");
    const int cooAfterFirst = coo();

    const Json again = service.call(request);
    EXPECT_EQ(again.value("repeated", false), true);
    EXPECT_EQ(again.at("journal"), first.at("journal"));
    EXPECT_EQ(coo(), cooAfterFirst) << "the receipt was opened twice";

    const Json status = service.status("sale-1");
    EXPECT_EQ(status.at("status"), "done");
    EXPECT_EQ(status.at("answer"), first);

    // The same id on another request is refused, and the printer is not called.
    Json other = kStart;
    other["id"] = "sale-1";
    EXPECT_EQ(service.call(other).at("error").at("kind"), "request");
    EXPECT_EQ(coo(), cooAfterFirst);

    EXPECT_EQ(service.status("never-sent").at("error").at("kind"), "unknown");
    for (const Json &id : {Json(5), Json(""), Json(std::string(129, 'x'))}) {
        Json bad = kStart;
        bad["id"] = id;
        EXPECT_EQ(service.call(bad).at("error").at("kind"), "request") << id;
    }
}

// Calls wait for the printer up to the limit beyond the one under way; the next is refused as
// busy at once, and those waiting are each made in turn.
TEST_F(ServiceTest, OneCallBeyondTheWaitingLimitIsRefusedAsBusy) {
    tivtool::Service service(session);
    Json slowAnswer;
    std::thread slow([&] {
        Json request = kSlowTef;
        request["id"] = "tef";
        slowAnswer = service.call(request);
    });
    const auto running = [&](const std::string &id) {
        for (int i = 0; i < 200; ++i) {
            if (service.status(id).value("status", "") == "running") return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return false;
    };
    ASSERT_TRUE(running("tef"));
    std::vector<Json> waited(tivtool::Service::kMaxWaiting);
    std::vector<std::thread> waiting;
    for (size_t i = 0; i < waited.size(); ++i)
        waiting.emplace_back([&, i] {
            waited[i] = service.call(Json{{"ecfsim", "State"}, {"id", "w" + std::to_string(i)}});
        });
    for (size_t i = 0; i < waited.size(); ++i)
        EXPECT_TRUE(running("w" + std::to_string(i))) << i;
    // Each registered call goes on to wait without blocking first: a moment is enough.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const Json beyond = service.call(Json{{"ecfsim", "State"}});
    slow.join();
    for (auto &t : waiting)
        t.join();
    EXPECT_EQ(beyond.value("error", Json::object()).value("kind", ""), "busy") << beyond.dump();
    EXPECT_EQ(slowAnswer.value("return", false), true) << slowAnswer.dump();
    for (const Json &answer : waited)
        EXPECT_FALSE(answer.contains("error")) << answer.dump();
}

TEST_F(ServiceTest, TheOldestAnswersAreForgottenFirst) {
    // Kept by count, and by size: a State answer is some hundreds of bytes.
    for (const auto &[count, bytes] : {std::pair<size_t, size_t>{2, 1u << 20}, {1000, 3000}}) {
        tivtool::Service service(session, count, bytes);
        for (const char *id : {"a", "b", "c"})
            ASSERT_FALSE(service.call(Json{{"ecfsim", "State"}, {"id", id}}).contains("error"));
        EXPECT_EQ(service.status("a").at("error").at("kind"), "unknown") << count;
        EXPECT_EQ(service.status("c").at("status"), "done") << count;
    }
}

// The cap counts what the kept texts occupy, not their length: a large one its own pages.
TEST_F(ServiceTest, KeptAnswersStayWithinTheirCapInWhatTheyOccupy) {
    constexpr size_t kCap = 4u << 20;
    tivtool::Service service(session, 1000, kCap);
    // Some 300 kB each, refused before the printer is asked, and kept all the same.
    const Json big = {"", std::string(300000, 'a')};
    size_t most = 0;
    for (int i = 0; i < 40; ++i) {
        const Json answer = service.call(Json{
            {"call", "Nr_Cupom"}, {"args", {"", Json::array({big})}}, {"id", std::to_string(i)}});
        ASSERT_EQ(answer.value("error", Json::object()).value("kind", ""), "argument");
        most = std::max(most, service.keptBytes());
    }
    EXPECT_LE(most, kCap);
    EXPECT_GT(most, kCap - (1u << 20)) << "the cap is not filled: not every byte is counted";
    EXPECT_EQ(service.status("0").at("error").at("kind"), "unknown");
    EXPECT_EQ(service.status("39").at("status"), "done");

    // Small texts count their heap blocks; large ones whole pages.
    for (const size_t length :
         {size_t(10), size_t(5000), tivtool::Service::Text::kOwnPages, size_t(1) << 20}) {
        const tivtool::Service::Text text(std::string(length, 'x'));
        EXPECT_EQ(text.view(), std::string(length, 'x'));
        EXPECT_GE(text.footprint(), length);
        if (length >= tivtool::Service::Text::kOwnPages) {
            EXPECT_EQ(text.footprint() % static_cast<size_t>(sysconf(_SC_PAGESIZE)), 0u);
        }
    }
}

TEST_F(ServiceTest, JsonLinesAnswerEachLineInOrder) {
    tivtool::Service service(session);
    std::string input = std::string(100000, '[') +
                        "\n" // too deep: refused, not a crash
                        "not json\n"
                        "\n"
                        "{\"status\": 5}\n"
                        "{\"log\": -1}\n" +
                        std::string(tivtool::kMaxRequestBytes + 10, 'a') + "\n" +
                        "{\"call\": \"Nr_Cupom\", \"args\": [\"\", \"001\"], \"id\": \"n\"}\r\n"
                        "{\"status\": \"n\"}\n"
                        "{\"log\": 1}"; // the last line may lack its newline
    std::istringstream in(input);
    std::ostringstream out;
    tivtool::serveLines(service, in, out);

    std::istringstream answers(out.str());
    std::vector<Json> got;
    for (std::string line; std::getline(answers, line);)
        got.push_back(Json::parse(line));
    ASSERT_EQ(got.size(), 8u) << out.str();
    EXPECT_EQ(got[0]["error"]["kind"], "json");
    got.erase(got.begin());
    EXPECT_EQ(got[0]["error"]["kind"], "json");
    EXPECT_EQ(got[1]["error"]["kind"], "request");
    EXPECT_EQ(got[2]["error"]["kind"], "request");
    EXPECT_NE(got[3]["error"]["message"].get<std::string>().find("at most"), std::string::npos);
    EXPECT_EQ(got[4]["call"], "Nr_Cupom");
    EXPECT_EQ(got[4]["id"], "n");
    EXPECT_EQ(got[5]["status"], "done");
    EXPECT_EQ(got[6]["lines"].size(), 1u);
    EXPECT_NE(got[6]["file"].get<std::string>().find(folder.path), std::string::npos);
}

TEST_F(ServiceTest, JsonLinesStopTakingCallsWhenTheClientIsGone) {
    tivtool::Service service(session);
    Json first = kOpenReceipt;
    first["id"] = "first";
    Json second = kOpenReceipt;
    second["id"] = "second";
    std::istringstream in(first.dump() + "\n" + second.dump() + "\n");
    std::ostringstream gone;
    gone.setstate(std::ios::badbit); // every write fails, as to a closed pipe
    tivtool::serveLines(service, in, gone);
    EXPECT_EQ(service.status("first").at("status"), "done");
    EXPECT_EQ(service.status("second").at("error").at("kind"), "unknown");
    EXPECT_EQ(coo(), 1);
}

// tiv serve --lines stopped by a signal in the middle of a call: the call ends, its answer is
// written, and the service exits 0.
TEST(LinesService, ASignalWaitsForTheAnswerUnderWay) {
    TempFolder folder;
    LinesService service;
    ASSERT_TRUE(service.start(TIV_EXECUTABLE));
    for (const Json &request : {Json{{"ecfsim", "OpenFolder"}, {"args", {folder.path + "/ecf"}}},
                                Json{{"ecfsim", "Reset"}}, kStart}) {
        ASSERT_TRUE(service.send(request.dump()));
        ASSERT_NE(service.answer(), "");
    }
    ASSERT_TRUE(service.send(kSlowTef.dump()));
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    kill(service.pid(), SIGTERM);
    const std::string line = service.answer();
    ASSERT_NE(line, "") << "no answer to the call under way";
    const Json answer = Json::parse(line);
    EXPECT_EQ(answer.value("call", ""), "ImprimeTef");
    EXPECT_EQ(answer.value("return", false), true) << answer.dump();
    EXPECT_EQ(service.finish(), 0);
}

TEST(ServeAddress, OnlyLoopbackGoesWithoutAToken) {
    for (const char *a : {"127.0.0.1", "127.1.2.3", "::1", "localhost"})
        EXPECT_TRUE(tivtool::isLoopback(a)) << a;
    for (const char *a : {"0.0.0.0", "192.168.0.10", "::", "128.0.0.1", "example.com", ""})
        EXPECT_FALSE(tivtool::isLoopback(a)) << a;
}

// `tiv serve` as a process on a free loopback port.
class HttpServiceTest : public ::testing::Test {
  protected:
    void start(const std::vector<std::string> &options = {}) {
        int out[2];
        ASSERT_EQ(pipe(out), 0);
        pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            dup2(out[1], STDOUT_FILENO);
            close(out[0]);
            close(out[1]);
            std::vector<std::string> words = {TIV_EXECUTABLE, "serve", "--port", "0"};
            words.insert(words.end(), options.begin(), options.end());
            std::vector<char *> argv;
            for (std::string &w : words)
                argv.push_back(w.data());
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            _exit(127);
        }
        close(out[1]);
        FILE *from = fdopen(out[0], "r");
        char line[256] = {};
        ASSERT_NE(fgets(line, sizeof line, from), nullptr) << "tiv serve did not start";
        fclose(from);
        const std::string text = line;
        const size_t colon = text.rfind(':');
        ASSERT_NE(text.find("listening on http://127.0.0.1:"), std::string::npos) << text;
        port = std::stoi(text.substr(colon + 1));
        client = std::make_unique<httplib::Client>("127.0.0.1", port);
        client->set_read_timeout(60, 0);
    }
    void TearDown() override {
        if (pid <= 0) return;
        kill(pid, SIGTERM);
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "stopped by a signal";
    }
    // POST with a JSON body; the status code and the answer.
    std::pair<int, Json> post(const std::string &path, const std::string &body = "{}",
                              const httplib::Headers &headers = {},
                              const char *type = "application/json") {
        auto res = client->Post(path.c_str(), headers, body, type);
        if (!res) return {0, Json()};
        return {res->status, Json::parse(res->body)};
    }
    std::pair<int, Json> get(const std::string &path) {
        auto res = client->Get(path.c_str());
        if (!res) return {0, Json()};
        return {res->status, Json::parse(res->body)};
    }
    void freshPrinter() {
        ASSERT_EQ(post("/printer/OpenFolder", Json{{"args", {folder.path + "/ecf"}}}.dump()).first,
                  200);
        ASSERT_EQ(post("/printer/Reset").first, 200);
    }

    TempFolder folder;
    pid_t pid = -1;
    int port = 0;
    std::unique_ptr<httplib::Client> client;
};

TEST_F(HttpServiceTest, AnswersWithTheRightStatusCodes) {
    start();
    freshPrinter();
    const auto started = post("/calls/StartImpFiscal", Json{{"args", kStart["args"]}}.dump());
    ASSERT_EQ(started.first, 200);
    EXPECT_EQ(started.second.at("return"), true);

    struct Case {
        std::string method, path, body;
        int status;
        const char *kind;
        httplib::Headers headers = {};
        const char *type = "application/json";
    };
    for (const Case &c : {
             Case{"GET", "/nothing", "", 404, "unknown"},
             Case{"GET", "/answers/never-sent", "", 404, "unknown"},
             Case{"POST", "/calls/Nr_Cupom", "{not json", 400, "json"},
             Case{"POST", "/calls/Nr_Cupom", "[1]", 400, "request"},
             Case{"POST", "/calls/NoSuchProcedure", "{}", 404, "unknown"},
             Case{"GET", "/calls/Nr_Cupom", "", 405, "request"},
             Case{"GET", "/receipts", "", 405, "request"},
             Case{"POST", "/receipts", R"({"items": [], "id": "r"})", 400, "argument"},
             Case{"POST", "/printer/nothing/more", "{}", 404, "unknown"},
             Case{"POST", "/calls/Nr_Cupom", R"({"id": "a\nb", "args": ["", "001"]})", 400,
                  "request"},
             Case{"POST", "/calls/Nr_Cupom", "{}", 415, "request", {}, "application/jsonp"},
             Case{"POST", "/calls/Nr_Cupom", R"({"args": ["", 42]})", 400, "argument"},
             Case{"POST", "/calls/Nr_Cupom", R"({"call": "Other"})", 400, "request"},
             Case{"POST", "/calls/Nr_Cupom",
                  R"({"args": [""], "x": ")" + std::string(tivtool::kMaxRequestBytes, 'a') + "\"}",
                  413, "request"},
             Case{"GET", "/paper?since=x", "", 400, "request"},
             // What a web page's request looks like is refused, whatever it asks.
             Case{"POST",
                  "/calls/AbreCupom",
                  "{}",
                  403,
                  "forbidden",
                  {{"Origin", "http://shop.example"}}},
             Case{"POST",
                  "/calls/AbreCupom",
                  "{}",
                  403,
                  "forbidden",
                  {{"Host", "rebound.example:8765"}}},
             Case{"POST", "/calls/AbreCupom", "{}", 415, "request", {}, "text/plain"},
             Case{"POST",
                  "/calls/AbreCupom",
                  "{}",
                  411,
                  "request",
                  {{"Transfer-Encoding", "chunked"}}},
         }) {
        SCOPED_TRACE(c.method + " " + c.path);
        const auto got = c.method == "GET" ? get(c.path) : post(c.path, c.body, c.headers, c.type);
        EXPECT_EQ(got.first, c.status);
        ASSERT_TRUE(got.second.contains("error")) << got.second.dump();
        EXPECT_EQ(got.second["error"]["kind"], c.kind);
    }
    // A method the path does not take is told which it does.
    const auto wrongMethod = client->Delete("/paper/mark");
    ASSERT_TRUE(wrongMethod);
    EXPECT_EQ(wrongMethod->status, 405);
    EXPECT_EQ(wrongMethod->get_header_value("Allow"), "POST");
    // The procedures a client can call, with their forms.
    const auto calls = get("/calls");
    ASSERT_EQ(calls.first, 200);
    bool listed = false, keysShown = false;
    for (const auto &c : calls.second.at("calls")) {
        listed |=
            c.at("call") == "FechaCupom" &&
            c.at("parameters").get<std::string>().find("tiv::TStringList") != std::string::npos;
        if (c.at("call") == "VendaItem")
            for (const auto &k : c.at("reference").at("params").at("params").at("keys"))
                keysShown |= k.at("key") == "VALOR" && k.at("type") == "real";
    }
    EXPECT_TRUE(listed) << calls.second.dump().substr(0, 300);
    EXPECT_TRUE(keysShown) << "a parameter array's keys, with their types";

    // The printer's state, its paper since a mark and the debug log.
    const auto mark = post("/paper/mark");
    ASSERT_EQ(mark.first, 200);
    const auto number = post("/calls/Nr_Cupom", R"({"args": ["", "001"]})");
    EXPECT_EQ(number.second.at("return"), "000000");
    EXPECT_EQ(get("/printer/state").second["result"]["counters"]["cro"], 1);
    const auto paper = get("/paper?since=" + mark.second["result"].dump());
    EXPECT_EQ(paper.first, 200);
    EXPECT_TRUE(paper.second["result"].contains("lines"));
    const auto log = get("/log?lines=3");
    EXPECT_EQ(log.first, 200);
    EXPECT_LE(log.second["lines"].size(), 3u);

    // A control the printer refused is no fault of the request's.
    const auto refused = post("/printer/OpenFolder", R"({"args": ["/proc/no-such/ecf"]})");
    EXPECT_EQ(refused.first, 500);
    EXPECT_EQ(refused.second["error"]["kind"], "run");
}

TEST_F(HttpServiceTest, AClientKilledBeforeItsAnswerFindsItKeptAndTheReceiptOpenedOnce) {
    start();
    freshPrinter();
    ASSERT_EQ(post("/calls/StartImpFiscal", Json{{"args", kStart["args"]}}.dump()).first, 200);

    // A client sends its call and dies at once, before any answer.
    Json body = {{"args", kOpenReceipt["args"]}, {"id", "till-7/sale-42"}};
    const std::string text = body.dump();
    const std::string raw = "POST /calls/AbreCupom HTTP/1.1\r\nHost: 127.0.0.1\r\n"
                            "Content-Type: application/json\r\nContent-Length: " +
                            std::to_string(text.size()) + "\r\n\r\n" + text;
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<uint16_t>(port));
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(connect(s, reinterpret_cast<sockaddr *>(&to), sizeof to), 0);
    ASSERT_EQ(send(s, raw.data(), raw.size(), MSG_NOSIGNAL), static_cast<ssize_t>(raw.size()));
    close(s);

    Json status;
    for (int i = 0; i < 200; ++i) {
        status = get("/answers/till-7%2Fsale-42").second;
        if (status.value("status", "") == "done") break;
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    ASSERT_EQ(status.value("status", ""), "done") << status.dump();
    EXPECT_EQ(status["answer"]["return"], true);
    const int coo = get("/printer/state").second["result"]["counters"]["coo"].get<int>();

    // Its retry gets the same answer; the printer is not asked again.
    const auto retry = post("/calls/AbreCupom", text);
    EXPECT_EQ(retry.second.value("repeated", false), true);
    EXPECT_EQ(retry.second["journal"], status["answer"]["journal"]);
    EXPECT_EQ(get("/printer/state").second["result"]["counters"]["coo"], coo);
}

TEST_F(HttpServiceTest, AStopEndsTheCallUnderWayAndMakesNoneOfThoseWaiting) {
    start();
    freshPrinter();
    ASSERT_EQ(post("/calls/StartImpFiscal", Json{{"args", kStart["args"]}}.dump()).first, 200);

    // Each thread its own connection.
    const auto postFrom = [&](const std::string &path, const Json &body) {
        httplib::Client own("127.0.0.1", port);
        own.set_read_timeout(60, 0);
        auto res = own.Post(path.c_str(), body.dump(), "application/json");
        return res ? std::make_pair(res->status, Json::parse(res->body))
                   : std::make_pair(0, Json());
    };
    std::pair<int, Json> slow, waiting;
    std::thread a([&] {
        slow = postFrom("/calls/ImprimeTef", {{"args", kSlowTef["args"]}, {"id", "tef"}});
    });
    Json status = Json::object();
    for (int i = 0; i < 100 && status.value("status", "") != "running"; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        status = get("/answers/tef").second;
    }
    EXPECT_EQ(status.value("status", ""), "running") << status.dump();
    std::thread b([&] {
        waiting = postFrom("/calls/AbreCupom", {{"args", kOpenReceipt["args"]}});
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    kill(pid, SIGTERM);
    a.join();
    b.join();
    EXPECT_EQ(slow.first, 200);
    EXPECT_EQ(slow.second.value("return", false), true) << slow.second.dump();
    EXPECT_EQ(waiting.first, 503) << waiting.second.dump();
    EXPECT_EQ(waiting.second["error"]["kind"], "stopping");
}

TEST_F(HttpServiceTest, ATokenGuardsEveryRequest) {
    start({"--token", "s3cret"});
    EXPECT_EQ(get("/").first, 401);
    client->set_default_headers({{"Authorization", "Bearer wrong"}});
    const auto refused = client->Get("/");
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->status, 401);
    EXPECT_EQ(refused->get_header_value("WWW-Authenticate"), "Bearer realm=\"tiv serve\"");
    client->set_default_headers({{"Authorization", "Bearer s3cret"}});
    const auto ok = get("/");
    EXPECT_EQ(ok.first, 200);
    EXPECT_NE(ok.second.value("module", "").find("libtiv02000.so"), std::string::npos);
}

// A raw connection to the service, for clients no HTTP library would imitate.
class RawClient {
  public:
    explicit RawClient(int port) {
        fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(static_cast<uint16_t>(port));
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        connected = connect(fd, reinterpret_cast<sockaddr *>(&to), sizeof to) == 0;
        timeval wait{10, 0}; // a test never waits longer for what the service sends
        setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    }
    ~RawClient() { close(fd); }
    bool send(const std::string &text) {
        return ::send(fd, text.data(), text.size(), MSG_NOSIGNAL) ==
               static_cast<ssize_t>(text.size());
    }
    // Everything until the service closes the connection ("" when it sends nothing).
    std::string rest() {
        std::string got;
        char buf[4096];
        for (ssize_t n; (n = recv(fd, buf, sizeof buf, 0)) > 0;)
            got.append(buf, static_cast<size_t>(n));
        return got;
    }
    // Whether the service has closed the connection (without waiting for it to).
    bool closedByService() {
        char c;
        const ssize_t n = recv(fd, &c, 1, MSG_DONTWAIT);
        return n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK);
    }

    int fd = -1;
    bool connected = false;
};

// Clients that send their request slowly, or nothing at all, hold a connection and never a
// worker: with every worker's worth of them and a full set of connections, a request is
// answered at once, and the longest idle connections made room for it.
TEST_F(HttpServiceTest, SlowAndIdleClientsDoNotHoldTheService) {
    start({"--max-connections", "40"});
    std::vector<std::unique_ptr<RawClient>> slow, idle;
    for (int i = 0; i < 16; ++i) {
        slow.push_back(std::make_unique<RawClient>(port));
        ASSERT_TRUE(slow.back()->connected);
        ASSERT_TRUE(slow.back()->send("POST /calls/Nr_Cupom HTTP/1.1\r\nHo"));
    }
    for (int i = 0; i < 30; ++i) {
        idle.push_back(std::make_unique<RawClient>(port));
        ASSERT_TRUE(idle.back()->connected);
    }
    httplib::Client prompt("127.0.0.1", port);
    prompt.set_read_timeout(2, 0); // a held service would keep it waiting for ten seconds
    for (const char *path : {"/", "/printer/state"}) {
        const auto res = prompt.Get(path);
        ASSERT_TRUE(res) << path << " was not answered";
        EXPECT_EQ(res->status, 200) << path;
    }
    // 16 + 30 + 1 connections for 40 places: the oldest idle ones gave theirs, no slow one did.
    size_t closed = 0;
    for (int i = 0; i < 100 && closed < 7; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        closed = 0;
        for (auto &c : idle)
            closed += c->closedByService() ? 1 : 0;
    }
    EXPECT_GE(closed, 7u);
    for (auto &c : slow)
        EXPECT_FALSE(c->closedByService());
}

// Each part of a request has its deadline, however steadily its bytes come: a client that
// sends a byte at a time is answered 408 when the header's time is up, as is one whose body
// stops short; an idle connection is closed without an answer. A request that cannot be
// gathered whole is answered why.
TEST_F(HttpServiceTest, ARequestNotSentWholeIsAnsweredAndClosed) {
    start({"--header-timeout", "0.4", "--body-timeout", "0.4", "--idle-timeout", "0.4"});
    struct Case {
        const char *what;
        std::string sent;
        const char *answer; // how the answer begins; "" for none
    };
    const std::string header = "POST /calls/Nr_Cupom HTTP/1.1\r\nHost: 127.0.0.1\r\n"
                               "Content-Type: application/json\r\nContent-Length: 10\r\n\r\n";
    for (const Case &c : {
             Case{"a header cut short", "POST /calls/Nr_Cupom HTTP/1.1\r\nHost: 127",
                  "HTTP/1.1 408"},
             Case{"a body cut short", header + "{\"a", "HTTP/1.1 408"},
             Case{"nothing", "", ""},
             Case{"a header too long", "GET / HTTP/1.1\r\nX: " + std::string(70000, 'x'),
                  "HTTP/1.1 431"},
             // Without a length its body would be taken as empty: refused, the call not made.
             Case{"a POST without its length",
                  "POST /calls/AbreCupom HTTP/1.1\r\nHost: 127.0.0.1\r\n"
                  "Content-Type: application/json\r\n\r\n",
                  "HTTP/1.1 411"},
         }) {
        SCOPED_TRACE(c.what);
        RawClient client(port);
        ASSERT_TRUE(client.connected);
        ASSERT_TRUE(client.send(c.sent));
        const std::string got = client.rest();
        EXPECT_EQ(got.substr(0, std::string(c.answer).size()), c.answer) << got;
        if (!got.empty()) {
            const Json body = Json::parse(got.substr(got.find("\r\n\r\n") + 4));
            EXPECT_EQ(body["error"]["kind"], "request");
        }
    }

    // A byte every 50 ms: each read finds one, so only a deadline for the whole header ends it.
    RawClient trickle(port);
    ASSERT_TRUE(trickle.connected);
    const std::string request =
        "GET / HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Slow: " + std::string(100, 'x') +
        "\r\n\r\n"; // 6 s at this pace
    std::atomic<bool> answered{false};
    std::thread sender([&] {
        for (size_t i = 0; i < request.size() && !answered; ++i) {
            if (!trickle.send(request.substr(i, 1))) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    });
    const auto began = std::chrono::steady_clock::now();
    const std::string got = trickle.rest();
    answered = true;
    sender.join();
    EXPECT_EQ(got.substr(0, 12), "HTTP/1.1 408") << got;
    EXPECT_LT(std::chrono::steady_clock::now() - began, std::chrono::seconds(3));

    // The service goes on answering.
    EXPECT_EQ(get("/").first, 200);
}

// Pages of the origins the service was started with may call it: the browser's preflight is
// answered, and the call itself still needs the token. Any other origin is refused.
TEST_F(HttpServiceTest, PagesOfAllowedOriginsMayCallWithTheToken) {
    const std::string origin = "http://till.example:3000";
    start({"--allow-origin", origin, "--allow-origin", "https://back.example", "--token", "t"});
    const auto preflight = [&](const std::string &from, const std::string &path) {
        return client->Options(path.c_str(),
                               {{"Origin", from}, {"Access-Control-Request-Method", "POST"}});
    };
    const auto asked = preflight(origin, "/calls/Nr_Cupom");
    ASSERT_TRUE(asked);
    EXPECT_EQ(asked->status, 204);
    EXPECT_EQ(asked->get_header_value("Access-Control-Allow-Origin"), origin);
    EXPECT_EQ(asked->get_header_value("Access-Control-Allow-Methods"), "POST");
    EXPECT_NE(asked->get_header_value("Access-Control-Allow-Headers").find("Authorization"),
              std::string::npos);
    EXPECT_EQ(preflight("https://back.example", "/printer/state")
                  ->get_header_value("Access-Control-Allow-Methods"),
              "GET, POST");
    // Only the very origin: another port, a trailing slash, another scheme.
    for (const char *other : {"http://till.example:3001", "http://till.example:3000/",
                              "https://till.example:3000", "null"}) {
        const auto refused = preflight(other, "/calls/Nr_Cupom");
        ASSERT_TRUE(refused) << other;
        EXPECT_EQ(refused->status, 403) << other;
        EXPECT_FALSE(refused->has_header("Access-Control-Allow-Origin")) << other;
    }

    const httplib::Headers fromPage = {{"Origin", origin}};
    const auto noToken = client->Get("/", fromPage);
    ASSERT_TRUE(noToken);
    EXPECT_EQ(noToken->status, 401);
    EXPECT_EQ(noToken->get_header_value("Access-Control-Allow-Origin"), origin)
        << "the page cannot read why it was refused";
    const auto withToken = client->Get("/", {{"Origin", origin}, {"Authorization", "Bearer t"}});
    ASSERT_TRUE(withToken);
    EXPECT_EQ(withToken->status, 200);
    EXPECT_EQ(withToken->get_header_value("Access-Control-Allow-Origin"), origin);
    EXPECT_EQ(withToken->get_header_value("Vary"), "Origin");
}

// `tiv serve ARGS` run to its end, at most ten seconds (a service that did listen would never
// end by itself): its exit status, and its output in `out`.
int serveExitStatus(const std::string &args, std::string &out) {
    const std::string command =
        std::string("timeout 10 '") + TIV_EXECUTABLE + "' serve " + args + " 2>&1 </dev/null";
    FILE *p = popen(command.c_str(), "r");
    if (!p) return -1;
    char buf[512];
    for (size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;)
        out.append(buf, n);
    const int status = pclose(p);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A second service on a port the first holds would split the calls between two printers.
TEST_F(HttpServiceTest, ASecondServiceOnATakenPortIsRefused) {
    start();
    std::string out;
    EXPECT_EQ(serveExitStatus("--port " + std::to_string(port), out), 1) << out;
    EXPECT_NE(out.find("cannot listen"), std::string::npos) << out;
    EXPECT_EQ(out.find("listening"), std::string::npos) << out;
    EXPECT_EQ(get("/").first, 200) << "the first service goes on";
}

// An origin is allowed only in the form a browser sends, or it would never match.
TEST(HttpService, AnOriginNotInABrowsersFormIsRefusedAtStart) {
    TempFolder folder;
    for (const char *origin :
         {"http://till.example/", "till.example", "http://Till.example", "null", "*",
          "ftp://till.example", "http://till.example:80a", "http://:3000"}) {
        std::string out;
        EXPECT_NE(serveExitStatus(std::string("--port 0 --allow-origin '") + origin + "'", out), 0)
            << origin;
        EXPECT_EQ(out.find("listening"), std::string::npos) << origin << ": " << out;
    }
}

TEST(HttpService, AnAddressBeyondLoopbackWithoutATokenIsRefused) {
    TempFolder folder;
    std::string out;
    EXPECT_EQ(serveExitStatus("--address 0.0.0.0 --port 0", out), 1) << out;
    EXPECT_NE(out.find("token"), std::string::npos) << out;
}

} // namespace

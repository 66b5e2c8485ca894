// The score server as a program on a loopback port with a fresh store, talked
// to over HTTP. The store is an SQLite file, or, when BZK_TEST_PG_URL_FILE
// names a file holding the URL of a throw-away PostgreSQL cluster, a schema of
// its own in that database: the same tests run on both. Servers list every
// post (--scores any) unless a test asks for checked rounds only.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <libpq-fe.h>
#include <signal.h>
#include <netdb.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <sqlite3.h>

#include <fstream>
#include <map>
#include <regex>
#include <thread>

#include "base/md5.h"
#include "base/replay.h"
#include "base/sheet.h"
#include "server/head.h"
#include "server/limits.h"
#include "world/objects.h"
#include "world/roundplay.h"

namespace {

using namespace std::chrono_literals;

std::string readFile(const std::string& path) {
    std::ostringstream s;
    s << std::ifstream(path, std::ios::binary).rdbuf();
    return s.str();
}
std::string md5(const std::string& text) { return md5Hex(reinterpret_cast<const uint8_t*>(text.data()), int(text.size())); }
// The form of these fields, signed over them unless a digest is given.
std::string body(const std::string& nick, const std::string& flies, const std::string& time, std::string digest = "") {
    if (digest.empty()) digest = md5(flies + nick + time + "niebieskiparasolnadrzewa");
    return "wysyl=1&wersja=1&nick=" + nick + "&muchy=" + flies + "&czas=" + time + "&md5=" + digest;
}

// Runs SQL on PostgreSQL; "" or the error.
std::string pgRun(const std::string& url, const std::string& sql) {
    std::unique_ptr<PGconn, void (*)(PGconn*)> c(PQconnectdb(url.c_str()), PQfinish);
    std::unique_ptr<PGresult, void (*)(PGresult*)> r(PQexec(c.get(), sql.c_str()), PQclear);
    return PQresultStatus(r.get()) == PGRES_COMMAND_OK || PQresultStatus(r.get()) == PGRES_TUPLES_OK ? "" : PQerrorMessage(c.get());
}

// A TCP connection to loopback:port from the address `from` (IPv4, or IPv6 that
// need not be assigned, as a route to loopback brings it); -1 on failure.
int connectFrom(const std::string& from, int port) {
    const addrinfo hints{AI_NUMERICHOST | AI_NUMERICSERV, 0, SOCK_STREAM, 0, 0, nullptr, nullptr, nullptr};
    addrinfo *src = nullptr, *dst = nullptr;
    const bool v6 = from.find(':') != std::string::npos;
    getaddrinfo(from.c_str(), "0", &hints, &src);
    getaddrinfo(v6 ? "::1" : "127.0.0.1", std::to_string(port).c_str(), &hints, &dst);
    int fd = socket(src->ai_family, SOCK_STREAM, 0), on = 1;
    if (v6) setsockopt(fd, SOL_IPV6, IPV6_FREEBIND, &on, sizeof on);
    if (bind(fd, src->ai_addr, src->ai_addrlen) != 0 || connect(fd, dst->ai_addr, dst->ai_addrlen) != 0) close(fd), fd = -1;
    freeaddrinfo(src);
    freeaddrinfo(dst);
    return fd;
}

// Sends `request` and returns the answer's status line ("" when none comes in 10 s).
std::string statusLine(int fd, const std::string& request) {
    timeval tv{10, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    std::string in;
    char buf[4096];
    send(fd, request.data(), request.size(), MSG_NOSIGNAL);
    for (ssize_t n; in.find("\r\n") == std::string::npos && (n = recv(fd, buf, sizeof buf, 0)) > 0;) in.append(buf, size_t(n));
    return in.substr(0, in.find("\r\n"));
}

// Sends `request` and returns all that comes back until the server closes
// ("<open>" after 4 s, within the default request timeout).
std::string answersUntilClosed(int fd, const std::string& request) {
    timeval tv{4, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    send(fd, request.data(), request.size(), MSG_NOSIGNAL);
    std::string in;
    char buf[4096];
    ssize_t n;
    while ((n = recv(fd, buf, sizeof buf, 0)) > 0) in.append(buf, size_t(n));
    return n < 0 && errno == EAGAIN ? in + "<open>" : in;
}

// Whether the server has closed the connection, waiting up to `wait` for it.
bool closedWithin(int fd, std::chrono::milliseconds wait) {
    char c;
    for (auto end = std::chrono::steady_clock::now() + wait;; std::this_thread::sleep_for(50ms)) {
        const ssize_t n = recv(fd, &c, 1, MSG_DONTWAIT);
        if (n == 0 || (n < 0 && errno == ECONNRESET)) return true;
        if (std::chrono::steady_clock::now() >= end) return false;
    }
}

// How many of `fds` the server has closed, once `want` are or after 1 s. The
// server's threads accept side by side, so which ones is not fixed.
size_t closedOf(const std::vector<int>& fds, size_t want) {
    size_t closed = 0;
    for (int i = 0; i < 20 && closed < want; i++, std::this_thread::sleep_for(50ms))
        closed = size_t(std::count_if(fds.begin(), fds.end(), [](int c) { return closedWithin(c, 0ms); }));
    return closed;
}

// The build's graphics pack; rounds are played on it.
const PackSheets& buildPack() {
    static PackSheets pack;
    static const bool loaded = pack.load(RUN_DATA "/gfx.pkf", nullptr);
    EXPECT_TRUE(loaded) << RUN_DATA;
    return pack;
}
// A round lost with the pointer shaking on a spot of the seed's choosing, at most `most` frames.
Replay playRound(uint32_t seed, const std::string& nick, int32_t most = 100000) {
    Replay r = recordRound(buildPack(), seed, 640, 480, [seed](int32_t f) { return PlayerInput{int32_t(100 + seed * 37 % 400 + f % 7), 240, 0}; }, most);
    r.nick = nick, r.playedAt = 1796000000 + seed;
    return r;
}
std::string scoreOf(const Replay& r) { return r.nick + " " + std::to_string(r.flies) + " " + std::to_string(r.time); }
std::string postOf(const Replay& r) { return body(r.nick, std::to_string(r.flies), std::to_string(r.time)); }

class ScoreServer : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/bzk-server-XXXXXX";
        ASSERT_NE(dir = mkdtemp(tmpl) ? tmpl : "", "");
        db = dir + "/scores.db";
        if (const char* file = getenv("BZK_TEST_PG_URL_FILE")) {
            pg = readFile(file);
            pg.erase(pg.find_last_not_of(" \n") + 1);
            ASSERT_FALSE(pg.empty()) << "no URL in " << file;
            schema = "t" + std::to_string(getpid());
            ASSERT_EQ(pgRun(pg, "CREATE SCHEMA " + schema), "");
            db = pg + (pg.find('?') == std::string::npos ? "?" : "&") + "options=-csearch_path%3D" + schema;
        }
        // Most tests post more than one address may: they run without the limit.
        ASSERT_TRUE(start({"--post-rate", "0"})) << readFile(log);
    }
    void TearDown() override {
        stop();
        if (!pg.empty()) pgRun(pg, "DROP SCHEMA " + schema + " CASCADE");
        std::system(("chattr -i " + dir + "/scores.db-shm 2>/dev/null; rm -rf " + dir).c_str());
    }
    // Starts a server on 127.0.0.1:0 (unless the options say otherwise); true
    // once it printed where it listens and the scores it holds. Earlier ones keep running.
    bool start(std::vector<std::string> options = {}) {
        log = dir + "/server" + std::to_string(++starts) + ".log";
        options.insert(options.begin(), {SERVER_BIN, "--listen", "127.0.0.1:0", "--db", db, "--data", RUN_DATA, "--scores", "any"});
        if ((pid = fork()) == 0) {
            if (!freopen(log.c_str(), "w", stdout)) _exit(127);
            std::vector<char*> argv;
            for (std::string& o : options) argv.push_back(o.data());
            argv.push_back(nullptr);
            execv(SERVER_BIN, argv.data());
            _exit(127);
        }
        pids.push_back(pidOf[starts] = pid);
        const std::regex ready("listening on (\\S+):([0-9]+), database .*, ([0-9]+) scores\n");
        for (int i = 0; i < 200 && waitpid(pid, nullptr, WNOHANG) == 0; i++, std::this_thread::sleep_for(50ms)) {
            std::smatch m;
            const std::string text = readFile(log);
            if (std::regex_search(text, m, ready)) {
                ports.resize(size_t(starts)), ports.back() = port = std::stoi(m[2]);
                return host = m[1], stored = std::stoll(m[3]), true;
            }
        }
        return false;
    }
    void stop() {  // every server, without warning
        for (pid_t p : pids) kill(p, SIGKILL) == 0 && waitpid(p, nullptr, 0);
        pids.clear();
    }
    long long storedAfterKill() { return stop(), start() ? stored : -1; }
    httplib::Result send(const std::string& b, const httplib::Headers& headers = {},
                         const char* type = "application/x-www-form-urlencoded", const char* path = "/bzykolot4.php") {
        httplib::Client c("127.0.0.1", port);
        c.set_read_timeout(30);  // a loaded machine syncs slowly
        return c.Post(path, headers, b, type);
    }
    static std::string answer(const httplib::Result& res) { return res ? std::to_string(res->status) + " " + res->body : "<none>"; }
    int post(const std::string& b, const httplib::Headers& headers = {}, const char* type = "application/x-www-form-urlencoded") {
        auto res = send(b, headers, type);
        return res ? res->status : -1;
    }
    // The table; after a post the game's handle may send its request as an empty POST.
    std::string table(bool byPost = false, int at = 0) {
        httplib::Client c("127.0.0.1", at ? at : port);
        auto res = byPost ? c.Post("/bzykolot4.wtf", "", "application/x-www-form-urlencoded") : c.Get("/bzykolot4.wtf");
        return res && res->status == 200 ? res->body : "<no table>";
    }

    // Sends a recording from `from`: "STATUS TEXT", with " retry=N" after a Retry-After.
    std::string upload(const std::string& bytes, const std::string& from = "127.0.0.1") {
        const int fd = connectFrom(from, port);
        const std::string in = answersUntilClosed(fd, "POST /replays HTTP/1.1\r\nHost: x\r\nConnection: close\r\nContent-Type: "
            "application/octet-stream\r\nContent-Length: " + std::to_string(bytes.size()) + "\r\n\r\n" + bytes);
        close(fd);
        std::smatch m, retry;
        if (!std::regex_search(in, m, std::regex("^HTTP/1.1 ([0-9]+)[^]*?\r\n\r\n([^\n]*)\n$"))) return "<" + in + ">";
        const bool later = std::regex_search(in, retry, std::regex("\r\nRetry-After: ([0-9]+)\r\n"));
        return m[1].str() + " " + m[2].str() + (later ? " retry=" + retry[1].str() : "");
    }
    // The same recording sent again until its check is over: its state.
    std::string checked(const std::string& bytes, const std::string& from = "127.0.0.1") {
        std::string a;
        for (int i = 0; i < 600 && std::regex_match(a = upload(bytes, from), std::regex("20[02] (queued|checking).*")); i++)
            std::this_thread::sleep_for(100ms);
        return a;
    }
    // Rows of a query on the store (of servers stopped, for SQLite), fields joined by "|".
    std::vector<std::string> query(const std::string& sql) {
        std::vector<std::string> rows;
        if (!pg.empty()) {
            std::unique_ptr<PGconn, void (*)(PGconn*)> c(PQconnectdb(db.c_str()), PQfinish);
            std::unique_ptr<PGresult, void (*)(PGresult*)> r(PQexec(c.get(), sql.c_str()), PQclear);
            for (int i = 0; i < PQntuples(r.get()); i++) {
                rows.emplace_back();
                for (int f = 0; f < PQnfields(r.get()); f++) rows.back() += (f ? "|" : "") + std::string(PQgetvalue(r.get(), i, f));
            }
            return rows;
        }
        sqlite3* file = nullptr;
        sqlite3_open(db.c_str(), &file);
        sqlite3_exec(file, sql.c_str(), [](void* out, int n, char** values, char**) {
            std::string row;
            for (int f = 0; f < n; f++) row += (f ? "|" : "") + std::string(values[f] ? values[f] : "");
            static_cast<std::vector<std::string>*>(out)->push_back(row);
            return 0;
        }, &rows, nullptr);
        sqlite3_close(file);
        return rows;
    }
    // Waits up to `seconds` for `text` in the log of server `n` (1: the first started).
    bool logged(const std::string& text, int seconds = 30, int n = 0) {
        for (int i = 0; i < seconds * 20; i++, std::this_thread::sleep_for(50ms))
            if (readFile(n ? dir + "/server" + std::to_string(n) + ".log" : log).find(text) != std::string::npos) return true;
        return false;
    }

    std::string dir, log, pg, schema, db, host;
    pid_t pid = -1;
    std::vector<pid_t> pids;
    std::vector<int> ports;  // of each start, from 1
    std::map<int, pid_t> pidOf;  // of each start
    int port = 0, starts = 0;
    long long stored = -1;
};

// A fresh store answers a single space, which the game loads as no rows instead of
// keeping its old table. A repeated score is stored once; every answer is one log line;
// what was answered survives SIGKILL; SIGTERM, SIGINT or SIGHUP ends it.
TEST_F(ScoreServer, ValidPostsAreListedOnceLoggedAndKept) {
    EXPECT_EQ(table(), " ");
    EXPECT_EQ(post(body("K%6ft", "12", "3600", md5("12Kot3600niebieskiparasolnadrzewa"))), 200);
    const std::string longNick = "xxxxx_Q9" + std::string(23, 'x');
    EXPECT_EQ(post(body(longNick, "0", "2147483647")), 200);
    EXPECT_EQ(post(body("A", "1", "1"), {}, "application/x-www-form-urlencoded; charset=UTF-8"), 200);
    EXPECT_EQ(post(body("Kot", "12", "3600")), 200) << "the game resends when an answer was lost";
    const std::string want = longNick + " 0 2147483647 Kot 12 3600 A 1 1";
    EXPECT_EQ(table(true), want);
    const std::regex line("[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}Z 127\\.0\\.0\\.1 (GET|POST) /bzykolot4\\.(php|wtf) 200\n");
    std::string text;  // each line is written just after its answer
    for (int i = 0; i < 100 && (text = readFile(log)).find(" POST /bzykolot4.wtf") == std::string::npos; i++)
        std::this_thread::sleep_for(20ms);
    EXPECT_EQ(std::distance(std::sregex_iterator(text.begin(), text.end(), line), std::sregex_iterator()), 6) << text;
    EXPECT_EQ(storedAfterKill(), 3);
    EXPECT_EQ(table(), want);
    for (int sig : {SIGTERM, SIGINT, SIGHUP}) {  // each ends it cleanly
        ASSERT_TRUE(sig == SIGTERM || start());
        kill(pid, sig);
        int status = -1;
        for (int i = 0; i < 100 && waitpid(pid, &status, WNOHANG) == 0; i++) std::this_thread::sleep_for(50ms);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << sig << " " << status;
        EXPECT_NE(readFile(log).find("\nstopped\n"), std::string::npos);
    }
}

TEST_F(ScoreServer, RefusedPostsStoreNothing) {
    const std::string kot = body("Kot", "12", "3600"), good = md5("12Kot3600niebieskiparasolnadrzewa");
    const std::string nick = "400 Zly nick\n", form = "400 Zly formularz\n", number = "400 Zla liczba\n",
                      fields = "400 Zle pola\n", signature = "403 Zly podpis\n";
    const std::pair<std::string, std::string> refused[] = {  // body, "STATUS ANSWER"
        {body("Kot", "12", "3601", good), signature}, {body("Kot", "12", "3600", md5("12Kot3600")), signature},
        {body("", "12", "3600"), nick},
        {body("a+b", "1", "2", md5("1a b2niebieskiparasolnadrzewa")), nick}, {body("%09", "1", "2", md5("1\t2niebieskiparasolnadrzewa")), nick},
        {body("a%26b", "1", "2", md5("1a&b2niebieskiparasolnadrzewa")), nick}, {body("a%2", "1", "2"), form},
        {body("a%g1", "1", "2"), form}, {kot + "&y", form}, {kot + "&nick=Kot", form},
        {body("Kot", "1", "2147483648"), number},
        {"wysyl=1&wersja=1&nick=Kot&muchy=12&czas=3600", fields}, {kot + "&x=" + std::string(4096 - kot.size() - 3, 'y'), fields},
        {"wysyl=1&wersja=1&nick=Kot&muchy=12&czas=3600&mdx=" + good, "400 Brak pola md5\n"},
        {"wysyl=1&wersja=2&nick=Kot&muchy=12&czas=3600&md5=" + good, "400 Nieznana wersja\n"},
        {body("Kot", "12", "3600", std::string(32, 'A')), "400 Zly skrot\n"}, {body("Kot", "12", "3600", "abc"), "400 Zly skrot\n"}, {kot + "&x=" + std::string(5000, 'y'), "413 413\n"},
        // More flies than any round of that length yields, and a round of no frame.
        {body("Kot", "1059", "10000"), "422 Niemozliwy wynik: za duzo much na ten czas\n"},
        {body("Kot", "0", "0"), "422 Niemozliwy wynik: zerowy czas\n"},
    };
    for (const auto& [b, want] : refused) EXPECT_EQ(answer(send(b)), want) << b;
    EXPECT_EQ(answer(send(kot, {}, "application/json")), "400 Zly typ tresci\n");
    EXPECT_EQ(answer(httplib::Client("127.0.0.1", port).Get("/bzykolot4.php")), "405 Tylko POST\n");
    EXPECT_EQ(answer(httplib::Client("127.0.0.1", port).Put("/bzykolot4.wtf", "", "text/plain")), "405 405\n");
    const int kept = connectFrom("127.0.0.1", port);  // a refusal keeps the connection for the next request
    EXPECT_EQ(statusLine(kept, "GET /other HTTP/1.1\r\nHost: x\r\n\r\n"), "HTTP/1.1 404 Not Found");
    EXPECT_EQ(statusLine(kept, "GET /bzykolot4.wtf HTTP/1.1\r\nHost: x\r\n\r\n"), "HTTP/1.1 200 OK");
    close(kept);
    // Framing a proxy in front may read another way than the server would: each
    // body is a whole valid post by one reading, or a hidden second request by
    // another. Refused with one answer, the connection closed, logged with the reason.
    char chunk[16];
    snprintf(chunk, sizeof chunk, "%zx\r\n", kot.size());
    const std::string len = std::to_string(kot.size()), chunked = std::string(chunk) + kot + "\r\n0\r\n\r\n",
                      hidden = "POST /bzykolot4.php HTTP/1.1\r\nHost: x\r\nContent-Length: " + len + "\r\n\r\n" + kot,
                      hiddenLen = std::to_string(hidden.size());
    const std::string framings[] = {"Content-Length: 9\r\nContent-Length: " + len + "\r\n\r\n" + kot,
        "Content-Length: " + len + ", 9\r\n\r\n" + kot, "Content-Length: 9\r\nTransfer-Encoding: chunked\r\n\r\n" + chunked,
        "Content-Length:\r\n " + hiddenLen + "\r\n\r\n" + hidden, "X-A: a\r\n b\r\nContent-Length: " + hiddenLen + "\r\n\r\n" + hidden,
        "Content-Length : " + hiddenLen + "\r\n\r\n" + hidden, "Transfer-Encoding\t: chunked\r\n\r\n" + chunked + hidden,
        "X-A: a\rContent-Length: " + hiddenLen + "\r\n\r\n" + hidden, std::string("Content-Length: 0\0", 18) + hiddenLen + "\r\n\r\n" + hidden,
        "Content-Length: -1\r\n\r\n" + hidden, "Content-Length: 18446744073709551616\r\n\r\n" + hidden,
        "Content-Length: +" + len + "\r\n\r\n" + kot, "Content-Length: " + len + "\nX-A: b\r\n\r\n" + kot,
        "X-A: \x01\r\nContent-Length: " + len + "\r\n\r\n" + kot};
    for (const std::string& framing : framings) {
        const int fd = connectFrom("127.0.0.1", port);
        const std::string got = answersUntilClosed(fd, "POST /bzykolot4.php HTTP/1.1\r\nHost: x\r\n" + framing);
        EXPECT_TRUE(got.find("HTTP/1.1 400 Bad Request\r\n") == 0 && got.find("HTTP/", 1) == std::string::npos) << framing << "\n" << got;
        close(fd);
    }
    const int fd = connectFrom("127.0.0.1", port);  // a body without its length is not read at all
    EXPECT_EQ(answersUntilClosed(fd, "POST /bzykolot4.php HTTP/1.1\r\nHost: x\r\nTransfer-Encoding: chunked\r\n\r\n" + chunked).substr(0, 29),
              "HTTP/1.1 411 Length Required\r");
    close(fd);
    EXPECT_EQ(table(), " ");
    const std::string text = readFile(log);
    const std::regex refusal(" 127\\.0\\.0\\.1 POST /bzykolot4\\.php 4(00|11) refused: \\w");
    EXPECT_EQ(size_t(std::distance(std::sregex_iterator(text.begin(), text.end(), refusal), std::sregex_iterator())),
              std::size(framings) + 1) << text;
    // The same values correctly signed go through: the refusals were for the reasons named.
    EXPECT_EQ(post(kot), 200);
    EXPECT_EQ(post(body("Kot", "1058", "10000")), 200);
    EXPECT_EQ(table(), "Kot 1058 10000 Kot 12 3600");
}

// Union of the 10 best by flies and the 10 best by time, highest time first;
// equal values go to the earlier submission.
TEST_F(ScoreServer, TableHoldsBestByFliesAndByTime) {
    std::string want;
    for (int i = 0; i < 12; i++) {
        ASSERT_EQ(post(body("t" + std::to_string(i), "1", std::to_string(1000 + 10 * i))), 200);
        want = "t" + std::to_string(i) + " 1 " + std::to_string(1000 + i * 10) + " " + want;
    }
    ASSERT_EQ(post(body("f0", "50", "5")), 200);
    ASSERT_EQ(post(body("f1", "55", "7")), 200);
    ASSERT_EQ(post(body("late", "1", "1020")), 200);  // ties t2 on time and the t's on flies, later than all
    EXPECT_EQ(table(), want + "f1 55 7 f0 50 5");
}

// Burst 10, then one post per 6 s from one address; behind a proxy the
// address is the last one of X-Forwarded-For, which the proxy wrote, an
// IPv4-mapped one counted and logged as its IPv4 address.
TEST_F(ScoreServer, PostsPerAddressAreLimited) {
    stop();
    ASSERT_TRUE(start());
    const httplib::Headers elsewhere{{"X-Forwarded-For", "10.0.0.8"}}, spoofed{{"X-Forwarded-For", "10.0.0.8, 10.0.0.7"}};
    for (int i = 0; i < 10; i++) EXPECT_EQ(post(body("p" + std::to_string(i), "1", "100")), 200) << i;
    auto res = send(body("p10", "1", "100"));
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 429);
    EXPECT_EQ(res->get_header_value("Retry-After"), "6");
    EXPECT_EQ(post(body("p11", "1", "100"), elsewhere), 429) << "the header counts only behind a proxy";
    EXPECT_EQ(table().size(), 10 * 9u - 1) << "ten stored";
    stop();
    ASSERT_TRUE(start({"--behind-proxy", "--post-burst", "2"}));
    EXPECT_EQ(post(body("q0", "1", "100"), spoofed), 200);
    EXPECT_EQ(post(body("q1", "1", "100"), spoofed), 200);
    EXPECT_EQ(post(body("q2", "1", "100"), spoofed), 429);
    EXPECT_EQ(post(body("q3", "1", "100"), elsewhere), 200);
    const httplib::Headers mapped{{"X-Forwarded-For", "::ffff:10.0.0.1"}}, mapped2{{"X-Forwarded-For", "::FFFF:10.0.0.2"}};
    EXPECT_EQ(post(body("q4", "1", "100"), mapped) + post(body("q5", "1", "100"), mapped2), 400) << "a bucket each";
    EXPECT_NE(readFile(log).find(" 10.0.0.2 POST /bzykolot4.php 200\n"), std::string::npos) << readFile(log);
}

// Control bytes in a method or path reach the log escaped, a long path cut:
// no line forged, no terminal sequence passed on, a line's length bounded.
TEST_F(ScoreServer, LogLinesCannotBeForged) {
    const std::string lines[] = {"G\rET /x HTTP/1.1", "GET /a\rb HTTP/1.1", "GET /\x1b[2J\x1b]0;pwned\x07 HTTP/1.1",
                                 "GET /" + std::string(9000, 'x') + " HTTP/1.1", "GET /a b HTTP/1.1", "GET /v HTTP/2.0"};
    for (const std::string& line : lines) {
        const int fd = connectFrom("127.0.0.1", port);
        EXPECT_EQ(statusLine(fd, line + "\r\nHost: x\r\n\r\n").substr(0, 11), "HTTP/1.1 40") << line.substr(0, 20);
        close(fd);
    }
    std::string text;
    for (int i = 0; i < 100 && std::count(text.begin(), text.end(), '\n') < 7; i++, std::this_thread::sleep_for(20ms)) text = readFile(log);
    EXPECT_TRUE(std::all_of(text.begin(), text.end(), [](char c) { return c == '\n' || (c >= ' ' && c <= '~'); })) << text;
    for (const char* seen : {" G\\x0dET /x 400 ", " GET /a\\x0db 400 ", " GET /\\x1b[2J\\x1b]0;pwned\\x07 400 ",
                             " GET /a 400 refused: malformed request line", " GET /v 400 refused: malformed request line"})
        EXPECT_NE(text.find(seen), std::string::npos) << seen << "\n" << text;
    EXPECT_NE(text.find(" /" + std::string(199, 'x') + "[cut] 404\n"), std::string::npos) << text;
}

// A client that posts and leaves without reading the answer still has its
// score stored and one log line for it, written when the store answered.
TEST_F(ScoreServer, PostsOfClientsThatLeftAreLogged) {
    for (int i = 0; i < 20; i++) {
        const std::string b = body("c" + std::to_string(i), std::to_string(20 - i), std::to_string(100 + i));
        const std::string request = "POST /bzykolot4.php HTTP/1.1\r\nHost: x\r\nContent-Length: " + std::to_string(b.size()) + "\r\n\r\n" + b;
        const int fd = connectFrom("127.0.0.1", port);
        ::send(fd, request.data(), request.size(), MSG_NOSIGNAL);
        close(fd);
    }
    const std::regex line(" 127\\.0\\.0\\.1 POST /bzykolot4\\.php 200\n");
    std::string text;
    for (int i = 0; i < 250 && std::distance(std::sregex_iterator(text.begin(), text.end(), line), std::sregex_iterator()) < 20; i++) {
        std::this_thread::sleep_for(20ms);
        text = readFile(log);
    }
    EXPECT_EQ(std::distance(std::sregex_iterator(text.begin(), text.end(), line), std::sregex_iterator()), 20) << text;
    EXPECT_EQ(storedAfterKill(), 20);
}

// One IPv6 /64 is one client for the connection cap as for posts: twenty of
// its addresses fill their share, and a post from the next /64 is answered
// while they hold it. In a private network namespace routing two /64s to loopback.
TEST_F(ScoreServer, OneIpv6NetworkIsOneClient) {
    if (!pg.empty()) GTEST_SKIP() << "the web side only; PostgreSQL is outside the namespace";
    stop();
    if (unshare(CLONE_NEWNET) != 0) GTEST_SKIP() << "no private network namespace (unshare: " << strerror(errno) << "); needs root";
    ASSERT_EQ(std::system("ip link set lo up && ip -6 route add local fd00:1::/63 dev lo"), 0);
    ASSERT_TRUE(start({"--listen", "[::]:0", "--max-connections", "40", "--request-timeout", "6"})) << readFile(log);
    std::vector<int> flood;
    for (int i = 0; i < 40; i++) flood.push_back(connectFrom("fd00:1::" + std::to_string(1 + i % 20), port));
    ASSERT_EQ(std::count(flood.begin(), flood.end(), -1), 0);
    const std::string b = body("Kot", "12", "3600");
    const int fd = connectFrom("fd00:1:0:1::5", port);
    timeval half{3, 0};  // half the request timeout, which cuts the flood
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &half, sizeof half);
    const std::string request = "POST /bzykolot4.php HTTP/1.1\r\nHost: x\r\nContent-Length: " + std::to_string(b.size()) + "\r\n\r\n" + b;
    ::send(fd, request.data(), request.size(), MSG_NOSIGNAL);
    char in[16] = {};
    EXPECT_EQ(std::string(in, std::max<ssize_t>(0, recv(fd, in, 15, 0))), "HTTP/1.1 200 OK");
    EXPECT_EQ(closedOf(flood, 8), 8u) << "32 held, the rest turned away";
    EXPECT_NE(readFile(log).find(" fd00:1:0:1::5 POST /bzykolot4.php 200\n"), std::string::npos) << readFile(log);
    for (int c : flood) close(c);
    close(fd);
}

// 1000 idle connections and 200 that trickle a header byte, from many loopback
// addresses (one address may hold 32): a post is still answered, a second
// request on its connection too; the request deadline then closes them all.
TEST_F(ScoreServer, SlowAndIdleClientsHoldOffNoPost) {
    rlimit lim;
    getrlimit(RLIMIT_NOFILE, &lim);
    lim.rlim_cur = std::min<rlim_t>(lim.rlim_max, 4096);
    setrlimit(RLIMIT_NOFILE, &lim);
    ASSERT_GE(lim.rlim_cur, 1400u) << "too few descriptors for the test";
    stop();
    ASSERT_TRUE(start({"--request-timeout", "3"}));
    const std::string net = "127." + std::to_string(10 + getpid() % 200) + ".";  // this process's own addresses
    std::vector<int> held;
    for (int i = 0; i < 1200; i++) held.push_back(connectFrom(net + std::to_string(1 + i / 1000) + "." + std::to_string(1 + i % 1000 / 25), port));
    ASSERT_EQ(std::count(held.begin(), held.end(), -1), 0);
    const std::string header = "POST /bzykolot4.php HTTP/1.1\r\nHost: x\r\n", real = body("Kot", "12", "3600");
    for (size_t k = 0; k < 3; k++, std::this_thread::sleep_for(300ms))
        for (size_t i = 1000; i < held.size(); i++) ::send(held[i], header.data() + k, 1, MSG_NOSIGNAL);
    const int fd = connectFrom("127.0.0.1", port);
    EXPECT_EQ(statusLine(fd, header + "Content-Length: " + std::to_string(real.size()) + "\r\n\r\n" + real), "HTTP/1.1 200 OK");
    EXPECT_EQ(statusLine(fd, "GET /bzykolot4.wtf HTTP/1.1\r\nHost: x\r\n\r\n"), "HTTP/1.1 200 OK");
    EXPECT_FALSE(closedWithin(held[0], 0ms) || closedWithin(held[1000], 0ms)) << "held within the caps until the deadline";
    std::vector<int> same;
    for (int i = 0; i < 33; i++) same.push_back(connectFrom(net + "3.1", port));
    EXPECT_EQ(closedOf(same, 1), 1u) << "the 33rd from one address is turned away";
    EXPECT_EQ(std::count_if(held.begin(), held.end(), [](int c) { return closedWithin(c, 5s); }), 1200) << "cut at the deadline";
    for (int c : held) close(c);
    for (int c : same) close(c);
    close(fd);
}

// The options as an admin gives them: a port of one's choosing, IPv6, and
// the refusals (status 2, a line on standard error).
TEST_F(ScoreServer, ListensWhereToldAndRefusesBadOptions) {
    int probe = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof a;
    ASSERT_EQ(bind(probe, reinterpret_cast<sockaddr*>(&a), sizeof a) + getsockname(probe, reinterpret_cast<sockaddr*>(&a), &size), 0);
    const int chosen = ntohs(a.sin_port);
    close(probe);
    post(body("Kot", "12", "3600"));
    stop();
    ASSERT_TRUE(start({"--listen", "127.0.0.1:" + std::to_string(chosen)})) << readFile(log);
    EXPECT_TRUE(port == chosen && table() == "Kot 12 3600") << port << " for " << chosen;
    stop();
    sockaddr_in6 v6{};  // IPv6 where the machine has it
    v6.sin6_family = AF_INET6;
    v6.sin6_addr = in6addr_loopback;
    const int probe6 = socket(AF_INET6, SOCK_STREAM, 0);
    const bool v6ok = bind(probe6, reinterpret_cast<sockaddr*>(&v6), sizeof v6) == 0;
    EXPECT_TRUE(!v6ok || (start({"--listen", "[::1]:0"}) && host == "[::1]")) << host;
    close(probe6);
    const std::pair<std::string, int> rows[] = {
        {"--help", 0}, {"--listen 127.0.0.1:65536", 2}, {"--listen :80", 2}, {"--listen 127.0.0.1", 2},
        {"--threads 0", 2}, {"--threads 257", 2}, {"--post-rate 1000001", 2}, {"--max-per-address x", 2}, {"--bogus 1", 2}, {"--db", 2},
        {"--db /nonexistent/dir/scores.db --listen 127.0.0.1:0", 1}};
    // Every connection is three descriptors: the cap is kept under the limit, and said so.
    std::system(("ulimit -n 400; timeout 2 " SERVER_BIN " --max-connections 1000 --listen 127.0.0.1:0 --data /no/such --db " + dir + "/l.db >" + dir + "/out").c_str());
    EXPECT_NE(readFile(dir + "/out").find("\nat most 112 connections: the descriptor limit is 400\nlistening on "), std::string::npos) << readFile(dir + "/out");
    EXPECT_EQ(readFile(dir + "/out").find("game data: cannot read /no/such: No such file or directory\nno game data"), 0u) << "served all the same";
    for (const auto& [args, code] : rows) {
        const int status = std::system((SERVER_BIN " " + args + " >" + dir + "/out 2>" + dir + "/err").c_str());
        EXPECT_EQ(WEXITSTATUS(status), code) << args;
        EXPECT_EQ(readFile(dir + (code ? "/err" : "/out")).find(code == 2 ? "bzykolot2-scores: " : code ? "cannot open database" : "Usage: "),
                  code == 1 ? 18u : 0u) << args;
    }
}

// A database file deleted while the server runs: the next post is refused and
// the reason logged, never answered 200 into a file no restart opens. A "-shm"
// file that cannot be written is never used.
TEST_F(ScoreServer, SqliteFileDeletedOrItsShmUnwritable) {
    if (!pg.empty()) GTEST_SKIP() << "SQLite only";
    EXPECT_EQ(post(body("Kot", "12", "3600")), 200);
    ASSERT_EQ(unlink(db.c_str()), 0);
    unlink((db + "-wal").c_str());
    EXPECT_EQ(post(body("Pies", "7", "1800")), 500);
    EXPECT_NE(readFile(log).find("database error: the file " + db + " was deleted or replaced"), std::string::npos) << readFile(log);
    EXPECT_EQ(storedAfterKill(), 0);
    stop();
    std::system(("rm -f " + db + "*").c_str());
    const std::string shm = db + "-shm";
    std::ofstream(shm).close();
    // Immutable stops root too; without it a read-only file stops everyone else.
    if (getuid() == 0) ASSERT_EQ(std::system(("chattr +i " + shm).c_str()), 0);
    else chmod(shm.c_str(), 0444);
    ASSERT_TRUE(start()) << readFile(log);
    EXPECT_EQ(post(body("Kot", "12", "3600")), 200);
    EXPECT_EQ(storedAfterKill(), 1);
}

// Two servers on one PostgreSQL database, as behind a load balancer: each
// shows what the other stored, and a post repeated through the other is stored once.
TEST_F(ScoreServer, TwoServersShareOnePostgresDatabase) {
    if (pg.empty()) GTEST_SKIP() << "PostgreSQL only";
    const int first = port;
    ASSERT_TRUE(start()) << readFile(log);
    const int second = port;
    EXPECT_EQ(post(body("Kot", "12", "3600")), 200);  // to the second
    std::string seen;
    for (int i = 0; i < 100 && (seen = table(false, first)) != "Kot 12 3600"; i++) std::this_thread::sleep_for(20ms);
    EXPECT_EQ(seen, "Kot 12 3600");
    port = first;
    EXPECT_EQ(post(body("Kot", "12", "3600")), 200);
    EXPECT_EQ(post(body("Pies", "7", "1800")), 200);
    for (int i = 0; i < 100 && (seen = table(false, second)) != "Kot 12 3600 Pies 7 1800"; i++) std::this_thread::sleep_for(20ms);
    EXPECT_EQ(seen, "Kot 12 3600 Pies 7 1800") << "each once";
}

// The database goes away under a running server: its posts are answered 500,
// never 200, and the server connects again once the database is back.
TEST_F(ScoreServer, PostgresConnectionLostAndRegained) {
    if (pg.empty()) GTEST_SKIP() << "PostgreSQL only";
    stop();
    const std::string name = "d" + std::to_string(getpid());
    ASSERT_EQ(pgRun(pg, "CREATE DATABASE " + name), "");
    db = pg.substr(0, pg.rfind('/') + 1) + name;
    ASSERT_TRUE(start({"--post-rate", "0"})) << readFile(log);
    EXPECT_EQ(post(body("Kot", "12", "3600")), 200);
    pgRun(pg, "ALTER DATABASE " + name + " WITH ALLOW_CONNECTIONS false");
    pgRun(pg, "SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE datname = '" + name + "'");
    EXPECT_EQ(post(body("Pies", "7", "1800")), 500) << "the connection broke";
    EXPECT_EQ(post(body("Pies", "7", "1800")), 500) << "no new connection";
    const std::string text = readFile(log);  // the reason, on lines of their own
    EXPECT_TRUE(std::regex_search(text, std::regex("\ndatabase error: \\S")) && text.find("\n\n") == std::string::npos) << text;
    pgRun(pg, "ALTER DATABASE " + name + " WITH ALLOW_CONNECTIONS true");
    EXPECT_EQ(post(body("Pies", "7", "1800")), 200);
    EXPECT_EQ(table(), "Kot 12 3600 Pies 7 1800");
    stop();
    pgRun(pg, "DROP DATABASE " + name + " WITH (FORCE)");
}

// Checked mode lists a post only once its recording, played again, gave the same
// world and score. Forgeries stay off, each with its reason: a post without a
// recording (also the largest score the bound lets through), another round's
// recording under a better score, a changed byte or frame, a nick that differs,
// and a listed round taken under another nick.
TEST_F(ScoreServer, OnlyRoundsPlayedAgainAreListed) {
    stop();
    ASSERT_TRUE(start({"--post-rate", "0", "--scores", "checked", "--recording-wait", "2"})) << readFile(log);
    const Replay real = playRound(1, "Ala"), other = playRound(2, "Ola");
    Replay eve = other, frame = playRound(3, "Jan"), thief = real, renamed = playRound(5, "Ewa");
    eve.nick = "Eve", eve.flies += 5;
    frame.frames[100].x ^= 1;
    thief.nick = "Thief", renamed.nick = "Ewka";
    std::string seed = encodeReplay(playRound(4, "Kuba")), payload = encodeReplay(playRound(6, "Ida"));
    seed[30] ^= 1, payload[payload.size() - 9] ^= 1;
    for (const Replay& r : {real, eve, frame, thief, playRound(4, "Kuba"), playRound(5, "Ewa"), playRound(6, "Ida")}) EXPECT_EQ(post(postOf(r)), 200);
    EXPECT_EQ(post(body("Nikt", "50", "3000")) + post(body("Max", "214748422", "2147483647")), 400) << "both stored";
    EXPECT_EQ(upload(encodeReplay(real)), "202 queued as recording 1");
    EXPECT_EQ(upload(encodeReplay(thief)), "422 this round was sent already, as recording 1");
    EXPECT_EQ(upload(encodeReplay(renamed)), "422 no score posted for this round");
    EXPECT_EQ(upload(payload).substr(0, 21), "400 not a recording: ");
    for (const std::string& forged : {encodeReplay(eve), encodeReplay(frame), seed}) {
        EXPECT_EQ(upload(forged).substr(0, 24), "202 queued as recording ");
        EXPECT_TRUE(std::regex_match(checked(forged), std::regex("200 mismatch: frame [0-9]+: (checksum|score) .*")));
    }
    EXPECT_EQ(checked(encodeReplay(real)), "200 matched");
    EXPECT_EQ(table(), scoreOf(real));
    auto mismatched = httplib::Client("127.0.0.1", port).Get("/replays/2");
    EXPECT_TRUE(mismatched && mismatched->status == 404) << "only a matched recording is served";
    EXPECT_TRUE(logged("post Max 214748422 2147483647 not listed: no recording within 2 s of the post\n")) << readFile(log);
    ASSERT_TRUE(logged("post Nikt 50 3000 not listed")) << readFile(log);
    stop();
    const std::vector<std::string> reasons = query("SELECT nick, COALESCE(replay, 0), reason FROM scores ORDER BY id");
    ASSERT_EQ(reasons.size(), 9u);
    EXPECT_EQ(reasons[0], "Ala|1|");
    EXPECT_TRUE(std::regex_match(reasons[1], std::regex("Eve\\|0\\|recording 2: mismatch: frame [0-9]+: .*"))) << reasons[1];
    EXPECT_EQ(reasons[7], "Nikt|0|no recording within 2 s of the post");
    EXPECT_EQ(reasons[8], "Max|0|no recording within 2 s of the post");
}

// A hostile sender gets refused before its rounds run and holds at most its
// share of the queue; the queue survives a restart whole, and another client's
// round is checked after at most that share.
TEST_F(ScoreServer, HostileUploadsAreBoundedAndTheQueueOutlivesRestarts) {
    stop();
    ASSERT_TRUE(start({"--post-rate", "0", "--scores", "checked", "--verify-threads", "0"})) << readFile(log);
    const Replay good = playRound(7, "Ala");
    const std::string bytes = encodeReplay(good);
    std::string long_ = bytes, inflating = bytes, unknown = bytes;
    const uint32_t rawSize = uint32_t(inflating[54] & 0xff) | uint32_t(inflating[55] & 0xff) << 8;
    inflating[54] = char((rawSize - 1) & 0xff), inflating[55] = char((rawSize - 1) >> 8), unknown[12] ^= 1;
    EXPECT_EQ(upload(std::string(kMaxReplayBytes + 1, 'x')), "413 413");
    for (const uint32_t frames : {225000u, 225001u, 1000000000u}) {  // 60 minutes of 16 ms frames is the most
        memcpy(&long_[50], &frames, 4);
        EXPECT_EQ(upload(long_).substr(0, 21), frames > 225000 ? "422 round over 60 min" : "400 not a recording: ") << frames;
    }
    EXPECT_EQ(upload(inflating), "400 not a recording: compressed frames do not inflate to their " + std::to_string(rawSize - 1) + " bytes");
    EXPECT_EQ(upload(unknown), "422 unknown game data");
    std::vector<int> held;  // 64 uploads of a mebibyte in hand, from three addresses
    const std::string head = "POST /replays HTTP/1.1\r\nHost: x\r\nContent-Length: 1048576\r\n\r\n";
    for (int i = 0; i < 64; i++) held.push_back(connectFrom("127.0.0." + std::to_string(4 + i % 3), port)), ::send(held.back(), head.data(), head.size(), 0);
    std::this_thread::sleep_for(300ms);
    held.push_back(connectFrom("127.0.0.7", port));
    EXPECT_EQ(statusLine(held.back(), head), "HTTP/1.1 503 Service Unavailable") << "64 MiB in hand at most";
    for (int fd : held) close(fd);
    std::this_thread::sleep_for(300ms);
    std::map<std::string, int> answers;
    std::vector<std::string> flood;
    for (uint32_t i = 0; i < 100; i++) {
        Replay r;
        r.gfxDigest = rulesDigest(buildPack().all()), r.width = 640, r.height = 480, r.seed = i, r.nick = "F" + std::to_string(i), r.time = 198;
        r.frames.assign(200, PlayerInput{1, 1, 0}), r.checksums.assign(4, 0);
        EXPECT_EQ(post(postOf(r)), 200);
        flood.push_back(encodeReplay(r));
        answers[upload(flood.back(), "127.0.0.2").substr(0, i > 3 ? std::string::npos : 3)]++;
    }
    EXPECT_EQ(answers, (std::map<std::string, int>{{"202", 4}, {"429 too many recordings waiting retry=10", 96}}));
    EXPECT_EQ(post(postOf(good)), 200);
    EXPECT_EQ(upload(bytes, "127.0.0.3"), "202 queued as recording 5");
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
    ASSERT_TRUE(start({"--post-rate", "0", "--scores", "checked"})) << readFile(log);
    const auto since = std::chrono::steady_clock::now();
    EXPECT_EQ(checked(bytes, "127.0.0.3"), "200 matched");
    EXPECT_LT(std::chrono::steady_clock::now() - since, 30s) << "behind at most four of the flood's";
    for (int i = 0; i < 4; i++) EXPECT_EQ(checked(flood[i], "127.0.0.2").substr(0, 27), "200 mismatch: frame 63: che");
    EXPECT_EQ(table(), scoreOf(good));
    // A helper gone (the kernel's OOM killer, say): its thread stops, the round waits for the next start.
    kill(std::stoi(readFile("/proc/" + std::to_string(pid) + "/task/" + std::to_string(pid) + "/children")), SIGKILL);
    const Replay late = playRound(16, "Late");
    EXPECT_EQ(post(postOf(late)), 200);
    EXPECT_EQ(upload(encodeReplay(late), "127.0.0.3").substr(0, 3), "202");
    EXPECT_TRUE(logged("check interrupted, back in the queue\nchecker 0 stopped: its helper process is gone\n")) << readFile(log);
    EXPECT_EQ(upload(encodeReplay(late), "127.0.0.3"), "200 queued");
}

// Each round is played once, by one of the servers sharing the queue. A server
// killed while a round plays loses nothing: the next one to start (or, on a
// shared database, the other server once the lease ran out) plays it.
TEST_F(ScoreServer, RoundsArePlayedOnceEvenByAServerKilledMidway) {
    stop();
    for (int n = pg.empty() ? 1 : 2; n > 0; n--) ASSERT_TRUE(start({"--post-rate", "0", "--scores", "checked"})) << readFile(log);
    std::vector<std::string> sent;
    for (uint32_t seed : {12, 13, 14, 15}) {
        const Replay r = playRound(seed, "S" + std::to_string(seed));
        EXPECT_EQ(post(postOf(r)), 200);
        EXPECT_EQ(upload(sent.emplace_back(encodeReplay(r))).substr(0, 3), "202");
    }
    for (const std::string& r : sent) EXPECT_EQ(checked(r), "200 matched");
    const std::string logs = readFile(dir + "/server" + std::to_string(starts) + ".log") + readFile(dir + "/server" + std::to_string(starts - 1) + ".log");
    for (int id = 1; id <= 4; id++) {
        const std::regex line("recording " + std::to_string(id) + ": checking");
        EXPECT_EQ(std::distance(std::sregex_iterator(logs.begin(), logs.end(), line), std::sregex_iterator()), 1) << id;
    }
    const std::string file = dir + "/long.bzr";
    ASSERT_EQ(std::system((BOT_BIN " bot --data " RUN_DATA " --seed 3 --survive 2000 " + file + " >/dev/null").c_str()), 0);
    const std::string bytes = readFile(file);
    Replay r;
    ASSERT_TRUE(decodeReplay(bytes, r, nullptr));
    EXPECT_EQ(post(postOf(r)), 200);
    EXPECT_EQ(upload(bytes), "202 queued as recording 5");
    int killed = 0;
    for (int i = 0; i < 400 && !killed; i++, std::this_thread::sleep_for(10ms))
        for (int n = 1; n <= starts && !killed; n++)
            if (readFile(dir + "/server" + std::to_string(n) + ".log").find("recording 5: checking") != std::string::npos) killed = n;
    ASSERT_TRUE(killed);
    if (pg.empty()) {  // stopped first: the round in play goes back to the queue at once
        int status = -1;
        kill(pidOf[killed], SIGTERM);
        waitpid(pidOf[killed], &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0 && logged("recording 5: check interrupted, back in the queue\nstopped\n", 1));
        ASSERT_TRUE(start({"--post-rate", "0", "--scores", "checked"}) && logged("recording 5: checking")) << readFile(log);
        killed = starts;
    }
    kill(pidOf[killed], SIGKILL);
    waitpid(pidOf[killed], nullptr, 0);
    EXPECT_EQ(readFile(dir + "/server" + std::to_string(killed) + ".log").find("recording 5 ("), std::string::npos) << "killed mid-check";
    const int survivor = !pg.empty() ? (killed == starts ? starts - 1 : starts) : start({"--post-rate", "0", "--scores", "checked"}) ? starts : 0;
    ASSERT_TRUE(survivor) << readFile(log);
    EXPECT_TRUE(logged("recording 5 (" + scoreOf(r) + "): matched, listed in ", 60, survivor)) << readFile(dir + "/server" + std::to_string(survivor) + ".log");
    EXPECT_EQ(table(false, ports[size_t(survivor - 1)]).substr(0, scoreOf(r).size()), scoreOf(r)) << "the longest round";
}

// The admin's commands reach a running server (through its socket, on SQLite)
// and a stopped one: a removed post leaves the table at once, a backup taken
// while posts arrive is a database a server starts on with every post in it.
TEST_F(ScoreServer, AdminListsRemovesAndBacksUpRunningOrNot) {
    const auto admin = [this](const std::string& args) {
        std::string out(4096, '\0');
        FILE* p = popen((SERVER_BIN " " + args + " --db '" + db + "' 2>&1").c_str(), "r");
        out.resize(p ? fread(out.data(), 1, out.size(), p) : 0);
        return std::to_string(p ? WEXITSTATUS(pclose(p)) : -1) + " " + out;
    };
    for (const char* s : {"A 5 600", "A 6 700", "B 7 800"}) {
        std::istringstream f(s);
        std::string n, fl, t;
        f >> n >> fl >> t;
        EXPECT_EQ(post(body(n, fl, t)), 200);
    }
    EXPECT_TRUE(std::regex_match(admin("list"), std::regex("0 1 A 5 600 20..-..-.. ..:..:.. waiting for its recording\n"
                                                             "2 A 6 700 .*\n3 B 7 800 .*\n")))
        << admin("list");
    EXPECT_EQ(admin("remove A 5 600"), "0 removed 1 post\n");
    const auto tableIs = [this](const std::string& want) {  // other servers hear of it a moment later
        for (int i = 0; i < 40 && table() != want; i++) std::this_thread::sleep_for(50ms);
        return table();
    };
    EXPECT_EQ(tableIs("B 7 800 A 6 700"), "B 7 800 A 6 700");
    EXPECT_EQ(admin("backup " + dir + "/copy"), "0 ");
    EXPECT_EQ(admin("remove A"), "0 removed 1 post\n");
    EXPECT_EQ(tableIs("B 7 800"), "B 7 800");
    EXPECT_EQ(admin("remove C 1").substr(0, 9), "2 Usage: ");
    if (pg.empty()) {
        stop();
        EXPECT_EQ(admin("list").substr(0, 14), "0 3 B 7 800 20");
        EXPECT_EQ(admin("backup " + dir + "/copy2"), "0 ");
        for (const char* copy : {"/copy", "/copy2"}) {
            stop();
            db = dir + copy;
            ASSERT_TRUE(start()) << readFile(log);
            EXPECT_EQ(table(), copy == std::string("/copy") ? "B 7 800 A 6 700" : "B 7 800");
        }
    } else {
        FILE* p = popen(("pg_restore --list " + dir + "/copy").c_str(), "r");
        char line[256];
        std::string tables;
        while (p && fgets(line, sizeof line, p))
            if (std::strstr(line, ("TABLE DATA " + schema + " ").c_str())) tables += std::strstr(line, schema.c_str());
        EXPECT_TRUE(p && pclose(p) == 0);
        EXPECT_NE(tables.find(schema + " replays"), std::string::npos) << tables;
        EXPECT_NE(tables.find(schema + " scores"), std::string::npos) << tables;
    }
}

// A database made before recordings were checked keeps its posts: listed with
// --scores any, not in checked mode. The page escapes every nick a row holds.
TEST_F(ScoreServer, EarlierDatabaseKeepsItsRows) {
    stop();
    query(pg.empty() ? "CREATE TABLE scores (id INTEGER PRIMARY KEY AUTOINCREMENT, nick TEXT NOT NULL, flies INTEGER NOT NULL,"
                       " time INTEGER NOT NULL, posted TEXT NOT NULL DEFAULT (datetime('now')))"
                     : "CREATE TABLE scores (id BIGSERIAL PRIMARY KEY, nick TEXT NOT NULL, flies INTEGER NOT NULL,"
                       " time INTEGER NOT NULL, posted TIMESTAMPTZ NOT NULL DEFAULT now(), UNIQUE (nick, flies, time))");
    query("INSERT INTO scores (nick, flies, time) VALUES ('Old', 5, 620), ('<i>x</i>&', 6, 700)");
    for (const char* mode : {"checked", "any"}) {
        ASSERT_TRUE(start({"--scores", mode})) << readFile(log);
        auto page = httplib::Client("127.0.0.1", port).Get("/");
        ASSERT_TRUE(page);
        EXPECT_EQ(table(), mode == std::string("any") ? "<i>x</i>& 6 700 Old 5 620" : " ") << mode;
        EXPECT_EQ(page->body.find("<i>"), std::string::npos);
        // Whole seconds of 62 frames, as the game's table shows them.
        EXPECT_EQ(page->body.find("<td class=\"num time\">10</td>") != std::string::npos, mode == std::string("any"));
        EXPECT_EQ(page->body.find("<td class=\"nick\">&lt;i&gt;x&lt;/i&gt;&amp;</td>") != std::string::npos, mode == std::string("any"));
        stop();
    }
}

// The page as a browser reads it: both top tens in the game's order with the
// game's places and values, each row's command and recording pointing at this
// server and at the recording's very bytes.
TEST_F(ScoreServer, WebPageReadsAsTheGameShowsTheTable) {
    if (!pg.empty()) GTEST_SKIP() << "the web side only";
    if (std::system("command -v chromium >/dev/null") != 0) GTEST_SKIP() << "no chromium (Debian package chromium)";
    stop();
    ASSERT_TRUE(start({"--post-rate", "0", "--scores", "checked"})) << readFile(log);
    std::vector<std::string> recordings;
    for (uint32_t seed : {8, 9, 10, 11}) {
        const Replay r = playRound(seed, "N" + std::to_string(seed));
        recordings.push_back(encodeReplay(r));
        EXPECT_EQ(post(postOf(r)), 200);
        EXPECT_EQ(checked(recordings.back()), "200 matched");
    }
    const std::string dom = dir + "/dom.html";
    ASSERT_EQ(std::system(("chromium --headless --no-sandbox --disable-gpu --user-data-dir=" + dir + "/chrome --dump-dom http://127.0.0.1:" +
                           std::to_string(port) + "/ >" + dom + " 2>/dev/null").c_str()), 0);
    const std::string page = readFile(dom);
    struct Row { std::string place, nick; int flies, time; };
    std::vector<Row> rows;
    std::istringstream text(table());
    for (Row r; text >> r.nick >> r.flies >> r.time;) r.place = (rows.size() < 9 ? "0" : "") + std::to_string(rows.size() + 1) + ".", rows.push_back(r);
    ASSERT_EQ(rows.size(), 4u);
    for (const auto& [id, key] : {std::pair{"by-time", &Row::time}, std::pair{"by-flies", &Row::flies}}) {
        std::vector<Row> sorted = rows;
        std::stable_sort(sorted.begin(), sorted.end(), [key = key](const Row& a, const Row& b) { return a.*key > b.*key; });
        std::string want, seen, list = page.substr(page.find(std::string("<table id=\"") + id));
        for (const Row& r : sorted) want += r.place + " " + r.nick + " " + std::to_string(r.flies) + " " + std::to_string(r.time / 62) + "\n";
        const std::regex cells("<td class=\"place\">([^<]*)</td><td class=\"nick\">([^<]*)</td><td class=\"num flies\">([^<]*)</td><td class=\"num time\">([^<]*)</td>");
        for (auto m = std::sregex_iterator(list.begin(), list.begin() + long(list.find("</table>")), cells); m != std::sregex_iterator(); ++m)
            seen += (*m)[1].str() + " " + (*m)[2].str() + " " + (*m)[3].str() + " " + (*m)[4].str() + "\n";
        EXPECT_EQ(seen, want) << id;
    }
    std::smatch watch;
    ASSERT_TRUE(std::regex_search(page, watch, std::regex("<a href=\"(/replays/([0-9]+))\"[^>]*>[^<]*</a></td><td class=\"watch\"><code>"
                                                          "bzykolot2 --watch http://127\\.0\\.0\\.1:" + std::to_string(port) + "(/replays/[0-9]+)</code>")));
    EXPECT_EQ(watch[1], watch[3]);
    auto bytes = httplib::Client("127.0.0.1", port).Get(watch[1].str().c_str());
    EXPECT_TRUE(bytes && bytes->body == recordings.at(std::stoul(watch[2]) - 1)) << "byte for byte";
}

// A head's end found however its bytes arrive, one at a time included.
TEST(RequestHead, EndFoundByteByByte) {
    const std::string head = "GET / HTTP/1.1\r\nHost: x\r\n\r\n";
    std::string data;
    size_t from = 0, end = 0;
    for (char c : head + "GET") end = end ? end : (data += c, headEnd(data, &from));
    EXPECT_EQ(end, head.size());
}

// The address a post counts against, and its bucket on a made-up clock.
TEST(ScoreLimits, ClientAddressKeyAndBucket) {
    std::string why;
    EXPECT_EQ(clientAddress("10.0.0.1", "::1", &why), "::1");
    EXPECT_EQ(clientAddress("10.0.0.1", "1.2.3.4, unknown", &why), "10.0.0.1");
    EXPECT_EQ(why, "X-Forwarded-For ignored: its last entry is not an address");
    std::string hundred = "1.1.1.1";
    for (int i = 1; i < 100; i++) hundred += ", 1.1.1." + std::to_string(i);
    EXPECT_EQ(clientAddress("10.0.0.1", hundred, &why), "1.1.1.99");
    EXPECT_EQ(clientAddress("10.0.0.1", hundred + ", 2.2.2.2", &why) + " " + why, "10.0.0.1 X-Forwarded-For ignored: over 100 entries");
    EXPECT_EQ(limitKey("2001:db8:1:2:3:4:5:6"), "2001:db8:1:2::/64");
    EXPECT_EQ(limitKey("5.6.7.8"), "5.6.7.8");
    PostLimiter limiter(6, 2);  // a post per 10 s after two
    std::vector<int> waits;
    for (double t : {0.0, 0.0, 0.0, 4.0, 10.0, 10.0, 45.0, 45.0, 45.0}) waits.push_back(limiter.take("a", t));
    EXPECT_EQ(waits, (std::vector<int>{0, 0, 10, 6, 0, 10, 0, 0, 10}));
    EXPECT_EQ(limiter.take("b", 45.0), 0) << "each key has its own bucket";
    EXPECT_EQ(PostLimiter(0, 1).take("a", 0) + PostLimiter(0, 1).take("a", 0), 0) << "0 a minute: no limit";
}

}  // namespace

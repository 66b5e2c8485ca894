// The score server as a program on an ephemeral loopback port with a fresh
// store, talked to over HTTP. The store is an SQLite file, or, when
// BZK_TEST_PG_URL_FILE names a file holding the URL of a throw-away PostgreSQL
// cluster, a schema of its own in that database: the same tests run on both.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <libpq-fe.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <memory>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "base/hiscore.h"
#include "base/md5.h"
#include "server/form.h"
#include "server/limits.h"

namespace {

using Clock = std::chrono::steady_clock;

std::string readFile(const std::string& path) {
    std::ostringstream s;
    s << std::ifstream(path, std::ios::binary).rdbuf();
    return s.str();
}

const std::string kSalt = "niebieskiparasolnadrzewa";
std::string md5(const std::string& text) {
    return md5Hex(reinterpret_cast<const uint8_t*>(text.data()), int(text.size()));
}
// The form of these fields, signed over them unless a digest is given.
std::string body(const std::string& nick, const std::string& flies, const std::string& time, std::string digest = "") {
    if (digest.empty()) digest = md5(flies + nick + time + kSalt);
    return "wysyl=1&wersja=1&nick=" + nick + "&muchy=" + flies + "&czas=" + time + "&md5=" + digest;
}

// The PostgreSQL URL the tests run against, or "" for SQLite.
std::string pgUrl() {
    const char* file = getenv("BZK_TEST_PG_URL_FILE");
    if (!file) return "";
    std::string url = readFile(file);
    url.erase(url.find_last_not_of(" \n") + 1);
    return url.empty() ? "<no URL in " + std::string(file) + ">" : url;
}

// Runs SQL on PostgreSQL; the rows of the last statement as "a b c" lines.
std::vector<std::string> pgRun(const std::string& url, const std::string& sql) {
    std::unique_ptr<PGconn, void (*)(PGconn*)> c(PQconnectdb(url.c_str()), PQfinish);
    PGresult* r = PQexec(c.get(), sql.c_str());
    std::vector<std::string> rows;
    for (int i = 0; i < PQntuples(r); i++) {
        std::string row;
        for (int j = 0; j < PQnfields(r); j++) row += (j ? " " : "") + std::string(PQgetvalue(r, i, j));
        rows.push_back(row);
    }
    const bool ok = PQresultStatus(r) == PGRES_COMMAND_OK || PQresultStatus(r) == PGRES_TUPLES_OK;
    PQclear(r);
    if (!ok) rows = {"<failed: " + std::string(PQerrorMessage(c.get())) + ">"};
    return rows;
}

// A TCP connection to the server from the loopback address `from`.
int connectFrom(const char* from, int port) {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    inet_pton(AF_INET, from, &a.sin_addr);
    if (bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) return close(fd), -1;
    a.sin_port = htons(static_cast<uint16_t>(port));
    inet_pton(AF_INET, "127.0.0.1", &a.sin_addr);
    if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) return close(fd), -1;
    return fd;
}

// Sends `request` and reads until one whole answer is in (its Content-Length
// read) or the connection ends; "" after 10 s.
std::string roundTrip(int fd, const std::string& request) {
    if (send(fd, request.data(), request.size(), MSG_NOSIGNAL) != ssize_t(request.size())) return "";
    timeval tv{10, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    std::string in;
    char buf[4096];
    for (ssize_t n; (n = recv(fd, buf, sizeof buf, 0)) > 0;) {
        in.append(buf, size_t(n));
        size_t end = in.find("\r\n\r\n");
        std::smatch m;
        if (end != std::string::npos && std::regex_search(in, m, std::regex("Content-Length: ([0-9]+)")) &&
            in.size() >= end + 4 + std::stoul(m[1]))
            break;
    }
    return in;
}

// How many of the connections the server has closed, waiting up to `wait`
// for all of them to be.
size_t closedCount(const std::vector<int>& fds, std::chrono::milliseconds wait = {}) {
    auto closed = [](int fd) {
        char c;
        ssize_t n = recv(fd, &c, 1, MSG_DONTWAIT);
        return n == 0 || (n < 0 && errno == ECONNRESET);
    };
    const auto end = Clock::now() + wait;
    size_t n;
    while ((n = size_t(std::count_if(fds.begin(), fds.end(), closed))) < fds.size() && Clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    return n;
}

class ScoreServer : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/bzk-server-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
        pg = pgUrl();
        if (pg.empty()) {
            db = dir + "/scores.db";
        } else {
            schema = "t" + std::to_string(getpid());
            ASSERT_EQ(pgRun(pg, "CREATE SCHEMA " + schema), std::vector<std::string>{});
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
    // Starts the server on 127.0.0.1:0 with these options; true once it printed
    // its port and the scores it holds. The previous one is left running.
    bool start(std::vector<std::string> options = {}) {
        log = dir + "/server" + std::to_string(++starts) + ".log";
        options.insert(options.begin(), {SERVER_BIN, "--listen", "127.0.0.1:0", "--db", db});
        if ((pid = fork()) == 0) {
            if (!freopen(log.c_str(), "w", stdout)) _exit(127);
            std::vector<char*> argv;
            for (std::string& o : options) argv.push_back(o.data());
            argv.push_back(nullptr);
            execv(SERVER_BIN, argv.data());
            _exit(127);
        }
        pids.push_back(pid);
        const std::regex ready("listening on 127\\.0\\.0\\.1:([0-9]+), database .*, ([0-9]+) scores");
        for (int i = 0; i < 200 && waitpid(pid, nullptr, WNOHANG) == 0; i++) {
            std::smatch m;
            const std::string text = readFile(log);
            if (std::regex_search(text, m, ready)) return port = std::stoi(m[1]), stored = std::stoll(m[2]), true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    }
    // Kills every server started without warning.
    void stop() {
        for (pid_t p : pids)
            if (kill(p, SIGKILL) == 0) waitpid(p, nullptr, 0);
        pids.clear();
    }
    // Kills the server without warning and starts it again: the scores it holds.
    long long storedAfterKill() { return stop(), start() ? stored : -1; }
    // Every stored score as "nick flies time", read from the store itself.
    std::multiset<std::string> rows() {
        const std::string sql = "SELECT nick, flies, time FROM scores";
        if (!pg.empty()) {
            auto r = pgRun(db, sql);
            return {r.begin(), r.end()};
        }
        std::multiset<std::string> out;
        sqlite3* s = nullptr;
        sqlite3_open(db.c_str(), &s);
        sqlite3_exec(s, sql.c_str(), [](void* set, int, char** v, char**) {
            static_cast<std::multiset<std::string>*>(set)->insert(std::string(v[0]) + " " + v[1] + " " + v[2]);
            return 0;
        }, &out, nullptr);
        sqlite3_close(s);
        return out;
    }

    std::unique_ptr<httplib::Client> client(int at = 0) {
        auto c = std::make_unique<httplib::Client>("127.0.0.1", at ? at : port);
        c->set_read_timeout(30);
        return c;
    }
    int post(const std::string& b, const char* type = "application/x-www-form-urlencoded",
             const httplib::Headers& headers = {}) {
        auto res = client()->Post("/bzykolot4.php", headers, b, type);
        return res ? res->status : -1;
    }
    std::string table(bool byPost = false, int at = 0) {
        auto c = client(at);
        // After a post the game's handle may still send its table request as an empty POST.
        auto res = byPost ? c->Post("/bzykolot4.wtf", "", "application/x-www-form-urlencoded") : c->Get("/bzykolot4.wtf");
        return res && res->status == 200 ? res->body : "<no table>";
    }

    std::string dir, log, pg, schema, db;
    pid_t pid = -1;
    std::vector<pid_t> pids;
    int port = 0, starts = 0;
    long long stored = -1;
};

// A fresh store answers a single space, which the game loads as no rows
// instead of keeping its previous table. A repeated score is stored once.
TEST_F(ScoreServer, ValidPostsAreListedOnceLoggedAndSurviveSigkill) {
    EXPECT_EQ(table(), " ");
    EXPECT_EQ(post(body("Kot", "12", "3600")), 200);
    // Boundaries: 31 characters, 0 and INT32_MAX; a charset parameter.
    const std::string longNick = "xxxxx_Q9" + std::string(23, 'x');
    EXPECT_EQ(post(body(longNick, "0", "2147483647")), 200);
    EXPECT_EQ(post(body("A", "1", "1"), "application/x-www-form-urlencoded; charset=UTF-8"), 200);
    EXPECT_EQ(post(body("Kot", "12", "3600")), 200) << "the game resends when an answer was lost";
    EXPECT_EQ(table(true), longNick + " 0 2147483647 Kot 12 3600 A 1 1");
    // One line per request, written just after the answer: give it a moment.
    std::string text;
    for (int i = 0; i < 50 && (text = readFile(log)).find(" POST /bzykolot4.wtf") == std::string::npos; i++)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const std::regex line("[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}Z "
                          "127\\.0\\.0\\.1 (GET|POST) /bzykolot4\\.(php|wtf) 200\n");
    EXPECT_EQ(std::distance(std::sregex_iterator(text.begin(), text.end(), line), std::sregex_iterator()), 6) << text;
    EXPECT_EQ(storedAfterKill(), 3);
    EXPECT_EQ(table(), longNick + " 0 2147483647 Kot 12 3600 A 1 1");
    // A stop signal: it answers what it holds and ends by itself.
    kill(pid, SIGTERM);
    int status = -1;
    for (int i = 0; i < 100 && waitpid(pid, &status, WNOHANG) == 0; i++)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_TRUE(status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    if (status == -1) stop();
    pids.clear();
    EXPECT_NE(readFile(log).find("\nstopped\n"), std::string::npos);
}

TEST_F(ScoreServer, RefusedPostsStoreNothing) {
    const std::string kot = body("Kot", "12", "3600"), good = md5("12Kot3600" + kSalt);
    const struct {
        const char* what;
        std::string body;
        int status;
    } rows[] = {
        {"signature of other values", body("Kot", "12", "3601", good), 403},
        {"signature of the unsalted text", body("Kot", "12", "3600", md5("12Kot3600")), 403},
        {"empty nick", body("", "12", "3600"), 400},
        {"32-character nick", body(std::string(32, 'a'), "12", "3600"), 400},
        {"nick with a space", body("a+b", "1", "2", md5("1a b2" + kSalt)), 400},
        {"nick with an encoded &", body("a%26b", "1", "2", md5("1a&b2" + kSalt)), 400},
        {"non-ASCII nick", body("K%C3%B3t", "1", "2", md5("1K\xc3\xb3t2" + kSalt)), 400},
        {"non-numeric flies", body("Kot", "abc", "2"), 400},
        {"time over 32 bits", body("Kot", "1", "2147483648"), 400},
        {"missing md5", "wysyl=1&wersja=1&nick=Kot&muchy=12&czas=3600", 400},
        {"unknown version", "wysyl=1&wersja=2&nick=Kot&muchy=12&czas=3600&md5=" + good, 400},
        {"nick given twice", kot + "&nick=Kot", 400},
        {"oversize body", kot + "&x=" + std::string(5000, 'y'), 413},
        // More flies than any round of that length yields, and a round of no frame.
        {"every fly at once", body("Kot", "2147483647", "1"), 422},
        {"one fly over the bound", body("Kot", "1059", "10000"), 422},
        {"no time", body("Kot", "0", "0"), 422},
    };
    for (const auto& r : rows) EXPECT_EQ(post(r.body), r.status) << r.what;
    EXPECT_EQ(post(kot, "application/json"), 400) << "json type";
    // Two lengths, read one way by a proxy in front and another way here; each
    // body is a whole valid post by one of the readings.
    char chunk[16];
    snprintf(chunk, sizeof chunk, "%zx\r\n", kot.size());
    const std::string len = std::to_string(kot.size()), chunked = chunk + kot + "\r\n0\r\n\r\n";
    for (const std::string& framing : {"Content-Length: 9\r\nContent-Length: " + len + "\r\n\r\n" + kot,
                                       "Content-Length: " + len + ", 9\r\n\r\n" + kot,
                                       "Content-Length: 9\r\nTransfer-Encoding: chunked\r\n\r\n" + chunked}) {
        const int fd = connectFrom("127.0.0.1", port);
        const std::string answer = roundTrip(fd, "POST /bzykolot4.php HTTP/1.1\r\nHost: x\r\n" + framing);
        EXPECT_EQ(answer.substr(0, 12), "HTTP/1.1 400") << framing;
        close(fd);
    }
    EXPECT_EQ(table(), " ");
    // The same values correctly signed go through: the refusals were for the reasons named.
    EXPECT_EQ(post(kot), 200);
    EXPECT_EQ(post(body("Kot", "1058", "10000")), 200);
    EXPECT_EQ(table(), "Kot 1058 10000 Kot 12 3600");
}

// Union of the 10 best by flies and the 10 best by time, highest time first;
// equal values go to the earlier submission. The game's loader reads it back.
TEST_F(ScoreServer, TableHoldsBestByFliesAndByTime) {
    for (int i = 0; i < 12; i++)
        ASSERT_EQ(post(body("t" + std::to_string(i), "1", std::to_string(1000 + 10 * i))), 200);
    ASSERT_EQ(post(body("f0", "50", "5")), 200);
    ASSERT_EQ(post(body("f1", "55", "7")), 200);
    // Ties t2 on time and t0..t11 on flies, later than all: in neither ten.
    ASSERT_EQ(post(body("late", "1", "1020")), 200);
    std::string expected;
    for (int i = 11; i >= 0; i--) expected += "t" + std::to_string(i) + " 1 " + std::to_string(1000 + i * 10) + " ";
    expected += "f1 55 7 f0 50 5";
    const std::string text = table();
    EXPECT_EQ(text, expected);

    std::ofstream(dir + "/dl.txt", std::ios::binary) << text;
    Hiscore h;
    h.load((dir + "/dl.txt").c_str());
    ASSERT_EQ(h.count(), 14);
    EXPECT_EQ(std::string(h.records[13].nick) + " " + std::to_string(h.records[13].flies) + " " +
                  std::to_string(h.records[13].time), "f0 50 5");
}

// 64 clients post as fast as they can; the server is killed in the middle.
// Every post it answered 200 is in the store, committed in groups or not.
TEST_F(ScoreServer, NoAnsweredPostIsLostWhenKilledUnderLoad) {
    stop();
    ASSERT_TRUE(start({"--post-rate", "0", "--max-per-address", "0"}));  // 64 clients on one address
    const std::string okLog = dir + "/ok.txt", url = "http://127.0.0.1:" + std::to_string(port);
    pid_t load = fork();
    if (load == 0) {
        if (!freopen((dir + "/load.txt").c_str(), "w", stdout)) _exit(127);
        execl(LOAD_BIN, LOAD_BIN, url.c_str(), "--clients", "64", "--seconds", "3", "--post", "--ok-log",
              okLog.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    stop();
    int status = -1;
    waitpid(load, &status, 0);
    ASSERT_EQ(status, 0) << readFile(dir + "/load.txt");
    std::istringstream answered(readFile(okLog));
    std::vector<std::string> ok;
    for (std::string line; std::getline(answered, line);) ok.push_back(line);
    ASSERT_GT(ok.size(), 64u) << readFile(dir + "/load.txt");
    const long long after = storedAfterKill();
    stop();
    const std::multiset<std::string> kept = rows();
    EXPECT_GE(after, static_cast<long long>(ok.size()));
    EXPECT_EQ(std::count_if(ok.begin(), ok.end(), [&](const std::string& s) { return !kept.count(s); }), 0);
}

// Burst 10, then one post per 6 s from one address; behind a proxy the
// address is the last one of X-Forwarded-For, which the proxy wrote.
TEST_F(ScoreServer, PostsPerAddressAreLimited) {
    stop();
    ASSERT_TRUE(start());
    const httplib::Headers elsewhere{{"X-Forwarded-For", "10.0.0.8"}};
    for (int i = 0; i < 10; i++) EXPECT_EQ(post(body("p" + std::to_string(i), "1", "100")), 200) << i;
    auto res = client()->Post("/bzykolot4.php", body("p10", "1", "100"), "application/x-www-form-urlencoded");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 429);
    const int wait = std::atoi(res->get_header_value("Retry-After").c_str());
    EXPECT_TRUE(wait >= 1 && wait <= 6) << wait;
    EXPECT_EQ(post(body("p11", "1", "100"), "application/x-www-form-urlencoded", elsewhere), 429)
        << "the header counts only behind a proxy";
    EXPECT_EQ(table(), "p0 1 100 p1 1 100 p2 1 100 p3 1 100 p4 1 100 p5 1 100 p6 1 100 p7 1 100 p8 1 100 p9 1 100");

    stop();
    ASSERT_TRUE(start({"--behind-proxy", "--post-burst", "2"}));
    const httplib::Headers spoofed{{"X-Forwarded-For", "10.0.0.8, 10.0.0.7"}};
    EXPECT_EQ(post(body("q0", "1", "100"), "application/x-www-form-urlencoded", spoofed), 200);
    EXPECT_EQ(post(body("q1", "1", "100"), "application/x-www-form-urlencoded", spoofed), 200);
    EXPECT_EQ(post(body("q2", "1", "100"), "application/x-www-form-urlencoded", spoofed), 429);
    EXPECT_EQ(post(body("q3", "1", "100"), "application/x-www-form-urlencoded", elsewhere), 200);
}

// 1000 idle connections and 200 that trickle a header byte now and then, from
// many loopback addresses (one address may hold 32): a real post is answered
// at once, a second request on its connection too; the request deadline then
// closes them all.
TEST_F(ScoreServer, SlowAndIdleClientsHoldOffNoPost) {
    rlimit lim;
    getrlimit(RLIMIT_NOFILE, &lim);
    lim.rlim_cur = std::min<rlim_t>(lim.rlim_max, 4096);
    setrlimit(RLIMIT_NOFILE, &lim);
    ASSERT_GE(lim.rlim_cur, 1400u) << "too few descriptors for the test";
    stop();
    ASSERT_TRUE(start({"--request-timeout", "3"}));
    // Addresses of this process alone: tests run side by side.
    const std::string net = "127." + std::to_string(10 + getpid() % 200) + ".";
    std::vector<int> idle, slow;
    for (int i = 0; i < 1000; i++) idle.push_back(connectFrom((net + "1." + std::to_string(1 + i / 25)).c_str(), port));
    for (int i = 0; i < 200; i++) slow.push_back(connectFrom((net + "2." + std::to_string(1 + i / 25)).c_str(), port));
    ASSERT_EQ(std::count(idle.begin(), idle.end(), -1) + std::count(slow.begin(), slow.end(), -1), 0);
    const std::string header = "POST /bzykolot4.php HTTP/1.1\r\nHost: x\r\n";
    for (size_t k = 0; k < 3; k++) {
        for (int fd : slow) send(fd, header.data() + k, 1, MSG_NOSIGNAL);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
    }
    const std::string real = body("Kot", "12", "3600");
    const int fd = connectFrom("127.0.0.1", port);
    const auto start = Clock::now();
    const std::string answer = roundTrip(fd, "POST /bzykolot4.php HTTP/1.1\r\nHost: x\r\nContent-Length: " +
                                                std::to_string(real.size()) + "\r\n\r\n" + real);
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(2));
    EXPECT_EQ(answer.substr(0, 12), "HTTP/1.1 200") << answer;
    // The game's next request on the same connection. A server that writes an
    // answer in pieces meets the client's delayed ACK: 40 ms each.
    std::vector<double> ms;
    for (int i = 0; i < 9; i++) {
        const auto t = Clock::now();
        EXPECT_NE(roundTrip(fd, "GET /bzykolot4.wtf HTTP/1.1\r\nHost: x\r\n\r\n").find("Kot 12 3600"), std::string::npos);
        ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t).count());
    }
    std::sort(ms.begin(), ms.end());
    EXPECT_LT(ms[4], 20) << "median of reused-connection requests, ms";
    EXPECT_EQ(closedCount(idle) + closedCount(slow), 0u) << "held within the caps until the deadline";
    // One address holds at most 32 connections: the 33rd is turned away.
    std::vector<int> same;
    for (int i = 0; i < 33; i++) same.push_back(connectFrom((net + "3.1").c_str(), port));
    EXPECT_EQ(closedCount({same.back()}, std::chrono::seconds(1)), 1u);
    EXPECT_EQ(closedCount({same.front()}), 0u);
    idle.insert(idle.end(), slow.begin(), slow.end());
    EXPECT_EQ(closedCount(idle, std::chrono::seconds(4)), 1200u) << "cut at the deadline";
    for (int c : idle) close(c);
    for (int c : same) close(c);
    close(fd);
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
    EXPECT_NE(readFile(log).find("database error: the file " + db + " was deleted or replaced"), std::string::npos)
        << readFile(log);
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
    EXPECT_EQ(table(), "Kot 12 3600");
    EXPECT_EQ(storedAfterKill(), 1);
}

// Two servers on one PostgreSQL database, as behind a load balancer: each
// shows what the other stored, and a post repeated through the other one is
// stored once.
TEST_F(ScoreServer, TwoServersShareOnePostgresDatabase) {
    if (pg.empty()) GTEST_SKIP() << "PostgreSQL only";
    const int first = port;
    ASSERT_TRUE(start()) << readFile(log);
    const int second = port;
    EXPECT_EQ(post(body("Kot", "12", "3600")), 200);  // to the second
    std::string seen;
    for (int i = 0; i < 100 && (seen = table(false, first)) != "Kot 12 3600"; i++)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(seen, "Kot 12 3600");
    port = first;
    EXPECT_EQ(post(body("Kot", "12", "3600")), 200);
    EXPECT_EQ(post(body("Pies", "7", "1800")), 200);
    for (int i = 0; i < 100 && (seen = table(false, second)) != "Kot 12 3600 Pies 7 1800"; i++)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(seen, "Kot 12 3600 Pies 7 1800");
    EXPECT_EQ(rows().size(), 2u);
}

// The database goes away under a running server: its posts are answered 500,
// never 200, and the server connects again once the database is back.
TEST_F(ScoreServer, PostgresConnectionLostAndRegained) {
    if (pg.empty()) GTEST_SKIP() << "PostgreSQL only";
    stop();
    const std::string name = "d" + std::to_string(getpid());
    ASSERT_EQ(pgRun(pg, "CREATE DATABASE " + name), std::vector<std::string>{});
    db = pg.substr(0, pg.rfind('/') + 1) + name;
    ASSERT_TRUE(start({"--post-rate", "0"})) << readFile(log);
    EXPECT_EQ(post(body("Kot", "12", "3600")), 200);
    pgRun(pg, "ALTER DATABASE " + name + " WITH ALLOW_CONNECTIONS false");
    pgRun(pg, "SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE datname = '" + name + "'");
    EXPECT_EQ(post(body("Pies", "7", "1800")), 500) << "the connection broke";
    EXPECT_EQ(post(body("Pies", "7", "1800")), 500) << "no new connection";
    EXPECT_NE(readFile(log).find("database error: "), std::string::npos);
    pgRun(pg, "ALTER DATABASE " + name + " WITH ALLOW_CONNECTIONS true");
    EXPECT_EQ(post(body("Pies", "7", "1800")), 200);
    EXPECT_EQ(table(), "Kot 12 3600 Pies 7 1800");
    stop();
    pgRun(pg, "DROP DATABASE " + name + " WITH (FORCE)");
}

// The last forwarded address, if it is one; IPv6 clients counted by their /64.
TEST(ScoreLimits, ClientAddressAndItsKey) {
    EXPECT_EQ(clientAddress("10.0.0.1", "1.2.3.4, 5.6.7.8 "), "5.6.7.8");
    EXPECT_EQ(clientAddress("10.0.0.1", "1.2.3.4, unknown"), "10.0.0.1");
    EXPECT_EQ(clientAddress("10.0.0.1", ""), "10.0.0.1");
    EXPECT_EQ(limitKey("2001:db8:1:2:3:4:5:6"), "2001:db8:1:2::/64");
    EXPECT_EQ(limitKey("5.6.7.8"), "5.6.7.8");
}

}  // namespace

// The score server as a program: started on an ephemeral loopback port with a
// fresh database, talked to over HTTP.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <netinet/in.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "scores/hiscore.h"
#include "scores/md5.h"
#include "server/form.h"

namespace {

std::string readFile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

std::string makeTempDir() {
    char tmpl[] = "/tmp/bzk-server-XXXXXX";
    const char* dir = mkdtemp(tmpl);
    return dir ? dir : "";
}

// MD5 by the system's md5sum, independent of the code under test.
std::string md5sum(const std::string& text) {
    std::string dir = makeTempDir();
    std::string path = dir + "/in";
    std::ofstream(path, std::ios::binary) << text;
    std::unique_ptr<FILE, int (*)(FILE*)> p(popen(("md5sum " + path).c_str(), "r"), pclose);
    char hex[33] = {0};
    if (!p || fscanf(p.get(), "%32s", hex) != 1) return "";
    std::remove(path.c_str());
    rmdir(dir.c_str());
    return hex;
}

std::string signature(const std::string& flies, const std::string& nick,
                      const std::string& time) {
    return md5sum(flies + nick + time + "niebieskiparasolnadrzewa");
}

// The body the game sends: nick as typed, numbers, digest.
std::string body(const std::string& nick, const std::string& flies, const std::string& time,
                 const std::string& md5) {
    return "wysyl=1&wersja=1&nick=" + nick + "&muchy=" + flies + "&czas=" + time + "&md5=" + md5;
}

std::string signedBody(const std::string& nick, int flies, int time) {
    std::string f = std::to_string(flies), t = std::to_string(time);
    return body(nick, f, t, signature(f, nick, t));
}

class ServerProcess {
public:
    ~ServerProcess() { stop(SIGKILL); }

    // Starts the server on 127.0.0.1:0; true once it printed its port.
    bool start(const std::string& db, const std::string& log) {
        log_ = log;
        pid_ = fork();
        if (pid_ == 0) {
            if (!freopen(log.c_str(), "w", stdout)) _exit(127);
            execl(SERVER_BIN, SERVER_BIN, "--listen", "127.0.0.1:0", "--db", db.c_str(),
                  static_cast<char*>(nullptr));
            _exit(127);
        }
        std::regex ready("listening on 127\\.0\\.0\\.1:([0-9]+)");
        for (int i = 0; i < 200; i++) {
            std::smatch m;
            std::string text = readFile(log);
            if (std::regex_search(text, m, ready)) {
                port = std::stoi(m[1]);
                return true;
            }
            int status;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    }

    // Sends `sig` and reaps the process; its exit status, or -1.
    int stop(int sig) {
        if (pid_ <= 0) return -1;
        kill(pid_, sig);
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
        return status;
    }

    std::string log() const { return readFile(log_); }

    int port = 0;

private:
    pid_t pid_ = -1;
    std::string log_;
};

class ScoreServer : public ::testing::Test {
protected:
    void SetUp() override {
        dir = makeTempDir();
        ASSERT_FALSE(dir.empty());
        db = dir + "/scores.db";
        ASSERT_TRUE(server.start(db, dir + "/server.log")) << server.log();
    }
    void TearDown() override {
        server.stop(SIGKILL);
        std::system(("rm -rf " + dir).c_str());
    }

    httplib::Client client() {
        httplib::Client c("127.0.0.1", server.port);
        c.set_connection_timeout(5);
        c.set_read_timeout(10);
        return c;
    }

    int post(const std::string& b,
             const std::string& type = "application/x-www-form-urlencoded") {
        auto res = client().Post("/bzykolot4.php", b, type.c_str());
        return res ? res->status : -1;
    }

    std::string table() {
        auto res = client().Get("/bzykolot4.wtf");
        EXPECT_TRUE(res);
        if (!res) return "<no answer>";
        EXPECT_EQ(res->status, 200);
        return res->body;
    }

    // Rows in the database, read directly.
    long long storedCount() {
        sqlite3* h = nullptr;
        long long n = -1;
        if (sqlite3_open_v2(db.c_str(), &h, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
            sqlite3_stmt* st = nullptr;
            if (sqlite3_prepare_v2(h, "SELECT COUNT(*) FROM scores", -1, &st, nullptr) ==
                    SQLITE_OK &&
                sqlite3_step(st) == SQLITE_ROW)
                n = sqlite3_column_int64(st, 0);
            sqlite3_finalize(st);
        }
        sqlite3_close(h);
        return n;
    }

    std::string dir, db;
    ServerProcess server;
};

TEST_F(ScoreServer, ValidPostIsStoredAndListed) {
    EXPECT_EQ(table(), "");
    EXPECT_EQ(post(signedBody("Kot", 12, 3600)), 200);
    EXPECT_EQ(table(), "Kot 12 3600");

    // Boundaries that must still be accepted: 31 characters, 0 and INT32_MAX.
    std::string longNick(31, 'x');
    longNick[5] = '_';
    longNick[6] = 'Q';
    longNick[7] = '9';
    EXPECT_EQ(post(signedBody(longNick, 0, 2147483647)), 200);
    EXPECT_EQ(table(), longNick + " 0 2147483647 Kot 12 3600");
    EXPECT_EQ(storedCount(), 2);

    // libcurl's default content type carries no parameters, but a charset must not hurt.
    EXPECT_EQ(post(signedBody("A", 1, 1), "application/x-www-form-urlencoded; charset=UTF-8"),
              200);
    EXPECT_EQ(storedCount(), 3);
}

TEST_F(ScoreServer, RefusedPostsStoreNothing) {
    const std::string good = signature("12", "Kot", "3600");
    std::string upper = good;
    std::transform(upper.begin(), upper.end(), upper.begin(), ::toupper);
    struct Case {
        const char* what;
        std::string body;
        int status;
    };
    const std::vector<Case> cases = {
        {"signature of other values", body("Kot", "12", "3601", good), 403},
        {"signature of the unsalted text", body("Kot", "12", "3600", md5sum("12Kot3600")), 403},
        {"upper-case digest", body("Kot", "12", "3600", upper), 400},
        {"short digest", body("Kot", "12", "3600", good.substr(1)), 400},
        {"empty nick", signedBody("", 12, 3600), 400},
        {"32-character nick", signedBody(std::string(32, 'a'), 12, 3600), 400},
        {"nick with a space", body("a+b", "1", "2", signature("1", "a b", "2")), 400},
        {"nick with an encoded &", body("a%26b", "1", "2", signature("1", "a&b", "2")), 400},
        {"nick with a bare &", body("a&b", "1", "2", signature("1", "a&b", "2")), 400},
        {"non-ASCII nick", body("K%C3%B3t", "1", "2", signature("1", "K\xc3\xb3t", "2")), 400},
        {"raw non-ASCII nick", body("K\xc3\xb3t", "1", "2", signature("1", "K\xc3\xb3t", "2")),
         400},
        {"non-numeric flies", body("Kot", "abc", "2", signature("abc", "Kot", "2")), 400},
        {"negative flies", body("Kot", "-1", "2", signature("-1", "Kot", "2")), 400},
        {"plus sign", body("Kot", "%2B1", "2", signature("+1", "Kot", "2")), 400},
        {"leading zero", body("Kot", "012", "2", signature("012", "Kot", "2")), 400},
        {"flies over 32 bits", body("Kot", "2147483648", "2", signature("2147483648", "Kot", "2")),
         400},
        {"time far out of range",
         body("Kot", "1", "99999999999", signature("1", "Kot", "99999999999")), 400},
        {"empty time", body("Kot", "1", "", signature("1", "Kot", "")), 400},
        {"missing md5", "wysyl=1&wersja=1&nick=Kot&muchy=12&czas=3600", 400},
        {"missing nick", "wysyl=1&wersja=1&muchy=12&czas=3600&md5=" + good, 400},
        {"missing wysyl", "wersja=1&nick=Kot&muchy=12&czas=3600&md5=" + good, 400},
        {"unknown version", "wysyl=1&wersja=2&nick=Kot&muchy=12&czas=3600&md5=" + good, 400},
        {"nick given twice", body("Kot", "12", "3600", good) + "&nick=Kot", 400},
        {"broken escape", body("Ko%2", "12", "3600", good), 400},
        {"empty body", "", 400},
        {"oversize body", body("Kot", "12", "3600", good) + "&x=" + std::string(5000, 'y'), 413},
    };
    for (const Case& c : cases) EXPECT_EQ(post(c.body), c.status) << c.what;
    EXPECT_EQ(post(body("Kot", "12", "3600", good), "application/json"), 400) << "json type";
    EXPECT_EQ(storedCount(), 0);
    EXPECT_EQ(table(), "");

    // The same values correctly signed go through: the refusals were for the reasons named.
    EXPECT_EQ(post(body("Kot", "12", "3600", good)), 200);
    EXPECT_EQ(storedCount(), 1);
}

TEST_F(ScoreServer, OtherRoutesAndMethods) {
    auto c = client();
    auto res = c.Get("/bzykolot4.php");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 405);
    res = c.Get("/index.html");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 404);
}

// Union of the 10 best by flies and the 10 best by time, highest time first;
// equal values go to the earlier submission.
TEST_F(ScoreServer, TableHoldsBestByFliesAndByTime) {
    // 12 rounds: "t0".."t11" with rising time and few flies; "f0", "f1" with
    // many flies and little time; "late" ties t11's time but comes later.
    for (int i = 0; i < 12; i++) ASSERT_EQ(post(signedBody("t" + std::to_string(i), 1, 1000 + i * 10)), 200);
    ASSERT_EQ(post(signedBody("f0", 50, 5)), 200);
    ASSERT_EQ(post(signedBody("f1", 60, 7)), 200);
    ASSERT_EQ(post(signedBody("late", 1, 1110)), 200);

    // By time: t11 (1110), late (1110, later), t10 .. t3 -> 10 rounds.
    // By flies: f1, f0, then the 1-fly rounds in submission order t0 .. t7.
    // Union ordered by time: t11, late, t10..t0, f1 (7), f0 (5).
    std::string expected = "t11 1 1110 late 1 1110";
    for (int i = 10; i >= 0; i--) expected += " t" + std::to_string(i) + " 1 " + std::to_string(1000 + i * 10);
    expected += " f1 60 7 f0 50 5";
    std::string text = table();
    EXPECT_EQ(text, expected);

    // The game's loader reads it back record by record.
    std::string path = dir + "/dl.txt";
    std::ofstream(path, std::ios::binary) << text;
    Hiscore h;
    h.load(path.c_str());
    ASSERT_EQ(h.count, 15);
    EXPECT_STREQ(h.records[0].nick, "t11");
    EXPECT_EQ(h.records[0].flies, 1);
    EXPECT_EQ(h.records[0].time, 1110);
    EXPECT_EQ(h.records[0].place, 1);
    EXPECT_STREQ(h.records[14].nick, "f0");
    EXPECT_EQ(h.records[14].flies, 50);
    EXPECT_EQ(h.records[14].time, 5);
    EXPECT_EQ(h.records[14].place, 15);

}

TEST_F(ScoreServer, EqualRoundsGoToTheEarlier) {
    // Eleven equal rounds: only the ten earliest are listed, in submission order.
    std::string tied;
    for (int i = 0; i < 11; i++) {
        ASSERT_EQ(post(signedBody("e" + std::to_string(i), 3, 300)), 200);
        if (i < 10) tied += (i ? " e" : "e") + std::to_string(i) + " 3 300";
    }
    EXPECT_EQ(table(), tied);
}

TEST_F(ScoreServer, TableAnswersAPostToo) {
    ASSERT_EQ(post(signedBody("Kot", 12, 3600)), 200);
    // What the game sends after a post in the same run: an empty form POST.
    auto res = client().Post("/bzykolot4.wtf", "", "application/x-www-form-urlencoded");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 200);
    EXPECT_EQ(res->body, "Kot 12 3600");
}

TEST_F(ScoreServer, AnsweredScoreSurvivesSigkill) {
    ASSERT_EQ(post(signedBody("Kot", 12, 3600)), 200);
    int status = server.stop(SIGKILL);
    ASSERT_TRUE(WIFSIGNALED(status));
    ASSERT_TRUE(server.start(db, dir + "/server2.log"));
    EXPECT_EQ(table(), "Kot 12 3600");
    EXPECT_NE(server.log().find("1 scores"), std::string::npos) << server.log();
}

TEST_F(ScoreServer, ConcurrentPostsAreAllStored) {
    const int threads = 8, perThread = 25;
    std::atomic<int> ok{0};
    std::vector<std::thread> pool;
    for (int t = 0; t < threads; t++) {
        pool.emplace_back([&, t] {
            httplib::Client c("127.0.0.1", server.port);
            c.set_read_timeout(30);
            for (int k = 0; k < perThread; k++) {
                std::string nick = "p" + std::to_string(t) + "_" + std::to_string(k);
                std::string f = std::to_string(t), tm = std::to_string(k * 100 + t);
                std::string sig = f + nick + tm + scoreSalt;
                std::unique_ptr<char[]> hex(md5Hex(reinterpret_cast<const uint8_t*>(sig.data()),
                                                   static_cast<int>(sig.size())));
                auto res = c.Post("/bzykolot4.php", body(nick, f, tm, hex.get()),
                                  "application/x-www-form-urlencoded");
                if (res && res->status == 200) ok++;
            }
        });
    }
    for (auto& th : pool) th.join();
    EXPECT_EQ(ok.load(), threads * perThread);
    EXPECT_EQ(storedCount(), threads * perThread);
}

// A raw connection that sends `bytes` and then goes silent; seconds until the
// server closes it (or 60 when it does not).
double secondsUntilCut(int port, const std::string& bytes, std::string* answer) {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        close(fd);
        return -1;
    }
    timeval tv{60, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    auto start = std::chrono::steady_clock::now();
    if (!bytes.empty()) send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    char buf[512];
    ssize_t n;
    while ((n = recv(fd, buf, sizeof buf, 0)) > 0) answer->append(buf, static_cast<size_t>(n));
    close(fd);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

TEST_F(ScoreServer, SlowClientsAreCutOff) {
    std::string answer;
    // Idle: connects and says nothing.
    double idle = secondsUntilCut(server.port, "", &answer);
    EXPECT_GT(idle, 0);
    EXPECT_LT(idle, 15);
    // Promises a body and stops half way.
    std::string partial =
        "POST /bzykolot4.php HTTP/1.1\r\nHost: x\r\n"
        "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: 200\r\n\r\n" +
        signedBody("Kot", 12, 3600);
    answer.clear();
    double slow = secondsUntilCut(server.port, partial, &answer);
    EXPECT_GT(slow, 0);
    EXPECT_LT(slow, 15);
    EXPECT_EQ(answer.find("200 OK"), std::string::npos) << answer;
    EXPECT_EQ(storedCount(), 0);
    // The server is still there for others.
    EXPECT_EQ(post(signedBody("Kot", 12, 3600)), 200);
}

TEST_F(ScoreServer, LogsOneLinePerRequest) {
    ASSERT_EQ(post(signedBody("Kot", 12, 3600)), 200);
    ASSERT_EQ(post(body("Kot", "12", "3601", signature("12", "Kot", "3600"))), 403);
    table();
    // The line is written just after the answer is sent: give it a moment.
    std::string log;
    for (int i = 0; i < 50; i++) {
        log = server.log();
        if (log.find("GET /bzykolot4.wtf") != std::string::npos) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    std::regex line(
        "[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}Z 127\\.0\\.0\\.1 "
        "(GET|POST) /bzykolot4\\.(php|wtf) [0-9]{3}\n");
    auto begin = std::sregex_iterator(log.begin(), log.end(), line);
    EXPECT_EQ(std::distance(begin, std::sregex_iterator()), 3) << log;
    EXPECT_NE(log.find(" 127.0.0.1 POST /bzykolot4.php 200\n"), std::string::npos) << log;
    EXPECT_NE(log.find(" 127.0.0.1 POST /bzykolot4.php 403\n"), std::string::npos) << log;
    EXPECT_NE(log.find(" 127.0.0.1 GET /bzykolot4.wtf 200\n"), std::string::npos) << log;
}

TEST(ScoreServerOptions, HelpAndBadOptions) {
    auto run = [](const std::string& args, std::string* out) {
        std::unique_ptr<FILE, int (*)(FILE*)> p(
            popen((std::string(SERVER_BIN) + " " + args + " 2>&1").c_str(), "r"), pclose);
        char buf[256];
        size_t n;
        while ((n = fread(buf, 1, sizeof buf, p.get())) > 0) out->append(buf, n);
        return WEXITSTATUS(pclose(p.release()));
    };
    std::string out;
    EXPECT_EQ(run("--help", &out), 0);
    EXPECT_NE(out.find("--listen ADDR:PORT"), std::string::npos);
    out.clear();
    EXPECT_EQ(run("--listen 127.0.0.1:99999", &out), 2);
    EXPECT_NE(out.find("bad --listen"), std::string::npos) << out;
    out.clear();
    EXPECT_EQ(run("--frobnicate", &out), 2);
    out.clear();
    EXPECT_EQ(run("--db /nonexistent-dir/x/scores.db --listen 127.0.0.1:0", &out), 1);
    EXPECT_NE(out.find("cannot open database"), std::string::npos) << out;
}

// The field rules in isolation, where the HTTP cases above would be too coarse.
TEST(ScoreForm, CountsAndForms) {
    int32_t v = -1;
    EXPECT_TRUE(parseCount("0", &v));
    EXPECT_EQ(v, 0);
    EXPECT_TRUE(parseCount("2147483647", &v));
    EXPECT_EQ(v, 2147483647);
    for (const char* bad : {"", "00", "01", "-0", "+1", " 1", "1 ", "2147483648", "9999999999",
                            "12345678901", "1a"})
        EXPECT_FALSE(parseCount(bad, &v)) << bad;

    auto f = parseForm("a=1&b=x+y%21&c=");
    ASSERT_TRUE(f);
    EXPECT_EQ((*f)["b"], "x y!");
    EXPECT_EQ((*f)["c"], "");
    EXPECT_FALSE(parseForm("a=1&&b=2"));
    EXPECT_FALSE(parseForm("a=1&"));
    EXPECT_FALSE(parseForm("a=%4"));
    EXPECT_FALSE(parseForm("a=%zz"));
    EXPECT_FALSE(parseForm("a=1&a=2"));
    EXPECT_FALSE(validNick(std::string("ab\0c", 4)));
}

}  // namespace

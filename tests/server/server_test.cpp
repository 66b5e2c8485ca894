// The score server as a program: started on an ephemeral loopback port with a
// fresh database, talked to over HTTP.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <future>
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

// md5Hex itself is checked against RFC 1321 in base_md5_test.
std::string md5(const std::string& text) {
    std::unique_ptr<char[]> hex(md5Hex(reinterpret_cast<const uint8_t*>(text.data()), int(text.size())));
    return hex ? hex.get() : "";
}

std::string signature(const std::string& flies, const std::string& nick, const std::string& time) {
    return md5(flies + nick + time + "niebieskiparasolnadrzewa");
}

std::string body(const std::string& nick, const std::string& flies, const std::string& time, const std::string& md5) {
    return "wysyl=1&wersja=1&nick=" + nick + "&muchy=" + flies + "&czas=" + time + "&md5=" + md5;
}

std::string signedBody(const std::string& nick, int flies, int time) {
    const std::string f = std::to_string(flies), t = std::to_string(time);
    return body(nick, f, t, signature(f, nick, t));
}

class ScoreServer : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/bzk-server-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
        db = dir + "/scores.db";
        ASSERT_TRUE(start()) << readFile(log);
    }
    void TearDown() override {
        stop(SIGKILL);
        std::system(("rm -rf " + dir).c_str());
    }

    // Starts the server on 127.0.0.1:0; true once it printed its port.
    bool start() {
        log = dir + "/server" + std::to_string(++starts) + ".log";
        pid = fork();
        if (pid == 0) {
            if (!freopen(log.c_str(), "w", stdout)) _exit(127);
            execl(SERVER_BIN, SERVER_BIN, "--listen", "127.0.0.1:0", "--db", db.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        const std::regex ready("listening on 127\\.0\\.0\\.1:([0-9]+)");
        for (int i = 0; i < 200 && waitpid(pid, nullptr, WNOHANG) == 0; i++) {
            std::smatch m;
            const std::string text = readFile(log);
            if (std::regex_search(text, m, ready)) {
                port = std::stoi(m[1]);
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    }
    int stop(int sig) {
        int status = -1;
        if (pid > 0 && kill(pid, sig) == 0) waitpid(pid, &status, 0);
        pid = -1;
        return status;
    }

    int post(const std::string& b, const char* type = "application/x-www-form-urlencoded") {
        httplib::Client c("127.0.0.1", port);
        auto res = c.Post("/bzykolot4.php", b, type);
        return res ? res->status : -1;
    }
    std::string table(bool byPost = false) {
        httplib::Client c("127.0.0.1", port);
        // After a post the game's handle may still send its table request as an empty POST.
        auto res = byPost ? c.Post("/bzykolot4.wtf", "", "application/x-www-form-urlencoded") : c.Get("/bzykolot4.wtf");
        if (!res || res->status != 200) return "<no table>";
        return res->body;
    }
    // Rows in the database, read directly.
    long long storedCount() {
        sqlite3* h = nullptr;
        sqlite3_stmt* st = nullptr;
        long long n = -1;
        if (sqlite3_open_v2(db.c_str(), &h, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK &&
            sqlite3_prepare_v2(h, "SELECT COUNT(*) FROM scores", -1, &st, nullptr) == SQLITE_OK &&
            sqlite3_step(st) == SQLITE_ROW)
            n = sqlite3_column_int64(st, 0);
        sqlite3_finalize(st);
        sqlite3_close(h);
        return n;
    }

    std::string dir, db, log;
    pid_t pid = -1;
    int port = 0, starts = 0;
};

TEST_F(ScoreServer, ValidPostIsStoredListedAndLogged) {
    EXPECT_EQ(table(), "");
    EXPECT_EQ(post(signedBody("Kot", 12, 3600)), 200);
    EXPECT_EQ(table(), "Kot 12 3600");
    // Boundaries still accepted: 31 characters, 0 and INT32_MAX; a charset parameter.
    const std::string longNick = "xxxxx_Q9" + std::string(23, 'x');
    EXPECT_EQ(post(signedBody(longNick, 0, 2147483647)), 200);
    EXPECT_EQ(post(signedBody("A", 1, 1), "application/x-www-form-urlencoded; charset=UTF-8"), 200);
    EXPECT_EQ(table(true), longNick + " 0 2147483647 Kot 12 3600 A 1 1");
    EXPECT_EQ(storedCount(), 3);
    // One line per request, written just after the answer: give it a moment.
    std::string text;
    for (int i = 0; i < 50 && (text = readFile(log)).find(" POST /bzykolot4.wtf") == std::string::npos; i++)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const std::regex line("[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}Z "
                          "127\\.0\\.0\\.1 (GET|POST) /bzykolot4\\.(php|wtf) 200\n");
    EXPECT_EQ(std::distance(std::sregex_iterator(text.begin(), text.end(), line), std::sregex_iterator()), 6) << text;
}

TEST_F(ScoreServer, RefusedPostsStoreNothing) {
    const std::string good = signature("12", "Kot", "3600");
    std::string upper = good;
    for (char& c : upper) c = char(toupper(c));
    const struct {
        const char* what;
        std::string body;
        int status;
    } rows[] = {
        {"signature of other values", body("Kot", "12", "3601", good), 403},
        {"signature of the unsalted text", body("Kot", "12", "3600", md5("12Kot3600")), 403},
        {"upper-case digest", body("Kot", "12", "3600", upper), 400},
        {"empty nick", signedBody("", 12, 3600), 400},
        {"32-character nick", signedBody(std::string(32, 'a'), 12, 3600), 400},
        {"nick with a space", body("a+b", "1", "2", signature("1", "a b", "2")), 400},
        {"nick with an encoded &", body("a%26b", "1", "2", signature("1", "a&b", "2")), 400},
        {"non-ASCII nick", body("K%C3%B3t", "1", "2", signature("1", "K\xc3\xb3t", "2")), 400},
        {"non-numeric flies", body("Kot", "abc", "2", signature("abc", "Kot", "2")), 400},
        {"negative flies", body("Kot", "-1", "2", signature("-1", "Kot", "2")), 400},
        {"leading zero", body("Kot", "012", "2", signature("012", "Kot", "2")), 400},
        {"flies over 32 bits", body("Kot", "2147483648", "2", signature("2147483648", "Kot", "2")), 400},
        {"missing md5", "wysyl=1&wersja=1&nick=Kot&muchy=12&czas=3600", 400},
        {"unknown version", "wysyl=1&wersja=2&nick=Kot&muchy=12&czas=3600&md5=" + good, 400},
        {"nick given twice", body("Kot", "12", "3600", good) + "&nick=Kot", 400},
        {"broken escape", body("Ko%2", "12", "3600", good), 400},
        {"oversize body", body("Kot", "12", "3600", good) + "&x=" + std::string(5000, 'y'), 413},
    };
    for (const auto& r : rows) EXPECT_EQ(post(r.body), r.status) << r.what;
    EXPECT_EQ(post(body("Kot", "12", "3600", good), "application/json"), 400) << "json type";
    EXPECT_EQ(storedCount(), 0);
    EXPECT_EQ(table(), "");
    // The same values correctly signed go through: the refusals were for the reasons named.
    EXPECT_EQ(post(body("Kot", "12", "3600", good)), 200);
    EXPECT_EQ(storedCount(), 1);
}

// Union of the 10 best by flies and the 10 best by time, highest time first;
// equal values go to the earlier submission.
TEST_F(ScoreServer, TableHoldsBestByFliesAndByTime) {
    for (int i = 0; i < 12; i++) ASSERT_EQ(post(signedBody("t" + std::to_string(i), 1, 1000 + i * 10)), 200);
    ASSERT_EQ(post(signedBody("f0", 50, 5)), 200);
    ASSERT_EQ(post(signedBody("f1", 60, 7)), 200);
    // Ties t2 on time and t0..t11 on flies, later than all: in neither ten.
    ASSERT_EQ(post(signedBody("late", 1, 1020)), 200);
    std::string expected;
    for (int i = 11; i >= 0; i--) expected += "t" + std::to_string(i) + " 1 " + std::to_string(1000 + i * 10) + " ";
    expected += "f1 60 7 f0 50 5";
    const std::string text = table();
    EXPECT_EQ(text, expected);

    // The game's loader reads it back record by record.
    std::ofstream(dir + "/dl.txt", std::ios::binary) << text;
    Hiscore h;
    h.load((dir + "/dl.txt").c_str());
    ASSERT_EQ(h.count, 14);
    EXPECT_STREQ(h.records[0].nick, "t11");
    EXPECT_EQ(h.records[0].time, 1110);
    EXPECT_STREQ(h.records[13].nick, "f0");
    EXPECT_EQ(h.records[13].flies, 50);
}

TEST_F(ScoreServer, AnsweredScoreSurvivesSigkill) {
    ASSERT_EQ(post(signedBody("Kot", 12, 3600)), 200);
    ASSERT_TRUE(WIFSIGNALED(stop(SIGKILL)));
    ASSERT_TRUE(start());
    EXPECT_EQ(table(), "Kot 12 3600");
    EXPECT_NE(readFile(log).find("1 scores"), std::string::npos) << readFile(log);
}

TEST_F(ScoreServer, ConcurrentPostsAreAllStored) {
    const int threads = 8, perThread = 25;
    std::atomic<int> ok{0};
    std::vector<std::thread> pool;
    for (int t = 0; t < threads; t++)
        pool.emplace_back([&, t] {
            httplib::Client c("127.0.0.1", port);
            c.set_read_timeout(30);
            for (int k = 0; k < perThread; k++) {
                const std::string nick = "p" + std::to_string(t) + "_" + std::to_string(k);
                auto res = c.Post("/bzykolot4.php", signedBody(nick, t, k * 100 + t),
                                  "application/x-www-form-urlencoded");
                if (res && res->status == 200) ok++;
            }
        });
    for (auto& th : pool) th.join();
    EXPECT_EQ(ok.load(), threads * perThread);
    EXPECT_EQ(storedCount(), threads * perThread);
}

// A raw connection that sends `bytes` and then goes silent; seconds until the
// server closes it (60 at most), and what it answered.
double secondsUntilCut(int port, const std::string& bytes, std::string* answer) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const timeval tv{60, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    const auto start = std::chrono::steady_clock::now();
    if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) return close(fd), -1;
    send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    char buf[512];
    for (ssize_t n; (n = recv(fd, buf, sizeof buf, 0)) > 0;) answer->append(buf, size_t(n));
    close(fd);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

TEST_F(ScoreServer, IdleAndSlowClientsAreCutOff) {
    std::string idleAnswer, slowAnswer;
    // One connects and says nothing; one promises a body and stops half way.
    auto idle = std::async(std::launch::async, secondsUntilCut, port, std::string(), &idleAnswer);
    auto slow = std::async(std::launch::async, secondsUntilCut, port,
                           "POST /bzykolot4.php HTTP/1.1\r\nHost: x\r\n"
                           "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: 200\r\n\r\n" +
                               signedBody("Kot", 12, 3600),
                           &slowAnswer);
    const double idleSeconds = idle.get(), slowSeconds = slow.get();
    EXPECT_GT(idleSeconds, 0);
    EXPECT_LT(idleSeconds, 15);
    EXPECT_GT(slowSeconds, 0);
    EXPECT_LT(slowSeconds, 15);
    EXPECT_EQ(slowAnswer.find("200 OK"), std::string::npos) << slowAnswer;
    EXPECT_EQ(storedCount(), 0);
    EXPECT_EQ(post(signedBody("Kot", 12, 3600)), 200) << "the server is still there for others";
}

// Canonical non-negative 32-bit numbers only, finer than the HTTP cases above.
TEST(ScoreForm, Counts) {
    int32_t v = -1;
    EXPECT_TRUE(parseCount("0", &v) && v == 0);
    EXPECT_TRUE(parseCount("2147483647", &v) && v == 2147483647);
    for (const char* bad : {"", "00", "-0", "+1", " 1", "1 ", "2147483648", "9999999999", "12345678901", "1a"})
        EXPECT_FALSE(parseCount(bad, &v)) << bad;
}

}  // namespace

// The score server as a program on an ephemeral loopback port with a fresh
// database, talked to over HTTP.
#include <gtest/gtest.h>
#include <httplib.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "base/hiscore.h"
#include "base/md5.h"
#include "server/form.h"

namespace {

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

class ScoreServer : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/bzk-server-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
        ASSERT_TRUE(start()) << readFile(log);
    }
    void TearDown() override {
        stop();
        std::system(("rm -rf " + dir).c_str());
    }
    // Starts the server on 127.0.0.1:0; true once it printed its port and the scores it holds.
    bool start() {
        log = dir + "/server" + std::to_string(++starts) + ".log";
        if ((pid = fork()) == 0) {
            if (!freopen(log.c_str(), "w", stdout)) _exit(127);
            const std::string db = dir + "/scores.db";
            execl(SERVER_BIN, SERVER_BIN, "--listen", "127.0.0.1:0", "--db", db.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        const std::regex ready("listening on 127\\.0\\.0\\.1:([0-9]+), database .*, ([0-9]+) scores");
        for (int i = 0; i < 200 && waitpid(pid, nullptr, WNOHANG) == 0; i++) {
            std::smatch m;
            const std::string text = readFile(log);
            if (std::regex_search(text, m, ready)) return port = std::stoi(m[1]), stored = std::stoll(m[2]), true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    }
    void stop() {
        if (pid > 0 && kill(pid, SIGKILL) == 0) waitpid(pid, nullptr, 0);
        pid = -1;
    }
    // Kills the server without warning and starts it again: the scores it holds.
    long long storedAfterKill() { return stop(), start() ? stored : -1; }

    int post(const std::string& b, const char* type = "application/x-www-form-urlencoded") {
        httplib::Client c("127.0.0.1", port);
        c.set_read_timeout(30);  // concurrent posts wait for each other's commits
        auto res = c.Post("/bzykolot4.php", b, type);
        return res ? res->status : -1;
    }
    std::string table(bool byPost = false) {
        httplib::Client c("127.0.0.1", port);
        // After a post the game's handle may still send its table request as an empty POST.
        auto res = byPost ? c.Post("/bzykolot4.wtf", "", "application/x-www-form-urlencoded") : c.Get("/bzykolot4.wtf");
        return res && res->status == 200 ? res->body : "<no table>";
    }

    std::string dir, log;
    pid_t pid = -1;
    int port = 0, starts = 0;
    long long stored = -1;
};

TEST_F(ScoreServer, ValidPostsAreListedLoggedAndSurviveSigkill) {
    EXPECT_EQ(table(), "");
    EXPECT_EQ(post(body("Kot", "12", "3600")), 200);
    // Boundaries: 31 characters, 0 and INT32_MAX; a charset parameter.
    const std::string longNick = "xxxxx_Q9" + std::string(23, 'x');
    EXPECT_EQ(post(body(longNick, "0", "2147483647")), 200);
    EXPECT_EQ(post(body("A", "1", "1"), "application/x-www-form-urlencoded; charset=UTF-8"), 200);
    EXPECT_EQ(table(true), longNick + " 0 2147483647 Kot 12 3600 A 1 1");
    // One line per request, written just after the answer: give it a moment.
    std::string text;
    for (int i = 0; i < 50 && (text = readFile(log)).find(" POST /bzykolot4.wtf") == std::string::npos; i++)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const std::regex line("[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}Z "
                          "127\\.0\\.0\\.1 (GET|POST) /bzykolot4\\.(php|wtf) 200\n");
    EXPECT_EQ(std::distance(std::sregex_iterator(text.begin(), text.end(), line), std::sregex_iterator()), 5) << text;
    EXPECT_EQ(storedAfterKill(), 3);
    EXPECT_EQ(table(), longNick + " 0 2147483647 Kot 12 3600 A 1 1");
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
    };
    for (const auto& r : rows) EXPECT_EQ(post(r.body), r.status) << r.what;
    EXPECT_EQ(post(kot, "application/json"), 400) << "json type";
    EXPECT_EQ(table(), "");
    // The same values correctly signed go through: the refusals were for the reasons named.
    EXPECT_EQ(post(kot), 200);
    EXPECT_EQ(table(), "Kot 12 3600");
}

// Union of the 10 best by flies and the 10 best by time, highest time first;
// equal values go to the earlier submission. The game's loader reads it back.
TEST_F(ScoreServer, TableHoldsBestByFliesAndByTime) {
    for (int i = 0; i < 12; i++)
        ASSERT_EQ(post(body("t" + std::to_string(i), "1", std::to_string(1000 + 10 * i))), 200);
    ASSERT_EQ(post(body("f0", "50", "5")), 200);
    ASSERT_EQ(post(body("f1", "60", "7")), 200);
    // Ties t2 on time and t0..t11 on flies, later than all: in neither ten.
    ASSERT_EQ(post(body("late", "1", "1020")), 200);
    std::string expected;
    for (int i = 11; i >= 0; i--) expected += "t" + std::to_string(i) + " 1 " + std::to_string(1000 + i * 10) + " ";
    expected += "f1 60 7 f0 50 5";
    const std::string text = table();
    EXPECT_EQ(text, expected);

    std::ofstream(dir + "/dl.txt", std::ios::binary) << text;
    Hiscore h;
    h.load((dir + "/dl.txt").c_str());
    ASSERT_EQ(h.count(), 14);
    EXPECT_EQ(std::string(h.records[13].nick) + " " + std::to_string(h.records[13].flies) + " " +
                  std::to_string(h.records[13].time), "f0 50 5");
}

TEST_F(ScoreServer, ConcurrentPostsAreAllStored) {
    std::atomic<int> ok{0};
    std::vector<std::thread> pool;
    for (int t = 0; t < 8; t++)
        pool.emplace_back([&, t] {
            for (int k = 0; k < 25; k++)
                ok += post(body("p" + std::to_string(t * 25 + k), std::to_string(t), std::to_string(k))) == 200;
        });
    for (auto& th : pool) th.join();
    EXPECT_EQ(ok.load(), 200);
    EXPECT_EQ(storedAfterKill(), 200);
}

}  // namespace

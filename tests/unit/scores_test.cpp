// The round-end screen and the score screen: nick entry, the signed body, the
// response file, both transfers against a loopback responder, the table text
// and the sub-state sequences.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <climits>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "scores/roundend.h"
#include "scores/scorescreen.h"
#include "testutil.h"
#include "worldfix.h"

namespace {

// MD5 by the system's md5sum, independent of the game's own.
std::string md5sum(const std::string& text) {
    std::string path = testutil::tempDir("md5") + "/in";
    testutil::writeFile(path, text);
    std::unique_ptr<FILE, int (*)(FILE*)> p(popen(("md5sum " + path).c_str(), "r"), pclose);
    char hex[33] = {0};
    if (!p || fscanf(p.get(), "%32s", hex) != 1) return "";
    return hex;
}

// A minimal HTTP server on an ephemeral loopback port: records each request
// and answers it with `pieces` as the body (chunked, one chunk per piece, with
// a pause between them so the client receives them apart), or never answers.
class Responder {
public:
    struct Request {
        std::string method, path, contentType, body;
    };

    explicit Responder(std::vector<std::string> pieces, bool hang = false)
        : pieces_(std::move(pieces)), hang_(hang) {
        fd_ = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof addr;
        if (bind(fd_, reinterpret_cast<sockaddr*>(&addr), len) != 0 || listen(fd_, 8) != 0 ||
            getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &len) != 0)
            return;
        port_ = ntohs(addr.sin_port);
        url_ = "http://127.0.0.1:" + std::to_string(port_);
        thread_ = std::thread([this] { loop(); });
    }
    ~Responder() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
        close(fd_);
    }

    const char* url() const { return url_.c_str(); }
    std::vector<Request> requests() {
        std::lock_guard<std::mutex> lock(mutex_);
        return requests_;
    }

private:
    void loop() {
        while (!stop_) {
            pollfd p{fd_, POLLIN, 0};
            if (poll(&p, 1, 50) <= 0) continue;
            int c = accept(fd_, nullptr, nullptr);
            if (c < 0) continue;
            serve(c);
            close(c);
        }
    }

    void serve(int c) {
        std::string in;
        char buf[4096];
        size_t headEnd;
        while ((headEnd = in.find("\r\n\r\n")) == std::string::npos) {
            ssize_t n = recv(c, buf, sizeof buf, 0);
            if (n <= 0) return;
            in.append(buf, static_cast<size_t>(n));
        }
        Request r;
        std::string head = in.substr(0, headEnd);
        r.method = head.substr(0, head.find(' '));
        size_t pathStart = r.method.size() + 1;
        r.path = head.substr(pathStart, head.find(' ', pathStart) - pathStart);
        size_t length = 0;
        for (std::string name : {"Content-Length: ", "content-length: "}) {
            size_t at = head.find(name);
            if (at != std::string::npos) length = std::stoul(head.substr(at + name.size()));
        }
        size_t ct = head.find("Content-Type: ");
        if (ct != std::string::npos)
            r.contentType = head.substr(ct + 14, head.find("\r\n", ct) - ct - 14);
        r.body = in.substr(headEnd + 4);
        while (r.body.size() < length) {
            ssize_t n = recv(c, buf, sizeof buf, 0);
            if (n <= 0) break;
            r.body.append(buf, static_cast<size_t>(n));
        }
        {
            std::lock_guard<std::mutex> lock(mutex_);
            requests_.push_back(r);
        }
        if (hang_) {
            while (!stop_) std::this_thread::sleep_for(std::chrono::milliseconds(20));
            return;
        }
        std::string out =
            "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nTransfer-Encoding: chunked\r\n"
            "Connection: close\r\n\r\n";
        send(c, out.data(), out.size(), MSG_NOSIGNAL);
        for (const std::string& piece : pieces_) {
            char size[16];
            snprintf(size, sizeof size, "%zx\r\n", piece.size());
            std::string chunk = size + piece + "\r\n";
            send(c, chunk.data(), chunk.size(), MSG_NOSIGNAL);
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
        }
        send(c, "0\r\n\r\n", 5, MSG_NOSIGNAL);
    }

    std::vector<std::string> pieces_;
    bool hang_;
    int fd_ = -1;
    int port_ = 0;
    std::string url_;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::vector<Request> requests_;
};

// A loopback URL where nothing listens.
std::string closedUrl() {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    bind(fd, reinterpret_cast<sockaddr*>(&addr), len);
    getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    close(fd);
    return "http://127.0.0.1:" + std::to_string(ntohs(addr.sin_port));
}

Uint8 fakeKeys[SDLK_LAST];

class ScoresTest : public ::testing::Test {
protected:
    void SetUp() override {
        worldfix::freshWorld();
        static Sprite* font = worldfix::plainSprite(96, 8, 8);
        static Sprite* panel = worldfix::plainSprite(1, 522, 266);
        sprites["hiscores.bmp"] = panel;
        panelText = Text((worldfix::kScreenW - 512) / 2, worldfix::kScreenH / 3, font, "", 448, 12, 0);
        memset(fakeKeys, 0, sizeof fakeKeys);
        keys = fakeKeys;
        memset(&event, 0, sizeof event);
        memset(nick, 0, sizeof nick);
        nickPos = 0;
        lastKey = 0;
        memset(scoreMessage, 0, sizeof scoreMessage);
        if (!curl) curl = curl_easy_init();
        hiscores.clear();
        char cwd[4096];
        home = getcwd(cwd, sizeof cwd) ? cwd : ".";
        dir = home + "/" + testutil::tempDir("scores");
        ASSERT_EQ(chdir(dir.c_str()), 0);
    }
    void TearDown() override {
        ASSERT_EQ(chdir(home.c_str()), 0);
        scoreServer = SCORE_SERVER;
    }

    void keyDown(SDLKey k) {
        event.type = SDL_KEYDOWN;
        event.key.keysym.sym = k;
        fakeKeys[k] = 1;
    }
    void keyUp(SDLKey k) {
        event.type = SDL_KEYUP;
        event.key.keysym.sym = k;
        fakeKeys[k] = 0;
    }
    // Presses and releases k over two round-end frames.
    void typeKey(SDLKey k) {
        keyDown(k);
        roundEndFrame();
        keyUp(k);
        roundEndFrame();
    }

    std::string home, dir;
};

std::string endText(int flies, int seconds, const std::string& tail) {
    return "Pokonanych much: " + std::to_string(flies) + "\nPrzetrwano: " + std::to_string(seconds) +
           "s\n\n" + tail;
}

}  // namespace

// ---- Nick entry ----------------------------------------------------------------

TEST_F(ScoresTest, NickTakesLettersDigitsAndShiftedMinusOnly) {
    auto press = [](int32_t k, bool shift = false) {
        nickEntry(true, k, shift, false);
        nickEntry(false, 0, shift, false);
    };
    press('k');
    press('a', true);
    press('-', true);
    press('-');
    press('7');
    press('5', true);  // Shift on a digit still enters the digit
    press(' ');
    press('=');
    press(SDLK_SEMICOLON, true);
    press(SDLK_WORLD_63);
    press(SDLK_KP1);
    EXPECT_STREQ(nick, "kA_75");
    EXPECT_EQ(nickPos, 5);
    press(SDLK_BACKSPACE);
    press(SDLK_BACKSPACE);
    EXPECT_STREQ(nick, "kA_");
    for (int i = 0; i < 5; i++) press(SDLK_BACKSPACE);
    EXPECT_STREQ(nick, "");
    EXPECT_EQ(nickPos, 0);
}

TEST_F(ScoresTest, HeldKeyEntersOnceUntilAnotherEvent) {
    nickEntry(true, 'k', false, false);
    nickEntry(true, 'k', false, false);  // the same press still in `event`
    nickEntry(true, 'k', false, false);
    EXPECT_STREQ(nick, "k");
    nickEntry(false, 0, false, false);  // its release
    EXPECT_EQ(lastKey, 0);
    nickEntry(true, 'k', false, false);
    EXPECT_STREQ(nick, "kk");
    nickEntry(true, 'o', false, false);  // another key without a release between
    EXPECT_STREQ(nick, "kko");
}

TEST_F(ScoresTest, NickKeepsThirtyOneCharactersAndNeedsOneToSend) {
    EXPECT_FALSE(nickEntry(true, SDLK_RETURN, false, true)) << "empty nick";
    for (int i = 0; i < 32; i++) {
        nickEntry(true, 'a' + i % 26, false, false);
        nickEntry(false, 0, false, false);
    }
    EXPECT_EQ(nickPos, 31);
    EXPECT_EQ(std::string(nick), std::string("abcdefghijklmnopqrstuvwxyzabcde"));
    nickEntry(true, '-', true, false);
    EXPECT_EQ(nickPos, 31);
    EXPECT_FALSE(nickEntry(false, 0, false, true)) << "Enter counts only in a key-press frame";
    EXPECT_TRUE(nickEntry(true, SDLK_RETURN, false, true));
}

// ---- Signature and body -----------------------------------------------------------

TEST_F(ScoresTest, SignatureAndBodyForKotMatchAnIndependentMd5) {
    char buf[128];
    buildSignature(buf, sizeof buf, 12, "Kot", 3600);
    EXPECT_STREQ(buf, "12Kot3600niebieskiparasolnadrzewa");
    std::string digest = md5sum("12Kot3600niebieskiparasolnadrzewa");
    ASSERT_EQ(digest.size(), 32u);
    ASSERT_TRUE(buildScoreBody(buf, sizeof buf, 12, "Kot", 3600));
    EXPECT_EQ(std::string(buf), "wysyl=1&wersja=1&nick=Kot&muchy=12&czas=3600&md5=" + digest);

    // The longest body still fits the 128-byte panel buffer whole.
    std::string longest(31, 'Z');
    ASSERT_TRUE(buildScoreBody(buf, sizeof buf, INT_MAX, longest.c_str(), INT_MAX));
    std::string sig = "2147483647" + longest + "2147483647niebieskiparasolnadrzewa";
    EXPECT_EQ(std::string(buf), "wysyl=1&wersja=1&nick=" + longest +
                                    "&muchy=2147483647&czas=2147483647&md5=" + md5sum(sig));
    EXPECT_EQ(strlen(buf), 123u);
}

// ---- Response file ---------------------------------------------------------------

TEST_F(ScoresTest, ResponseInPiecesReplacesThenAppends) {
    testutil::writeFile("dl.txt", "old table");
    char a[] = "kot 12 ", b[] = "3600 pies", c[] = " 7 1800";
    beginResponse();
    EXPECT_EQ(writeResponse(a, 1, 7, nullptr), 7u);
    EXPECT_EQ(writeResponse(b, 3, 3, nullptr), 9u);
    EXPECT_EQ(writeResponse(c, 7, 1, nullptr), 7u);
    EXPECT_EQ(testutil::readFile("dl.txt"), "kot 12 3600 pies 7 1800");
    beginResponse();
    EXPECT_EQ(writeResponse(a, 1, 3, nullptr), 3u);
    EXPECT_EQ(testutil::readFile("dl.txt"), "kot");
    beginResponse();  // a transfer with no body
    EXPECT_EQ(testutil::readFile("dl.txt"), "kot");
}

TEST_F(ScoresTest, ResponseBeyondOneMebibyteIsRefused) {
    std::vector<char> big(maxResponseBytes - 1, 'x');
    char one[] = "y";
    beginResponse();
    EXPECT_EQ(writeResponse(big.data(), 1, big.size(), nullptr), big.size());
    EXPECT_EQ(writeResponse(one, 1, 1, nullptr), 1u) << "exactly 1 MiB is allowed";
    EXPECT_EQ(writeResponse(one, 1, 1, nullptr), 0u);
    EXPECT_EQ(testutil::readFile("dl.txt").size(), maxResponseBytes);
    beginResponse();
    std::vector<char> over(maxResponseBytes + 1, 'z');
    EXPECT_EQ(writeResponse(over.data(), 1, over.size(), nullptr), 0u);
}

TEST_F(ScoresTest, UnwritableResponseFileAbortsTheTransfer) {
    ASSERT_EQ(mkdir("dl.txt", 0755), 0);
    char a[] = "x";
    beginResponse();
    EXPECT_EQ(writeResponse(a, 1, 1, nullptr), 0u);
}

// ---- Transfers ---------------------------------------------------------------------

TEST_F(ScoresTest, PostThenDownloadIsAGetAndTheTableArrivesWhole) {
    Responder server({"Kot 12 3600", " pies 7", " 1800"});
    scoreServer = server.url();
    kills = 12;
    roundTicks = 3600;
    strcpy(nick, "Kot");
    nickPos = 3;
    ASSERT_TRUE(submitScore());
    EXPECT_STREQ(scoreMessage, "") << "the body does not stay on the panel";
    ASSERT_TRUE(downloadTable());
    auto reqs = server.requests();
    ASSERT_EQ(reqs.size(), 2u);
    EXPECT_EQ(reqs[0].method, "POST");
    EXPECT_EQ(reqs[0].path, "/bzykolot4.php");
    EXPECT_EQ(reqs[0].contentType, "application/x-www-form-urlencoded");
    EXPECT_EQ(reqs[0].body, "wysyl=1&wersja=1&nick=Kot&muchy=12&czas=3600&md5=" +
                                md5sum("12Kot3600niebieskiparasolnadrzewa"));
    EXPECT_EQ(reqs[1].method, "GET");
    EXPECT_EQ(reqs[1].path, "/bzykolot4.wtf");
    EXPECT_EQ(reqs[1].body, "");
    EXPECT_EQ(testutil::readFile("dl.txt"), "Kot 12 3600 pies 7 1800");
}

TEST_F(ScoresTest, NoServerFailsBothTransfersAndKeepsTheFile) {
    testutil::writeFile("dl.txt", "a 1 2");
    std::string url = closedUrl();
    scoreServer = url.c_str();
    strcpy(nick, "Kot");
    nickPos = 3;
    EXPECT_FALSE(submitScore());
    EXPECT_FALSE(downloadTable());
    EXPECT_EQ(testutil::readFile("dl.txt"), "a 1 2");
}

TEST_F(ScoresTest, SilentServerTimesOut) {
    Responder server({}, true);
    scoreServer = server.url();
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(downloadTable());
    double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_GT(s, 9.0);
    EXPECT_LT(s, 13.0);
}

// ---- Round-end screen ---------------------------------------------------------------

TEST_F(ScoresTest, RoundEndTypesSendsAndMovesToTheScores) {
    Responder server({"ok"});
    scoreServer = server.url();
    gameState = StateRoundEnd;
    subState = EndNick;
    kills = 12;
    roundTicks = 3600;
    roundEndFrame();
    EXPECT_EQ(std::string(scoreMessage), endText(12, 60, "Wpisz nick: "));
    fakeKeys[SDLK_RSHIFT] = 1;
    typeKey(SDLK_k);
    fakeKeys[SDLK_RSHIFT] = 0;
    typeKey(SDLK_o);
    typeKey(SDLK_t);
    EXPECT_EQ(std::string(scoreMessage), endText(12, 60, "Wpisz nick: Kot"));
    EXPECT_EQ(panelText.text, endText(12, 60, "Wpisz nick: Kot"));
    keyDown(SDLK_RETURN);
    roundEndFrame();
    EXPECT_EQ(subState, EndSending);
    keyUp(SDLK_RETURN);
    roundEndFrame();
    EXPECT_EQ(subState, EndPost);
    EXPECT_EQ(std::string(scoreMessage), endText(12, 60, "Wysylanie wyniku..."));
    EXPECT_TRUE(server.requests().empty()) << "the post waits for its own frame";
    roundEndFrame();
    EXPECT_EQ(subState, EndSent);
    EXPECT_EQ(panelText.text, endText(12, 60, "Wysylanie wyniku...")) << "panel while blocked";
    ASSERT_EQ(server.requests().size(), 1u);
    EXPECT_NE(server.requests()[0].body.find("&nick=Kot&muchy=12&czas=3600&md5="),
              std::string::npos);
    roundEndFrame();
    EXPECT_EQ(kills, 0);
    EXPECT_EQ(roundTicks, 0);
    EXPECT_EQ(panelText.text, endText(0, 0, "Wyslano."));
    EXPECT_EQ(gameState, StateScores);
    EXPECT_EQ(subState, ScoresStart);
    EXPECT_GT(dirtyCount, 0);

    // The next round's end starts with the same nick.
    gameState = StateRoundEnd;
    subState = EndNick;
    event.type = SDL_MOUSEMOTION;
    roundEndFrame();
    EXPECT_EQ(std::string(scoreMessage), endText(0, 0, "Wpisz nick: Kot"));
}

TEST_F(ScoresTest, FailedPostWaitsForEnterAndRetriesTheSameScore) {
    std::string url = closedUrl();
    scoreServer = url.c_str();
    gameState = StateRoundEnd;
    strcpy(nick, "Kot");
    nickPos = 3;
    kills = 12;
    roundTicks = 3600;
    subState = EndPost;
    roundEndFrame();
    EXPECT_EQ(subState, EndFailed);
    roundEndFrame();
    roundEndFrame();
    EXPECT_EQ(subState, EndFailed);
    EXPECT_EQ(panelText.text,
              endText(12, 60, "Nie udalo sie wyslac. Wyslac ponownie? (Enter/Escape)"));

    Responder server({"ok"});
    scoreServer = server.url();
    keyDown(SDLK_RETURN);
    roundEndFrame();
    EXPECT_EQ(subState, EndSending);
    keyUp(SDLK_RETURN);
    roundEndFrame();
    roundEndFrame();
    EXPECT_EQ(subState, EndSent);
    ASSERT_EQ(server.requests().size(), 1u);
    EXPECT_EQ(server.requests()[0].body, "wysyl=1&wersja=1&nick=Kot&muchy=12&czas=3600&md5=" +
                                             md5sum("12Kot3600niebieskiparasolnadrzewa"));
}

// ---- Table text ----------------------------------------------------------------------

TEST_F(ScoresTest, TableTextOfThreeRecords) {
    testutil::writeFile("t.txt", "a 3 620 b 9 100 c 1 1240");
    Hiscore h;
    h.load("t.txt");
    ASSERT_EQ(h.count, 3);
    std::unique_ptr<char, void (*)(void*)> byTime(tableText(h, false), free);
    EXPECT_STREQ(byTime.get(), "Czas:\n03.\t c\t 20\n01.\t a\t 10\n02.\t b\t 1\n");
    EXPECT_FALSE(h.sortedByFlies);
    std::unique_ptr<char, void (*)(void*)> byFlies(tableText(h, true), free);
    EXPECT_STREQ(byFlies.get(), "Muchy:\n02.\t b\t 9\n01.\t a\t 3\n03.\t c\t 1\n");
    EXPECT_TRUE(h.sortedByFlies);
}

TEST_F(ScoresTest, TableTextShowsTenOfTwentyFiveAndTruncatesTime) {
    std::string file;
    for (int i = 1; i <= 25; i++)
        file += "n" + std::to_string(i) + " " + std::to_string(100 - i) + " " +
                std::to_string(i * 62 + 61) + " ";
    testutil::writeFile("t.txt", file);
    Hiscore h;
    h.load("t.txt");
    ASSERT_EQ(h.count, 25);
    std::string time = "Czas:\n", flies = "Muchy:\n";
    for (int i = 25; i > 15; i--) {
        // 61/62 of a second more never rounds up.
        time += std::to_string(i) + ".\t n" + std::to_string(i) + "\t " + std::to_string(i) + "\n";
    }
    for (int i = 1; i <= 10; i++) {
        char line[64];
        snprintf(line, sizeof line, "%02d.\t n%d\t %d\n", i, i, 100 - i);
        flies += line;
    }
    std::unique_ptr<char, void (*)(void*)> t(tableText(h, false), free);
    EXPECT_EQ(std::string(t.get()), time);
    std::unique_ptr<char, void (*)(void*)> f(tableText(h, true), free);
    EXPECT_EQ(std::string(f.get()), flies);

    Hiscore empty;
    std::unique_ptr<char, void (*)(void*)> e(tableText(empty, false), free);
    EXPECT_STREQ(e.get(), "Czas:\n");
}

// ---- Score screen ---------------------------------------------------------------------

TEST_F(ScoresTest, ScoreScreenDownloadsLoadsAndToggles) {
    Responder server({"a 1 620 b 5 1240"});
    scoreServer = server.url();
    gameState = StateScores;
    subState = ScoresStart;
    event.type = SDL_MOUSEMOTION;
    scoresFrame();
    EXPECT_EQ(subState, ScoresDownload);
    EXPECT_EQ(panelText.text, "Pobieranie wynikow...");
    scoresFrame();
    EXPECT_EQ(subState, ScoresDownloaded);
    EXPECT_EQ(panelText.text, "Pobieranie wynikow...");
    EXPECT_EQ(testutil::readFile("dl.txt"), "a 1 620 b 5 1240");
    scoresFrame();
    EXPECT_EQ(subState, ScoresLoad);
    EXPECT_EQ(panelText.text, "Pobrano.");
    scoresFrame();
    EXPECT_EQ(subState, ScoresByTime);
    EXPECT_EQ(hiscores.count, 2);
    EXPECT_EQ(panelText.text, "Pobrano.");
    scoresFrame();
    EXPECT_EQ(subState, ScoresIdle);
    const std::string timeView = "Czas:\n02.\t b\t 20\n01.\t a\t 10\n";
    const std::string fliesView = "Muchy:\n02.\t b\t 5\n01.\t a\t 1\n";
    EXPECT_EQ(panelText.text, timeView);

    keyDown(SDLK_SPACE);
    scoresFrame();
    EXPECT_EQ(subState, ScoresKeyDown);
    scoresFrame();  // still held: nothing more
    scoresFrame();
    EXPECT_EQ(subState, ScoresKeyDown);
    EXPECT_EQ(panelText.text, timeView);
    keyUp(SDLK_SPACE);
    scoresFrame();
    EXPECT_EQ(subState, ScoresByFlies);
    scoresFrame();
    EXPECT_EQ(subState, ScoresIdle);
    EXPECT_EQ(panelText.text, fliesView);
    scoresFrame();
    scoresFrame();
    EXPECT_EQ(panelText.text, fliesView);
    keyDown(SDLK_x);
    scoresFrame();
    keyUp(SDLK_x);
    scoresFrame();
    scoresFrame();
    EXPECT_EQ(panelText.text, timeView);
    EXPECT_EQ(server.requests().size(), 1u) << "toggling does not download again";
}

TEST_F(ScoresTest, FailedDownloadHidesTheEarlierTable) {
    panelText.setText("Czas:\n01.\t a\t 10\n");
    std::string url = closedUrl();
    scoreServer = url.c_str();
    gameState = StateScores;
    subState = ScoresStart;
    scoresFrame();
    scoresFrame();
    EXPECT_EQ(subState, ScoresFailed);
    for (int i = 0; i < 3; i++) {
        scoresFrame();
        EXPECT_EQ(subState, ScoresFailed);
        EXPECT_EQ(panelText.text, "Nie udalo sie pobrac wynikow.");
    }
}

TEST_F(ScoresTest, TheEnterThatSentTheScoreDoesNotToggleTheView) {
    Responder server({"a 1 620 b 5 1240"});
    scoreServer = server.url();
    gameState = StateScores;
    subState = ScoresStart;
    keyDown(SDLK_RETURN);  // still held, its press still the frame's event
    for (int i = 0; i < 5; i++) scoresFrame();
    EXPECT_EQ(subState, ScoresIdle);
    scoresFrame();
    EXPECT_EQ(subState, ScoresIdle) << "a press from before the screen";
    keyUp(SDLK_RETURN);
    scoresFrame();
    scoresFrame();
    EXPECT_EQ(subState, ScoresIdle);
    EXPECT_EQ(panelText.text, "Czas:\n02.\t b\t 20\n01.\t a\t 10\n");
    keyDown(SDLK_RETURN);  // pressed again on this screen: that one counts
    scoresFrame();
    EXPECT_EQ(subState, ScoresKeyDown);
    keyUp(SDLK_RETURN);
    scoresFrame();
    scoresFrame();
    EXPECT_EQ(panelText.text, "Muchy:\n02.\t b\t 5\n01.\t a\t 1\n");
}

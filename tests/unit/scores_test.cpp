// The round-end screen and the score screen: nick entry, the signed body, the
// response file, both transfers against a loopback responder, the table text
// and the sub-state sequences.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <climits>
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
    const std::string path = testutil::tempDir("md5") + "/in";
    testutil::writeFile(path, text);
    std::unique_ptr<FILE, int (*)(FILE*)> p(popen(("md5sum " + path).c_str(), "r"), pclose);
    char hex[33] = {0};
    return p && fscanf(p.get(), "%32s", hex) == 1 ? hex : "";
}
const std::string kKotBody = "wysyl=1&wersja=1&nick=Kot&muchy=12&czas=3600&md5=";

// A listening loopback socket on an ephemeral port.
int listenLoopback(std::string* url) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    bind(fd, reinterpret_cast<sockaddr*>(&addr), len);
    listen(fd, 8);
    getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    *url = "http://127.0.0.1:" + std::to_string(ntohs(addr.sin_port));
    return fd;
}

// A loopback URL where nothing listens.
std::string closedUrl() {
    std::string url;
    close(listenLoopback(&url));
    return url;
}

// A minimal HTTP server: records each request ("METHOD PATH|body") and answers
// with `pieces` as a chunked body, one chunk per piece with a pause between
// them, or (hang) never answers.
class Responder {
public:
    explicit Responder(std::vector<std::string> pieces, bool hang = false) : pieces_(std::move(pieces)), hang_(hang) {
        fd_ = listenLoopback(&url_);
        thread_ = std::thread([this] {
            while (!stop_) {
                pollfd p{fd_, POLLIN, 0};
                if (poll(&p, 1, 50) <= 0) continue;
                const int c = accept(fd_, nullptr, nullptr);
                serve(c);
                close(c);
            }
        });
    }
    ~Responder() {
        stop_ = true;
        thread_.join();
        close(fd_);
    }
    const char* url() const { return url_.c_str(); }
    std::vector<std::string> requests() {
        std::lock_guard<std::mutex> lock(mutex_);
        return requests_;
    }

private:
    void serve(int c) {
        std::string in;
        char buf[4096];
        for (ssize_t n; in.find("\r\n\r\n") == std::string::npos; in.append(buf, size_t(n)))
            if ((n = recv(c, buf, sizeof buf, 0)) <= 0) return;
        const size_t bodyAt = in.find("\r\n\r\n") + 4, length = in.find("Content-Length: ");
        const size_t end = bodyAt + (length < bodyAt ? std::stoul(in.substr(length + 16)) : 0);
        for (ssize_t n; in.size() < end; in.append(buf, size_t(n)))
            if ((n = recv(c, buf, sizeof buf, 0)) <= 0) break;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            requests_.push_back(in.substr(0, in.find(" HTTP/")) + "|" + in.substr(bodyAt));
        }
        while (hang_ && !stop_) std::this_thread::sleep_for(std::chrono::milliseconds(20));
        std::string out = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nConnection: close\r\n\r\n";
        for (const std::string& piece : pieces_) {
            char size[16];
            snprintf(size, sizeof size, "%zx\r\n", piece.size());
            out += size + piece + "\r\n";
            send(c, out.data(), out.size(), MSG_NOSIGNAL);
            out.clear();
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
        }
        out += "0\r\n\r\n";
        send(c, out.data(), out.size(), MSG_NOSIGNAL);
    }

    std::vector<std::string> pieces_;
    bool hang_;
    int fd_ = -1;
    std::string url_;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::vector<std::string> requests_;
};

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
        nickPos = lastKey = 0;
        if (!curl) curl = curl_easy_init();
        hiscores.clear();
        char cwd[4096];
        home = getcwd(cwd, sizeof cwd) ? cwd : ".";
        ASSERT_EQ(chdir(testutil::tempDir("scores").c_str()), 0);
    }
    void TearDown() override {
        ASSERT_EQ(chdir(home.c_str()), 0);
        scoreServer = SCORE_SERVER;
    }
    void key(SDLKey k, bool down) {
        event.type = down ? SDL_KEYDOWN : SDL_KEYUP;
        event.key.keysym.sym = k;
        fakeKeys[k] = down;
    }
    // Runs n frames of a screen; after each, "sub-state|panel text".
    static std::vector<std::string> frames(void (*frame)(), int n) {
        std::vector<std::string> out;
        while (n-- > 0) frame(), out.push_back(std::to_string(subState) + "|" + panelText.text);
        return out;
    }
    std::string home;
};

std::string at(int state, const std::string& text) { return std::to_string(state) + "|" + text; }
std::string endText(int flies, int seconds, const std::string& tail) {
    return "Pokonanych much: " + std::to_string(flies) + "\nPrzetrwano: " + std::to_string(seconds) + "s\n\n" + tail;
}
using V = std::vector<std::string>;

}  // namespace

TEST_F(ScoresTest, NickTakesLettersDigitsAndShiftedMinusOnly) {
    const struct {
        int32_t key;
        bool shift;
        const char* nick;
    } rows[] = {
        {'k', false, "k"}, {'a', true, "kA"}, {'-', true, "kA_"}, {'-', false, "kA_"},
        {'7', false, "kA_7"}, {'5', true, "kA_75"},  // Shift on a digit still enters the digit
        {' ', false, "kA_75"}, {'=', false, "kA_75"}, {SDLK_SEMICOLON, true, "kA_75"},
        {SDLK_WORLD_63, false, "kA_75"}, {SDLK_KP1, false, "kA_75"}, {SDLK_BACKSPACE, false, "kA_7"},
    };
    for (const auto& r : rows) {
        nickEntry(true, r.key, r.shift, false);
        nickEntry(false, 0, r.shift, false);
        EXPECT_STREQ(nick, r.nick) << "key " << r.key;
        EXPECT_EQ(nickPos, int32_t(strlen(r.nick)));
    }
    for (int i = 0; i < 6; i++) nickEntry(true, SDLK_BACKSPACE, false, false), nickEntry(false, 0, false, false);
    EXPECT_EQ(nickPos, 0);
    EXPECT_FALSE(nickEntry(true, SDLK_RETURN, false, true)) << "an empty nick is not sent";
}

TEST_F(ScoresTest, HeldKeyEntersOnceAndTheNickStopsAt31) {
    nickEntry(true, 'k', false, false);
    nickEntry(true, 'k', false, false);  // the same press still in `event`
    nickEntry(false, 0, false, false);   // its release
    nickEntry(true, 'k', false, false);
    nickEntry(true, 'o', false, false);  // another key without a release between
    EXPECT_STREQ(nick, "kko");
    for (int i = 0; i < 30; i++) nickEntry(true, 'a' + i % 26, false, false), nickEntry(false, 0, false, false);
    nickEntry(true, '-', true, false);
    EXPECT_EQ(std::string(nick), "kkoabcdefghijklmnopqrstuvwxyzab");
    EXPECT_FALSE(nickEntry(false, 0, false, true)) << "Enter counts only in a key-press frame";
    EXPECT_TRUE(nickEntry(true, SDLK_RETURN, false, true));
}

TEST_F(ScoresTest, SignatureAndBodyMatchAnIndependentMd5) {
    char buf[128];
    buildSignature(buf, sizeof buf, 12, "Kot", 3600);
    EXPECT_STREQ(buf, "12Kot3600niebieskiparasolnadrzewa");
    ASSERT_TRUE(buildScoreBody(buf, sizeof buf, 12, "Kot", 3600));
    EXPECT_EQ(std::string(buf), kKotBody + md5sum("12Kot3600niebieskiparasolnadrzewa"));
    // The longest body still fits the 128-byte panel buffer whole.
    const std::string z(31, 'Z');
    ASSERT_TRUE(buildScoreBody(buf, sizeof buf, INT_MAX, z.c_str(), INT_MAX));
    EXPECT_EQ(std::string(buf), "wysyl=1&wersja=1&nick=" + z + "&muchy=2147483647&czas=2147483647&md5=" +
                                    md5sum("2147483647" + z + "2147483647niebieskiparasolnadrzewa"));
}

TEST_F(ScoresTest, ResponseReplacesThenAppendsUpToOneMebibyte) {
    testutil::writeFile("dl.txt", "old table");
    char a[] = "kot 12 ", b[] = "3600 pies", c[] = " 7 1800";
    beginResponse();
    EXPECT_EQ(writeResponse(a, 1, 7, nullptr), 7u);
    EXPECT_EQ(writeResponse(b, 3, 3, nullptr), 9u);
    EXPECT_EQ(writeResponse(c, 7, 1, nullptr), 7u);
    EXPECT_EQ(testutil::readFile("dl.txt"), "kot 12 3600 pies 7 1800");
    beginResponse();  // a transfer with no body leaves the file alone
    EXPECT_EQ(testutil::readFile("dl.txt"), "kot 12 3600 pies 7 1800");

    std::vector<char> big(maxResponseBytes + 1, 'x');
    beginResponse();
    EXPECT_EQ(writeResponse(big.data(), 1, big.size(), nullptr), 0u);
    EXPECT_EQ(writeResponse(big.data(), 1, maxResponseBytes - 1, nullptr), maxResponseBytes - 1);
    EXPECT_EQ(writeResponse(big.data(), 1, 1, nullptr), 1u) << "exactly 1 MiB is allowed";
    EXPECT_EQ(writeResponse(big.data(), 1, 1, nullptr), 0u);
    EXPECT_EQ(testutil::readFile("dl.txt").size(), maxResponseBytes);

    ASSERT_EQ(remove("dl.txt"), 0);
    ASSERT_EQ(mkdir("dl.txt", 0755), 0);  // an unwritable file aborts the transfer
    beginResponse();
    EXPECT_EQ(writeResponse(a, 1, 1, nullptr), 0u);
}

TEST_F(ScoresTest, NoServerOrASilentOneFailsTheTransfers) {
    testutil::writeFile("dl.txt", "a 1 2");
    const std::string url = closedUrl();
    scoreServer = url.c_str();
    strcpy(nick, "Kot");
    nickPos = 3;
    EXPECT_FALSE(submitScore());
    panelText.setText("Czas:\n01.\t a\t 10\n");  // the failure hides the earlier table
    subState = ScoresStart;
    const V got = frames(scoresFrame, 5);
    EXPECT_EQ(V(got.begin() + 2, got.end()), V(3, at(ScoresFailed, "Nie udalo sie pobrac wynikow.")));
    EXPECT_EQ(testutil::readFile("dl.txt"), "a 1 2");

    Responder silent({}, true);
    scoreServer = silent.url();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(downloadTable());
    const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_GT(s, 9.0);
    EXPECT_LT(s, 13.0);
}

// Typed, sent to no server, failed; sent again with Enter once a server
// answers; then the table is fetched with a GET and arrives whole.
TEST_F(ScoresTest, RoundEndTypesSendsRetriesAndMovesToTheScores) {
    const std::string closed = closedUrl();
    scoreServer = closed.c_str();
    gameState = StateRoundEnd;
    subState = EndNick;
    kills = 12;
    roundTicks = 3600;
    fakeKeys[SDLK_RSHIFT] = 1;
    for (SDLKey k : {SDLK_k, SDLK_o, SDLK_t}) {
        key(k, true);
        roundEndFrame();
        fakeKeys[SDLK_RSHIFT] = 0;
        key(k, false);
        roundEndFrame();
    }
    EXPECT_EQ(panelText.text, endText(12, 60, "Wpisz nick: Kot"));
    const std::string sending = endText(12, 60, "Wysylanie wyniku..."),
                      failed = endText(12, 60, "Nie udalo sie wyslac. Wyslac ponownie? (Enter/Escape)");
    key(SDLK_RETURN, true);
    EXPECT_EQ(frames(roundEndFrame, 1), (V{at(EndSending, endText(12, 60, "Wpisz nick: Kot"))}));
    key(SDLK_RETURN, false);
    EXPECT_EQ(frames(roundEndFrame, 4),
              (V{at(EndPost, sending), at(EndFailed, sending), at(EndFailed, failed), at(EndFailed, failed)}));

    Responder server({"Kot 12 3600", " pies 7", " 1800"});
    scoreServer = server.url();
    key(SDLK_RETURN, true);
    roundEndFrame();
    key(SDLK_RETURN, false);
    EXPECT_EQ(frames(roundEndFrame, 1), (V{at(EndPost, sending)}));
    EXPECT_TRUE(server.requests().empty()) << "the post waits for its own frame";
    EXPECT_EQ(frames(roundEndFrame, 2), (V{at(EndSent, sending), at(ScoresStart, endText(0, 0, "Wyslano."))}));
    EXPECT_EQ(gameState, StateScores);
    EXPECT_GT(dirtyCount, 0);
    frames(scoresFrame, 2);
    EXPECT_EQ(server.requests(), (V{"POST /bzykolot4.php|" + kKotBody + md5sum("12Kot3600niebieskiparasolnadrzewa"),
                                    "GET /bzykolot4.wtf|"}));
    EXPECT_EQ(testutil::readFile("dl.txt"), "Kot 12 3600 pies 7 1800");
    // The next round's end starts with the same nick.
    gameState = StateRoundEnd;
    subState = EndNick;
    event.type = SDL_MOUSEMOTION;
    EXPECT_EQ(frames(roundEndFrame, 1), (V{at(EndNick, endText(0, 0, "Wpisz nick: Kot"))}));
}

// Time is shown in seconds of 62 frames, truncated; ten rows at most.
TEST_F(ScoresTest, TableTextOfThreeAndOfTwentyFiveRecords) {
    testutil::writeFile("t.txt", "a 3 620 b 9 100 c 1 1240");
    Hiscore h;
    h.load("t.txt");
    std::unique_ptr<char, void (*)(void*)> byTime(tableText(h, false), free);
    EXPECT_STREQ(byTime.get(), "Czas:\n03.\t c\t 20\n01.\t a\t 10\n02.\t b\t 1\n");
    EXPECT_FALSE(h.sortedByFlies);
    std::unique_ptr<char, void (*)(void*)> byFlies(tableText(h, true), free);
    EXPECT_STREQ(byFlies.get(), "Muchy:\n02.\t b\t 9\n01.\t a\t 3\n03.\t c\t 1\n");
    EXPECT_TRUE(h.sortedByFlies);

    // Record i: nick "ni", 100 - i flies, i * 62 + 61 frames (i seconds and 61/62).
    std::string file, time = "Czas:\n", flies = "Muchy:\n";
    auto n = [](int i) { return std::to_string(i); };
    for (int i = 1; i <= 25; i++) file += "n" + n(i) + " " + n(100 - i) + " " + n(i * 62 + 61) + " ";
    for (int i = 25; i > 15; i--) time += n(i) + ".\t n" + n(i) + "\t " + n(i) + "\n";
    for (int i = 1; i <= 10; i++) flies += (i < 10 ? "0" : "") + n(i) + ".\t n" + n(i) + "\t " + n(100 - i) + "\n";
    testutil::writeFile("t.txt", file);
    h.load("t.txt");
    std::unique_ptr<char, void (*)(void*)> t(tableText(h, false), free), f(tableText(h, true), free);
    EXPECT_EQ(std::string(t.get()), time);
    EXPECT_EQ(std::string(f.get()), flies);
    Hiscore empty;
    std::unique_ptr<char, void (*)(void*)> e(tableText(empty, false), free);
    EXPECT_STREQ(e.get(), "Czas:\n");
}

// The Enter that sent the score is still down, and still the frame's event,
// when the screen begins: it must not toggle the view. A later press toggles
// on its release.
TEST_F(ScoresTest, ScoreScreenDownloadsLoadsAndTogglesOnRelease) {
    Responder server({"a 1 620 b 5 1240"});
    scoreServer = server.url();
    gameState = StateScores;
    subState = ScoresStart;
    key(SDLK_RETURN, true);
    const std::string timeView = "Czas:\n02.\t b\t 20\n01.\t a\t 10\n";
    const std::string fliesView = "Muchy:\n02.\t b\t 5\n01.\t a\t 1\n", loading = "Pobieranie wynikow...";
    EXPECT_EQ(frames(scoresFrame, 6),
              (V{at(ScoresDownload, loading), at(ScoresDownloaded, loading), at(ScoresLoad, "Pobrano."),
                 at(ScoresByTime, "Pobrano."), at(ScoresIdle, timeView), at(ScoresIdle, timeView)}));
    EXPECT_EQ(testutil::readFile("dl.txt"), "a 1 620 b 5 1240");
    key(SDLK_RETURN, false);
    EXPECT_EQ(frames(scoresFrame, 2), V(2, at(ScoresIdle, timeView)));
    key(SDLK_SPACE, true);
    EXPECT_EQ(frames(scoresFrame, 3), V(3, at(ScoresKeyDown, timeView)));
    key(SDLK_SPACE, false);
    EXPECT_EQ(frames(scoresFrame, 3),
              (V{at(ScoresByFlies, timeView), at(ScoresIdle, fliesView), at(ScoresIdle, fliesView)}));
    key(SDLK_RETURN, true);
    scoresFrame();
    key(SDLK_RETURN, false);
    EXPECT_EQ(frames(scoresFrame, 2).back(), at(ScoresIdle, timeView));
    EXPECT_EQ(server.requests().size(), 1u) << "toggling does not download again";
}

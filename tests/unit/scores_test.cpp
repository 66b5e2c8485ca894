// Nick entry, the signed body, the response file, the table text, and the
// round-end and score screens against a loopback responder.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "game/panel.h"
#include "game/roundend.h"
#include "game/scorescreen.h"
#include "game/transfer.h"
#include "testutil.h"
#include "worldfix.h"

namespace {

using V = std::vector<std::string>;

// The body for these values, signed by the system's md5sum rather than the game's MD5.
std::string body(int32_t flies, const std::string& nick, int32_t ticks) {
    const std::string f = std::to_string(flies), t = std::to_string(ticks);
    testutil::writeFile("md5.in", f + nick + t + "niebieskiparasolnadrzewa");
    std::unique_ptr<FILE, int (*)(FILE*)> p(popen("md5sum md5.in", "r"), pclose);
    char hex[33] = {0};
    const bool ok = p && fscanf(p.get(), "%32s", hex) == 1;
    return "wysyl=1&wersja=1&nick=" + nick + "&muchy=" + f + "&czas=" + t + "&md5=" + (ok ? hex : "<md5sum failed>");
}

// A socket listening on a free loopback port. Never accepting, it is a server
// that takes the request and stays silent; closed at once, a port with none.
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

// Answers every request with `pieces`, sent apart, the body ending where the
// connection closes. stop() returns the requests, "METHOD PATH|body".
struct Responder {
    explicit Responder(V pieces) : fd(listenLoopback(&url)), thread([this, pieces] {
        char buf[4096];
        for (int c; (c = accept(fd, nullptr, nullptr)) >= 0; close(c)) {
            std::string in;
            for (ssize_t n; in.find("\r\n\r\n") == std::string::npos && (n = recv(c, buf, sizeof buf, 0)) > 0;)
                in.append(buf, size_t(n));
            send(c, "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n", 38, MSG_NOSIGNAL);
            for (const std::string& piece : pieces) {
                std::this_thread::sleep_for(std::chrono::milliseconds(30));
                send(c, piece.data(), piece.size(), MSG_NOSIGNAL);
            }
            shutdown(c, SHUT_WR);  // then the rest of the request, until the client closes
            for (ssize_t n; (n = recv(c, buf, sizeof buf, 0)) > 0;) in.append(buf, size_t(n));
            got.push_back(in.substr(0, in.find(" HTTP/")) + "|" + in.substr(in.find("\r\n\r\n") + 4));
        }
    }) {}
    ~Responder() { stop(), close(fd); }
    V stop() {
        if (thread.joinable()) shutdown(fd, SHUT_RDWR), thread.join();
        return got;
    }
    std::string url;
    int fd;
    V got;
    std::thread thread;
};

Uint8 fakeKeys[SDLK_LAST];

class ScoresTest : public ::testing::Test {
protected:
    void SetUp() override {
        worldfix::freshWorld();
        static Sprite* font = worldfix::plainSprite(96, 8, 8);
        worldfix::registered("hiscores.bmp", 1, 522, 266);
        panelText = Text(64, 160, font, "", 448, 12, 0);
        memset(fakeKeys, 0, sizeof fakeKeys);
        keys = fakeKeys;
        memset(&event, 0, sizeof event);
        nick.clear();
        lastKey = 0;
        if (!curl) curl = curl_easy_init();
        ASSERT_EQ(chdir(testutil::tempDir("scores").c_str()), 0);  // for "dl.txt"
    }
    void key(SDLKey k, bool down) {
        event.type = down ? SDL_KEYDOWN : SDL_KEYUP;
        event.key.keysym.sym = k;
        fakeKeys[k] = down;
    }
    // Runs n frames of a screen; after each, "sub-state|panel text" of the screen then current.
    static V frames(void (*frame)(), int n) {
        V out;
        while (n-- > 0) {
            frame();
            out.push_back(at(gameState == StateRoundEnd ? int(roundEndState) : int(scoresState), panelText.text));
        }
        return out;
    }
    static std::string at(int state, const std::string& text) { return std::to_string(state) + "|" + text; }
};

std::string endText(int flies, int seconds, const std::string& tail) {
    return "Pokonanych much: " + std::to_string(flies) + "\nPrzetrwano: " + std::to_string(seconds) + "s\n\n" + tail;
}

}  // namespace

TEST_F(ScoresTest, NickEntry) {
    auto tap = [](int32_t key, bool shift) { nickEntry(true, key, shift, false), nickEntry(false, 0, shift, false); };
    for (const auto& [key, shift, want] : std::initializer_list<std::tuple<int32_t, bool, const char*>>{
             {'k', false, "k"}, {'a', true, "kA"}, {'-', true, "kA_"}, {'-', false, "kA_"}, {'7', false, "kA_7"},
             {'5', true, "kA_75"},  // Shift on a digit still enters the digit
             {' ', false, "kA_75"}, {'=', true, "kA_75"}, {SDLK_KP1, false, "kA_75"},
             {SDLK_BACKSPACE, false, "kA_7"}}) {
        tap(key, shift);
        EXPECT_EQ(nick, want) << "key " << key;
    }
    for (int i = 0; i < 5; i++) tap(SDLK_BACKSPACE, false);
    EXPECT_TRUE(nick.empty());
    EXPECT_FALSE(nickEntry(true, SDLK_RETURN, false, true)) << "an empty nick is not sent";

    nickEntry(true, 'k', false, false);
    nickEntry(true, 'k', false, false);  // the same press, still the frame's event
    nickEntry(false, 0, false, false);
    nickEntry(true, 'k', false, false);
    nickEntry(true, 'o', false, false);  // another key without a release between
    EXPECT_EQ(nick, "kko");
    for (int i = 0; i < 30; i++) tap('a' + i % 26, false);
    tap('-', true);
    EXPECT_EQ(nick, "kkoabcdefghijklmnopqrstuvwxyzab");
    EXPECT_TRUE(nickEntry(true, SDLK_RETURN, false, true));
}

TEST_F(ScoresTest, ResponseReplacesThenAppendsUpToOneMebibyte) {
    testutil::writeFile("dl.txt", "old table");
    char a[] = "kot 12 ", b[] = "3600 pies";
    beginResponse();
    EXPECT_EQ(writeResponse(a, 1, 7, nullptr), 7u);
    EXPECT_EQ(writeResponse(b, 3, 3, nullptr), 9u);
    beginResponse();  // a transfer with no body leaves the file alone
    EXPECT_EQ(testutil::readFile("dl.txt"), "kot 12 3600 pies");

    std::vector<char> big(maxResponseBytes, 'x');
    EXPECT_EQ(writeResponse(big.data(), 1, maxResponseBytes - 1, nullptr), maxResponseBytes - 1);
    EXPECT_EQ(writeResponse(big.data(), 1, 1, nullptr), 1u) << "exactly 1 MiB is allowed";
    EXPECT_EQ(writeResponse(big.data(), 1, 1, nullptr), 0u);
    EXPECT_EQ(testutil::readFile("dl.txt").size(), maxResponseBytes);

    ASSERT_EQ(remove("dl.txt"), 0);
    ASSERT_EQ(mkdir("dl.txt", 0755), 0);  // an unwritable file aborts the transfer
    beginResponse();
    EXPECT_EQ(writeResponse(a, 1, 1, nullptr), 0u);
}

// Ten rows at most, the time in whole seconds of 62 frames.
TEST_F(ScoresTest, TableTextOfNoneAndOfTwentyFiveRecords) {
    Hiscore h;
    EXPECT_EQ(tableText(h, false), "Czas:\n");
    // Record i: nick "ni", i seconds and 61 frames.
    std::string file, want = "Czas:\n";
    for (int i = 1; i <= 25; i++) file += "n" + std::to_string(i) + " 1 " + std::to_string(i * 62 + 61) + " ";
    for (int i = 25; i > 15; i--)
        want += std::to_string(i) + ".\t n" + std::to_string(i) + "\t " + std::to_string(i) + "\n";
    testutil::writeFile("t.txt", file);
    h.load("t.txt");
    EXPECT_EQ(tableText(h, false), want);
}

// A server that takes the request and stays silent is given up after 10 s.
TEST_F(ScoresTest, SilentServerFailsTheDownloadInTime) {
    std::string url;
    const int silent = listenLoopback(&url);
    scoreServer = url.c_str();
    scoresState = ScoresStart;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(frames(scoresFrame, 3).back(), at(ScoresFailed, "Nie udalo sie pobrac wynikow."));
    const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_TRUE(s > 9 && s < 13) << s;
    close(silent);
}

// The longest body fits the panel text it is built in. The post waits a frame,
// so "Wysylanie wyniku..." is drawn first. The table then comes by GET, though
// the handle still holds the post's fields.
TEST_F(ScoresTest, RoundEndPostsTheSignedScoreThenTheTableIsFetchedByGet) {
    Responder server({"Kot 12 3600", " pies 7 1800"});
    scoreServer = server.url.c_str();
    gameState = StateRoundEnd;
    roundEndState = EndNick;
    kills = INT32_MAX;
    roundTicks = INT32_MAX - 1;
    const std::string name(31, 'Z'), sending = endText(kills, roundTicks / 60, "Wysylanie wyniku...");
    nick = name;
    key(SDLK_RETURN, true);
    EXPECT_EQ(frames(roundEndFrame, 1), (V{at(EndSending, endText(kills, roundTicks / 60, "Wpisz nick: " + name))}));
    key(SDLK_RETURN, false);
    EXPECT_EQ(frames(roundEndFrame, 3),
              (V{at(EndPost, sending), at(EndSent, sending), at(ScoresStart, endText(0, 0, "Wyslano."))}));
    EXPECT_EQ(gameState, StateScores);
    frames(scoresFrame, 2);
    EXPECT_EQ(server.stop(), (V{"POST /bzykolot4.php|" + body(INT32_MAX, name, INT32_MAX - 1), "GET /bzykolot4.wtf|"}));
    EXPECT_EQ(testutil::readFile("dl.txt"), "Kot 12 3600 pies 7 1800");
}

// The Enter that sent the score is still the frame's event when the screen
// begins: its release must not toggle the view. Any later key does, unmapped
// ones too, on release.
TEST_F(ScoresTest, ScoreScreenShowsByTimeAndTogglesOnRelease) {
    Responder server({"a 1 620 b 5 1239"});
    scoreServer = server.url.c_str();
    scoresState = ScoresStart;
    key(SDLK_RETURN, true);
    const std::string byTime = "Czas:\n02.\t b\t 19\n01.\t a\t 10\n", byFlies = "Muchy:\n02.\t b\t 5\n01.\t a\t 1\n";
    EXPECT_EQ(frames(scoresFrame, 6),
              (V{at(ScoresDownload, "Pobieranie wynikow..."), at(ScoresDownloaded, "Pobieranie wynikow..."),
                 at(ScoresLoad, "Pobrano."), at(ScoresByTime, "Pobrano."), at(ScoresIdle, byTime),
                 at(ScoresIdle, byTime)}));
    key(SDLK_RETURN, false);
    EXPECT_EQ(frames(scoresFrame, 1), (V{at(ScoresIdle, byTime)}));
    key(SDLK_UNKNOWN, true);
    EXPECT_EQ(frames(scoresFrame, 2), V(2, at(ScoresKeyDown, byTime)));
    key(SDLK_UNKNOWN, false);
    EXPECT_EQ(frames(scoresFrame, 2), (V{at(ScoresByFlies, byTime), at(ScoresIdle, byFlies)}));
    key(SDLK_RETURN, true);
    scoresFrame();
    key(SDLK_RETURN, false);
    EXPECT_EQ(frames(scoresFrame, 2).back(), at(ScoresIdle, byTime));
}

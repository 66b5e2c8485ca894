// Nick entry, the response file, the table text, and the round-end and score
// screens against a loopback responder.
#include <arpa/inet.h>
#include <sys/stat.h>
#include <unistd.h>

#include <httplib.h>

#include <thread>

#include "base/signature.h"
#include "game/panel.h"
#include "game/roundend.h"
#include "game/scorescreen.h"
#include "game/transfer.h"
#include "worldfix.h"

namespace {

using V = std::vector<std::string>;

// A socket listening on a free loopback port: never accepting, it is a server
// that takes the request and stays silent; closed at once, a port with none.
int listenLoopback(std::string* url) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    socklen_t len = sizeof addr;
    addr.sin_family = AF_INET, addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd, reinterpret_cast<sockaddr*>(&addr), len), listen(fd, 8), getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    *url = "http://127.0.0.1:" + std::to_string(ntohs(addr.sin_port));
    return fd;
}

// Answers every request with `body`; stop() returns the requests, "METHOD PATH|body".
struct Responder {
    explicit Responder(const std::string& body) {
        auto answer = [this, body](const httplib::Request& q, httplib::Response& r) {
            got.push_back(q.method + " " + q.path + "|" + q.body), r.set_content(body, "text/plain");
        };
        http.Get(".*", answer), http.Post(".*", answer), http.set_keep_alive_max_count(1);
        url = "http://127.0.0.1:" + std::to_string(http.bind_to_any_port("127.0.0.1"));
        thread = std::thread([this] { http.listen_after_bind(); });
    }
    ~Responder() { stop(); }
    V stop() { return thread.joinable() ? (http.stop(), thread.join(), got) : got; }
    httplib::Server http;
    std::string url;
    V got;
    std::thread thread;
};

Uint8 fakeKeys[SDLK_LAST];

class Scores : public worldfix::World {
protected:
    void SetUp() override {
        World::SetUp();
        panelText = Text(300, 200, worldfix::plainSprite(96, 8, 8), "", 448, 12, 0);
        memset(fakeKeys, 0, sizeof fakeKeys), memset(&event, 0, sizeof event), keys = fakeKeys, nick.clear(), lastKey = 0;
        if (!curl) curl = curl_easy_init();
    }
    static void key(SDLKey k, bool down) { event.type = down ? SDL_KEYDOWN : SDL_KEYUP, event.key.keysym.sym = k, fakeKeys[k] = down; }
    // Runs n frames of a screen; after each, "sub-state|panel text" of the screen then current.
    static V frames(void (*frame)(), int n) {
        V out;
        while (n-- > 0) frame(), out.push_back(at(gameState == StateRoundEnd ? int(roundEndState) : int(scoresState), panelText.text));
        return out;
    }
    static std::string at(int state, const std::string& text) { return std::to_string(state) + "|" + text; }
};

std::string endText(int flies, int seconds, const std::string& tail) {
    return "Pokonanych much: " + std::to_string(flies) + "\nPrzetrwano: " + std::to_string(seconds) + "s\n\n" + tail;
}

TEST_F(Scores, NickTakesEachPressOnceWithinItsCharactersAndLength) {
    auto tap = [](int32_t key, bool shift) { nickEntry(true, key, shift, false), nickEntry(false, 0, shift, false); };
    const struct { int32_t key; bool shift; const char* want; } rows[] = {{'k', false, "k"}, {'a', true, "kA"}, {'-', true, "kA_"},
        {'-', false, "kA_"}, {'7', false, "kA_7"}, {'5', true, "kA_75"}, {' ', false, "kA_75"}, {'=', true, "kA_75"},
        {SDLK_KP1, false, "kA_75"}, {SDLK_BACKSPACE, false, "kA_7"}};
    for (const auto& r : rows) {
        tap(r.key, r.shift);
        EXPECT_EQ(nick, r.want) << "key " << r.key;
    }
    for (int i = 0; i < 5; i++) tap(SDLK_BACKSPACE, false);
    EXPECT_TRUE(nick.empty() && !nickEntry(true, SDLK_RETURN, false, true)) << "an empty nick is not sent";
    nickEntry(true, 'k', false, false), nickEntry(true, 'k', false, false);  // the same press, still the frame's event
    nickEntry(false, 0, false, false), nickEntry(true, 'k', false, false), nickEntry(true, 'o', false, false);  // no release between
    for (int i = 0; i < 30; i++) tap('a' + i % 26, false);
    EXPECT_EQ(nick, "kkoabcdefghijklmnopqrstuvwxyzab");
    EXPECT_TRUE(nickEntry(true, SDLK_RETURN, false, true));
}

TEST_F(Scores, ResponseReplacesThenAppendsUpToOneMebibyte) {
    char a[] = "kot 12 ", b[] = "3600 pies";
    testutil::writeFile("dl.txt", "old table"), beginResponse();
    EXPECT_EQ(writeResponse(a, 1, 7, nullptr), 7u);
    EXPECT_EQ(writeResponse(b, 3, 3, nullptr), 9u);
    beginResponse();  // a transfer with no body leaves the file alone
    EXPECT_EQ(testutil::readFile("dl.txt"), "kot 12 3600 pies");
    std::vector<char> big(maxResponseBytes, 'x');
    EXPECT_EQ(writeResponse(big.data(), 1, maxResponseBytes - 1, nullptr), maxResponseBytes - 1);
    EXPECT_EQ(writeResponse(big.data(), 1, 1, nullptr), 1u) << "exactly 1 MiB is allowed";
    EXPECT_EQ(writeResponse(big.data(), 1, 1, nullptr), 0u);
    EXPECT_EQ(testutil::readFile("dl.txt").size(), maxResponseBytes);
    ASSERT_TRUE(remove("dl.txt") == 0 && mkdir("dl.txt", 0755) == 0);  // an unwritable file aborts the transfer
    beginResponse();
    EXPECT_EQ(writeResponse(a, 1, 1, nullptr), 0u);
    rmdir("dl.txt");
}

TEST_F(Scores, TableShowsTenRowsOfPrintableNicksWithTheTimeInWholeSeconds) {
    Hiscore h;
    std::string file, want = "Czas:\n", none = tableText(h, false);  // record i: nick "ni", i seconds and 61 frames
    for (int i = 1; i <= 25; i++) file += "n" + std::to_string(i) + " 1 " + std::to_string(i * 62 + 61) + " ";
    for (int i = 25; i > 15; i--) want += std::to_string(i) + ".\t n" + std::to_string(i) + "\t " + std::to_string(i) + "\n";
    testutil::writeFile("t.txt", file), h.load("t.txt");
    EXPECT_EQ(none + "|" + tableText(h, false), "Czas:\n|" + want);
    // A downloaded nick is one row of printable bytes, at most 31; the table keeps what came.
    h.records = {{1, "ab\tc\nd\x01\x7f\xc3\xa9~ Z", 5, 0}, {2, std::string(32, 'x'), 3, 0}};
    EXPECT_EQ(tableText(h, true), "Muchy:\n01.\t ab?c?d????~ Z\t 5\n02.\t " + std::string(31, 'x') + "\t 3\n");
    EXPECT_EQ(h.records[0].nick, "ab\tc\nd\x01\x7f\xc3\xa9~ Z");
}

// The post waits a frame, so "Wysylanie wyniku..." is drawn first; a failed
// post asks again. The table then comes by GET, though the handle still holds
// the post's fields.
TEST_F(Scores, RoundEndPostsTheSignedScoreAgainOnEnterThenTheTableIsFetchedByGet) {
    std::string dead;
    close(listenLoopback(&dead)), scoreServer = dead.c_str(), startRoundEnd();
    kills = INT32_MAX, roundTicks = INT32_MAX - 1, nick = std::string(31, 'Z');  // the longest text fits
    const std::string sending = endText(kills, roundTicks / 60, "Wysylanie wyniku...");
    const std::string failed = endText(kills, roundTicks / 60, "Nie udalo sie wyslac. Wyslac ponownie? (Enter/Escape)");
    key(SDLK_RETURN, true);
    EXPECT_EQ(frames(roundEndFrame, 1), (V{at(EndSending, endText(kills, roundTicks / 60, "Wpisz nick: " + nick))}));
    key(SDLK_RETURN, false);
    EXPECT_EQ(frames(roundEndFrame, 4), (V{at(EndPost, sending), at(EndFailed, sending), at(EndFailed, failed), at(EndFailed, failed)}));
    Responder server("Kot 12 3600 pies 7 1800");
    scoreServer = server.url.c_str(), key(SDLK_RETURN, true);
    EXPECT_EQ(frames(roundEndFrame, 4), (V{at(EndSending, failed), at(EndPost, sending), at(EndSent, sending),
                                           at(ScoresStart, endText(0, 0, "Wyslano."))}));
    ASSERT_EQ(gameState, StateScores);
    frames(scoresFrame, 2);
    EXPECT_EQ(server.stop(), (V{"POST /bzykolot4.php|" + scoreBody(INT32_MAX, nick, INT32_MAX - 1), "GET /bzykolot4.wtf|"}));
    EXPECT_EQ(testutil::readFile("dl.txt"), "Kot 12 3600 pies 7 1800");
}

// The Enter that sent the score is still the frame's event when the screen
// begins: its release must not toggle the view. Any later key does, unmapped
// ones too, on release.
TEST_F(Scores, ScoreScreenShowsByTimeAndTogglesOnRelease) {
    Responder server("a 1 620 b 5 1239");
    scoreServer = server.url.c_str(), startScores(), key(SDLK_RETURN, true);
    const std::string byTime = "Czas:\n02.\t b\t 19\n01.\t a\t 10\n", byFlies = "Muchy:\n02.\t b\t 5\n01.\t a\t 1\n";
    EXPECT_EQ(frames(scoresFrame, 6), (V{at(ScoresDownload, "Pobieranie wynikow..."), at(ScoresDownloaded, "Pobieranie wynikow..."),
                                         at(ScoresLoad, "Pobrano."), at(ScoresByTime, "Pobrano."), at(ScoresIdle, byTime),
                                         at(ScoresIdle, byTime)}));
    key(SDLK_RETURN, false);
    EXPECT_EQ(frames(scoresFrame, 1), (V{at(ScoresIdle, byTime)}));
    key(SDLK_UNKNOWN, true);
    EXPECT_EQ(frames(scoresFrame, 2), V(2, at(ScoresKeyDown, byTime)));
    key(SDLK_UNKNOWN, false);
    EXPECT_EQ(frames(scoresFrame, 2), (V{at(ScoresByFlies, byTime), at(ScoresIdle, byFlies)}));
    key(SDLK_RETURN, true), scoresFrame(), key(SDLK_RETURN, false);
    EXPECT_EQ(frames(scoresFrame, 2).back(), at(ScoresIdle, byTime));
    worldfix::blank(), worldfix::resetDirty(), drawScorePanel();  // the panel 5 px around the text, hot spot in its middle
    EXPECT_TRUE(worldfix::shown(34, 62).first == 0 && worldfix::shown(33, 62).first == -1 && worldfix::shown(34, 61).first == -1 && worldfix::marked(295, 195, 345, 266));
}

}  // namespace

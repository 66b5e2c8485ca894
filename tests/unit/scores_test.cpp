// Nick entry, the response file, the table text and its panel, and the
// round's recording sent after its score to a server on loopback. (The
// screens' flow with the real server is the round's end-to-end road.)
#include <sys/stat.h>
#include <unistd.h>

#include <httplib.h>

#include <thread>

#include "game/frame.h"
#include "game/panel.h"
#include "game/recorder.h"
#include "game/roundend.h"
#include "game/scorescreen.h"
#include "game/transfer.h"
#include "gamefix.h"

namespace {

using namespace gamefix;

TEST_F(Game, NickTakesEachPressOnceWithinItsCharactersAndLength) {
    auto tap = [](int32_t key, bool shift) { nickEntry(true, key, shift, false), nickEntry(false, 0, shift, false); };
    nick.clear(), lastKey = 0;
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

TEST_F(Game, ResponseReplacesThenAppendsUpToOneMebibyte) {
    char a[] = "kot 12 ", b[] = "3600 pies";
    testutil::writeFile("dl.txt", "old table"), beginResponse();
    EXPECT_EQ(writeResponse(a, 1, 7, nullptr), 7u);
    EXPECT_EQ(writeResponse(b, 3, 3, nullptr), 9u);
    beginResponse();  // a transfer with no body leaves the file alone
    EXPECT_EQ(testutil::readFile("dl.txt"), "kot 12 3600 pies");
    const size_t mib = 1 << 20;
    std::vector<char> big(mib, 'x');
    EXPECT_EQ(writeResponse(big.data(), 1, mib - 1, nullptr), mib - 1);
    EXPECT_EQ(writeResponse(big.data(), 1, 1, nullptr), 1u) << "exactly 1 MiB is allowed";
    EXPECT_EQ(writeResponse(big.data(), 1, 1, nullptr), 0u);
    EXPECT_EQ(testutil::readFile("dl.txt").size(), mib);
    ASSERT_TRUE(remove("dl.txt") == 0 && mkdir("dl.txt", 0755) == 0);  // an unwritable file aborts the transfer
    beginResponse();
    EXPECT_EQ(writeResponse(a, 1, 1, nullptr), 0u);
    rmdir("dl.txt");
}

TEST_F(Game, TableShowsTenRowsOfPrintableNicksWithTheTimeInWholeSeconds) {
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
    panelText = Text(300, 200, plainSprite(96, 8, 8), "", 448, 12, 0), scoreMessage = "Pobrano.", blank(), resetDirty(), drawScorePanel();
    EXPECT_TRUE(panelText.text == "Pobrano." && shown(34, 62) == std::make_pair(0, 0) && shown(33, 62).first == -1 &&  // 5 px around the text
                shown(34, 61).first == -1 && marked(295, 195, 345, 266));
}

// A score server on loopback: takes every score, answers recordings with `status` and `reason`.
struct FakeServer {
    FakeServer() {
        http.Post("/bzykolot4.php", [](const httplib::Request&, httplib::Response& res) { res.set_content("Zapisano", "text/plain"); });
        http.Post("/replays", [this](const httplib::Request& req, httplib::Response& res) {
            got.push_back(req.body), res.status = status, res.set_content(reason, "text/plain");
        });
        port = http.bind_to_any_port("127.0.0.1"), thread = std::thread([this] { http.listen_after_bind(); });
        url = "http://127.0.0.1:" + std::to_string(port), scoreServer = url.c_str();  // bound and listening
    }
    ~FakeServer() { http.stop(), thread.join(); }
    httplib::Server http;
    std::thread thread;
    int port = 0, status = 202;
    std::string url, reason = "queued";
    std::vector<std::string> got;  // the recordings it was sent
};

// A lost round recorded, then its score sent as "Kot"; returns the panel's text after the send.
std::string sendRound() {
    startRound(), kills = 3, roundTicks = 98;
    for (int f = 0; f < 100; ++f) (f == 99 ? roundLost() : void()), recordStep();
    gameState = StateRoundEnd, roundEndState = EndPost, nick = "Kot", frameInput = FrameInput();
    roundEndFrame(), roundEndFrame();
    return panelText.text;
}

TEST_F(Game, RecordingFollowsItsScoreAndTheServersAnswerShowsOnThePanel) {
    gfxDigest = "00112233445566778899aabbccddeeff", panelText = Text(0, 0, plainSprite(96, 8, 8), "", 448, 12, 0);
    if (!curl) curl = curl_easy_init();
    FakeServer server;
    EXPECT_EQ(sendRound(), "Pokonanych much: 0\nPrzetrwano: 0s\n\nWyslano.\nNagranie wyslane: wynik trafi do tabeli po sprawdzeniu.");
    ASSERT_EQ(server.got.size(), 1u);
    EXPECT_EQ(server.got[0], testutil::readFile(lastRecordingPath())) << "the file, with its nick";
    Replay r;
    EXPECT_TRUE(decodeReplay(server.got[0], r, nullptr) && r.nick == "Kot" && r.flies == 3 && r.time == 98);
    for (int f = 0; f < kShownFrames; ++f) roundEndFrame();
    EXPECT_EQ(gameState, StateScores) << "the line is read, then the table";
    server.status = 422, server.reason = "unknown game data\nmore";
    EXPECT_NE(sendRound().find("\nNagranie odrzucone: unknown game data"), std::string::npos);
    server.status = 404;
    EXPECT_TRUE(sendRound().find("Nagranie") == std::string::npos && gameState == StateScores) << "an older server: as before";
    server.status = 503;  // the score taken, the recording not
    EXPECT_NE(sendRound().find("\nNagranie czeka na wyslanie."), std::string::npos);
    const std::string waiting = lastRecordingPath();
    EXPECT_EQ(testutil::readFile("replays/unsent.txt"), waiting + "\n");
    server.status = 202, server.got.clear(), sendRound();
    EXPECT_TRUE(server.got.size() == 2 && server.got[0] == testutil::readFile(waiting) && !std::ifstream("replays/unsent.txt"))
        << "the one that waited goes first, then none waits";
    scoreServer = SCORE_SERVER;
}

}  // namespace

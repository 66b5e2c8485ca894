// The game around the rules: a new round and its start, the world and the
// ring drawn as the rules left them, the menu and the frame's head.
#include <cmath>
#include <filesystem>
#include <fstream>

#include "game/frame.h"
#include "game/input.h"
#include "game/options.h"
#include "game/transfer.h"
#include "game/panel.h"
#include "game/recorder.h"
#include "game/watch.h"
#include "game/scorescreen.h"
#include "gamefix.h"
#include "world/weapon.h"

using namespace gamefix;

namespace {

TEST_F(Game, ResetWarpsToTheCentreAndStartDrawsTheRoundsSeedFromRand) {
    health = 0, kills = roundTicks = ammo[2] = 33, menuChoice = 2, gameState = StatePlay;
    putMouse(17, 19), resetRound();
    EXPECT_EQ(std::vector<int>({gameState, health, kills, ammo[2], menuChoice, mouseX, mouseY}),
              std::vector<int>({StateMenu, 6, 0, 0, -1, W / 2, H / 2}));
    srand(5);
    const int seed = rand();
    Rng expected;
    expected.seed(unsigned(seed)), srand(5), startRound();
    EXPECT_TRUE(gameState == StatePlay && fullUpdate && roundRng.next() == expected.next()) << "one rand() seeds the round";
    const size_t before = flies.size();
    roundTicks = 59, dispatchState();  // the play block runs in the frame's dispatch: the 60th frame spawns
    EXPECT_EQ(flies.size(), before + 1);
}

TEST_F(Game, WorldIsDrawnAsTheRulesLeftItAndTheRingWithItsIconsAndHudLine) {
    Explosion* e = spawnExplosion(100, 100, findSheet("wybuch01.bmp"), gravity, drag, 0, false);
    for (int u = 1; u <= 33; ++u) {  // shown 32 updates; in its last, only its box is marked
        blank(), worldPass();
        ASSERT_EQ(shown(100, 100), u < 33 ? std::make_pair(int(e->animIndex), int(e->frame)) : std::make_pair(-1, -1)) << u;
    }
    auto fly = std::make_unique<Mucha>(0, 0, 0, flySprite, gravity, drag);
    fly->x = -0.5f, fly->y = 100.5f, fly->hp = 50, addFly(std::move(fly)), blank(), worldPass();  // a still fly
    const Mucha& f = *flies.back();  // drawn at floorf(-0.5) = -1: its 10 px box from x = -6 to 3
    EXPECT_TRUE(shown(3, 95).first == f.animIndex && shown(4, 95).first == -1 && shown(3, 94).first == -1);
    kills = 7, roundTicks = 620, ringOpen = false, putMouse(W / 2, H / 2), ammo[KindFlame] = 1, weaponDelay = 0;
    frameInput.player.buttons = kRightButton, blank(), weaponRing();
    EXPECT_EQ(hudText.text, "007    010");
    // Icon 0 straight below the centre, icon 3 straight above: 30 px each; the flame's available.
    EXPECT_TRUE(shown(ringX, ringY + 40 + 14).first == 0 && shown(ringX, ringY + 40 + 15).first == -1);
    EXPECT_TRUE(shown(ringX - 15, ringY - 40).first == 0 && shown(ringX - 16, ringY - 40).first == -1);
    int32_t ix, iy;
    EXPECT_EQ((ringIconAt(KindFlame, ringX, ringY, ix, iy), shown(ix, iy).first), 1);
    frameInput.player.buttons = 0, fullUpdate = false, blank(), weaponRing();
    EXPECT_TRUE(fullUpdate && shown(ix, iy).first == -1) << "closed: nothing drawn, the whole screen presented";
}

TEST_F(Game, LostRoundsAreWrittenNamedAgainWithTheNickAndThinnedOutAFailedWriteOnlyLogged) {
    auto play = [](int frames) {  // a round whose last frame is `frames` - 1
        startRound(), kills = 12, roundTicks = frames - 2;
        for (int f = 0; f < frames; ++f) (f == frames - 1 ? roundLost() : void()), recordStep();
    };
    gfxDigest = "00112233445566778899aabbccddeeff", testutil::writeFile("replays", "");  // no folder can be made there
    testutil::CaptureStdout cap;
    play(70);
    EXPECT_NE(cap.stop().find("FAIL: Replay: Nie udalo sie zapisac nagrania replays/"), std::string::npos);
    remove("replays"), play(130), nameRecording("Kot");
    Replay r;
    std::string why;
    ASSERT_TRUE(decodeReplay(testutil::readFile(lastRecordingPath()), r, &why)) << why;
    EXPECT_TRUE(r.frames.size() == 130 && r.checksums.size() == 3 && r.flies == 12 && r.time == 128 && r.nick == "Kot" &&
                r.width == W && r.gfxDigest == gfxDigest && r.frames[0].x == W / 2) << lastRecordingPath();
    EXPECT_EQ(lastRecordingPath(), "replays/" + recordingName(r));
    // 120 older ones: the newest 100 of all stay, and of the rest the best by flies (3) and by time (4).
    auto name = [](int i) {
        return "replays/2025" + std::to_string(10000 + i).substr(1) + "-000000-f" + (i == 3 ? "999" : "5") + "-t" +
               (i == 4 ? "99999" : std::to_string(i)) + ".bzr";
    };
    for (int i = 0; i < 120; ++i) testutil::writeFile(name(i), "");
    pruneRecordings("replays");
    std::vector<int> gone;
    for (int i = 0; i < 120; ++i)
        if (!std::ifstream(name(i))) gone.push_back(i);
    EXPECT_EQ(gone, (std::vector<int>{0, 1, 2, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20}));
    const std::string first = lastRecordingPath();
    play(130);  // the same score, most likely in the same second: a name of its own
    EXPECT_TRUE(lastRecordingPath() != first && std::ifstream(first) && std::ifstream(lastRecordingPath())) << first;
}

// Frames of the game as the loop runs them, without the wait: the pointer
// wandering round the middle (put there before each frame's head), Escape
// held in frame 10 if asked.
class Frames : public FrameProbe {
public:
    explicit Frames(bool escape = false) : escape_(escape) {}
    bool before(FrameStep s) override {
        if (s == StepHead) {
            putMouse(W / 2 + 9 * (frame_ % 7) - 27, H / 2 + 11 * (frame_ % 13) - 66);
            keys[SDLK_ESCAPE] = escape_ && frame_ == 10;
        }
        return s != StepPace;
    }
    void after(FrameStep s) override { frame_ += s == StepPace; }
    int frame_ = 0;

private:
    const bool escape_;
};

// Runs frames until the loop would stop (or, when asked, a round ends; or 3000); returns how many and the log.
std::pair<int, std::string> run(Frames&& f, bool toRoundEnd = false) {
    testutil::CaptureStdout cap;
    for (running = true; running && !(toRoundEnd && gameState == StateRoundEnd) && f.frame_ < 3000;) runFrame(&f);
    keys[SDLK_ESCAPE] = 0;
    return {f.frame_, cap.stop()};
}

TEST_F(Game, WatchedRecordingPlaysTheRoundAgainChecksItShowsItsScoreAndEndsOnEscape) {
    gfxDigest = "00112233445566778899aabbccddeeff", srand(5);
    const uint32_t seed = uint32_t(rand());
    srand(5), gameState = StateMenu, menuChoice = 0;  // the start button released in the first frame
    run(Frames(), true);  // the start, then the round to its end, the flies stinging the pointer
    const Replay r = lastRecording();
    const size_t n = r.frames.size();
    ASSERT_TRUE(n > 200 && r.seed == seed && r.flies == kills && r.time == roundTicks) << n;
    gameState = StateScores, watchReplay(r);  // whatever the game showed before
    auto [frames, log] = run(Frames());
    EXPECT_TRUE(frames == int(n) + 125 && kills == r.flies && roundTicks == r.time && log.find("FAIL") == std::string::npos)
        << frames << log;  // its score for two seconds after the round
    EXPECT_EQ(panelText.text, "Pokonanych much: " + std::to_string(r.flies) + "\nPrzetrwano: " + std::to_string(r.time / 60) +
                                  "s\n\nKoniec nagrania.");
    Replay changed = r;
    changed.checksums[1] ^= 1;
    watchReplay(changed), log = run(Frames()).second;
    EXPECT_TRUE(log.find("FAIL: Replay: Nagranie rozjechalo sie w klatce 127\n") != std::string::npos &&
                log.find("FAIL") == log.rfind("FAIL")) << log;
    watchReplay(r);
    EXPECT_EQ(run(Frames(true)).first, 11) << "Escape ends it";
}

TEST_F(Game, ScoreServerComesFromTheOptionTheEnvironmentThePlayersFileOrTheBuild) {
    const std::string dir = std::filesystem::absolute(testutil::tempDir("config")).string(), file = dir + "/bzykolot2/bzykolot2.conf";
    std::filesystem::create_directories(dir + "/bzykolot2");
    setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
    const bool systemFile = std::ifstream(BZK_SYSCONF_DIR "/bzykolot2/bzykolot2.conf").good();
    const struct { const char *option, *env, *conf, *server, *log; } rows[] = {
        {"http://opt:1", "http://env:2", "server = http://file:3", "http://opt:1", "(z --server)"},
        {"", "http://env:2", "server = http://file:3", "http://env:2", "(z BZYKOLOT2_SERVER)"},
        {"", "", "# a group's\n\n server = http://file:3/game \n", "http://file:3/game", "(z %s)"},
        {"", "ftp://env", "server=https://file:4", "https://file:4", "BZYKOLOT2_SERVER: ftp://env to nie adres"},
        {"", "", "server http://file:3", SCORE_SERVER, "Pominieto %s: line 1 is not \"key = value\""},
        {"", "", "server = gopher://file", SCORE_SERVER, "Pominieto %s: server = gopher://file to nie adres"},
        {"", "", "server = https://:4", SCORE_SERVER, "Pominieto %s: server = https://:4 to nie adres"},
        {"", "", "server =", SCORE_SERVER, "Pominieto %s: line 1 is not \"key = value\""},
        {"", "", "colour = blue", SCORE_SERVER, ""}};
    for (const auto& r : rows) {
        r.env[0] ? setenv("BZYKOLOT2_SERVER", r.env, 1) : unsetenv("BZYKOLOT2_SERVER");
        testutil::writeFile(file, r.conf);
        testutil::CaptureStdout cap;
        chooseServer(r.option);
        const std::string log = cap.stop();
        char want[256];
        snprintf(want, sizeof want, r.log, file.c_str());
        if (!systemFile || r.server != std::string(SCORE_SERVER)) {
            EXPECT_EQ(std::string(scoreServer), r.server) << r.conf;
        }
        EXPECT_TRUE(*want ? log.find(want) != std::string::npos : log.empty()) << log;
    }
    // A file that is there but cannot be read is said too.
    std::filesystem::remove(file), std::filesystem::create_directory(file);
    testutil::CaptureStdout cap;
    chooseServer("");
    EXPECT_NE(cap.stop().find("Pominieto " + file + ": nie da sie go przeczytac (Is a directory)"), std::string::npos);
    unsetenv("BZYKOLOT2_SERVER"), unsetenv("XDG_CONFIG_HOME"), scoreServer = SCORE_SERVER;
    // The command line takes an address, and refuses what is none (2).
    Options o;
    char prog[] = "bzykolot2", opt[] = "--server", good[] = "https://opt:5", bad[] = "gopher://x";
    char* argv[][3] = {{prog, opt, good}, {prog, opt, bad}};
    EXPECT_TRUE(parseOptions(3, argv[0], o) == -1 && o.server == good);
    EXPECT_EQ(parseOptions(3, argv[1], o), 2);
}

TEST_F(Game, MenuButtonsAreHalfOpenBoxesAndTheOneHeldLastActsOnRelease) {
    const int hw = W / 2, hh = H / 2, top = hh - 95;
    const struct { int dx, y, want; } boxes[] = {  // rows top..hh-1; start, scores and quit
        {-60, top, 0},  {-60, top - 1, -1}, {-60, hh - 1, 0}, {-60, hh, -1}, {-80, top, -1}, {-79, top, 0}, {-49, top, 0},
        {-48, top, -1}, {-16, top, -1}, {-15, top, 1}, {15, top, 1}, {16, top, -1}, {48, top, -1},  {49, top, 2},
        {79, top, 2},   {80, top, -1}};
    for (const auto& b : boxes) EXPECT_EQ(menuHit(hw + b.dx, b.y, hw, hh), b.want) << b.dx << "," << b.y;
    // Dragged off start (released over it too late), moved onto start while held, scores, quit.
    const struct { std::vector<int> heldDx; int releaseDx; GameState state; bool running, full; } rows[] = {
        {{-60, 300}, -60, StateMenu, true, false}, {{300, -60}, 300, StatePlay, true, true}, {{0}, 0, StateScores, true, true},
        {{60}, 60, StateMenu, false, false}};
    for (const auto& r : rows) {
        gameState = StateMenu, running = true, health = 0, menuChoice = -1, scoresState = ScoresLoad;
        for (int dx : r.heldDx) menuInput(true, hw + dx, hh - 10);
        fullUpdate = false, menuInput(false, hw + r.releaseDx, hh - 10);
        EXPECT_EQ(std::make_tuple(gameState, running, fullUpdate, health, scoresState),
                  std::make_tuple(r.state, r.running, r.full, r.state == StatePlay ? 6 : 0,
                                  r.state == StateScores ? ScoresStart : ScoresLoad)) << r.releaseDx;
        EXPECT_TRUE(!r.full || menuChoice == -1) << r.releaseDx;
    }
    gameState = StateMenu, menuChoice = -1, putMouse(hw - 60, hh - 10), resetDirty(), blank(), dispatchState();  // pointer on start, none held
    EXPECT_TRUE(shown(hw - 64, hh - 1) == std::make_pair(0, 0) && shown(hw, hh - 1) == std::make_pair(0, 0) &&
                shown(hw + 64, hh - 1) == std::make_pair(0, 0) && shown(hw - 32, hh - 1).first == -1 && marked(hw - 80, hh - 96, 160, 96));
}

TEST_F(Game, FrameTakesOneEventAndHandlesLeftAltF4AndEscape) {
    for (SDL_Event e{}; SDL_PollEvent(&e);) {}
    SDL_Event e{};
    e.type = SDL_VIDEOEXPOSE, SDL_PushEvent(&e), e.type = SDL_QUIT, SDL_PushEvent(&e), frameHead();
    EXPECT_TRUE(fullUpdate && running);
    frameHead();
    EXPECT_FALSE(running);
    running = true, keys[SDLK_F4] = keys[SDLK_RALT] = 1, frameHead();
    EXPECT_TRUE(running) << "F4 alone or with right Alt";
    keys[SDLK_LALT] = 1, frameHead();
    EXPECT_FALSE(running);
    keys[SDLK_F4] = keys[SDLK_RALT] = keys[SDLK_LALT] = 0, keys[SDLK_ESCAPE] = 1;
    for (GameState s : {StateScores, StateRoundEnd, StatePlay}) {
        gameState = s, fullUpdate = false, frameHead();
        EXPECT_EQ(std::make_pair(gameState, fullUpdate), std::make_pair(s == StatePlay ? s : StateMenu, s != StatePlay));
    }
    keys[SDLK_ESCAPE] = 0;
    for (int32_t bad : {4, -1}) {
        gameState = GameState(bad), dispatchState();
        EXPECT_EQ(gameState, StateMenu);
    }
}

}  // namespace

// The score server's bound on the flies of a round, held against the round's
// own code: seeded rounds in which the player kills every fly as it appears
// until a number of kills, then lets the flies reach the cursor until the
// round is lost and the last fly has fallen away.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "base/scorebound.h"
#include "testutil.h"
#include "worldfix.h"

using namespace worldfix;

namespace {

struct Sent {
    int64_t flies, frames;
};

Sent playRound(unsigned seed, int32_t killUntil) {
    freshWorld();
    static Sprite* fly = plainSprite(64, 10, 10);
    flySprite = fly;
    registered("krew.bmp", 2);
    registered("drop.bmp", 2);
    srand(seed);
    while (gameState == StatePlay) {
        playFrame();
        if (kills < killUntil)
            for (auto& f : flies) f->setHP(0);
        worldPass();
    }
    while (!flies.empty()) worldPass();
    return {kills, roundTicks};
}

}  // namespace

// 10,000 kills take about 105,800 frames: a bound of frames / 11 would refuse them.
TEST(ScoreBound, HoldsForRoundsPlayedByTheGameAndRefusesTheImpossible) {
    // No sound pack: every sound is refused, thousands of lines on both streams.
    testutil::CaptureStdout quiet;
    const int savedStderr = dup(2), null = open("/dev/null", O_WRONLY);
    dup2(null, 2);
    const int32_t targets[] = {0, 250, 10000};
    std::vector<Sent> rounds;
    for (int32_t killUntil : targets)
        for (unsigned seed : {1u, 2u}) rounds.push_back(playRound(seed, killUntil));
    dup2(savedStderr, 2);
    close(savedStderr), close(null);
    quiet.stop();
    for (size_t i = 0; i < rounds.size(); i++) {
        const Sent& s = rounds[i];
        EXPECT_GE(s.flies, targets[i / 2]);
        EXPECT_TRUE(possibleScore(s.flies, s.frames))
            << s.flies << " flies in " << s.frames << " frames, bound " << mostFlies(s.frames);
    }
    EXPECT_FALSE(possibleScore(INT32_MAX, 1));
    EXPECT_FALSE(possibleScore(0, 0)) << "no round lasts no frame";
    EXPECT_TRUE(possibleScore(0, 1));
}

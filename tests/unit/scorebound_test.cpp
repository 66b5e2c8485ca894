// The score server's bound on the flies of a round, held against the round's
// own code: seeded rounds in which the player beats every fly as it appears
// until a number of kills, then lets the flies reach the cursor until the
// round is lost and the last fly has fallen away.
#include "base/scorebound.h"
#include "worldfix.h"

namespace {

using worldfix::World;

// 10,000 kills take about 105,800 frames: a bound of frames / 11 would refuse them.
TEST_F(World, ScoreBoundHoldsForRoundsPlayedByTheGameAndRefusesTheImpossible) {
    for (int32_t killUntil : {0, 250, 10000}) {
        for (unsigned seed : {1u, 2u}) {
            SetUp();
            srand(seed);
            while (gameState == StatePlay) {
                playFrame();
                for (auto& f : flies)
                    if (kills < killUntil) f->setHP(0);
                worldPass();
            }
            while (!flies.empty()) worldPass();
            EXPECT_GE(kills, killUntil);
            EXPECT_TRUE(possibleScore(kills, roundTicks)) << kills << " flies in " << roundTicks << " frames";
        }
    }
    EXPECT_FALSE(possibleScore(INT32_MAX, 1));
    EXPECT_FALSE(possibleScore(0, 0)) << "no round lasts no frame";
    EXPECT_TRUE(possibleScore(0, 1));
}

}  // namespace

// The main menu: hit boxes at their exact edges and the act-on-release rule.
#include <gtest/gtest.h>

#include "worldfix.h"

using namespace worldfix;

namespace {

class MenuTest : public ::testing::Test {
protected:
    void SetUp() override {
        freshWorld();
        gameState = StateMenu;
    }
    const int hw = kScreenW / 2;
    const int hh = kScreenH / 2;
};

}  // namespace

TEST_F(MenuTest, BoxesAreHalfOpenExactlyAsDrawn) {
    const int top = hh - 95;
    struct Row { int dx, y, want; } rows[] = {
        {-60, top, 0},  {-60, top - 1, -1}, {-60, hh - 1, 0}, {-60, hh, -1},  // rows top..hh-1
        {-80, top, -1}, {-79, top, 0},      {-49, top, 0},    {-48, top, -1},  // start
        {-16, top, -1}, {-15, top, 1},      {15, top, 1},     {16, top, -1},   // scores
        {48, top, -1},  {49, top, 2},       {79, top, 2},     {80, top, -1}};  // quit
    for (const Row& r : rows) EXPECT_EQ(menuHit(hw + r.dx, r.y, hw, hh), r.want) << r.dx << "," << r.y;
}

TEST_F(MenuTest, TheButtonHeldLastBeforeTheReleaseActs) {
    struct Row { std::vector<int> heldDx; int releaseDx; GameState state; bool running, full; } rows[] = {
        {{-60, 300}, -60, StateMenu, true, false},  // dragged off start: released over it too late
        {{300, -60}, 300, StatePlay, true, true},   // moved onto start while held
        {{0}, 0, StateScores, true, true},
        {{60}, 60, StateMenu, false, false},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.releaseDx);
        SetUp();
        health = 0;
        scoresState = ScoresLoad;
        for (int dx : r.heldDx) menuInput(true, hw + dx, hh - 10);
        fullUpdate = false;
        menuInput(false, hw + r.releaseDx, hh - 10);
        EXPECT_EQ(gameState, r.state);
        EXPECT_EQ(running, r.running);
        EXPECT_EQ(fullUpdate, r.full);
        EXPECT_EQ(health, r.state == StatePlay ? 6 : 0) << "start resets the round";
        EXPECT_EQ(scoresState, r.state == StateScores ? ScoresStart : ScoresLoad);
        if (r.full) {
            EXPECT_EQ(menuChoice, -1);
        }
    }
}

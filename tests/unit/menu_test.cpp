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
        menuChoice = -1;
    }
    const int hw = kScreenW / 2;
    const int hh = kScreenH / 2;
};

}  // namespace

TEST_F(MenuTest, BoxesAreHalfOpenExactlyAsDrawn) {
    int top = hh - 95;
    EXPECT_EQ(menuHit(hw - 60, top, hw, hh), 0);
    EXPECT_EQ(menuHit(hw - 60, top - 1, hw, hh), -1);
    EXPECT_EQ(menuHit(hw - 60, hh - 1, hw, hh), 0);
    EXPECT_EQ(menuHit(hw - 60, hh, hw, hh), -1) << "the drawing row is outside";
    // start: hw - 79 <= x < hw - 48
    EXPECT_EQ(menuHit(hw - 80, top, hw, hh), -1);
    EXPECT_EQ(menuHit(hw - 79, top, hw, hh), 0);
    EXPECT_EQ(menuHit(hw - 49, top, hw, hh), 0);
    EXPECT_EQ(menuHit(hw - 48, top, hw, hh), -1);
    // scores: hw - 15 <= x <= hw + 15
    EXPECT_EQ(menuHit(hw - 16, top, hw, hh), -1);
    EXPECT_EQ(menuHit(hw - 15, top, hw, hh), 1);
    EXPECT_EQ(menuHit(hw + 15, top, hw, hh), 1);
    EXPECT_EQ(menuHit(hw + 16, top, hw, hh), -1);
    // quit: hw + 48 < x <= hw + 79
    EXPECT_EQ(menuHit(hw + 48, top, hw, hh), -1);
    EXPECT_EQ(menuHit(hw + 49, top, hw, hh), 2);
    EXPECT_EQ(menuHit(hw + 79, top, hw, hh), 2);
    EXPECT_EQ(menuHit(hw + 80, top, hw, hh), -1);
}

TEST_F(MenuTest, PressingOnStartAndReleasingElsewhereStartsNothing) {
    menuInput(true, hw - 60, hh - 10);
    EXPECT_EQ(menuChoice, 0);
    menuInput(true, hw - 60, hh + 10);  // dragged off, still held
    EXPECT_EQ(menuChoice, -1);
    menuInput(false, hw - 60, hh - 10);  // released back over it: too late
    EXPECT_EQ(gameState, StateMenu);
    EXPECT_TRUE(running);
}

TEST_F(MenuTest, ReleaseOnStartResetsTheRoundAndPlays) {
    health = 0;
    kills = 12;
    addParticle(Particle(cursorSprite, 5, 5, gravity, drag, 0, 0, 50));
    menuInput(true, 0, 0);
    menuInput(true, hw - 60, hh - 10);  // moved onto it while held
    fullUpdate = false;
    menuInput(false, 0, 0);
    EXPECT_EQ(gameState, StatePlay);
    EXPECT_TRUE(fullUpdate);
    EXPECT_EQ(menuChoice, -1);
    EXPECT_EQ(health, 6);
    EXPECT_EQ(kills, 0);
    EXPECT_TRUE(particles.empty());
}

TEST_F(MenuTest, ReleaseOnScoresAndOnQuit) {
    subState = 4;
    menuInput(true, hw, hh - 50);
    fullUpdate = false;
    menuInput(false, hw, hh - 50);
    EXPECT_EQ(gameState, StateScores);
    EXPECT_EQ(subState, 0);
    EXPECT_EQ(menuChoice, -1);
    EXPECT_TRUE(fullUpdate);

    gameState = StateMenu;
    menuInput(true, hw + 60, hh - 50);
    menuInput(false, hw + 60, hh - 50);
    EXPECT_FALSE(running);
    EXPECT_EQ(gameState, StateMenu);
    EXPECT_EQ(menuChoice, 2) << "quitting leaves the choice as it is";
}

TEST_F(MenuTest, FrameDrawsTheButtonsAndMarksTheirArea) {
    Sprite* button = sprite({anim(2, 32, 96, 16, 96)});
    sprites["menu_start.bmp"] = button;
    sprites["menu_wyniki.bmp"] = button;
    sprites["menu_koniec.bmp"] = button;
    putMouse(10, 10);
    SDL_FillRect(screen, nullptr, 0);
    resetDirty();
    menuFrame();
    ASSERT_EQ(dirtyCount, 1);
    EXPECT_EQ(dirtyRects[0].x, hw - 80);
    EXPECT_EQ(dirtyRects[0].y, hh - 96);
    EXPECT_EQ(dirtyRects[0].w, 160);
    EXPECT_EQ(dirtyRects[0].h, 96);
    // The bitmap is white: the start button now covers (hw - 70, hh - 50).
    SDL_LockSurface(screen);
    Uint32 px = static_cast<Uint32*>(screen->pixels)[(hh - 50) * screen->pitch / 4 + hw - 70];
    SDL_UnlockSurface(screen);
    EXPECT_EQ(px & 0xffffff, 0xffffffu);
}

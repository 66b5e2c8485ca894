// The frame head (events and global keys) and the state dispatch, on the
// dummy video driver.
#include <gtest/gtest.h>

#include <algorithm>

#include "game/frame.h"
#include "game/game.h"
#include "media/dirty.h"
#include "media/events.h"
#include "media/sprite.h"
#include "media/video.h"

namespace {

class FrameTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0);
        ASSERT_NE(screen = SDL_SetVideoMode(320, 200, 32, 0), nullptr) << SDL_GetError();
    }
    static void TearDownTestSuite() { SDL_Quit(); }
    void SetUp() override {
        running = true;
        fullUpdate = false;
        gameState = StateMenu;
    }
    void TearDown() override {
        std::fill(keys, keys + SDLK_LAST, 0);
        sprites.clear();  // only looked-up names, no sprites
    }
};

TEST_F(FrameTest, OneEventPerFrameAndLeftAltF4Quit) {
    SDL_Event e{};
    e.type = SDL_VIDEOEXPOSE;
    ASSERT_EQ(SDL_PushEvent(&e), 0);
    e.type = SDL_QUIT;
    ASSERT_EQ(SDL_PushEvent(&e), 0);
    frameHead();
    EXPECT_TRUE(fullUpdate);
    EXPECT_TRUE(running);
    frameHead();
    EXPECT_FALSE(running);

    running = true;
    keys[SDLK_F4] = 1;
    keys[SDLK_RALT] = 1;
    frameHead();
    EXPECT_TRUE(running) << "F4 alone or with right Alt";
    keys[SDLK_LALT] = 1;
    frameHead();
    EXPECT_FALSE(running);
}

TEST_F(FrameTest, EscapeReturnsToTheMenuExceptInARound) {
    keys[SDLK_ESCAPE] = 1;
    gameState = StateScores;
    frameHead();
    EXPECT_EQ(gameState, StateMenu);
    EXPECT_TRUE(fullUpdate);

    fullUpdate = false;
    gameState = StatePlay;
    frameHead();
    EXPECT_EQ(gameState, StatePlay);
    EXPECT_FALSE(fullUpdate);
}

TEST_F(FrameTest, UnknownStateBecomesTheMenuWithoutRunningABlock) {
    for (int32_t bad : {4, -1, 1000}) {
        gameState = static_cast<GameState>(bad);
        dispatchState();
        EXPECT_EQ(gameState, StateMenu);
    }
    // The menu block looks its buttons up, leaving their names behind.
    EXPECT_TRUE(sprites.empty());
    dispatchState();
    EXPECT_EQ(sprites.count("menu_start.bmp"), 1u);
}

}  // namespace

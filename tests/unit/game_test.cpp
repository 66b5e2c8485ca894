// The frame head (events and global keys) and the state dispatch, on the
// dummy video driver.
#include <gtest/gtest.h>

#include "core/game.h"
#include "media/sprite.h"
#include "world/dirty.h"

namespace {

class FrameTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0);
        screen = SDL_SetVideoMode(320, 200, 32, 0);
        ASSERT_NE(screen, nullptr) << SDL_GetError();
    }
    static void TearDownTestSuite() { SDL_Quit(); }
    void SetUp() override {
        SDL_Event e;
        while (SDL_PollEvent(&e)) {
        }
        for (int k = 0; k < SDLK_LAST; ++k) keys[k] = 0;
        running = true;
        fullUpdate = false;
        gameState = StateMenu;
        sprites.clear();  // the registry holds no sprites here, only looked-up names
    }
    void TearDown() override {
        for (int k = 0; k < SDLK_LAST; ++k) keys[k] = 0;
        sprites.clear();
    }
    static void push(Uint8 type) {
        SDL_Event e{};
        e.type = type;
        ASSERT_EQ(SDL_PushEvent(&e), 0);
    }
};

TEST_F(FrameTest, QuitAndExposeEvents) {
    push(SDL_VIDEOEXPOSE);
    push(SDL_QUIT);
    frameHead();  // one event per frame
    EXPECT_TRUE(fullUpdate);
    EXPECT_TRUE(running);
    EXPECT_EQ(event.type, SDL_VIDEOEXPOSE);
    frameHead();
    EXPECT_FALSE(running);
    // With the queue empty the last event stays visible.
    frameHead();
    EXPECT_EQ(event.type, SDL_QUIT);
}

TEST_F(FrameTest, LeftAltWithF4Quits) {
    keys[SDLK_F4] = 1;
    frameHead();
    EXPECT_TRUE(running) << "F4 alone";
    keys[SDLK_RALT] = 1;
    frameHead();
    EXPECT_TRUE(running) << "right Alt does not count";
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
        gameState = bad;
        dispatchState();
        EXPECT_EQ(gameState, StateMenu);
    }
    // The menu block looks its buttons up, which leaves their names behind;
    // a replaced state left none.
    EXPECT_TRUE(sprites.empty());
    dispatchState();
    EXPECT_EQ(sprites.count("menu_start.bmp"), 1u);
}

}  // namespace

// Dirty rectangles: the budget edge, clipping at each screen edge, boxes wholly
// off screen, values that would wrap round in 32 bits, and the clear of what
// the last frame drew.
#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "media/dirty.h"
#include "media/video.h"

namespace {

constexpr int W = 320, H = 200;

class DirtyTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0) << SDL_GetError();
        ASSERT_NE(screen = SDL_SetVideoMode(W, H, 32, 0), nullptr) << SDL_GetError();
    }
    static void TearDownTestSuite() { SDL_Quit(); }
    void SetUp() override {
        dirtyRects.assign(1000, SDL_Rect{-1, -1, 0, 0});
        maxUpdates = 1000;
        dirtyCount = 0;
        fullUpdate = false;
    }
};

TEST_F(DirtyTest, ClipsOrDropsEachBox) {
    // x, y, w, h, then the stored box (none when its width is 0)
    const int rows[][8] = {
        {10, 20, 30, 40, 10, 20, 30, 40},
        {-5, 10, 20, 8, 0, 10, 15, 8},          // left
        {W - 10, 10, 20, 8, W - 10, 10, 10, 8},  // right
        {10, -3, 8, 20, 10, 0, 8, 17},          // top
        {10, H - 4, 8, 20, 10, H - 4, 8, 4},    // bottom
        {-50, -60, W + 100, H + 200, 0, 0, W, H},
        {INT_MIN / 2, INT_MIN / 2, INT_MAX, INT_MAX, 0, 0, W, H},
        {-20, 10, 20, 5}, {W, 10, 20, 5}, {10, -8, 5, 8}, {10, H, 5, 5},  // touching an edge from outside
        {-30, 10, 20, 5}, {W + 50, 10, 5, 5}, {10, 10, 0, 5}, {10, 10, 5, -3},
        {INT_MAX - 2, 10, 100, 5}, {INT_MIN, 10, 100, 5}, {10, INT_MIN, 5, INT_MAX},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(::testing::Message() << r[0] << "," << r[1] << " " << r[2] << "x" << r[3]);
        SetUp();
        markDirty(r[0], r[1], r[2], r[3]);
        EXPECT_FALSE(fullUpdate);
        EXPECT_EQ(dirtyCount, r[6] ? 1 : 0) << "a dropped box takes no entry";
        if (!r[6] || dirtyCount != 1) continue;
        const SDL_Rect& d = dirtyRects[0];
        EXPECT_EQ((std::vector<int>{d.x, d.y, d.w, d.h}), (std::vector<int>{r[4], r[5], r[6], r[7]}));
    }
}

TEST_F(DirtyTest, BudgetEdgeSwitchesToFullFlip) {
    for (int i = 0; i < 999; ++i) markDirty(i % W, 0, 1, 1);
    EXPECT_EQ(dirtyCount, 999);
    EXPECT_FALSE(fullUpdate);
    EXPECT_EQ(dirtyRects[998].x, 998 % W);

    markDirty(5, 5, 5, 5);  // the 1000th would fill the last entry
    EXPECT_TRUE(fullUpdate);
    EXPECT_EQ(dirtyCount, 1000);
    EXPECT_EQ(dirtyRects[999].x, -1) << "the last entry is never written";
    // After the switch every request counts, even one that would clip away.
    markDirty(-100, -100, 10, 10);
    EXPECT_EQ(dirtyCount, 1001);

    // A budget of 0 (benchmark without a screen) flips every frame.
    SetUp();
    maxUpdates = 0;
    markDirty(0, 0, 4, 4);
    EXPECT_TRUE(fullUpdate);
    EXPECT_EQ(dirtyCount, 1);
}

Uint32 pixel(int x, int y) { return static_cast<Uint32*>(screen->pixels)[y * screen->pitch / 4 + x]; }

TEST_F(DirtyTest, ClearsWhatTheLastFrameMarkedOrAllWhenInvalidated) {
    // marked when the frame was already whole (so not kept for presenting),
    // invalidated before the clear, then whether the undrawn pixel is cleared
    const bool rows[][3] = {{false, false, false}, {true, false, false}, {false, true, true}};
    for (const auto& r : rows) {
        SCOPED_TRACE(::testing::Message() << r[0] << r[1]);
        SetUp();
        presentDirty();  // forgets the other tests' boxes
        fullUpdate = r[0];
        markDirty(10, 10, 5, 5);
        presentDirty();
        SDL_FillRect(screen, nullptr, 0xffffff);
        fullUpdate = r[1];
        clearDrawn();
        EXPECT_EQ(pixel(10, 10) | pixel(14, 14), 0u) << "the drawn box is cleared";
        EXPECT_EQ(pixel(15, 15) == 0, r[2]);
    }
}

}  // namespace

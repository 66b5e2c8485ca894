// Dirty rectangles: the budget edge, clipping at each screen edge, boxes that
// fall wholly off screen, and the count the debug line prints.
#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "core/game.h"
#include "world/dirty.h"

namespace {

constexpr int W = 320;
constexpr int H = 200;

class DirtyTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0) << SDL_GetError();
        screen = SDL_SetVideoMode(W, H, 32, 0);
        ASSERT_NE(screen, nullptr) << SDL_GetError();
    }
    static void TearDownTestSuite() { SDL_Quit(); }
    void SetUp() override {
        rects.assign(1000, SDL_Rect{-1, -1, 0, 0});
        dirtyRects = rects.data();
        maxUpdates = 1000;
        dirtyCount = 0;
        fullUpdate = false;
    }
    void TearDown() override { dirtyRects = nullptr; }

    // The single stored rectangle of a one-request frame.
    static void expectOnly(int x, int y, int w, int h) {
        ASSERT_EQ(dirtyCount, 1);
        EXPECT_FALSE(fullUpdate);
        EXPECT_EQ(dirtyRects[0].x, x);
        EXPECT_EQ(dirtyRects[0].y, y);
        EXPECT_EQ(dirtyRects[0].w, w);
        EXPECT_EQ(dirtyRects[0].h, h);
    }

    std::vector<SDL_Rect> rects;
};

TEST_F(DirtyTest, BoxInsideIsStoredAsGiven) {
    markDirty(10, 20, 30, 40);
    expectOnly(10, 20, 30, 40);
}

TEST_F(DirtyTest, BudgetEdgeSwitchesToFullFlip) {
    for (int i = 0; i < 999; ++i) markDirty(i % W, 0, 1, 1);
    EXPECT_EQ(dirtyCount, 999);
    EXPECT_FALSE(fullUpdate);
    EXPECT_EQ(dirtyRects[998].x, 998 % W);  // the 999th request still has its entry

    dirtyRects[999] = SDL_Rect{-7, -7, 7, 7};
    markDirty(5, 5, 5, 5);  // the 1000th would fill the last entry
    EXPECT_TRUE(fullUpdate);
    EXPECT_EQ(dirtyCount, 1000);
    EXPECT_EQ(dirtyRects[999].x, -7) << "the last entry is never written";

    // After the switch every request counts, even one that would clip away.
    markDirty(1, 1, 1, 1);
    markDirty(-100, -100, 10, 10);
    EXPECT_EQ(dirtyCount, 1002);
}

TEST_F(DirtyTest, SmallBudgets) {
    maxUpdates = 2;
    markDirty(0, 0, 4, 4);
    EXPECT_FALSE(fullUpdate);
    markDirty(0, 0, 4, 4);
    EXPECT_TRUE(fullUpdate);

    // A budget of 0 (benchmark without a screen) flips every frame.
    fullUpdate = false;
    dirtyCount = 0;
    maxUpdates = 0;
    markDirty(0, 0, 4, 4);
    EXPECT_TRUE(fullUpdate);
    EXPECT_EQ(dirtyCount, 1);
}

TEST_F(DirtyTest, ClipsAtEachEdge) {
    markDirty(-5, 10, 20, 8);
    expectOnly(0, 10, 15, 8);
    SetUp();
    markDirty(W - 10, 10, 20, 8);
    expectOnly(W - 10, 10, 10, 8);
    SetUp();
    markDirty(10, -3, 8, 20);
    expectOnly(10, 0, 8, 17);
    SetUp();
    markDirty(10, H - 4, 8, 20);
    expectOnly(10, H - 4, 8, 4);
    SetUp();
    // Larger than the screen on all sides at once.
    markDirty(-50, -60, W + 100, H + 200);
    expectOnly(0, 0, W, H);
}

TEST_F(DirtyTest, BoxesWhollyOffScreenStoreNothing) {
    const int boxes[][4] = {
        {-20, 10, 20, 5},  // x + w == 0
        {-30, 10, 20, 5},  // left of the screen
        {W, 10, 20, 5},    // at the right edge
        {W + 50, 10, 5, 5},
        {10, -8, 5, 8},  // y + h == 0
        {10, H, 5, 5},   // below
        {10, 10, 0, 5},  // empty
        {10, 10, 5, -3},
    };
    for (const auto& b : boxes) {
        markDirty(b[0], b[1], b[2], b[3]);
        EXPECT_EQ(dirtyCount, 0) << b[0] << "," << b[1] << " " << b[2] << "x" << b[3];
        EXPECT_FALSE(fullUpdate);
    }
    // A dropped box does not take an entry: the next one lands in entry 0.
    markDirty(1, 2, 3, 4);
    expectOnly(1, 2, 3, 4);
}

TEST_F(DirtyTest, ExtremeValuesDoNotWrapOntoTheScreen) {
    markDirty(INT_MAX - 2, 10, 100, 5);
    markDirty(INT_MIN, 10, 100, 5);
    markDirty(10, INT_MIN, 5, INT_MAX);
    EXPECT_EQ(dirtyCount, 0);
    markDirty(INT_MIN / 2, INT_MIN / 2, INT_MAX, INT_MAX);
    expectOnly(0, 0, W, H);
}

}  // namespace

// The fly: acceleration, chasing and the heading's animation, stun, damping.
#include <gtest/gtest.h>

#include "testutil.h"
#include "worldfix.h"

using namespace worldfix;

namespace {

class MuchaTest : public ::testing::Test {
protected:
    void SetUp() override { freshWorld(300, 200); }
};

}  // namespace

TEST_F(MuchaTest, AcceleratesInTenthsAndOvershootsWhenRoundingFallsShort) {
    std::pair<int, int> rows[] = {{2, 10}, {3, 11}, {4, 10}, {5, 10}, {6, 11}, {7, 11}};  // maxSpeed, steps
    for (auto [top, want] : rows) {
        Mucha* f = liveFly(100, 100);
        f->maxSpeed = static_cast<float>(top);
        int steps = 0;
        for (int i = 0; i < 20; ++i) {
            float before = f->speed;
            f->move();
            steps += f->speed != before;
        }
        EXPECT_EQ(steps, want) << top;
        EXPECT_NEAR(f->speed, top * (want == 11 ? 1.1f : 1.0f), 1e-5) << top;
    }
    EXPECT_EQ(flies.front()->speed, 2.00000024f);
}

TEST_F(MuchaTest, ChasesTheCursorAndShowsTheHeadingsAnimationWithWrap) {
    // Cursor at (300, 200); at speed 2 a step is 2 pixels.
    struct Row { float x, y; int anims; float wantX, wantY; int wantAnim; } rows[] = {
        {100, 200, 64, 102, 200, 0},   // heading pi: d 360, sector 32, 64 wraps to 0
        {300, 260, 64, 300, 258, 14},  // -pi/2: d 89, sector 7
        {400, 200, 6, 398, 200, 2},    // 0: d 180, sector 16 % 6 = 4, 8 wraps to 2
    };
    for (const Row& r : rows) {
        Mucha* f = liveFly(r.x, r.y, 50, r.anims);
        f->speed = 2;
        f->move();
        EXPECT_NEAR(f->x, r.wantX, 1e-4) << r.x;
        EXPECT_NEAR(f->y, r.wantY, 1e-4) << r.x;
        EXPECT_EQ(f->anim, &f->sprite->anims[r.wantAnim]) << r.x;
    }
}

TEST_F(MuchaTest, StunnedForNUpdatesRecoversInUpdateNPlusOneInPlace) {
    for (int n : {0, 3}) {
        Mucha* f = liveFly(100, 100);
        f->speed = 1.5f;
        f->stun(n);
        for (int i = 0; i < n; ++i) f->move();
        EXPECT_TRUE(f->isStunned()) << n;
        float y = f->y;
        f->move();
        EXPECT_FALSE(f->isStunned()) << n;
        EXPECT_TRUE(f->vel.x == 0 && f->vel.y == 0 && f->y == y && f->speed == 1.5f) << n;
    }
    srand(7);
    int expected = 40 + rand() % 40;
    srand(7);
    flies.front()->stun(-1);
    EXPECT_EQ(flies.front()->stunTime, expected);
}

TEST_F(MuchaTest, KnockedFlyFallsSpinsAndDampsItsSideways) {
    std::pair<float, float> rows[] = {  // vel.x before, after
        {1.2f, 0.7f}, {-1.2f, -0.7f}, {1.0f, 0}, {-1.0f, 0}, {0.7f, 0}, {3.0f, 2.5f}};
    for (auto [vx, want] : rows) {
        Mucha* f = liveFly(100, 100);
        f->stun(10);
        f->vel = Vec2{vx, 0.0f};
        resetDirty();
        f->move();
        EXPECT_FLOAT_EQ(f->vel.x, want) << vx;
        EXPECT_FLOAT_EQ(f->x, 100.0f - want) << vx;
    }
    const Mucha& f = *flies.back();
    EXPECT_FLOAT_EQ(f.vel.y, 0.2f);
    EXPECT_FLOAT_EQ(f.angle, static_cast<float>(0.2f * 3.14 / 180.0 * 0.5));
    ASSERT_EQ(dirtyCount, 2) << "the old box and the new one";
    EXPECT_TRUE(dirtyRects[0].x == 100 && dirtyRects[1].x == 97);
}

TEST_F(MuchaTest, DeadFlyFallsWithoutItsStunClockAndShowsTheOddAnimations) {
    Mucha* f = liveFly(100, 100);
    f->setHP(0);
    f->stun(2);
    for (int i = 0; i < 5; ++i) f->move();
    EXPECT_TRUE(f->isStunned() && f->stunTime == 2);
    EXPECT_NEAR(f->vel.y, 1.0f, 1e-5);
    // The fall brings vel.y -0.2 to about 0, so the heading stays as set.
    std::pair<float, int> rows[] = {
        {0.1f, 33},   // d 185, sector 16
        {10.0f, 5},   // d 753, sector 66 % 64 = 2
        {-4.0f, 57},  // d -49, sector -4, -7 as a byte is 249
    };
    for (auto [angle, want] : rows) {
        f->frame = 3;
        f->vel.y = -0.2f;
        f->angle = angle;
        f->move();
        EXPECT_EQ(f->animIndex, want) << angle;
        EXPECT_EQ(f->frame, 3) << "the flapping goes on";
    }
}

TEST_F(MuchaTest, FlyWithoutAnimationsIsReportedAndStays) {
    Mucha bare(0, 10, 10, sprite({}), gravity, drag);
    bare.hp = 5;
    testutil::CaptureStdout cap;
    bare.move();
    bare.draw();
    EXPECT_EQ(cap.stop(), "FAIL: Mucha.move: Null Anim\n");
    EXPECT_EQ(bare.x, 10.0f);
}

// The fly: acceleration with its float rounding, stun and recovery, damping,
// the heading-to-animation mapping, kills through setHP, bumping.
#include <gtest/gtest.h>

#include "testutil.h"
#include "worldfix.h"

using namespace worldfix;

namespace {

class MuchaTest : public ::testing::Test {
protected:
    void SetUp() override {
        freshWorld(300, 200);
        kills = 0;
    }
    // A living fly with its own sprite of `anims` 10 x 10 animations.
    Mucha fly(int32_t x, int32_t y, int32_t anims = 64) {
        Mucha f(0, x, y, plainSprite(anims, 10, 10), gravity, drag);
        f.hp = 50;
        return f;
    }
};

// Moves until speed stops changing; returns the number of speed-ups.
int stepsToTopSpeed(Mucha& f) {
    int steps = 0;
    for (int i = 0; i < 20; ++i) {
        float before = f.speed;
        f.move();
        if (f.speed != before) ++steps;
    }
    return steps;
}

}  // namespace

TEST_F(MuchaTest, AcceleratesInTenthsAndOvershootsWhenRoundingFallsShort) {
    for (int top : {2, 3, 4, 5, 6, 7}) {
        Mucha f = fly(100, 100);
        f.maxSpeed = static_cast<float>(top);
        int steps = stepsToTopSpeed(f);
        bool eleven = top == 3 || top == 6 || top == 7;
        EXPECT_EQ(steps, eleven ? 11 : 10) << "maxSpeed " << top;
        if (eleven) {
            EXPECT_NEAR(f.speed, top * 1.1f, 1e-5) << "maxSpeed " << top;
        } else {
            EXPECT_GE(f.speed, static_cast<float>(top));
        }
    }
    Mucha two = fly(100, 100);
    two.maxSpeed = 2;
    stepsToTopSpeed(two);
    EXPECT_EQ(two.speed, 2.00000024f);
}

TEST_F(MuchaTest, ChasingMovesSpeedPixelsTowardTheCursor) {
    Mucha f = fly(100, 200);  // cursor at (300, 200): straight to the right
    f.speed = 2;
    f.maxSpeed = 2;
    f.move();
    EXPECT_NEAR(f.x, 102.0f, 1e-4);
    EXPECT_NEAR(f.y, 200.0f, 1e-4);
    Mucha below = fly(300, 260);  // cursor above it
    below.speed = 3;
    below.maxSpeed = 3;
    below.move();
    EXPECT_NEAR(below.x, 300.0f, 1e-4);
    EXPECT_NEAR(below.y, 257.0f, 1e-4);
}

TEST_F(MuchaTest, StunnedForNUpdatesRecoversInUpdateNPlusOneWithZeroVelocity) {
    Mucha f = fly(100, 100);
    f.speed = 1.5f;
    f.maxSpeed = 2;
    f.stun(3);
    EXPECT_TRUE(f.isStunned());
    for (int i = 0; i < 3; ++i) {
        f.move();
        EXPECT_TRUE(f.isStunned()) << "update " << i + 1;
    }
    float y = f.y;
    f.move();
    EXPECT_FALSE(f.isStunned());
    EXPECT_EQ(f.vel.x, 0.0f);
    EXPECT_EQ(f.vel.y, 0.0f);
    EXPECT_EQ(f.y, y) << "recovers in place";
    EXPECT_EQ(f.speed, 1.5f) << "resumes at the speed it had";

    Mucha now = fly(100, 100);
    now.stun(0);
    now.move();
    EXPECT_FALSE(now.isStunned());
    EXPECT_EQ(now.vel.y, 0.0f);
}

TEST_F(MuchaTest, RandomStunIsFortyToSeventyNineInRandOrder) {
    srand(7);
    int expected = 40 + rand() % 40;
    srand(7);
    Mucha f = fly(100, 100);
    f.stun(-1);
    EXPECT_EQ(f.stunTime, expected);
    for (int seed = 1; seed < 50; ++seed) {
        srand(seed);
        f.stun(-1);
        EXPECT_GE(f.stunTime, 40);
        EXPECT_LE(f.stunTime, 79);
    }
}

TEST_F(MuchaTest, KnockedFlyFallsSpinsAndDampsItsSideways) {
    Mucha f = fly(100, 100);
    f.stun(10);
    f.vel.x = 1.2f;
    f.vel.y = 0.0f;
    f.angle = 0.0f;
    f.move();
    EXPECT_FLOAT_EQ(f.vel.x, 0.7f);
    EXPECT_FLOAT_EQ(f.vel.y, 0.2f);
    EXPECT_FLOAT_EQ(f.angle, static_cast<float>(0.2f * 3.14 / 180.0 * 0.5));
    EXPECT_FLOAT_EQ(f.x, 100.0f - 0.7f);
    f.move();
    EXPECT_EQ(f.vel.x, 0.0f) << "0.7 lies inside [-1, 1]";
    f.vel.x = -1.2f;
    f.move();
    EXPECT_FLOAT_EQ(f.vel.x, -0.7f);
}

TEST_F(MuchaTest, DeadFlyFallsWithoutRunningItsStunClock) {
    Mucha f = fly(100, 100);
    f.setHP(0);
    f.stun(2);
    for (int i = 0; i < 5; ++i) f.move();
    EXPECT_TRUE(f.isStunned());
    EXPECT_EQ(f.stunTime, 2);
    EXPECT_NEAR(f.vel.y, 1.0f, 1e-5);
    EXPECT_GT(f.y, 100.0f);
}

TEST_F(MuchaTest, HeadingPicksTheAnimationPairWithWrap) {
    // Cursor at (300, 200). Fly below it: heading -pi/2 -> d 89 -> sector 7.
    Mucha below = fly(300, 300);
    below.maxSpeed = 1;
    below.move();
    EXPECT_EQ(below.animIndex, 14);
    EXPECT_EQ(below.anim, &below.sprite->anims[14]);
    // Fly left of it: heading pi -> d 360 -> sector 32 -> 64 wraps to 0.
    Mucha left = fly(100, 200);
    left.maxSpeed = 1;
    left.move();
    EXPECT_EQ(left.animIndex, 0);
    // Fly right of it: heading 0 -> d 180 -> sector 16; with 6 animations
    // 16 % 6 = 4, 2 * 4 = 8 wraps to 2.
    Mucha small = fly(400, 200, 6);
    small.maxSpeed = 1;
    small.move();
    EXPECT_EQ(small.animIndex, 2);
}

TEST_F(MuchaTest, DeadFlyShowsTheOddAnimationAndWrapsWhenSpinning) {
    Mucha f = fly(100, 100);
    f.setHP(0);
    f.vel.y = -0.2f;  // the fall step brings it to about 0: the heading stays
    f.angle = 0.1f;   // d 185 -> sector 16 -> 33
    f.move();
    EXPECT_EQ(f.animIndex, 33);
    // Spun past a full turn: 10 rad -> d 753 -> sector 66 -> 66 % 64 = 2 -> 5.
    f.vel.y = -0.2f;
    f.angle = 10.0f;
    f.move();
    EXPECT_EQ(f.animIndex, 5);
    // Spun backwards: -4 rad -> d -49 -> sector -4 -> -7 as a byte is 249 -> 57.
    f.vel.y = -0.2f;
    f.angle = -4.0f;
    f.move();
    EXPECT_EQ(f.animIndex, 57);
    // The flapping goes on across heading changes.
    f.frame = 3;
    f.vel.y = -0.2f;
    f.move();
    EXPECT_EQ(f.frame, 3);
}

TEST_F(MuchaTest, SetHPCountsALivingFlyOnce) {
    Mucha f = fly(100, 100);
    f.stun(10);
    f.setHP(30);
    EXPECT_EQ(kills, 0);
    f.setHP(0);
    EXPECT_EQ(kills, 1) << "a stunned fly still counts";
    f.setHP(0);
    f.setHP(-5);
    EXPECT_EQ(kills, 1);
    EXPECT_EQ(f.getHP(), -5);
}

TEST_F(MuchaTest, HitsOtherFlySkipsItselfAndNeverWhenStunned) {
    Sprite* s = plainSprite(64, 10, 10);
    auto add = [&](int x, int y) {
        auto f = std::make_unique<Mucha>(0, x, y, s, gravity, drag);
        f->hp = 50;
        Mucha* raw = f.get();
        addFly(std::move(f));
        return raw;
    };
    Mucha* a = add(100, 100);
    EXPECT_FALSE(a->hitsOtherFly()) << "alone in the list";
    Mucha* b = add(110, 100);  // shares an edge only
    EXPECT_FALSE(a->hitsOtherFly());
    b->x = 109.5f;
    EXPECT_TRUE(a->hitsOtherFly());
    EXPECT_TRUE(b->hitsOtherFly());
    a->stun(5);
    EXPECT_FALSE(a->hitsOtherFly());
    EXPECT_TRUE(b->hitsOtherFly()) << "the other fly's stun does not matter";
}

TEST_F(MuchaTest, MovingMarksFlooredBoxesAndNullAnimIsReported) {
    Mucha f = fly(0, 50);
    f.x = -0.5f;
    f.stun(10);
    resetDirty();
    f.move();
    ASSERT_EQ(dirtyCount, 2);
    EXPECT_EQ(dirtyRects[0].x, 0);
    EXPECT_EQ(dirtyRects[0].w, 9) << "left floorf(-0.5) = -1, clipped";

    Mucha bare(0, 10, 10, sprite({}), gravity, drag);
    bare.hp = 5;
    testutil::CaptureStdout cap;
    bare.move();
    bare.draw();
    EXPECT_EQ(cap.stop(), "FAIL: Mucha.move: Null Anim\n");
    EXPECT_EQ(bare.x, 10.0f);
}

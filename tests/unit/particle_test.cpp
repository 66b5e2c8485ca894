// Particles and drops: the update (terminal band, drag), and what the world pass
// does with their life, their ending animation and the bottom of the screen.
#include <gtest/gtest.h>

#include "worldfix.h"

using namespace worldfix;

namespace {

class ParticleTest : public ::testing::Test {
protected:
    void SetUp() override { freshWorld(); }
};

}  // namespace

TEST_F(ParticleTest, UpdateStopsAccelerationInsideTheTerminalBandAndDragMayCrossZero) {
    // Same values on both axes; maxVel is 10, drag 0.01.
    struct Row { float accel, v, want; } rows[] = {
        {0.04f, 9.5f, 9.49f}, {0.04f, 9.0f, 8.99f}, {0.04f, 11.0f, 10.99f},  // [9, 11]: drag only
        {0.04f, 8.99f, 8.99f + 0.04f - 0.01f}, {0.04f, 11.5f, 11.5f + 0.04f - 0.01f},
        {0, 0.005f, -0.005f}, {0, -0.005f, 0.005f}, {0, 0, 0}};  // across zero and back
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message() << r.accel << " " << r.v);
        Particle p(plainSprite(1), 100, 100, Vec2{r.accel, r.accel}, Vec2{0.01f, 0.01f}, 0, 0, 100);
        p.vel = Vec2{r.v, r.v};
        p.move();
        EXPECT_NEAR(p.vel.x, r.want, 1e-6);
        EXPECT_NEAR(p.vel.y, r.want, 1e-6);
        EXPECT_FLOAT_EQ(p.y, 100.0f + p.vel.y);
    }
}

TEST_F(ParticleTest, DestructorMarksOnlyWhileRunning) {
    // At shutdown the sprites are gone before the lists.
    { Particle p(plainSprite(1), 50, 50, kZero, kZero, 0, 0, 5); }
    running = false;
    { WeaponDrop d(plainSprite(1), 50, 50, kZero, kZero, 0, 0, 5); }
    EXPECT_EQ(dirtyCount, 1);
}

TEST_F(ParticleTest, LifeNIsDrawnNTimesAndRemovedInWalkNPlusOne) {
    // Speed 1: frameTime counts the draws.
    ASSERT_TRUE(addParticle(Particle(sprite({anim(1, 4, 4, 0, 0, 1)}), 100, 100, kZero, kZero, 0, 0, 20)));
    for (int i = 0; i < 20; ++i) worldPass();
    ASSERT_EQ(particles.size(), 1u);
    EXPECT_EQ(particles.front().frameTime, 20);
    worldPass();
    EXPECT_TRUE(particles.empty());
}

TEST_F(ParticleTest, SwitchesOnceToTheEndingAnimationWhenLifeIsItsFramesLessOne) {
    // 0: flying (speed 1); 1: ending, 5 frames; 2: would match at life 2 if switched twice.
    Sprite* s = sprite({anim(1, 4, 4, 0, 0, 1), anim(5, 4, 4), anim(3, 4, 4)});
    ASSERT_TRUE(addParticle(Particle(s, 100, 100, kZero, kZero, 0, 0, 20)));
    Particle last(s, 100, 100, kZero, kZero, 0, 0, 20);  // no next animation: stays
    last.setAnim(2);
    ASSERT_TRUE(addParticle(last));
    const Particle& p = particles.front();
    std::vector<int> seen;  // 10 * animIndex + frame
    for (int i = 0; i < 20; ++i) {
        worldPass();
        if (i >= 14) seen.push_back(10 * p.animIndex + p.frame);
    }
    EXPECT_EQ(seen, (std::vector<int>{0, 10, 11, 12, 13, 14})) << "switched at life 4, never wrapped";
    EXPECT_EQ(particles.back().animIndex, 2);
    worldPass();
    EXPECT_TRUE(particles.empty());
}

TEST_F(ParticleTest, ParticlesAndDropsBelowTheScreenAreRemoved) {
    ASSERT_TRUE(addParticle(Particle(plainSprite(1), 100, kScreenH + 32, kZero, kZero, 0, 0, 50)));
    ASSERT_TRUE(addDrop(WeaponDrop(plainSprite(1), 100, kScreenH + 32, kZero, kZero, 0, 0, 50)));
    worldPass();  // exactly h + 32 stays
    ASSERT_EQ(particles.size() + drops.size(), 2u);
    EXPECT_EQ(drops.front().life, 50.0f) << "a drop's life is not counted down";
    particles.front().y = drops.front().y = kScreenH + 32.5f;
    worldPass();
    EXPECT_TRUE(particles.empty() && drops.empty());
}

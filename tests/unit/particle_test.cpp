// Particles and drops: the update (terminal band, drag), dirty marking, and
// what the world pass does with their life and ending animation.
#include <gtest/gtest.h>

#include "worldfix.h"

using namespace worldfix;

namespace {

class ParticleTest : public ::testing::Test {
protected:
    void SetUp() override { freshWorld(); }
};

const Vec2 kZero{0.0f, 0.0f};

}  // namespace

TEST_F(ParticleTest, AngleIsDegreesCounterClockwiseWithUpAtNinety) {
    Sprite* s = plainSprite(1);
    Particle right(s, 0, 0, kZero, kZero, 0, 2, 10);
    EXPECT_FLOAT_EQ(right.vel.x, 2.0f);
    EXPECT_NEAR(right.vel.y, 0.0f, 1e-6);
    Particle up(s, 0, 0, kZero, kZero, 90, 2, 10);
    EXPECT_NEAR(up.vel.x, 0.0f, 1e-3);
    EXPECT_NEAR(up.vel.y, -2.0f, 1e-5);
    Particle down(s, 0, 0, kZero, kZero, 270, 2, 10);
    EXPECT_NEAR(down.vel.y, 2.0f, 1e-5);
    EXPECT_FLOAT_EQ(up.life, 10.0f);
    EXPECT_FALSE(up.advanced);
}

TEST_F(ParticleTest, AccelerationStopsInsideTheTerminalBandButDragGoesOn) {
    Sprite* s = plainSprite(1);
    Vec2 grav{0.0f, 0.04f}, dr{0.01f, 0.01f};
    Particle p(s, 100, 100, grav, dr, 0, 0, 100);
    p.vel.y = 9.5f;  // inside [9, 11]: no gravity, only drag
    p.move();
    EXPECT_FLOAT_EQ(p.vel.y, 9.49f);
    EXPECT_FLOAT_EQ(p.y, 100.0f + 9.49f);
    p.vel.y = 9.0f;  // the band's edge still counts as inside
    p.move();
    EXPECT_FLOAT_EQ(p.vel.y, 8.99f);
    p.move();  // below 9: gravity resumes
    EXPECT_FLOAT_EQ(p.vel.y, 8.99f + 0.04f - 0.01f);
    p.vel.y = 11.5f;  // above the band: gravity acts as well
    p.move();
    EXPECT_FLOAT_EQ(p.vel.y, 11.5f + 0.04f - 0.01f);
}

TEST_F(ParticleTest, DragCrossesZeroAndComesBack) {
    Sprite* s = plainSprite(1);
    Vec2 dr{0.01f, 0.01f};
    Particle p(s, 100, 100, kZero, dr, 0, 0, 100);
    p.vel.x = 0.005f;
    p.move();
    EXPECT_NEAR(p.vel.x, -0.005f, 1e-7);
    p.move();
    EXPECT_NEAR(p.vel.x, 0.005f, 1e-7);
    p.vel.x = 0.0f;
    p.vel.y = 0.0f;
    p.move();  // exactly 0 stays 0
    EXPECT_EQ(p.vel.x, 0.0f);
    EXPECT_EQ(p.vel.y, 0.0f);
}

TEST_F(ParticleTest, SpentParticleMarksItsBoxButDoesNotMove) {
    Sprite* s = sprite({anim(1, 10, 10, 2, 2)});
    Particle p(s, 50, 60, kZero, kZero, 0, 3, 0);
    resetDirty();
    p.move();
    EXPECT_EQ(dirtyCount, 1);
    EXPECT_FLOAT_EQ(p.x, 50.0f);
    EXPECT_EQ(dirtyRects[0].x, 48);
    EXPECT_EQ(dirtyRects[0].y, 58);
    EXPECT_EQ(dirtyRects[0].w, 10);
}

TEST_F(ParticleTest, BoxIsTruncatedNotFloored) {
    // Left = trunc(-0.5 - 0) = 0, so the whole width stays on screen.
    Sprite* s = sprite({anim(1, 10, 10)});
    Particle p(s, 0, 50, kZero, kZero, 0, 0, 5);
    p.x = -0.5f;
    resetDirty();
    p.move();
    ASSERT_EQ(dirtyCount, 2);
    EXPECT_EQ(dirtyRects[0].x, 0);
    EXPECT_EQ(dirtyRects[0].w, 10);
}

TEST_F(ParticleTest, DestructorMarksOnlyWhileRunning) {
    Sprite* s = sprite({anim(1, 10, 10)});
    resetDirty();
    { Particle p(s, 50, 50, kZero, kZero, 0, 0, 5); }
    EXPECT_EQ(dirtyCount, 1);
    running = false;
    { WeaponDrop d(s, 50, 50, kZero, kZero, 0, 0, 5); }
    running = true;
    EXPECT_EQ(dirtyCount, 1);
}

TEST_F(ParticleTest, LifeNIsDrawnNTimesAndRemovedInWalkNPlusOne) {
    // Speed 1: frameTime counts the draws.
    Sprite* s = sprite({anim(1, 4, 4, 0, 0, 1)});
    ASSERT_TRUE(addParticle(Particle(s, 100, 100, kZero, kZero, 0, 0, 20)));
    for (int i = 0; i < 20; ++i) worldPass();
    ASSERT_EQ(particles.size(), 1u);
    EXPECT_EQ(particles.front().frameTime, 20);
    EXPECT_FLOAT_EQ(particles.front().life, 0.0f);
    worldPass();
    EXPECT_TRUE(particles.empty());
}

TEST_F(ParticleTest, SwitchesOnceToTheEndingAnimationWhenLifeIsItsFramesLessOne) {
    // Flying animation 0 (1 frame, speed 1), ending animation 1 (5 frames).
    Sprite* s = sprite({anim(1, 4, 4, 0, 0, 1), anim(5, 4, 4, 0, 0, 100)});
    ASSERT_TRUE(addParticle(Particle(s, 100, 100, kZero, kZero, 0, 0, 20)));
    Particle& p = particles.front();
    for (int i = 0; i < 15; ++i) worldPass();
    EXPECT_FLOAT_EQ(p.life, 5.0f);
    EXPECT_EQ(p.animIndex, 0);
    EXPECT_EQ(p.frameTime, 15);
    worldPass();  // life 4: switch, restart at frame 0, first draw of it
    EXPECT_TRUE(p.advanced);
    EXPECT_EQ(p.animIndex, 1);
    EXPECT_EQ(p.frame, 0);
    EXPECT_EQ(p.frameTime, 100);
    for (int i = 0; i < 4; ++i) worldPass();
    // Five draws of the ending animation: frames 0..4, never wrapped.
    EXPECT_EQ(p.frame, 4);
    EXPECT_EQ(p.animIndex, 1);
    worldPass();
    EXPECT_TRUE(particles.empty());
}

TEST_F(ParticleTest, NoSwitchWithoutANextAnimationAndNeverTwice) {
    Sprite* s = sprite({anim(1, 4, 4), anim(3, 4, 4)});
    // Animation 1 is the last one: reaching its switch point does nothing.
    Particle last(s, 100, 100, kZero, kZero, 0, 0, 10);
    last.setAnim(1);
    ASSERT_TRUE(addParticle(last));
    // Animation 0 would switch at life 2, but this one has already advanced.
    Particle done(s, 100, 100, kZero, kZero, 0, 0, 3);
    done.advanced = true;
    ASSERT_TRUE(addParticle(done));
    for (int i = 0; i < 3; ++i) worldPass();
    EXPECT_EQ(particles.back().animIndex, 0);
    for (int i = 0; i < 7; ++i) worldPass();
    ASSERT_EQ(particles.size(), 1u);
    EXPECT_EQ(particles.front().animIndex, 1);
    EXPECT_FALSE(particles.front().advanced);
    worldPass();
    EXPECT_TRUE(particles.empty());
}

TEST_F(ParticleTest, ParticleBelowTheScreenIsRemoved) {
    Sprite* s = plainSprite(1);
    ASSERT_TRUE(addParticle(Particle(s, 100, kScreenH + 32, kZero, kZero, 0, 0, 50)));
    worldPass();  // y = h + 32 exactly stays
    EXPECT_EQ(particles.size(), 1u);
    particles.front().y = kScreenH + 32.5f;
    worldPass();
    EXPECT_TRUE(particles.empty());
}

TEST_F(ParticleTest, DropsKeepTheirLifeCountTheirDelayAndFallOffTheScreen) {
    Sprite* s = plainSprite(1);
    WeaponDrop d(s, 300, 200, gravity, drag, 90, 1.0f, 1000);
    d.weaponType = KindFlame;
    d.pickupDelay = 30;
    ASSERT_TRUE(addDrop(d));
    WeaponDrop& live = drops.front();
    worldPass();
    EXPECT_EQ(live.pickupDelay, 29);
    EXPECT_FLOAT_EQ(live.life, 1000.0f);
    EXPECT_LT(live.y, 200.0f) << "pops up first";
    for (int i = 0; i < 29; ++i) worldPass();
    EXPECT_EQ(live.pickupDelay, 0);
    // Moves on every frame and leaves the screen at the bottom.
    live.y = kScreenH + 31.0f;
    live.vel.y = 2.0f;
    worldPass();
    EXPECT_TRUE(drops.empty());
}

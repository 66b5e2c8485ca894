// The round's rules: reset, spawning, the fly walk (sting, bump, loss,
// removal), the weapons walk, and the cursor's trail and look.
#include <gtest/gtest.h>

#include <cmath>

#include "worldfix.h"

using namespace worldfix;

namespace {

class RoundTest : public ::testing::Test {
protected:
    void SetUp() override {
        freshWorld(320, 240);
        flySprite = plainSprite(64, 10, 10);
        static Sprite* blood = plainSprite(2);
        sprites["krew.bmp"] = blood;
    }
    Mucha* addLiveFly(float x, float y, int32_t hp = 50) {
        auto f = std::make_unique<Mucha>(0, 0, 0, flySprite, gravity, drag);
        f->x = x;
        f->y = y;
        f->hp = hp;
        f->maxSpeed = 2;
        Mucha* raw = f.get();
        EXPECT_TRUE(addFly(std::move(f)));
        return raw;
    }
};

// A weapon that counts its moves and can set off another one once.
struct Probe : Weapon {
    Probe(int* moves, bool spawns) : Weapon(0, 0, 0, nullptr, Vec2{0, 0}, Vec2{0, 0}, true),
                                     moves(moves), spawns(spawns) {}
    void move() override {
        ++*moves;
        if (spawns) {
            spawns = false;
            addWeapon(std::make_unique<Probe>(moves, false));
        }
    }
    int* moves;
    bool spawns;
};

}  // namespace

TEST_F(RoundTest, ResetStartsAFreshRoundWithThePointerAtTheCentre) {
    health = 0;
    kills = 33;
    roundTicks = 900;
    ammo[2] = 4;
    selectedWeapon = 3;
    hoverWeapon = 1;
    menuChoice = 2;
    ringOpen = true;
    fireDelay = weaponDelay = 12;
    addLiveFly(10, 10);
    addParticle(Particle(flySprite, 1, 1, gravity, drag, 0, 0, 5));
    putMouse(17, 19);
    resetRound();
    EXPECT_EQ(gameState, StateMenu);
    EXPECT_EQ(health, 6);
    EXPECT_EQ(kills, 0);
    EXPECT_EQ(roundTicks, 0);
    EXPECT_EQ(ammo[2], 0);
    EXPECT_EQ(selectedWeapon, -1);
    EXPECT_EQ(hoverWeapon, -1);
    EXPECT_EQ(menuChoice, -1);
    EXPECT_FALSE(ringOpen);
    EXPECT_EQ(fireDelay, -1);
    EXPECT_EQ(weaponDelay, -1);
    EXPECT_EQ(mouseX, kScreenW / 2);
    EXPECT_EQ(mouseY, kScreenH / 2);
    EXPECT_TRUE(flies.empty());
    EXPECT_TRUE(particles.empty());
}

TEST_F(RoundTest, SpawnIntervalShrinksWithKillsDownToTen) {
    EXPECT_EQ(spawnInterval(0), 60);
    EXPECT_EQ(spawnInterval(4), 60);
    EXPECT_EQ(spawnInterval(5), 59);
    EXPECT_EQ(spawnInterval(249), 11);
    EXPECT_EQ(spawnInterval(250), 10);
    EXPECT_EQ(spawnInterval(5000), 10);
}

TEST_F(RoundTest, PlayBlockSpawnsOnMultiplesOfTheInterval) {
    for (int i = 0; i < 59; ++i) playFrame();
    EXPECT_TRUE(flies.empty());
    playFrame();
    EXPECT_EQ(roundTicks, 60);
    EXPECT_EQ(flies.size(), 1u);
    for (int i = 0; i < 60; ++i) playFrame();
    EXPECT_EQ(flies.size(), 2u);

    resetRound();
    kills = 250;
    for (int i = 0; i < 30; ++i) playFrame();
    EXPECT_EQ(flies.size(), 3u);
}

TEST_F(RoundTest, SpawnedFlyTakesHpAndTopSpeedFromTheRound) {
    roundTicks = 599;
    playFrame();
    ASSERT_EQ(flies.size(), 1u);
    EXPECT_EQ(flies.back()->hp, 60);
    EXPECT_EQ(flies.back()->maxSpeed, 2.0f);
    EXPECT_EQ(flies.back()->speed, 0.0f);
    EXPECT_FALSE(flies.back()->isStunned());

    kills = 140;  // interval 32, maxSpeed 4
    roundTicks = 639;
    playFrame();
    ASSERT_EQ(flies.size(), 2u);
    EXPECT_EQ(flies.back()->maxSpeed, 4.0f);
    EXPECT_EQ(flies.back()->hp, 60);
}

TEST_F(RoundTest, SpawnDrawsEdgeThenCoordinatesThenHeading) {
    bool sawTopBottom = false, sawSides = false;
    for (unsigned seed = 1; seed <= 12; ++seed) {
        srand(seed);
        int r[4];
        for (int& v : r) v = rand();
        float x, y;
        if (r[0] & 1) {
            sawTopBottom = true;
            x = static_cast<float>(r[1] % kScreenW);
            y = static_cast<float>((r[2] % 2) * (kScreenH + 64) - 32);
        } else {
            sawSides = true;
            x = static_cast<float>((r[1] % 2) * (kScreenW + 64) - 32);
            y = static_cast<float>(r[2] % kScreenH);
        }
        srand(seed);
        spawnFly();
        const Mucha& f = *flies.back();
        EXPECT_EQ(f.x, x) << "seed " << seed;
        EXPECT_EQ(f.y, y) << "seed " << seed;
        EXPECT_EQ(f.angle, static_cast<float>((r[3] % 360) * 3.14 / 180)) << "seed " << seed;
        EXPECT_TRUE(f.x == -32 || f.x == kScreenW + 32 || f.y == -32 || f.y == kScreenH + 32);
    }
    EXPECT_TRUE(sawTopBottom && sawSides);
}

TEST_F(RoundTest, FlyOnTheCursorStingsAndCountsTwice) {
    cursorAnim = 2;
    Mucha* f = addLiveFly(322, 242);  // 10 x 10 box over the cursor's 12 x 24
    worldPass();
    EXPECT_EQ(health, 5);
    EXPECT_EQ(kills, 2);
    EXPECT_EQ(f->getHP(), 0);
    EXPECT_FALSE(f->isStunned()) << "handled as dead in the next walk";
    ASSERT_EQ(particles.size(), 1u);
    const Particle& hit = particles.front();
    EXPECT_EQ(hit.sprite, cursorSprite);
    EXPECT_EQ(hit.animIndex, 2);
    EXPECT_FLOAT_EQ(hit.life, 199.0f) << "created with 200, one walk done";
    worldPass();
    EXPECT_TRUE(f->isStunned());
    EXPECT_EQ(health, 5) << "a dead fly stings no more";
}

TEST_F(RoundTest, CursorTestUsesTheCurrentLookAndStrictEdges) {
    // Look 1 is a tall 12 x 60 box, look 0 the 12 x 24 one.
    Sprite* cur = sprite({anim(1, 12, 24), anim(1, 12, 60)});
    cursorSprite = cur;
    putMouse(100, 100);
    Mucha probe(0, 0, 0, flySprite, gravity, drag);
    probe.x = 105;
    probe.y = 130;  // below look 0, inside look 1
    cursorAnim = 0;
    EXPECT_FALSE(cursorTouchesFly(probe));
    cursorAnim = 1;
    EXPECT_TRUE(cursorTouchesFly(probe));
    probe.x = 112;  // its left edge on the cursor's right edge
    EXPECT_FALSE(cursorTouchesFly(probe));
    probe.x = 111.9f;
    EXPECT_TRUE(cursorTouchesFly(probe));
}

TEST_F(RoundTest, BumpingFliesBleedAndAreStunnedWithoutTheCursorTest) {
    // Both over the cursor: the bump comes first and skips the sting.
    addLiveFly(322, 242);
    addLiveFly(324, 244);
    Mucha* lone = addLiveFly(500, 100);
    srand(3);
    worldPass();
    EXPECT_EQ(health, 6);
    EXPECT_EQ(kills, 0);
    EXPECT_EQ(particles.size(), 10u);
    for (const Particle& p : particles) {
        EXPECT_EQ(p.sprite, sprites["krew.bmp"]);
        float speed = std::sqrt(p.vel.x * p.vel.x + p.vel.y * p.vel.y);
        EXPECT_GE(speed, 0.3f);
        EXPECT_LE(speed, 2.5f);
        EXPECT_FLOAT_EQ(p.life, 49.0f);
    }
    int stunned = 0;
    for (auto& f : flies) stunned += f->isStunned();
    EXPECT_EQ(stunned, 2);
    EXPECT_FALSE(lone->isStunned());
    // Stunned, they cannot bump again, but they can still sting.
    worldPass();
    int blood = 0;
    for (const Particle& p : particles) blood += p.sprite == sprites["krew.bmp"];
    EXPECT_EQ(blood, 10);
    EXPECT_LT(health, 6);
}

TEST_F(RoundTest, BumpOnlyCountsOnTheScreen) {
    addLiveFly(-5, 100);
    addLiveFly(-3, 100);
    worldPass();
    EXPECT_TRUE(particles.empty());
    for (auto& f : flies) EXPECT_FALSE(f->isStunned());
}

TEST_F(RoundTest, LosingKillsEveryFlyAndEndsTheRoundNextFrame) {
    cursorAnim = 0;
    health = 1;
    roundTicks = 100;
    addLiveFly(322, 242);  // stings: health 0
    Mucha* b = addLiveFly(100, 100);
    Mucha* c = addLiveFly(600, 400);
    Mucha* gone = addLiveFly(50, 50, 0);  // dead before: not counted again
    worldPass();
    EXPECT_EQ(health, 0);
    EXPECT_EQ(kills, 2 + 2) << "the sting's two and the two flies walked after it";
    EXPECT_EQ(b->getHP(), 0);
    EXPECT_EQ(c->getHP(), 0);
    EXPECT_TRUE(b->isStunned() && c->isStunned() && gone->isStunned());
    playFrame();
    EXPECT_EQ(gameState, StateRoundEnd);
    EXPECT_EQ(subState, 0);
    EXPECT_EQ(roundTicks, 100);
    worldPass();
    EXPECT_EQ(kills, 4) << "no fly is counted twice";
}

TEST_F(RoundTest, FlyFarBelowTheScreenIsRemoved) {
    Mucha* f = addLiveFly(100, kScreenH + 64);
    f->setHP(0);
    f->stun(-1);
    f->vel.y = 5;
    worldPass();  // y = h + 64 is not beyond: it moves
    EXPECT_EQ(flies.size(), 1u);
    worldPass();
    EXPECT_TRUE(flies.empty());
}

TEST_F(RoundTest, WeaponsWalkRemovesFinishedAndMovesNewOnesAtOnce) {
    int moves = 0;
    addWeapon(std::make_unique<Probe>(&moves, true));
    worldPass();
    EXPECT_EQ(moves, 2) << "the weapon appended during the walk moved too";
    EXPECT_EQ(weapons.size(), 2u);
    weapons.front()->finished = true;
    worldPass();
    EXPECT_EQ(weapons.size(), 1u);
    EXPECT_EQ(moves, 3);
}

TEST_F(RoundTest, StillMouseLeavesNoTrailAndMovingOneFliesOn) {
    resetDirty();
    cursorHead();
    EXPECT_EQ(dirtyCount, 1);
    EXPECT_TRUE(particles.empty());

    cursorAnim = 4;
    putMouse(320, 240);
    SDL_WarpMouse(330, 240);
    SDL_PumpEvents();
    cursorHead();
    ASSERT_EQ(particles.size(), 1u);
    const Particle& right = particles.back();
    EXPECT_EQ(right.x, 320.0f) << "starts at the old position";
    EXPECT_FLOAT_EQ(right.vel.x, 2.0f);
    EXPECT_NEAR(right.vel.y, 0.0f, 1e-6);
    EXPECT_EQ(right.animIndex, 4);
    EXPECT_FLOAT_EQ(right.life, 20.0f);

    // 10 down: atan2(-10, 0) * 180 / 3.14 = -90.0456 degrees, so the image
    // drifts a hair to the left as well.
    leaveTrail(330, 240, 330, 250);
    const Particle& down = particles.back();
    EXPECT_NEAR(down.vel.y, 2.0f, 1e-5);
    EXPECT_NEAR(down.vel.x, -0.0010004f, 1e-6);
}

TEST_F(RoundTest, CursorLookFollowsHealthWithinTheSprite) {
    EXPECT_EQ(cursorLook(6, 6, 12), 0);
    EXPECT_EQ(cursorLook(1, 6, 12), 10);
    EXPECT_EQ(cursorLook(0, 6, 12), 10);
    EXPECT_EQ(cursorLook(6, 7, 14), 2);
}

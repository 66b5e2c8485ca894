// The round's rules: reset, spawning, the fly walk, the cursor's trail and look.
#include <gtest/gtest.h>

#include <cmath>

#include "worldfix.h"

using namespace worldfix;

namespace {

class RoundTest : public ::testing::Test {
protected:
    void SetUp() override {
        freshWorld(320, 240);
        static Sprite* fs = plainSprite(64, 10, 10);
        flySprite = fs;
        registered("krew.bmp", 2);
    }
};

}  // namespace

TEST_F(RoundTest, ResetStartsAFreshRoundWithThePointerAtTheCentre) {
    health = 0;
    kills = roundTicks = ammo[2] = fireDelay = weaponDelay = 33;
    selectedWeapon = hoverWeapon = menuChoice = 2;
    ringOpen = true;
    liveFly(10, 10);
    putMouse(17, 19);
    resetRound();
    EXPECT_EQ(std::vector<int>({gameState, health, kills, roundTicks, ammo[2], selectedWeapon, hoverWeapon, menuChoice,
                                ringOpen, fireDelay, weaponDelay, mouseX, mouseY, int(flies.size())}),
              std::vector<int>({StateMenu, 6, 0, 0, 0, -1, -1, -1, 0, -1, -1, kScreenW / 2, kScreenH / 2, 0}));
}

TEST_F(RoundTest, SpawnsOnMultiplesOfAnIntervalShrinkingWithKillsWithHpAndTopSpeedFromTheRound) {
    std::pair<int, int> intervals[] = {{0, 60}, {4, 60}, {5, 59}, {249, 11}, {250, 10}, {5000, 10}};
    for (auto [k, want] : intervals) EXPECT_EQ(spawnInterval(k), want) << k;
    // tick: a multiple of the interval (60, 47, 46, 32, 10).
    struct Row { int tick, kills, hp; float maxSpeed; } rows[] = {
        {60, 0, 51, 2}, {600, 0, 60, 2}, {470, 69, 57, 2}, {460, 70, 57, 3}, {640, 140, 60, 4}, {10, 250, 50, 5}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.tick);
        clearObjects();
        roundTicks = r.tick - 2;
        kills = r.kills;
        playFrame();
        EXPECT_TRUE(flies.empty());
        playFrame();
        ASSERT_EQ(flies.size(), 1u);
        const Mucha& f = *flies.back();
        EXPECT_TRUE(f.hp == r.hp && f.maxSpeed == r.maxSpeed && f.speed == 0 && !f.isStunned()) << f.hp << " " << f.maxSpeed;
    }
}

TEST_F(RoundTest, SpawnDrawsEdgeThenCoordinatesThenHeading) {
    int sides = 0;
    for (unsigned seed = 1; seed <= 12; ++seed) {
        srand(seed);
        int r[4] = {rand(), rand(), rand(), rand()};
        bool topOrBottom = r[0] & 1;
        sides += !topOrBottom;
        float x = topOrBottom ? r[1] % kScreenW : (r[1] % 2) * (kScreenW + 64) - 32;
        float y = topOrBottom ? (r[2] % 2) * (kScreenH + 64) - 32 : r[2] % kScreenH;
        srand(seed);
        spawnFly();
        const Mucha& f = *flies.back();
        EXPECT_TRUE(f.x == x && f.y == y && f.angle == static_cast<float>((r[3] % 360) * 3.14 / 180)) << "seed " << seed;
    }
    EXPECT_TRUE(sides > 0 && sides < 12);
}

TEST_F(RoundTest, FlyOnTheCursorStingsAndCountsTwice) {
    cursorAnim = 2;
    Mucha* f = liveFly(322, 242);
    worldPass();
    EXPECT_TRUE(health == 5 && kills == 2 && f->getHP() <= 0 && !f->isStunned()) << "dead, handled in the next walk";
    ASSERT_EQ(particles.size(), 1u);
    const Particle& hit = particles.front();
    EXPECT_TRUE(hit.sprite == cursorSprite && hit.animIndex == 2 && hit.life == 199.0f) << "created with 200, one walk done";
    worldPass();
    EXPECT_TRUE(f->isStunned());
    EXPECT_EQ(health, 5) << "a dead fly stings no more";
}

TEST_F(RoundTest, CursorTestUsesTheCurrentLookAndStrictEdges) {
    cursorSprite = sprite({anim(1, 12, 24), anim(1, 12, 60)});
    putMouse(100, 100);
    Mucha probe(0, 0, 0, flySprite, gravity, drag);
    struct Row { int look; float x; bool hit; } rows[] = {  // the fly's top at 130 is below look 0
        {0, 105, false}, {1, 105, true}, {1, 112, false}, {1, 111.9f, true}, {1, 90, false}, {1, 90.1f, true}};
    for (const Row& r : rows) {
        cursorAnim = r.look;
        probe.x = r.x;
        probe.y = 130;
        EXPECT_EQ(cursorTouchesFly(probe), r.hit) << r.look << " " << r.x;
    }
}

TEST_F(RoundTest, BumpingFliesBleedAndAreStunnedWithoutTheCursorTest) {
    Mucha* a = liveFly(322, 242);  // both over the cursor: the bump comes first
    Mucha* b = liveFly(324, 244);
    Mucha* lone = liveFly(500, 100);
    srand(3);
    worldPass();
    EXPECT_TRUE(health == 6 && kills == 0 && a->isStunned() && b->isStunned() && !lone->isStunned());
    EXPECT_EQ(particles.size(), 10u);
    for (const Particle& p : particles) {
        float speed = std::hypot(p.vel.x, p.vel.y);
        EXPECT_TRUE(p.sprite == findSprite("krew.bmp") && p.life == 49.0f && speed >= 0.3f && speed <= 2.5f) << speed;
    }
    worldPass();  // stunned, they bump no more but still sting, and count
    EXPECT_TRUE(particles.size() == 12 && health == 4 && kills == 4);
    lone->x = a->x;
    lone->y = a->y;
    worldPass();
    EXPECT_TRUE(lone->isStunned()) << "the other fly's stun does not matter";
    // Two still flies 1 apart; only the first one's bump is looked at, and only inside the screen.
    struct Row { float x, y; bool bumps; } rows[] = {
        {0, 100, false}, {0.5f, 100, true}, {639.5f, 100, true}, {640, 100, false}, {100, 0, false}, {100, 0.5f, true}};
    for (const Row& r : rows) {
        clearObjects();
        Mucha* first = liveFly(r.x, r.y);
        liveFly(r.x + 1, r.y)->maxSpeed = first->maxSpeed = 0;
        worldPass();
        EXPECT_EQ(first->isStunned(), r.bumps) << r.x << "," << r.y;
    }
}

TEST_F(RoundTest, LosingKillsEveryFlyAndEndsTheRoundNextFrame) {
    health = 1;
    roundTicks = 100;
    liveFly(322, 242);  // stings: health 0
    Mucha* b = liveFly(100, 100);
    Mucha* gone = liveFly(50, 50, 0);  // dead before: not counted again
    worldPass();
    EXPECT_EQ(health, 0);
    EXPECT_EQ(kills, 2 + 1) << "the sting's two and the fly walked after it";
    EXPECT_TRUE(b->getHP() == 0 && b->isStunned() && gone->isStunned());
    playFrame();
    EXPECT_TRUE(gameState == StateRoundEnd && roundTicks == 100);
    worldPass();
    EXPECT_EQ(kills, 3) << "no fly is counted twice";
}

TEST_F(RoundTest, FlyFarBelowTheScreenIsRemoved) {
    liveFly(100, kScreenH + 64, 0)->stun(-1);
    worldPass();  // exactly h + 64 moves on
    EXPECT_EQ(flies.size(), 1u);
    worldPass();
    EXPECT_TRUE(flies.empty());
}

TEST_F(RoundTest, MovingMouseLeavesATrailWithTheCursorsLook) {
    cursorHead();
    EXPECT_EQ(dirtyCount, 1) << "the cursor's box";
    EXPECT_TRUE(particles.empty()) << "a still mouse leaves none";
    cursorAnim = 4;
    SDL_WarpMouse(330, 240);
    SDL_PumpEvents();
    cursorHead();
    ASSERT_EQ(particles.size(), 1u);
    const Particle& right = particles.back();
    EXPECT_TRUE(right.x == 320.0f && right.animIndex == 4 && right.life == 20.0f);
    EXPECT_FLOAT_EQ(right.vel.x, 2.0f);
    // 10 down: atan2 * 180 / 3.14 = -90.0456 degrees drifts a hair to the left.
    leaveTrail(330, 240, 330, 250);
    EXPECT_NEAR(particles.back().vel.x, -0.0010004f, 1e-6);
    EXPECT_NEAR(particles.back().vel.y, 2.0f, 1e-5);
}

TEST_F(RoundTest, CursorLookFollowsHealthWithinTheSprite) {
    struct Row { int hp, half, count, want; } rows[] = {{6, 6, 12, 0}, {1, 6, 12, 10}, {0, 6, 12, 10}, {6, 7, 14, 2}};
    for (const Row& r : rows) EXPECT_EQ(cursorLook(r.hp, r.half, r.count), r.want) << r.hp;
}

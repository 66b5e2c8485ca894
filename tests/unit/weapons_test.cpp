// The weapons at work, each driven update by update with a fixed seed.
#include <algorithm>
#include <cstdlib>
#include <set>
#include <tuple>

#include "weaponfix.h"
#include "world/airstrike.h"
#include "world/armageddon.h"
#include "world/bomb.h"
#include "world/bzykolot.h"
#include "world/concrete.h"

using namespace weaponfix;

namespace {

class Weapons : public World {};

Explosion* blastAt(int32_t x, int32_t y, int32_t damage) {
    return spawnExplosion(x, y, findSprite("wybuch01.bmp"), gravity, drag, damage, false);
}

// Explosions made in the last walk: created and moved once, so 31 updates left.
std::vector<Explosion*> freshBlasts() {
    std::vector<Explosion*> out;
    for (Explosion* e : all<Explosion>())
        if (e->timer == 31) out.push_back(e);
    return out;
}

// Runs one update; whether it drew `o` (every draw moves frame or frameTime).
template <class F>
bool drawsIn(const Object& o, F update) {
    const uint8_t frame = o.frame, time = o.frameTime;
    update();
    return o.frame != frame || o.frameTime != time;
}

TEST_F(Weapons, ExplosionReachDamageAndDeadFlies) {
    const struct { float x, y; int32_t hp, damage, hpAfter, kills; } rows[] = {
        {163.9f, 100, 50, 5, 40, 0},  // 63.9 truncates to 63
        {100, 164, 50, 5, 50, 0},     // 64
        {55, 55, 50, 5, 40, 0},       // 63.6
        {100, 100, 1, 0, 1, 0},
        {100, 100, 1, -7, 1, 0},      // negative: no damage step (it would heal)
        {110, 100, 3, 5, -2, 1},      // killed in the first update, left alone in the second
        {110, 100, 0, 5, 0, 0},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(testing::Message() << "fly at " << r.x << "," << r.y << " hp " << r.hp << " damage " << r.damage);
        clearObjects();
        kills = 0;
        Mucha* fly = addLivingFly(r.x, r.y, r.hp);
        Explosion* e = blastAt(100, 100, r.damage);
        e->move();
        e->move();
        EXPECT_EQ(fly->hp, r.hpAfter);
        EXPECT_EQ(kills, r.kills);
    }
}

TEST_F(Weapons, ExplosionHurtsAndDrawsForThirtyTwoUpdatesAndFinishesInTheThirtyThird) {
    Mucha* tough = addLivingFly(100, 100, 1000);
    Explosion* e = blastAt(100, 100, 5);
    for (int u = 1; u <= 33; ++u) {
        const int32_t marked = dirtyCount;
        ASSERT_EQ(drawsIn(*e, [e] { e->move(); }), u < 33) << u;
        ASSERT_EQ(e->finished, u == 33) << u;
        ASSERT_GT(dirtyCount, marked) << u;  // the box is marked, so the last frame is erased
    }
    EXPECT_EQ(tough->hp, 1000 - 32 * 5);
}

TEST_F(Weapons, BombTimelineWavesAndSpread) {
    srand(11);
    std::vector<int> r(15);
    for (int& v : r) v = rand();
    srand(11);
    mouseX = 100;
    mouseY = 200;
    ASSERT_TRUE(launchWeapon(KindBomb));
    Bomb* bomb = all<Bomb>().front();
    std::vector<int> waves;
    size_t blasts = 0;
    for (int u = 1; u <= 127; ++u) {
        // The world pass: explosions appended during it are moved in it too.
        ASSERT_EQ(drawsIn(*bomb, worldPass), u <= 95) << u;
        ASSERT_EQ(bomb->animIndex, u < 30 ? 0 : 1) << u;
        ASSERT_EQ(bomb->finished, u == 127) << u;
        std::vector<Explosion*> wave = freshBlasts();
        if (wave.empty()) continue;
        waves.push_back(u);
        blasts += wave.size();
        for (Explosion* e : wave) EXPECT_EQ(e->damage, 15);
        if (waves.size() > 1) continue;
        // x roll, y roll, look roll per explosion; W / 10 = 64 and H / 10 = 48 on 640 x 480.
        ASSERT_EQ(wave.size(), 5u);
        for (int i = 0; i < 5; ++i) {
            EXPECT_EQ(wave[i]->x, 100 - r[3 * i] % 128 + 64);
            EXPECT_EQ(wave[i]->y, 200 - r[3 * i + 1] % 96 + 48);
            EXPECT_EQ(wave[i]->animIndex, r[3 * i + 2] % 4);
        }
        EXPECT_EQ(started("explosion00.wav"), 5);
    }
    EXPECT_EQ(waves, (std::vector<int>{71, 76, 81, 86, 91, 96, 101, 106, 111, 116, 121, 126}));
    EXPECT_EQ(blasts, 60u);
}

TEST_F(Weapons, FlameBurnsInsideItsColumnAndThrowsTenParticlesPerUpdate) {
    srand(5);
    ASSERT_TRUE(launchWeapon(KindFlame));
    EXPECT_EQ(started("flame.wav"), 1);
    Flame* f = all<Flame>().front();
    // W / 10 = 64 either side of x = 320, both ends open.
    Mucha* edges[] = {addLivingFly(256, 10), addLivingFly(384, 400)};
    Mucha* inside[] = {addLivingFly(256.5f, 240), addLivingFly(383.9f, -20)};
    Mucha* dead = addLivingFly(320, 240, 0);
    weaponsWalk();
    for (Mucha* m : edges) EXPECT_EQ(m->hp, 50);
    for (Mucha* m : inside) EXPECT_EQ(m->hp, 48);
    EXPECT_EQ(dead->hp, 0);
    ASSERT_EQ(particles.size(), 10u);
    for (const Particle& p : particles) {
        EXPECT_TRUE(p.x >= 256 && p.x < 384 && p.y == H + 8 && p.life == 200 && p.animIndex % 2 == 0) << p.x;
        EXPECT_TRUE(p.vel.y < -5.49f && p.vel.y > -7.41f) << p.vel.y;  // H / 90 = 5: 5.5 to 7.4 px up
    }
    for (int u = 2; u <= 625; ++u) {
        weaponsWalk();
        ASSERT_EQ(f->finished, u == 625) << u;
    }
    EXPECT_EQ(particles.size(), 6240u);
}

Concrete* dropConcrete() {
    mouseX = 300;
    EXPECT_TRUE(launchWeapon(KindConcrete));
    return all<Concrete>().front();
}

TEST_F(Weapons, ConcreteBouncesOffAFlyFromItsFiftyFirstUpdate) {
    for (int before : {49, 50}) {
        SCOPED_TRACE(before);
        clearObjects();
        freeSlots();
        Concrete* c = dropConcrete();
        for (int u = 1; u <= before; ++u) weaponsWalk();
        Mucha* fly = addLivingFly(c->x, c->y + 2);
        weaponsWalk();
        EXPECT_LE(fly->hp, 0);
        EXPECT_EQ(c->vel.y == -2.0f, before == 50) << c->vel.y;
        EXPECT_EQ(started("boing.wav"), before == 50 ? 1 : 0);
    }
}

TEST_F(Weapons, ConcreteKillsTwoFliesWithOneBounceAndFinishesItsHeightBelowTheScreen) {
    Concrete* c = dropConcrete();
    for (int u = 1; u <= 80; ++u) weaponsWalk();
    const float fallY = c->y + c->vel.y + gravity.y;
    Mucha* a = addLivingFly(295, fallY);
    Mucha* b = addLivingFly(305, fallY + 5);
    addLivingFly(300, fallY, 0);
    weaponsWalk();
    EXPECT_EQ(std::make_tuple(a->hp, b->hp, kills, started("boing.wav")), std::make_tuple(0, 0, 2, 1));
    EXPECT_EQ(c->vel.y, -2.0f);
    EXPECT_EQ(particles.size(), 20u);
    std::vector<float> starts;
    while (!c->finished && starts.size() < 2000) {
        starts.push_back(c->y);
        weaponsWalk();
    }
    ASSERT_TRUE(c->finished);
    EXPECT_GE(starts.back(), H + 48);
    EXPECT_LT(starts[starts.size() - 2], H + 48);
    EXPECT_EQ(c->y, starts.back());
}

struct Strike {
    std::vector<std::tuple<int, int32_t, float>> releases;  // frame of each bomb's first update, gen, x
    std::vector<std::pair<int32_t, int32_t>> blasts;        // damage, y
};

Strike runStrike() {
    Strike s;
    for (int f = 1; f <= 200; ++f) {
        weaponsWalk();
        for (Airstrike* a : all<Airstrike>())
            if (a->timer == 1) s.releases.emplace_back(f, a->gen, a->x);
        for (Explosion* e : freshBlasts()) s.blasts.emplace_back(e->damage, static_cast<int32_t>(e->y));
    }
    return s;
}

TEST_F(Weapons, AirstrikeDropsSevenBombsTenFramesApartExplodingAtTheCursorHeight) {
    for (int32_t cursorY : {400, 0}) {  // 0: the first bomb lands as it releases the next
        SCOPED_TRACE(cursorY);
        clearObjects();
        mouseX = 320;
        mouseY = cursorY;
        ASSERT_TRUE(launchWeapon(KindAirstrike));
        const Strike s = runStrike();
        std::vector<std::tuple<int, int32_t, float>> expected;
        for (int k = 0; k <= 6; ++k) expected.emplace_back(1 + 10 * k, k, 416.0f - 32 * k);
        EXPECT_EQ(s.releases, expected);
        ASSERT_EQ(s.blasts.size(), 7u);
        for (auto [damage, y] : s.blasts) EXPECT_TRUE(damage == 25 && y >= cursorY && y < cursorY + 10) << damage << " " << y;
    }
}

TEST_F(Weapons, AirstrikeHitInItsFirstTenUpdatesCutsTheChain) {
    mouseX = 320;
    mouseY = 400;
    launchWeapon(KindAirstrike);
    Mucha* a = addLivingFly(416, -10);
    Mucha* b = addLivingFly(420, -12);
    const Strike s = runStrike();
    EXPECT_EQ(std::make_tuple(s.releases.size(), s.blasts.size(), a->hp, b->hp), std::make_tuple(1u, 1u, 0, 0));
}

TEST_F(Weapons, ArmageddonPassesThroughItsTargetAndLandsInTheEleventhUpdate) {
    srand(1);
    mouseX = 100;
    mouseY = 50;
    ASSERT_TRUE(launchWeapon(KindArmageddon));
    Armageddon* m = all<Armageddon>().front();
    EXPECT_EQ(std::make_pair(m->x, m->y), std::make_pair(182.0f, -32.0f));
    for (int u = 1; u <= 10; ++u) weaponsWalk();
    EXPECT_NEAR(m->x, 99.8, 0.01);
    EXPECT_NEAR(m->y, 50.2, 0.01);
    const int32_t timer = m->timer;
    weaponsWalk();
    EXPECT_NEAR(m->x, 99.8, 0.01);
    EXPECT_EQ(m->timer, timer + 1);
}

TEST_F(Weapons, ArmageddonRainsSeventySixMeteorsWithHarmlessSilentImpacts) {
    srand(7);
    mouseX = 300;
    mouseY = 200;
    launchWeapon(KindArmageddon);
    freeSlots();  // the first meteor's whoosh, if it rolled one
    std::set<int32_t> gens;
    int impacts = 0, others = 0;
    for (int f = 1; f <= 2000 && !weapons.empty(); ++f) {
        weaponsWalk();
        for (Armageddon* m : all<Armageddon>()) {
            if (m->timer != 1 || m->y >= m->targetY) continue;
            gens.insert(m->gen);
            EXPECT_TRUE(m->targetX >= 32 && m->targetX <= W - 33 && m->targetY >= 32 && m->targetY <= H - 33)
                << m->targetX << "," << m->targetY;
            EXPECT_NEAR(m->x + m->y, m->targetX + m->targetY, 0.01);  // on its target's diagonal
        }
        for (Explosion* e : freshBlasts()) (e->damage == 0 ? impacts : others)++;
    }
    EXPECT_TRUE(weapons.empty());
    EXPECT_EQ(std::make_tuple(gens.size(), *gens.rbegin(), impacts, others), std::make_tuple(76u, 75, 76 * 3, 0));
    EXPECT_EQ(started("explosion00.wav"), 0);
    EXPECT_GT(started("fireball.wav"), 0);
}

TEST_F(Weapons, ArmageddonMeteorHittingAFlyExplodesAndPassesOnAtOnce) {
    srand(2);
    mouseX = 300;
    mouseY = 300;
    launchWeapon(KindArmageddon);
    Armageddon* m = all<Armageddon>().front();
    Mucha* victim = addLivingFly(m->x - 8.04f, m->y + 8.04f);
    freeSlots();
    weaponsWalk();
    EXPECT_EQ(std::make_tuple(victim->hp, m->finished, all<Armageddon>().size()), std::make_tuple(0, true, 2u));
    ASSERT_EQ(freshBlasts().size(), 1u);
    EXPECT_EQ(std::make_pair(freshBlasts()[0]->damage, started("explosion00.wav")), std::make_pair(40, 1));
}

TEST_F(Weapons, BzykolotKillsInsideNinetySixPixelsOfTruncatedComponents) {
    mouseX = mouseY = 300;
    launchWeapon(KindBzykolot);
    const struct { float x, y; bool dies; } rows[] = {
        {395.9f, 300, true}, {396, 300, false}, {204.1f, 300, true}, {204, 300, false}, {300, 395.99f, true}};
    for (const auto& r : rows) addLivingFly(r.x, r.y);
    const int32_t marked = dirtyCount;
    weaponsWalk();
    auto fly = flies.begin();
    for (const auto& r : rows) EXPECT_EQ((*fly++)->hp, r.dies ? 0 : 50) << r.x << "," << r.y;
    EXPECT_EQ(dirtyCount, marked);  // the field itself is invisible
}

TEST_F(Weapons, BzykolotGlowsSeventeenTimesAndFinishesAfterSixHundredTwentyFiveUpdates) {
    srand(9);
    mouseX = 300;
    mouseY = 200;
    launchWeapon(KindBzykolot);
    Bzykolot* f = all<Bzykolot>().front();
    std::vector<int32_t> glowTimers;
    for (int u = 1; u <= 626; ++u) {
        ASSERT_FALSE(f->finished) << u;
        const size_t before = all<Explosion>().size();
        f->move();
        if (all<Explosion>().size() == before) continue;
        glowTimers.push_back(f->timer);
        const Explosion* glow = all<Explosion>().back();
        EXPECT_TRUE(glow->sprite == findSprite("bzykolot.bmp") && glow->damage == 0) << u;
        EXPECT_TRUE(glow->x > 300 - 64 && glow->x <= 300 + 64 && glow->y > 200 - 64 && glow->y <= 200 + 64) << u;
    }
    EXPECT_TRUE(f->finished);
    ASSERT_EQ(glowTimers.size(), 17u);
    for (size_t i = 0; i < glowTimers.size(); ++i) EXPECT_EQ(glowTimers[i], 35 * static_cast<int32_t>(i + 1));
    EXPECT_EQ(started("explosion00.wav"), 0);
}

TEST_F(Weapons, BzykolotSpreadsUpToThreeGenerationsEachStartingTwentyUpdatesOlder) {
    int32_t deepest = 0;
    // Some seed spreads three generations deep; with every seed the copies' clocks must hold.
    for (unsigned seed = 1; seed <= 60 && deepest < 3; ++seed) {
        clearObjects();
        srand(seed);
        launchWeapon(KindBzykolot);
        std::set<Bzykolot*> seen{all<Bzykolot>().front()};
        while (!weapons.empty()) {
            weaponsWalk();
            for (Bzykolot* b : all<Bzykolot>()) {
                if (seen.insert(b).second) {  // made in this walk and moved once: timer = start + 1
                    ASSERT_TRUE(b->gen >= 1 && b->gen <= 3) << b->gen;
                    EXPECT_GE(b->timer - 1, 20 * (b->gen - 1));
                    EXPECT_LE(b->timer - 1, 20 * (b->gen - 1) + 4);
                    deepest = std::max(deepest, b->gen);
                }
                if (b->finished) seen.erase(b);  // freed in the next walk, its address free for a copy
            }
        }
    }
    EXPECT_EQ(deepest, 3);
}

}  // namespace

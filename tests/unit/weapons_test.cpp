// The weapons at work, each driven update by update with a fixed seed.
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

TEST_F(Weapons, ExplosionReachDamageAndLife) {
    auto blast = [](int32_t damage) {
        return spawnExplosion(100, 100, findSprite("wybuch01.bmp"), gravity, drag, damage, false);
    };
    const struct { float x, y; int32_t hp, damage, hpAfter; } rows[] = {
        {163.9f, 100, 50, 5, 40},  // 63.9 truncates to 63
        {100, 164, 50, 5, 50},
        {100, 100, 1, -7, 1},      // negative: no damage step (it would heal)
        {110, 100, 3, 5, -2},      // killed in the first update, left alone in the second
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(testing::Message() << r.x << "," << r.y << " damage " << r.damage);
        clearObjects();
        Mucha* fly = liveFly(r.x, r.y, r.hp);
        blast(r.damage)->move();
        weapons.front()->move();
        EXPECT_EQ(fly->hp, r.hpAfter);
    }
    clearObjects();
    Mucha* tough = liveFly(100, 100, 1000);
    Explosion* e = blast(5);
    for (int u = 1; u <= 33; ++u) {
        const int32_t marked = dirtyCount;
        ASSERT_EQ(drawsIn(*e, [e] { e->move(); }), u < 33) << u;
        ASSERT_EQ(e->finished, u == 33) << u;
        ASSERT_GT(dirtyCount, marked) << u;  // the last update marks the box, so the last frame is erased
    }
    EXPECT_EQ(tough->hp, 1000 - 32 * 5);
}

TEST_F(Weapons, BombTimelineWavesAndSpread) {
    srand(11);
    std::vector<int> r(15);
    for (int& v : r) v = rand();
    srand(11);
    mouseX = 100, mouseY = 200;
    ASSERT_TRUE(launchWeapon(KindBomb));
    Bomb* bomb = all<Bomb>().front();
    std::vector<int> waves;
    for (int u = 1; u <= 127; ++u) {
        // The world pass: explosions appended during it are moved in it too.
        ASSERT_EQ(drawsIn(*bomb, worldPass), u <= 95) << u;
        ASSERT_EQ(bomb->animIndex, u < 30 ? 0 : 1) << u;
        ASSERT_EQ(bomb->finished, u == 127) << u;
        std::vector<Explosion*> wave = freshBlasts();
        if (wave.empty()) continue;
        waves.push_back(u);
        ASSERT_EQ(wave.size(), 5u) << u;
        if (waves.size() > 1) continue;
        // x roll, y roll, look roll per explosion; W / 10 = 64 and H / 10 = 48 on 640 x 480.
        for (int i = 0; i < 5; ++i) {
            EXPECT_EQ(wave[i]->x, 100 - r[3 * i] % 128 + 64);
            EXPECT_EQ(wave[i]->y, 200 - r[3 * i + 1] % 96 + 48);
            EXPECT_EQ(wave[i]->animIndex, r[3 * i + 2] % 4);
        }
        EXPECT_EQ(started("explosion00.wav"), 5);
    }
    EXPECT_EQ(waves, (std::vector<int>{71, 76, 81, 86, 91, 96, 101, 106, 111, 116, 121, 126}));
}

TEST_F(Weapons, FlameBurnsInsideItsColumnAndThrowsTenParticlesPerUpdate) {
    srand(5);
    ASSERT_TRUE(launchWeapon(KindFlame));
    Flame* f = all<Flame>().front();
    // W / 10 = 64 either side of x = 320, both ends open.
    Mucha* edges[] = {liveFly(256, 10), liveFly(384, 400)};
    Mucha* inside[] = {liveFly(256.5f, 240), liveFly(383.9f, -20)};
    weaponsWalk();
    for (Mucha* m : edges) EXPECT_EQ(m->hp, 50);
    for (Mucha* m : inside) EXPECT_EQ(m->hp, 48);
    ASSERT_EQ(particles.size(), 10u);
    for (const Particle& p : particles)  // H / 90 = 5: 5.5 to 7.4 px up
        EXPECT_TRUE(p.x >= 256 && p.x < 384 && p.vel.y < -5.49f && p.vel.y > -7.41f && p.animIndex % 2 == 0)
            << p.x << " " << p.vel.y;
    for (int u = 2; u <= 625; ++u) {
        weaponsWalk();
        ASSERT_EQ(f->finished, u == 625) << u;
    }
}

TEST_F(Weapons, ConcreteBouncesFromItsFiftyFirstUpdateOnceForTwoFliesAndFinishesItsHeightBelowTheScreen) {
    auto drop = [](int updates) {
        clearObjects();
        freeSlots();
        kills = 0;
        EXPECT_TRUE(launchWeapon(KindConcrete));
        for (int u = 1; u <= updates; ++u) weaponsWalk();
        return all<Concrete>().front();
    };
    for (int before : {49, 50}) {
        Concrete* c = drop(before);
        Mucha* fly = liveFly(c->x, c->y + 2);
        weaponsWalk();
        EXPECT_LE(fly->hp, 0) << before;
        EXPECT_EQ(std::make_pair(c->vel.y == -2.0f, started("boing.wav")), std::make_pair(before == 50, int(before == 50)))
            << before << ": " << c->vel.y;
    }
    Concrete* c = drop(80);
    const float fallY = c->y + c->vel.y + gravity.y;
    Mucha* a = liveFly(295, fallY);
    Mucha* b = liveFly(305, fallY + 5);
    liveFly(300, fallY, 0);
    weaponsWalk();
    EXPECT_EQ(std::make_tuple(a->hp, b->hp, kills, started("boing.wav"), c->vel.y, particles.size()),
              std::make_tuple(0, 0, 2, 1, -2.0f, size_t{20}));
    float before = c->y, start = c->y;
    while (!c->finished && start < 5000) {
        before = start;
        start = c->y;
        weaponsWalk();
    }
    EXPECT_TRUE(c->finished && before < H + 48 && start >= H + 48 && c->y == start) << before << " " << start;
}

TEST_F(Weapons, AirstrikeDropsSevenBombsTenFramesApartExplodingAtTheCursorHeight) {
    std::vector<std::tuple<int, int32_t, float>> releases;  // frame of each bomb's first update, gen, x
    std::vector<std::pair<int32_t, int32_t>> blasts;        // damage, y
    auto strike = [&](int32_t cursorY, bool flyInTheWay) {
        clearObjects();
        releases.clear();
        blasts.clear();
        mouseX = 320, mouseY = cursorY;
        ASSERT_TRUE(launchWeapon(KindAirstrike));
        if (flyInTheWay) liveFly(416, -10), liveFly(420, -12);
        for (int f = 1; f <= 200; ++f) {
            weaponsWalk();
            for (Airstrike* a : all<Airstrike>())
                if (a->timer == 1) releases.emplace_back(f, a->gen, a->x);
            for (Explosion* e : freshBlasts()) blasts.emplace_back(e->damage, static_cast<int32_t>(e->y));
        }
    };
    std::vector<std::tuple<int, int32_t, float>> expected;
    for (int k = 0; k <= 6; ++k) expected.emplace_back(1 + 10 * k, k, 416.0f - 32 * k);
    for (int32_t cursorY : {400, 0}) {  // 0: the first bomb lands as it releases the next
        strike(cursorY, false);
        EXPECT_EQ(releases, expected) << cursorY;
        ASSERT_EQ(blasts.size(), 7u);
        for (auto [damage, y] : blasts) EXPECT_TRUE(damage == 25 && y >= cursorY && y < cursorY + 10) << damage << " " << y;
    }
    strike(400, true);  // a hit in the first ten updates cuts the chain
    EXPECT_EQ(std::make_tuple(releases.size(), blasts.size(), kills), std::make_tuple(1u, 1u, 2));
}

TEST_F(Weapons, ArmageddonRainsSeventySixMeteorsWithHarmlessSilentImpactsAndPassesOnAtAHit) {
    srand(7);
    mouseX = 300, mouseY = 200;
    launchWeapon(KindArmageddon);
    Armageddon* first = all<Armageddon>().front();
    Mucha* victim = liveFly(first->x - 8.04f, first->y + 8.04f);  // where its first update takes it
    freeSlots();  // the first meteor's whoosh, if it rolled one
    std::set<int32_t> gens;
    std::vector<int32_t> damages;
    int impacts = 0;
    for (int f = 1; f <= 2000 && !weapons.empty(); ++f) {
        weaponsWalk();
        if (f == 1) {  // the hit explodes and passes on at once
            EXPECT_EQ(std::make_tuple(victim->hp, first->finished, all<Armageddon>().size()), std::make_tuple(0, true, 2u));
        }
        for (Armageddon* m : all<Armageddon>()) {
            if (m->timer != 1 || m->y >= m->targetY) continue;
            gens.insert(m->gen);
            EXPECT_TRUE(m->targetX >= 32 && m->targetX <= W - 33 && m->targetY >= 32 && m->targetY <= H - 33)
                << m->targetX << "," << m->targetY;
            EXPECT_NEAR(m->x + m->y, m->targetX + m->targetY, 0.01);  // on its target's diagonal
        }
        for (Explosion* e : freshBlasts()) e->damage == 0 ? void(++impacts) : damages.push_back(e->damage);
    }
    EXPECT_TRUE(weapons.empty());
    // Generations 1 to 75 follow the first meteor; each landing raises three clouds of dust.
    EXPECT_EQ(std::make_tuple(gens.size(), *gens.rbegin(), impacts, damages),
              std::make_tuple(75u, 75, 75 * 3, std::vector<int32_t>{40}));
    EXPECT_TRUE(started("explosion00.wav") == 1 && started("fireball.wav") > 0);  // only the hit is loud
}

TEST_F(Weapons, BzykolotKillsInsideNinetySixPixelsGlowsEveryThirtyFiveUpdatesAndLastsSixHundredTwentyFive) {
    srand(9);
    mouseX = mouseY = 300;
    launchWeapon(KindBzykolot);
    Bzykolot* f = all<Bzykolot>().front();
    const struct { float x, y; bool dies; } rows[] = {  // the distance of truncated components
        {395.9f, 300, true}, {396, 300, false}, {204.1f, 300, true}, {204, 300, false}, {300, 395.99f, true}};
    for (const auto& r : rows) liveFly(r.x, r.y);
    std::vector<int32_t> glowTimers, every35;
    for (int32_t t = 35; t <= 625; t += 35) every35.push_back(t);
    for (int u = 1; u <= 626; ++u) {
        ASSERT_FALSE(f->finished) << u;
        const size_t before = all<Explosion>().size();
        f->move();
        if (all<Explosion>().size() > before) glowTimers.push_back(f->timer);
    }
    EXPECT_TRUE(f->finished);
    EXPECT_EQ(glowTimers, every35);
    auto fly = flies.begin();
    for (const auto& r : rows) EXPECT_EQ((*fly++)->hp, r.dies ? 0 : 50) << r.x << "," << r.y;
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
                    const int32_t late = b->timer - 1 - 20 * (b->gen - 1);
                    ASSERT_TRUE(b->gen >= 1 && b->gen <= 3 && late >= 0 && late <= 4) << b->gen << " " << b->timer;
                    deepest = std::max(deepest, b->gen);
                }
                if (b->finished) seen.erase(b);  // freed in the next walk, its address free for a copy
            }
        }
    }
    EXPECT_EQ(deepest, 3);
}

}  // namespace

// The weapons at work: explosion, bomb, flame, concrete, airstrike, armageddon
// and the Bzykolot field, each driven update by update with a fixed seed.
#include <cmath>
#include <algorithm>
#include <cstdlib>
#include <map>
#include <set>

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

// Explosions made during the last walk: created and moved once, so 31 updates left.
std::vector<Explosion*> freshBlasts() {
    std::vector<Explosion*> out;
    for (Explosion* e : all<Explosion>())
        if (e->timer == kBlastLife - 1) out.push_back(e);
    return out;
}

// Whether the next update draws the object: every draw moves frame or frameTime.
struct DrawProbe {
    explicit DrawProbe(const Object& o) : o(o), frame(o.frame), time(o.frameTime) {}
    bool drew() const { return o.frame != frame || o.frameTime != time; }
    const Object& o;
    uint8_t frame, time;
};

// ---- Explosion ----------------------------------------------------------------

TEST_F(Weapons, ExplosionHitsFliesUpToSixtyThreePixels) {
    Explosion* e = blastAt(100, 100, 5);
    ASSERT_NE(e, nullptr);
    Mucha* edge = addLivingFly(163.9f, 100);    // 63.9 truncates to 63
    Mucha* outside = addLivingFly(100, 164.0f); // exactly 64
    Mucha* diagonal = addLivingFly(55, 55);     // 63.6 away
    e->move();
    EXPECT_EQ(edge->hp, 45);
    EXPECT_EQ(outside->hp, 50);
    EXPECT_EQ(diagonal->hp, 45);
}

TEST_F(Weapons, ExplosionDamageZeroChangesNothingAndNegativeSkipsTheFlies) {
    Mucha* frail = addLivingFly(100, 100, 1);
    Explosion* harmless = blastAt(100, 100, 0);
    for (int i = 0; i < 5; ++i) harmless->move();
    EXPECT_EQ(frail->hp, 1);
    EXPECT_EQ(kills, 0);
    EXPECT_EQ(started("flybuzz.wav"), 0);

    // A negative damage would heal if the damage step ran.
    Explosion* none = blastAt(100, 100, -7);
    none->move();
    EXPECT_EQ(frail->hp, 1);
}

TEST_F(Weapons, ExplosionCountsAKillOnceAndLeavesDeadFliesAlone) {
    Mucha* dying = addLivingFly(100, 100, 3);
    Mucha* dead = addLivingFly(110, 100, 0);
    Explosion* e = blastAt(100, 100, 5);
    e->move();
    e->move();
    EXPECT_EQ(dying->hp, -2);
    EXPECT_EQ(dead->hp, 0);
    EXPECT_EQ(kills, 1);
    EXPECT_EQ(started("flybuzz.wav"), 1);
}

TEST_F(Weapons, ExplosionHurtsForThirtyTwoUpdatesAndFinishesInTheThirtyThird) {
    Mucha* tough = addLivingFly(100, 100, 1000);
    Explosion* e = blastAt(100, 100, 5);
    for (int u = 1; u <= 32; ++u) {
        DrawProbe probe(*e);
        e->move();
        ASSERT_FALSE(e->finished) << "update " << u;
        ASSERT_TRUE(probe.drew()) << "update " << u;
    }
    DrawProbe probe(*e);
    const int32_t marked = dirtyCount;
    e->move();
    EXPECT_TRUE(e->finished);
    EXPECT_FALSE(probe.drew());
    EXPECT_EQ(dirtyCount, marked + 1);  // its box is erased
    EXPECT_EQ(tough->hp, 1000 - 32 * 5);
}

TEST_F(Weapons, ExplosionsAppendedDuringTheWorldPassMoveInTheSameFrame) {
    auto bomb = std::make_unique<Bomb>(0, 300, 200, findSprite("granat.bmp"), gravity, drag, false);
    bomb->timer = 56;  // next update is the first wave (n = 55)
    addWeapon(std::move(bomb));
    worldPass();
    ASSERT_EQ(all<Explosion>().size(), 5u);
    for (Explosion* e : all<Explosion>()) EXPECT_EQ(e->timer, kBlastLife - 1);
}

// ---- Bomb ---------------------------------------------------------------------

TEST_F(Weapons, BombTimeline) {
    srand(11);
    auto made = std::make_unique<Bomb>(0, 100, 200, findSprite("granat.bmp"), gravity, drag, false);
    made->timer = 126;
    Bomb* bomb = made.get();
    addWeapon(std::move(made));
    std::vector<int> waves;
    int blasts = 0;
    for (int u = 1; u <= 127; ++u) {
        DrawProbe probe(*bomb);
        walkWeapons();
        ASSERT_EQ(bomb->animIndex, u < 30 ? 0 : 1) << "update " << u;
        ASSERT_EQ(probe.drew(), u <= 95) << "update " << u;
        ASSERT_EQ(bomb->finished, u == 127) << "update " << u;
        const size_t fresh = freshBlasts().size();
        if (fresh) {
            waves.push_back(u);
            EXPECT_EQ(fresh, 5u);
        }
        for (Explosion* e : freshBlasts()) {
            EXPECT_EQ(e->damage, 15);
            // 640 x 480: W / 10 = 64, H / 10 = 48, the ranges half-open.
            EXPECT_GT(e->x, 36);
            EXPECT_LE(e->x, 164);
            EXPECT_GT(e->y, 152);
            EXPECT_LE(e->y, 248);
            ++blasts;
        }
    }
    EXPECT_EQ(waves, (std::vector<int>{71, 76, 81, 86, 91, 96, 101, 106, 111, 116, 121, 126}));
    EXPECT_EQ(blasts, 60);
}

TEST_F(Weapons, BombWaveRollsXThenYThenTheAnimation) {
    auto bomb = std::make_unique<Bomb>(0, 100, 200, findSprite("granat.bmp"), gravity, drag, false);
    bomb->timer = 56;
    addWeapon(std::move(bomb));
    srand(3);
    std::vector<int> r(15);
    for (int& v : r) v = rand();
    srand(3);
    walkWeapons();
    std::vector<Explosion*> wave = all<Explosion>();
    ASSERT_EQ(wave.size(), 5u);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(wave[i]->x, 100 - r[3 * i] % 128 + 64);
        EXPECT_EQ(wave[i]->y, 200 - r[3 * i + 1] % 96 + 48);
        EXPECT_EQ(wave[i]->animIndex, r[3 * i + 2] % 4);
    }
    EXPECT_EQ(started("explosion00.wav"), 5);
}

TEST_F(Weapons, BombWithOneAnimationKeepsItAtTheFuse) {
    Sprite* twoLooks = sprites["granat.bmp"];
    SDL_FreeSurface(twoLooks->bitmap);
    delete twoLooks;
    sprites["granat.bmp"] = makeSprite(1, 20, 20, 10, 10);
    auto bomb = std::make_unique<Bomb>(0, 100, 200, findSprite("granat.bmp"), gravity, drag, false);
    bomb->timer = 97;
    bomb->move();
    EXPECT_EQ(bomb->timer, kBombFuse);
    EXPECT_EQ(bomb->animIndex, 0);
}

// ---- Flame --------------------------------------------------------------------

TEST_F(Weapons, FlameBurnsItsColumnStrictlyInsideWDividedByTen) {
    auto flame = std::make_unique<Flame>(0, 320, H + 8, nullptr, gravity, drag, true);
    flame->timer = 624;
    Flame* f = flame.get();
    addWeapon(std::move(flame));
    Mucha* leftEdge = addLivingFly(256, 10);
    Mucha* rightEdge = addLivingFly(384, 400);
    Mucha* leftIn = addLivingFly(256.5f, 240);
    Mucha* rightIn = addLivingFly(383.9f, -20);
    Mucha* dead = addLivingFly(320, 240, 0);
    walkWeapons();
    EXPECT_EQ(leftEdge->hp, 50);
    EXPECT_EQ(rightEdge->hp, 50);
    EXPECT_EQ(leftIn->hp, 48);
    EXPECT_EQ(rightIn->hp, 48);
    EXPECT_EQ(dead->hp, 0);
    EXPECT_EQ(kills, 0);
    EXPECT_EQ(f->timer, 623);
}

TEST_F(Weapons, FlameThrowsTenFireParticlesPerUpdateForSixHundredTwentyFourUpdates) {
    srand(5);
    auto flame = std::make_unique<Flame>(0, 320, H + 8, nullptr, gravity, drag, true);
    flame->timer = 624;
    Flame* f = flame.get();
    addWeapon(std::move(flame));
    walkWeapons();
    ASSERT_EQ(particles.size(), 10u);
    for (const Particle& p : particles) {
        EXPECT_GE(p.x, 256);
        EXPECT_LT(p.x, 384);
        EXPECT_EQ(p.y, H + 8);
        EXPECT_EQ(p.life, 200);
        EXPECT_EQ(p.animIndex % 2, 0);
        // H / 90 = 5: 5.5 to 7.4 px per update, straight up.
        EXPECT_LT(p.vel.y, -5.49f);
        EXPECT_GT(p.vel.y, -7.41f);
    }
    for (int u = 2; u <= 624; ++u) walkWeapons();
    EXPECT_FALSE(f->finished);
    EXPECT_EQ(particles.size(), 6240u);
    walkWeapons();
    EXPECT_TRUE(f->finished);
    EXPECT_EQ(particles.size(), 6240u);
}

// ---- Concrete -----------------------------------------------------------------

Concrete* dropConcrete(int32_t x) {
    auto block = std::make_unique<Concrete>(0, x, -64, findSprite("kurczak.bmp"), gravity, drag, false);
    Concrete* raw = block.get();
    addWeapon(std::move(block));
    return raw;
}

TEST_F(Weapons, ConcreteFirstFallsFastEnoughToBounceInItsFiftyFirstUpdate) {
    Concrete* c = dropConcrete(300);
    for (int u = 1; u <= 49; ++u) walkWeapons();
    // A fly met in the 50th update dies but does not bounce the block.
    Mucha* slow = addLivingFly(c->x, c->y + 2);
    walkWeapons();
    EXPECT_LE(slow->hp, 0);
    EXPECT_GT(c->vel.y, 1.99f);
    EXPECT_LT(c->vel.y, kBounceSpeed);
    EXPECT_EQ(started("boing.wav"), 0);

    clearObjects();
    Concrete* d = dropConcrete(300);
    for (int u = 1; u <= 50; ++u) walkWeapons();
    Mucha* fast = addLivingFly(d->x, d->y + 2);
    walkWeapons();
    EXPECT_EQ(fast->hp, 0);
    EXPECT_EQ(d->vel.y, -kBounceSpeed);
    EXPECT_EQ(started("boing.wav"), 1);
}

TEST_F(Weapons, ConcreteHittingTwoFliesBouncesAndSoundsOnceKillsBoth) {
    Concrete* c = dropConcrete(300);
    for (int u = 1; u <= 80; ++u) walkWeapons();
    const float fallY = c->y + c->vel.y + gravity.y;
    Mucha* a = addLivingFly(295, fallY);
    Mucha* b = addLivingFly(305, fallY + 5);
    Mucha* dead = addLivingFly(300, fallY, 0);
    walkWeapons();
    EXPECT_EQ(a->hp, 0);
    EXPECT_EQ(b->hp, 0);
    EXPECT_EQ(dead->hp, 0);
    EXPECT_EQ(kills, 2);
    EXPECT_EQ(started("boing.wav"), 1);
    EXPECT_EQ(c->vel.y, -kBounceSpeed);
    EXPECT_EQ(particles.size(), 20u);
    for (const Particle& p : particles) EXPECT_EQ(p.life, 50);
}

TEST_F(Weapons, ConcreteFinishesOnceItsOwnHeightBelowTheScreen) {
    Concrete* c = dropConcrete(300);
    c->y = H + 48 - 0.5f;
    c->vel.y = 1.0f;
    walkWeapons();
    EXPECT_FALSE(c->finished);
    const int32_t marked = dirtyCount;
    const float y = c->y;
    walkWeapons();
    EXPECT_TRUE(c->finished);
    EXPECT_EQ(c->y, y);
    EXPECT_EQ(dirtyCount, marked);
}

// ---- Airstrike ----------------------------------------------------------------

struct Release {
    int frame, gen;
    float x;
    bool operator==(const Release& o) const { return frame == o.frame && gen == o.gen && x == o.x; }
};

// Runs the weapons walk and records every bomb in the frame of its first
// update (timer 1, not yet released).
std::vector<Release> runStrike(int frames) {
    std::vector<Release> seen;
    for (int f = 1; f <= frames; ++f) {
        walkWeapons();
        for (Airstrike* a : all<Airstrike>())
            if (a->timer == 1) seen.push_back({f, a->gen, a->x});
    }
    return seen;
}

TEST_F(Weapons, AirstrikeDropsSevenBombsTenFramesApartFromRightToLeft) {
    mouseX = 320;
    mouseY = 400;
    ASSERT_TRUE(launchWeapon(KindAirstrike));
    std::vector<Release> seen = runStrike(200);
    std::vector<Release> expected;
    for (int k = 0; k <= 6; ++k) expected.push_back({1 + 10 * k, k, 416.0f - 32 * k});
    EXPECT_EQ(seen, expected);
    EXPECT_TRUE(weapons.empty() || all<Airstrike>().empty());
}

TEST_F(Weapons, AirstrikeBombFallsFromFivePixelsAndExplodesAtTheCursorHeight) {
    mouseX = 320;
    mouseY = 400;
    launchWeapon(KindAirstrike);
    Airstrike* first = all<Airstrike>().front();
    walkWeapons();
    EXPECT_FLOAT_EQ(first->y, -48 + 5.04f);
    int explosions = 0;
    for (int f = 2; f <= 200; ++f) {
        walkWeapons();
        for (Explosion* e : freshBlasts()) {
            EXPECT_EQ(e->damage, 25);
            EXPECT_GE(e->y, 400);
            EXPECT_LT(e->y, 410);
            ++explosions;
        }
    }
    EXPECT_EQ(explosions, 7);
}

TEST_F(Weapons, AirstrikeCursorAtTheTopEdgeStillReleasesEveryBomb) {
    mouseX = 320;
    mouseY = 0;
    launchWeapon(KindAirstrike);
    EXPECT_EQ(runStrike(200).size(), 7u);
}

TEST_F(Weapons, AirstrikeHitInTheFirstTenUpdatesCutsTheChain) {
    mouseX = 320;
    mouseY = 400;
    launchWeapon(KindAirstrike);
    Mucha* a = addLivingFly(416, -10);
    Mucha* b = addLivingFly(420, -12);
    std::vector<Release> seen;
    int explosions = 0;
    for (int f = 1; f <= 200; ++f) {
        walkWeapons();
        for (Airstrike* s : all<Airstrike>())
            if (s->timer == 1) seen.push_back({f, s->gen, s->x});
        explosions += static_cast<int>(freshBlasts().size());
    }
    EXPECT_EQ(seen.size(), 1u);
    EXPECT_EQ(a->hp, 0);
    EXPECT_EQ(b->hp, 0);
    EXPECT_EQ(explosions, 1);
}

// ---- Armageddon ---------------------------------------------------------------

TEST_F(Weapons, ArmageddonPassesThroughItsTargetAndLandsInTheEleventhUpdate) {
    srand(1);
    mouseX = 100;
    mouseY = 50;
    ASSERT_TRUE(launchWeapon(KindArmageddon));
    Armageddon* m = all<Armageddon>().front();
    EXPECT_EQ(m->x, 182);
    EXPECT_EQ(m->y, -32);
    for (int u = 1; u <= 10; ++u) walkWeapons();
    EXPECT_NEAR(m->x, 99.8, 0.01);
    EXPECT_NEAR(m->y, 50.2, 0.01);
    const int32_t timer = m->timer;
    walkWeapons();
    EXPECT_NEAR(m->x, 99.8, 0.01);  // landed: no longer moves
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
        walkWeapons();
        for (Armageddon* m : all<Armageddon>()) {
            if (m->timer != 1 || m->y >= m->targetY) continue;
            gens.insert(m->gen);
            EXPECT_GE(m->targetX, 32);
            EXPECT_LE(m->targetX, W - 33);
            EXPECT_GE(m->targetY, 32);
            EXPECT_LE(m->targetY, H - 33);
            // Moving left as far as it falls keeps x + y on the target's diagonal.
            EXPECT_NEAR(m->x + m->y, m->targetX + m->targetY, 0.01);
        }
        for (Explosion* e : freshBlasts()) (e->damage == 0 ? impacts : others)++;
    }
    EXPECT_TRUE(weapons.empty());
    EXPECT_EQ(gens.size(), 76u);
    EXPECT_EQ(*gens.rbegin(), kRainLast);
    EXPECT_EQ(impacts, 76 * 3);
    EXPECT_EQ(others, 0);
    EXPECT_EQ(started("explosion00.wav"), 0);
    EXPECT_GT(started("fireball.wav"), 0);
}

TEST_F(Weapons, ArmageddonMeteorHittingAFlyExplodesAndPassesOnAtOnce) {
    srand(2);
    mouseX = 300;
    mouseY = 300;
    launchWeapon(KindArmageddon);
    Armageddon* m = all<Armageddon>().front();
    freeSlots();
    Mucha* victim = addLivingFly(m->x - 8.04f, m->y + 8.04f);
    walkWeapons();
    EXPECT_EQ(victim->hp, 0);
    EXPECT_TRUE(m->finished);
    EXPECT_EQ(m->gen, kRainPassed);
    EXPECT_EQ(all<Armageddon>().size(), 2u);
    ASSERT_EQ(freshBlasts().size(), 1u);
    EXPECT_EQ(freshBlasts()[0]->damage, 40);
    EXPECT_EQ(started("explosion00.wav"), 1);
}

// ---- Bzykolot -----------------------------------------------------------------

std::unique_ptr<Bzykolot> field(int32_t x, int32_t y, int32_t gen) {
    auto f = std::make_unique<Bzykolot>(0, x, y, nullptr, gravity, drag, true);
    f->gen = gen;
    return f;
}

TEST_F(Weapons, BzykolotKillsInsideNinetySixPixelsOfTruncatedComponents) {
    auto f = field(300, 300, 0);
    Mucha* right = addLivingFly(395.9f, 300);
    Mucha* rightOut = addLivingFly(396, 300);
    Mucha* left = addLivingFly(204.1f, 300);
    Mucha* leftOut = addLivingFly(204, 300);
    Mucha* below = addLivingFly(300, 395.99f);
    const int32_t marked = dirtyCount;
    f->move();
    EXPECT_EQ(right->hp, 0);
    EXPECT_EQ(rightOut->hp, 50);
    EXPECT_EQ(left->hp, 0);
    EXPECT_EQ(leftOut->hp, 50);
    EXPECT_EQ(below->hp, 0);
    EXPECT_EQ(dirtyCount, marked);  // the field itself is invisible
    EXPECT_TRUE(weapons.empty());
}

TEST_F(Weapons, BzykolotGlowsSeventeenTimesAndFinishesAfterSixHundredTwentyFiveUpdates) {
    srand(9);
    EXPECT_EQ(fieldLife(), 625);
    auto f = field(300, 200, 0);
    std::vector<int32_t> glowTimers;
    for (int u = 1; u <= 626; ++u) {
        const size_t before = all<Explosion>().size();
        ASSERT_FALSE(f->finished) << u;
        f->move();
        if (all<Explosion>().size() != before) {
            glowTimers.push_back(f->timer);
            Explosion* glow = all<Explosion>().back();
            EXPECT_EQ(glow->sprite, findSprite("bzykolot.bmp"));
            EXPECT_EQ(glow->damage, 0);
            EXPECT_GT(glow->x, 300 - 64);
            EXPECT_LE(glow->x, 300 + 64);
        }
    }
    EXPECT_TRUE(f->finished);
    ASSERT_EQ(glowTimers.size(), 17u);
    for (size_t i = 0; i < glowTimers.size(); ++i) EXPECT_EQ(glowTimers[i], 35 * static_cast<int32_t>(i + 1));
    EXPECT_EQ(started("explosion00.wav"), 0);
}

// A weapons walk that also reports the weapons made during it. Finished ones
// are removed first, so no address is freed and reused within the walk.
std::vector<Weapon*> walkNoting() {
    weapons.remove_if([](const std::unique_ptr<Weapon>& w) { return w->finished; });
    std::set<Weapon*> before;
    for (auto& w : weapons) before.insert(w.get());
    walkWeapons();
    std::vector<Weapon*> fresh;
    for (auto& w : weapons)
        if (!before.count(w.get())) fresh.push_back(w.get());
    return fresh;
}

TEST_F(Weapons, BzykolotSpreadsUpToThreeGenerationsWithShorterLives) {
    int32_t deepest = 0;
    int copies = 0;
    // Some seed spreads the field three generations deep; with every seed the
    // copies' clocks and lives must hold.
    for (unsigned seed = 1; seed <= 60 && deepest < 3; ++seed) {
        clearObjects();
        srand(seed);
        addWeapon(field(320, 240, 0));
        std::map<Bzykolot*, std::pair<int32_t, int>> alive;  // starting timer, birth frame
        alive[all<Bzykolot>().front()] = {0, 1};
        for (int frame = 1; frame <= 3000 && !weapons.empty(); ++frame) {
            for (Weapon* w : walkNoting()) {
                auto* copy = dynamic_cast<Bzykolot*>(w);
                if (!copy) continue;
                ++copies;
                const int32_t start = copy->timer - 1;  // moved once in the frame it was made
                ASSERT_GE(copy->gen, 1);
                ASSERT_LE(copy->gen, kFieldLastGen);
                EXPECT_GE(start, 20 * (copy->gen - 1));
                EXPECT_LE(start, 20 * (copy->gen - 1) + 4);
                deepest = std::max(deepest, copy->gen);
                alive[copy] = {start, frame};
            }
            for (Bzykolot* b : all<Bzykolot>()) {
                if (!b->finished) continue;
                auto it = alive.find(b);
                ASSERT_NE(it, alive.end());
                EXPECT_EQ(frame - it->second.second + 1, 626 - it->second.first) << "gen " << b->gen;
                alive.erase(it);
            }
        }
        EXPECT_TRUE(alive.empty());
    }
    EXPECT_EQ(deepest, 3);
    EXPECT_GT(copies, 3);
}

TEST_F(Weapons, BzykolotOfTheLastGenerationSpawnsNoCopies) {
    srand(4);
    addWeapon(field(320, 240, kFieldLastGen));
    for (int frame = 1; frame <= 700; ++frame)
        for (Weapon* w : walkNoting()) EXPECT_EQ(dynamic_cast<Bzykolot*>(w), nullptr);
}

}  // namespace

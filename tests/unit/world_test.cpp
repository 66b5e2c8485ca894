// The world's objects: animation and collisions, particles, the fly, and the
// weapons at work, each driven update by update with a fixed seed, no screen.
#include <tuple>

#include "world/airstrike.h"
#include "world/armageddon.h"
#include "world/bomb.h"
#include "world/bzykolot.h"
#include "world/concrete.h"
#include "worldfix.h"

using namespace worldfix;

namespace {

TEST_F(World, ParticleKeepsItsTerminalSpeedAndDragMayCarryItAcrossZero) {
    const struct { float accel, v, want; } rows[] = {{0.04f, 9.5f, 9.49f}, {0.04f, 9.0f, 8.99f},  // maxVel 10, drag 0.01
        {0.04f, 11.0f, 10.99f}, {0.04f, 8.99f, 9.02f}, {0.04f, 11.5f, 11.53f}, {-0.04f, -11.5f, -11.53f},
        {0, 0.005f, -0.005f}, {0, -0.005f, 0.005f}, {0, 0, 0}};  // within [9, 11] drag only
    for (const auto& r : rows) {
        Particle p(plainSprite(1), 100, 100, Vec2{r.accel, r.accel}, Vec2{0.01f, 0.01f}, 0, 0, 100);
        p.vel = Vec2{r.v, r.v}, resetDirty(), p.move();
        EXPECT_TRUE(marked(100, 100, 4, 4) && marked(int(p.x), int(p.y), 4, 4)) << "its old box and its new one";
        EXPECT_TRUE(std::abs(p.vel.x - r.want) < 1e-5 && std::abs(p.vel.y - r.want) < 1e-5) << r.accel << " " << r.v;
        EXPECT_EQ(std::make_pair(p.x, p.y), std::make_pair(100 + p.vel.x, 100 + p.vel.y));
    }
    const struct { float degrees, vx, vy; } thrown[] = {{0, 2, 0}, {90, 0, -2}, {180, -2, 0}};  // counter-clockwise
    for (const auto& t : thrown) {
        const Particle p(plainSprite(1), 0, 0, kZero, kZero, t.degrees, 2, 1);
        EXPECT_TRUE(std::abs(p.vel.x - t.vx) < 0.01f && std::abs(p.vel.y - t.vy) < 0.01f) << t.degrees;
    }
}

TEST_F(World, FlyChasesTheCursorShowingTheLookOfItsHeading) {
    putMouse(300, 200);
    // At speed 2. Headings pi (360 degrees, look 64 wraps to 0), -pi/2 (89: sector 7), 0 (180) and -pi/4;
    // hp 1 still looks alive.
    const struct { float x, y, wantX, wantY; int look, hp; } rows[] = {
        {100, 200, 102, 200, 0, 50}, {300, 260, 300, 258, 14, 1}, {400, 200, 398, 200, 32, 50}, {350, 250, 348.59f, 248.59f, 22, 50}};
    for (const auto& r : rows) {
        Mucha* f = liveFly(r.x, r.y, r.hp);
        f->speed = 2, f->move();
        EXPECT_TRUE(std::abs(f->x - r.wantX) < 0.01f && std::abs(f->y - r.wantY) < 0.01f) << r.x << ": " << f->x << "," << f->y;
        EXPECT_EQ(f->animIndex, r.look) << r.x;
    }
}

TEST_F(World, KnockedFlyFallsSpinningLosesItsSidewaysSpeedAndRecoversInPlace) {
    for (auto [vx, want] : {std::pair{1.2f, 0.7f}, {-1.2f, -0.7f}, {1.0f, 0.0f}, {-1.0f, 0.0f}, {3.0f, 2.5f}}) {
        Mucha* f = liveFly(100, 100);
        f->stun(10), f->vel = Vec2{vx, 0.0f}, resetDirty(), f->move();
        EXPECT_TRUE(std::abs(f->vel.x - want) < 1e-5f && std::abs(f->x - 100 + want) < 1e-4f && f->y == 100.2f) << vx;
        EXPECT_FLOAT_EQ(f->angle, float(0.2f * 3.14 / 180.0 * 0.5));
        EXPECT_TRUE(marked(95, 95, 10, 10) && marked(int(95 - want), 95, 10, 10)) << "its old box and its new one";
    }
    for (int n : {0, 3}) {
        Mucha* f = liveFly(100, 100);
        f->speed = 1.5f, f->stun(n);
        for (int i = 0; i < n; ++i) f->move();
        const float y = f->y;
        const bool still = f->isStunned();
        f->move();
        EXPECT_TRUE(still && !f->isStunned() && f->vel.x == 0 && f->vel.y == 0 && f->y == y && f->speed == 1.5f) << n;
    }
    for (unsigned seed : {1u, 2u, 3u}) {
        const int r = rolls(seed, 1)[0];
        EXPECT_EQ((flies.front()->stun(-1), flies.front()->stunTime), 40 + r % 40);
    }
}

TEST_F(World, DeadFlyFallsWithoutItsStunClockShowingTheOddLooks) {
    Mucha* f = liveFly(100, 100);
    f->setHP(0), f->stun(2);
    for (int i = 0; i < 5; ++i) f->move();
    EXPECT_TRUE(f->isStunned() && f->stunTime == 2 && std::abs(f->vel.y - 1.0f) < 1e-5);
    for (auto [angle, want] : {std::pair{0.1f, 33}, {10.0f, 5}, {-4.0f, 57}}) {  // 185, 753 and -49 degrees
        f->vel.y = -0.2f, f->angle = angle, f->move();  // the fall brings it to about 0: the heading stays
        EXPECT_EQ(f->animIndex, want) << angle;
    }
    Mucha bare(0, 10, 10, plainSprite(0), gravity, drag);
    testutil::CaptureStdout cap;
    EXPECT_EQ((bare.move(), cap.stop()), "FAIL: Mucha.move: Null Anim\n");
}

TEST_F(World, ExplosionHurtsFliesWithinSixtyThreePixelsForThirtyTwoUpdates) {
    auto blast = [](int32_t damage) { return spawnExplosion(100, 100, findSheet("wybuch01.bmp"), gravity, drag, damage, true); };
    // 63.9 truncates to 63; a negative damage takes no step; a fly killed in the first update is left alone.
    const struct { float x, y; int32_t hp, damage, hpAfter; } rows[] = {
        {163.9f, 100, 50, 5, 40}, {100, 164, 50, 5, 50}, {36.1f, 100, 50, 5, 40}, {100, 100, 1, -7, 1}, {110, 100, 3, 5, -2},
        {100, 100, 1, 5, -4}};
    for (const auto& r : rows) {
        Mucha* fly = (clearObjects(), liveFly(r.x, r.y, r.hp));
        blast(r.damage)->move(), weapons.front()->move();
        EXPECT_EQ(fly->hp, r.hpAfter) << r.x << "," << r.y << " damage " << r.damage;
    }
    EXPECT_EQ(spawnExplosion(100, 100, nullptr, gravity, drag, 5, true), nullptr) << "no look, no blast";
    Explosion* e = (clearObjects(), freeSlots(), blast(5));
    EXPECT_EQ(started("explosion00.wav"), 1);
    for (int u = 1; u <= 33; ++u) {
        resetDirty(), weaponsWalk();
        ASSERT_EQ(e->shown, u < 33) << u;
        ASSERT_EQ(e->finished, u == 33) << u;
        ASSERT_TRUE(marked(36, 36, 128, 128)) << u;  // in the last update too: the last frame is erased
    }
}

TEST_F(World, BombSetsOffTwelveWavesOfFiveExplosionsAroundIt) {
    putMouse(100, 200);
    const std::vector<int> r = rolls(11, 15);
    launchWeapon(KindBomb);
    Bomb* bomb = all<Bomb>().front();
    std::vector<int> waves;
    for (int u = 1; u <= 127; ++u) {
        const int frameTime = bomb->frame * 256 + bomb->frameTime;
        resetDirty(), weaponsWalk();  // explosions appended during the walk are moved in it too
        ASSERT_TRUE(marked(90, 190, 20, 20)) << u << ": its box, each update";
        ASSERT_EQ(frameTime != bomb->frame * 256 + bomb->frameTime, u <= 95) << u << ": animated";
        ASSERT_EQ(bomb->shown, u <= 95) << u;
        if (u <= 70) { ASSERT_EQ(std::make_pair(int(bomb->animIndex), int(bomb->frame)), std::make_pair(u < 30 ? 0 : 1, (u - 1) % 4)) << u; }  // its fuse look from 30
        ASSERT_EQ(bomb->finished, u == 127) << u;
        std::vector<Explosion*> wave;
        for (Explosion* e : all<Explosion>())
            if (e->timer == 31) wave.push_back(e);
        if (wave.empty()) continue;
        waves.push_back(u);
        ASSERT_EQ(wave.size(), 5u) << u;
        for (int i = 0; i < 5 && waves.size() == 1; ++i)  // x, y and look rolls; spread W / 10 = 64 and H / 10 = 48
            EXPECT_EQ(std::make_tuple(wave[i]->x, wave[i]->y, int(wave[i]->animIndex), wave[i]->damage, started("explosion00.wav")),
                      std::make_tuple(float(164 - r[3 * i] % 128), float(248 - r[3 * i + 1] % 96), r[3 * i + 2] % 4, 15, 5));
    }
    EXPECT_EQ(waves, (std::vector<int>{71, 76, 81, 86, 91, 96, 101, 106, 111, 116, 121, 126}));
    EXPECT_TRUE(rollMod(0) == 0 && rollMod(-3) == 0) << "no spread on a screen too small for one";
}

TEST_F(World, FlameThrowsTenFlamesAndBurnsItsColumnForSixHundredTwentyFiveUpdates) {
    const std::vector<int> r = rolls(5, 30);
    launchWeapon(KindFlame);
    Flame* f = all<Flame>().front();
    Mucha* flyAt[] = {liveFly(256, 10), liveFly(384, 400), liveFly(256.5f, 240), liveFly(383.9f, -20, 1)};
    weaponsWalk();  // 64 either side of x = 320, both ends open
    EXPECT_EQ(std::make_tuple(flyAt[0]->hp, flyAt[1]->hp, flyAt[2]->hp, flyAt[3]->hp, started("flame.wav")), std::make_tuple(50, 50, 48, -1, 1));
    ASSERT_EQ(particles.size(), 10u);
    auto p = particles.begin();
    for (int i = 0; i < 10; ++i, ++p) {  // speed roll (5 + 0.5 to 2.4, H / 90 = 5), place roll, look roll
        EXPECT_EQ(std::make_tuple(p->x, p->y, p->animIndex), std::make_tuple(float(256 + r[3 * i + 1] % 128), float(H + 8), (r[3 * i + 2] % 6) & ~1));
        expectFlight(*p, 90, 5 + (r[3 * i] % 20) / 10.0 + 0.5);
    }
    for (int u = 2; u <= 625; ++u) {
        weaponsWalk();
        ASSERT_EQ(f->finished, u == 625) << u;
    }
}

TEST_F(World, ConcreteCrushesFliesAndBouncesOffThemWhileFallingFast) {
    auto drop = [](int updates) {
        clearObjects(), freeSlots(), resetKills(), launchWeapon(KindConcrete);
        for (int u = 1; u <= updates; ++u) weaponsWalk();
        return all<Concrete>().front();
    };
    for (int before : {49, 50}) {  // 2 px/update from the 51st update on
        Concrete* c = drop(before);
        Mucha* fly = liveFly(c->x, c->y + 2);
        weaponsWalk();
        EXPECT_TRUE(fly->hp <= 0 && (c->vel.y == -2.0f) == (before == 50) && started("boing.wav") == (before == 50)) << before;
    }
    Concrete* c = drop(80);
    const float fallY = c->y + c->vel.y + gravity.y;
    // The block's box is 288..352: 10 px flies at its edges, and a dead one.
    Mucha* at[] = {liveFly(283.5f, fallY, 1), liveFly(356.5f, fallY + 5), liveFly(357, fallY), liveFly(283, fallY), liveFly(300, fallY, 0)};
    const int32_t oldTop = int32_t(c->y) - 24;
    resetDirty(), weaponsWalk();
    EXPECT_TRUE(marked(288, oldTop, 64, 48) && marked(288, int32_t(c->y) - 24, 64, 48)) << "its old box and its new one";
    EXPECT_EQ(std::make_tuple(at[0]->hp, at[1]->hp, at[2]->hp, at[3]->hp, kills, started("boing.wav"), c->vel.y, particles.size()),
              std::make_tuple(0, 0, 50, 50, 2, 1, -2.0f, size_t{20}));
    for (int u = 0; u < 1000 && !c->finished; ++u) weaponsWalk();
    EXPECT_TRUE(c->finished && c->y - c->vel.y < H + 48 && c->y >= H + 48) << c->y;  // its height below the screen
}

TEST_F(World, AirstrikeDropsSevenBombsTenUpdatesApartExplodingAtTheCursorHeight) {
    std::vector<std::tuple<int, int32_t, float, float>> releases, expected;  // walk of each bomb's first update, gen, x, y
    std::vector<std::pair<int32_t, int32_t>> blasts;                  // damage, y
    auto strike = [&](int32_t cursorY, float flyX, float flyY) {
        clearObjects(), releases.clear(), blasts.clear();
        mouseX = 320, mouseY = cursorY, launchWeapon(KindAirstrike), liveFly(flyX, flyY, flyY < 0 ? 1 : 50);
        for (int f = 1; f <= 200; ++f) {
            weaponsWalk();
            for (Airstrike* a : all<Airstrike>())
                if (a->timer == 1) releases.emplace_back(f, a->gen, a->x, a->y);
            for (Explosion* e : all<Explosion>())
                if (e->timer == 31) blasts.emplace_back(e->damage, int32_t(e->y));
        }
    };
    for (int k = 0; k <= 6; ++k) expected.emplace_back(1 + 10 * k, k, 416.0f - 32 * k, -48.0f + (5.0f + 0.04f));  // 48 px above
    for (int32_t cursorY : {400, 0}) {  // 0: the first bomb lands as it releases the next
        strike(cursorY, 60, 200);       // a fly far from every bomb and blast
        EXPECT_EQ(releases, expected) << cursorY;
        ASSERT_EQ(blasts.size(), 7u);
        for (auto [damage, y] : blasts) EXPECT_TRUE(damage == 25 && y >= cursorY && y < cursorY + 10) << damage << " " << y;
        EXPECT_EQ(std::make_pair(flies.front()->hp, kills), std::make_pair(50, 0));
    }
    strike(400, 422, -10);  // a hit in the first ten updates cuts the line
    EXPECT_EQ(std::make_tuple(releases.size(), blasts.size(), kills, particles.size()), std::make_tuple(1u, 1u, 1, 10u));
}

TEST_F(World, ArmageddonRainsSeventySixMeteorsEachPassingOnInItsSixthUpdate) {
    const int whoosh = rolls(7, 1)[0] % 3;
    putMouse(300, 200), launchWeapon(KindArmageddon);
    EXPECT_EQ(started("fireball.wav"), whoosh == 1) << "a third of the meteors whoosh";
    Armageddon* first = all<Armageddon>().front();
    Mucha* victim = liveFly(first->x - 8.04f, first->y + 8.04f, 1);  // where its first update takes it
    freeSlots();  // the first meteor's whoosh, if it rolled one
    std::map<int32_t, int> startWalk;  // the walk of each meteor's first update, by gen
    std::vector<int32_t> damages;
    int dust = 0, landed = 0, marks = 0;  // a landed meteor's box is marked each update
    for (int f = 1; f <= 2000 && !weapons.empty(); ++f) {
        resetDirty(), weaponsWalk();
        if (f == 1) { EXPECT_TRUE(victim->hp == 0 && first->finished && all<Armageddon>().size() == 2) << "the hit passes on"; }
        for (Armageddon* m : all<Armageddon>()) {
            if (m->y >= m->targetY && !m->finished) ++landed, marks += marked(int32_t(m->x) - m->anim->hotX, int32_t(m->y) - m->anim->hotY, m->anim->w, m->anim->h);
            if (m->timer != 1 || m->y >= m->targetY) continue;
            startWalk.emplace(m->gen, f);
            EXPECT_TRUE(m->targetX >= 32 && m->targetX <= W - 33 && m->targetY >= 32 && m->targetY <= H - 33) << m->targetX << "," << m->targetY;
            EXPECT_NEAR(m->x + m->y, m->targetX + m->targetY, 0.01);  // on its target's diagonal
        }
        for (Explosion* e : all<Explosion>()) {
            if (e->timer != 31) continue;
            e->damage == 0 ? void(++dust) : damages.push_back(e->damage);
            const bool nearALanding = std::any_of(weapons.begin(), weapons.end(), [e](auto& w) {
                auto* m = dynamic_cast<Armageddon*>(w.get());
                return m && m->y >= m->targetY && std::abs(m->x - e->x) <= 24 && std::abs(m->y - e->y) <= 24; });
            EXPECT_TRUE(nearALanding || e->damage) << "dust within 24 px of where a meteor landed";
        }
    }
    ASSERT_TRUE(weapons.empty() && startWalk.size() == 75u);
    for (auto [gen, walk] : startWalk) EXPECT_EQ(walk, 5 * gen - 4) << gen;
    EXPECT_EQ(std::make_tuple(dust, damages, marks), std::make_tuple(75 * 3, std::vector<int32_t>{40}, landed));  // three clouds each
    EXPECT_TRUE(started("explosion00.wav") == 1 && started("fireball.wav") > 0);  // only the hit is loud
}

TEST_F(World, BzykolotKillsWithinNinetySixPixelsGlowingEveryThirtyFiveUpdatesForTenSeconds) {
    roundRng.seed(9), mouseX = mouseY = 300, launchWeapon(KindBzykolot);
    Bzykolot* f = all<Bzykolot>().front();
    const struct { float x, y; bool dies; } rows[] = {  // by the distance of truncated components
        {395.9f, 300, true}, {396, 300, false}, {204.1f, 300, true}, {204, 300, false}, {300, 395.99f, true}};
    for (const auto& r : rows) liveFly(r.x, r.y, r.dies ? 1 : 50);
    std::vector<int32_t> glowTimers, every35;
    for (int32_t t = 35; t <= 625; t += 35) every35.push_back(t);
    for (int u = 1; u <= 626; ++u) {
        const size_t before = all<Explosion>().size();
        ASSERT_FALSE(f->finished) << u;
        f->move();
        if (all<Explosion>().size() > before) glowTimers.push_back(f->timer);
    }
    EXPECT_TRUE(f->finished && glowTimers == every35);
    auto fly = flies.begin();
    for (const auto& r : rows) EXPECT_EQ((*fly++)->hp, r.dies ? 0 : 50) << r.x << "," << r.y;
    // A glow's rolls: x, y, look, then one in ten spreads a copy a generation on, 20 updates older for each
    // generation before it and late by 0-4; the third generation spreads no more.
    for (unsigned seed = 1; seed <= 40; ++seed) {
        for (int32_t gen = 0; gen <= 3; ++gen) {
            clearObjects(), mouseX = mouseY = 300, launchWeapon(KindBzykolot);
            const std::vector<int> r = rolls(seed, 5);
            all<Bzykolot>().front()->timer = 34, all<Bzykolot>().front()->gen = gen, all<Bzykolot>().front()->move();
            const auto copies = all<Bzykolot>();
            const bool spreads = gen < 3 && r[3] % 10 == 0;
            EXPECT_EQ(std::make_pair(all<Explosion>().front()->x, all<Explosion>().front()->y), std::make_pair(364.0f - r[0] % 128, 364.0f - r[1] % 128));
            EXPECT_TRUE(copies.size() == 1u + spreads && (!spreads || (copies[1]->timer == 20 * gen + r[4] % 5 && copies[1]->gen == gen + 1)))
                << seed << " " << gen;
        }
    }
}

}  // namespace

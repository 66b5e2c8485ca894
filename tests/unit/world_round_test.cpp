// The round's rules over the world: a new round, spawning, the fly walk
// (stings, blood, drops), pick-ups, the firing rule, the delays, the ring and
// the pointer, driven without a screen.
#include <set>
#include <tuple>

#include "base/scorebound.h"
#include "world/bomb.h"
#include "worldfix.h"

using namespace worldfix;

namespace {

TEST_F(World, NewRoundStartsFreshWithThePointerWhereItIsPut) {
    health = 0, kills = roundTicks = ammo[2] = fireDelay = weaponDelay = 33;
    selectedWeapon = hoverWeapon = 2, ringOpen = true;
    liveFly(10, 10), addParticle(Particle(plainSprite(1), 1, 1, kZero, kZero, 0, 0, 5)), newRound(17, 19);
    EXPECT_EQ(std::vector<int>({health, kills, roundTicks, ammo[2], selectedWeapon, hoverWeapon, ringOpen, fireDelay,
                                weaponDelay, mouseX, mouseY, int(flies.size() + particles.size())}),
              std::vector<int>({6, 0, 0, 0, -1, -1, 0, -1, -1, 17, 19, 0}));
}

TEST_F(World, FliesComeFromTheEdgesOftenerAsKillsGrowTougherAsTheRoundGoesOn) {
    const std::pair<int, int> intervals[] = {{0, 60}, {4, 60}, {5, 59}, {249, 11}, {250, 10}, {5000, 10}};
    for (auto [k, want] : intervals) EXPECT_EQ(spawnInterval(k), want) << k;
    const struct { int tick, kills, hp; float maxSpeed; } rows[] = {  // tick: a multiple of the interval
        {60, 0, 51, 2}, {600, 0, 60, 2}, {470, 69, 57, 2}, {460, 70, 57, 3}, {640, 140, 60, 4}, {10, 250, 50, 5}};
    for (const auto& r : rows) {
        clearObjects(), roundTicks = r.tick - 2, kills = r.kills, playBlock();
        const bool early = !flies.empty();
        playBlock();
        ASSERT_TRUE(!early && flies.size() == 1) << r.tick;
        EXPECT_TRUE(flies.back()->hp == r.hp && flies.back()->maxSpeed == r.maxSpeed && flies.back()->speed == 0 && !flies.back()->isStunned()) << r.tick;
    }
    std::set<int> edges;  // 0 top, 1 bottom, 2 left, 3 right: 32 px off the screen
    for (unsigned seed = 1; seed <= 40; ++seed) {
        roundRng.seed(seed), spawnFly();
        const Mucha& f = *flies.back();
        const bool across = f.x >= 0 && f.x < W, down = f.y >= 0 && f.y < H;
        edges.insert(across && f.y == -32 ? 0 : across && f.y == H + 32 ? 1 : down && f.x == -32 ? 2 : down && f.x == W + 32 ? 3 : 4);
        EXPECT_TRUE(f.angle >= 0 && f.angle < 6.28f) << f.angle;
    }
    EXPECT_EQ(edges, (std::set<int>{0, 1, 2, 3}));
}

TEST_F(World, FlyOnTheCursorStingsOnceCountingTwiceAndTheLastStingEndsTheRound) {
    Mucha* f = liveFly(322, 242);
    const std::vector<int> r = rolls(3, 2);  // the hit: speed roll, then angle roll
    cursorAnim = 2, worldRules();
    EXPECT_TRUE(health == 5 && kills == 2 && f->getHP() <= 0 && !f->isStunned()) << "dead, handled in the next walk";
    ASSERT_TRUE(started("hit.wav") == 1 && started("flybuzz.wav") == 1 && particles.size() == 1);
    const Particle& hit = particles.front();  // the cursor's look thrown off
    EXPECT_TRUE(hit.sprite == cursorSheet && hit.animIndex == 2 && hit.life == 199.0f && hit.x - hit.vel.x == 320);
    expectFlight(hit, r[1] % 360, (r[0] % 20) / 10.0 + 0.5, 1);
    worldRules();
    EXPECT_TRUE(f->isStunned() && health == 5) << "a dead fly stings no more";
    clearObjects(), health = 1, roundTicks = 100, kills = 0;  // the last sting: every fly is beaten, the round ends next frame
    Mucha* b = (liveFly(322, 242), liveFly(100, 100));
    worldRules();
    EXPECT_TRUE(health == 0 && kills == 2 + 1 && b->getHP() == 0 && b->isStunned()) << "the sting's two and the fly after it";
    const bool lost = playBlock();
    worldRules();
    EXPECT_TRUE(lost && roundTicks == 100 && kills == 3) << "no fly is counted twice";
}

TEST_F(World, CursorTouchesAFlyWithItsCurrentLookStrictly) {
    Mucha probe(0, 0, 0, flySheet, gravity, drag);
    cursorSheet->anims[1].h = 60, putMouse(100, 100);
    const struct { int look; float x, y; bool hit; } rows[] = {  // the fly's top at y - 5 is below look 0, look 1 ends at 160
        {0, 105, 130, false}, {1, 105, 130, true}, {1, 117, 130, false}, {1, 116.9f, 130, true}, {1, 95, 130, false},
        {1, 95.1f, 130, true}, {1, 105, 164.9f, true}, {1, 105, 165, false}};
    for (const auto& r : rows) {
        cursorAnim = r.look, probe.x = r.x, probe.y = r.y;
        EXPECT_EQ(cursorTouchesFly(probe), r.hit) << r.look << " " << r.x;
    }
}

TEST_F(World, BumpingFliesBleedAlongTheirCourseAndAreStunnedOnlyOnScreen) {
    Mucha *a = liveFly(320, 100), *b = liveFly(320, 104), *lone = liveFly(500, 100);  // a and b head straight down
    const std::vector<int> r = rolls(3, 22);  // for each fly five pairs (speed, spread), then its stun
    putMouse(320, 400), a->speed = b->speed = 2, a->maxSpeed = b->maxSpeed = 0, worldRules();
    ASSERT_TRUE(health == 6 && kills == 0 && a->isStunned() && b->isStunned() && !lone->isStunned() && particles.size() == 10);
    auto p = particles.begin();
    for (int i = 0, k = 0; i < 10; ++i, ++p, k = 2 * i + (i >= 5)) {  // along the course: atan2(vel.x, vel.y), 0 is down
        EXPECT_TRUE(p->sprite == findSheet("krew.bmp") && p->life == 49.0f);
        expectFlight(*p, r[k + 1] % 20 - 10, (r[k] % 20) / 10.0 + 0.5, 1);
    }
    worldRules();
    EXPECT_EQ(particles.size(), 10u) << "stunned, they bump no more";
    const struct { float x, y; bool bumps; } rows[] = {  // two still flies 1 apart; the first one's bump
        {0, 100, false}, {0.5f, 100, true}, {639.5f, 100, true}, {640, 100, false}, {100, 0, false}, {100, 0.5f, true}};
    for (const auto& row : rows) {
        Mucha* first = (clearObjects(), liveFly(row.x, row.y));
        liveFly(row.x + 1, row.y)->maxSpeed = first->maxSpeed = 0, worldRules();
        EXPECT_EQ(first->isStunned(), row.bumps) << row.x << "," << row.y;
    }
}

TEST_F(World, DeadFlyLeavesAtMostOneCrateAndFallsAwayBelowTheScreen) {
    size_t crates = 0;
    for (unsigned seed = 1; seed <= 20; ++seed) {
        clearObjects(), putMouse(10, 470), liveFly(300, 100, 0), roundRng.seed(seed);
        for (int i = 0; i < 30; ++i) worldRules();
        EXPECT_LE(drops.size(), 1u) << seed;
        crates += drops.size();
    }
    clearObjects(), liveFly(100, H + 64, 0)->stun(-1), worldRules();  // exactly h + 64 moves on
    const size_t left = flies.size();
    worldRules();
    EXPECT_TRUE(crates > 0 && left == 1 && flies.empty());
}

TEST_F(World, ParticlesLiveTheirLifeEndingOnceAndCratesWaitBelowTheScreen) {
    // 0: flying at frame 2 (speed 1, so frameTime counts the draws); 1: ending, 5 frames from 0; 2: would match at life 2 if switched twice.
    Sheet* s = makeSprite(3, 4, 4, 5);
    s->anims[0].speed = 1, s->anims[2].frames = 3, addParticle(Particle(s, 100, 100, kZero, kZero, 0, 0, 20)), particles.front().frame = 2;
    const Particle& p = particles.front();
    std::vector<int> seen;  // 10 * look + frame
    for (int i = 0; i < 20; ++i) worldRules(), seen.push_back(10 * p.animIndex + p.frame);
    seen.erase(seen.begin(), seen.begin() + 14);
    worldRules();
    EXPECT_TRUE(seen == (std::vector<int>{2, 10, 11, 12, 13, 14}) && particles.empty()) << "switched at life 4; gone in walk 21";
    addParticle(Particle(plainSprite(1), 100, H + 32, kZero, kZero, 0, 0, 50));
    addDrop(WeaponDrop(plainSprite(1), 100, H + 32, kZero, kZero, 0, 0, 50)), worldRules();  // exactly h + 32 stays
    ASSERT_EQ(particles.size() + drops.size(), 2u);
    particles.front().y = drops.front().y = H + 32.5f, worldRules();
    EXPECT_TRUE(particles.empty() && drops.empty());
}

TEST_F(World, DropTableGivesRareKindsByStock) {
    // Held Bzykolots and concretes, the roll, the kind: a Bzykolot held, its rolls fall through; two concretes, theirs.
    const struct { int32_t bzykolots, concretes, r, kind; } rows[] = {{0, 0, 1, KindBzykolot}, {0, 0, 2, KindConcrete},
        {0, 0, 4, KindConcrete}, {0, 0, 5, KindArmageddon}, {0, 0, 9, KindArmageddon}, {0, 0, 10, KindAirstrike},
        {0, 0, 19, KindAirstrike}, {0, 0, 20, KindFlame}, {0, 0, 39, KindFlame}, {0, 0, 40, KindBomb}, {0, 0, 69, KindBomb},
        {0, 0, 70, -1}, {1, 0, 0, KindConcrete}, {1, 1, 1, KindConcrete}, {1, 2, 0, KindArmageddon}, {0, 2, 4, KindArmageddon},
        {0, 2, 1, KindBzykolot}};
    for (const auto& row : rows) {
        ammo[KindBzykolot] = row.bzykolots, ammo[KindConcrete] = row.concretes;
        EXPECT_EQ(dropKind(row.r), row.kind) << "r " << row.r << " held " << row.bzykolots << "," << row.concretes;
    }
    resetArsenal(), roundTicks = 3000;  // rarer as the round goes on: the roll is taken % (150 + roundTicks / 30)
    for (unsigned seed = 1; seed <= 40; ++seed) {
        const int32_t kind = dropKind(rolls(seed, 1)[0] % 250);
        drops.clear(), dropRoll(100.5f, 100.5f);
        EXPECT_EQ(drops.empty() ? -1 : drops.front().weaponType, kind) << seed;
    }
}

TEST_F(World, CrateRisesFromTheFlyAndIsPickedUpAfterThirtyFramesWithTenSparks) {
    cursorSheet->anims[0] = Anim{1, 0, 0, 200, 200, 100, 100, 100, 0};  // keeps the bobbing crate under it
    std::vector<int> r;
    for (unsigned seed = 22; r.empty() || r[0] % 150 >= 70; ++seed) r = rolls(seed, 22);
    cursorAnim = 10, dropRoll(mouseX + 0.9f, mouseY - 0.9f);  // look 10 is not the one that catches
    ASSERT_EQ(drops.size(), 1u);
    const WeaponDrop& d = drops.front();
    const int32_t kind = d.weaponType;
    EXPECT_EQ(std::make_tuple(d.x, d.y, d.pickupDelay), std::make_tuple(float(mouseX), float(mouseY - 1), 30));
    expectFlight(d, 90, (r[1] % 20) / 10.0 + 0.5);
    EXPECT_FALSE(cursorTouches(d)) << "under the cursor, not yet to be picked up";
    const std::vector<Anim> looks = cursorSheet->anims;
    const bool lookless = (cursorSheet->anims.clear(), drops.front().pickupDelay = 0, cursorTouches(d));
    cursorSheet->anims = looks, drops.front().pickupDelay = 30;
    EXPECT_FALSE(lookless) << "a cursor without looks catches nothing";
    ammo[kind] = 4;  // no upper limit
    for (int frame = 1; frame <= 31; ++frame) {
        worldRules();
        ASSERT_EQ(ammo[kind], frame <= 30 ? 4 : 5) << frame;
    }
    EXPECT_EQ(std::make_tuple(drops.size(), started("drop.wav"), particles.size()), std::make_tuple(0u, 1, 10u));
    auto p = particles.begin();
    for (int i = 2; i < 22; i += 2, ++p) expectFlight(*p, r[i + 1] % 360, (r[i] % 20) / 10.0 + 0.5);
}

TEST_F(World, HeldClickBlastsEverySixtyTwoFramesButNotWhileTheRingIsOpen) {
    std::vector<int> shots;
    for (int frame = 1; frame <= 200; ++frame) {
        const size_t before = weapons.size();
        fireStep(true), delayStep();
        if (weapons.size() != before) shots.push_back(frame);
    }
    const Explosion* blast = all<Explosion>().back();
    EXPECT_TRUE(shots == (std::vector<int>{1, 63, 125, 187}) && blast->damage == 5 && blast->x == mouseX && blast->y == mouseY && started("explosion00.wav") == 4);
    clearObjects(), fireDelay = 0, ringOpen = true, fireStep(true);
    EXPECT_EQ(std::make_pair(weapons.size(), fireDelay), std::make_pair(0ul, 0));
    ammo[KindBomb] = 2, selectedWeapon = hoverWeapon = KindBomb, fireDelay = 40, fireStep(true);  // armed: fires at once
    EXPECT_EQ(std::make_tuple(all<Bomb>().size(), ammo[KindBomb], fireDelay, weaponDelay, selectedWeapon, hoverWeapon, ringOpen),
              std::make_tuple(1u, 1, 62, 125, -1, -1, false));
    std::vector<int32_t> delays;  // the ring's wait after each kind fires
    for (int32_t k = 0; k < kWeaponKinds; ++k) resetArsenal(), ammo[k] = 1, selectedWeapon = k, fireDelay = 0, fireStep(true), delays.push_back(weaponDelay);
    EXPECT_EQ(delays, (std::vector<int32_t>{125, 312, 187, 937, 500, 625}));
}

// One ring frame; returns the look of icon i, or -1 while the ring is closed.
int ringFrame(bool right, bool left, int32_t i = 0) {
    ringStep(right, left);
    return ringOpen ? int(ringLooks[i]) : -1;
}

TEST_F(World, RingOpensAtTheCursorAndFollowsItWithinFortyPixels) {
    const struct { int dx, dy, ringDx, ringDy; } rows[] = {
        {40, -40, 0, 0}, {-40, 40, 0, 0}, {41, 0, 1, 0}, {-41, 0, -1, 0}, {0, 41, 0, 1}, {0, -55, 0, -15}};
    for (const auto& r : rows) {
        ringOpen = false, putMouse(W / 2, H / 2), ringFrame(true, false);
        mouseX += r.dx, mouseY += r.dy, resetDirty();
        EXPECT_EQ(ringFrame(true, false, 0), 0) << "no stock: the plain look";
        EXPECT_EQ(std::make_pair(ringX, ringY), std::make_pair(W / 2 + r.ringDx, H / 2 + r.ringDy)) << r.dx << "," << r.dy;
        EXPECT_TRUE(marked(W / 2 - 56, H / 2 - 56, 112, 144) && marked(ringX - 56, ringY - 56, 112, 144));  // the ring and its line
    }
    int32_t ix, iy;  // icon 0 straight below the centre, icon 3 straight above
    EXPECT_TRUE((ringIconAt(0, 100, 100, ix, iy), ix == 100 && iy == 140) && (ringIconAt(3, 100, 100, ix, iy), ix == 100 && iy == 60));
    for (bool closing : {true, false}) {  // the whole screen once, as the ring shuts
        resetDirty(), ringFrame(false, false);
        EXPECT_EQ(std::make_pair(ringOpen, seen.whole), std::make_pair(false, closing));
    }
}

TEST_F(World, RingArmsOnPressAndReleaseOnTheSameAvailableIconItsEdgesIncluded) {
    // Opened at the centre; pressed at an icon + (dx, dy), held there moved by heldDy, released on an icon.
    // Each edge of the box of icons 0 and 3 (the others lie beyond the ring's pull), just outside, moved off
    // while held, released on another icon, no stock.
    const int32_t B = KindBomb, A = KindArmageddon, F = KindFlame, C = KindConcrete;
    const struct { int32_t stocked, press, dx, dy, heldDy, release, hover, armed; } rows[] = {{B, B, 15, 0, 0, B, B, B},
        {B, B, -15, 0, 0, B, B, B}, {B, B, 0, -15, 0, B, B, B}, {A, A, 0, 15, 0, A, A, A}, {B, B, 16, 0, 0, B, -1, -1},
        {B, B, -16, 0, 0, B, -1, -1}, {B, B, 0, -16, 0, B, -1, -1}, {A, A, 0, 16, 0, A, -1, -1}, {B, B, 0, 0, -16, B, B, -1},
        {F, F, 0, 0, 0, B, F, -1}, {F, C, 0, 0, 0, C, -1, -1}};
    auto moveTo = [](int32_t icon, int32_t dx, int32_t dy) { ringIconAt(icon, ringX, ringY, mouseX, mouseY), mouseX += dx, mouseY += dy; };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << row.press << " " << row.dx << "," << row.dy << "," << row.heldDy);
        resetArsenal(), weaponDelay = 0, ammo[row.stocked] = 1, mouseX = W / 2, mouseY = H / 2;
        ringFrame(true, false), moveTo(row.press, row.dx, row.dy);
        EXPECT_EQ(std::make_pair(ringFrame(true, true, row.press), hoverWeapon), std::make_pair(row.hover >= 0 ? 2 : row.stocked == row.press, row.hover));
        moveTo(row.press, row.dx, row.dy + row.heldDy), ringFrame(false, true);  // right up, a pressed icon held
        EXPECT_EQ(ringOpen, row.hover >= 0);
        moveTo(row.release, row.dx, row.dy), ringFrame(true, false);
        const int32_t armed = selectedWeapon;
        ringFrame(true, false);  // armed: the right button no longer opens the ring
        EXPECT_EQ(std::make_pair(armed, ringOpen), std::make_pair(row.armed, row.armed < 0));
    }
}

TEST_F(World, ConcreteDelaysTheRingForNineHundredThirtySevenFramesWithARisingMoteEach) {
    const std::vector<int> r = rolls(31, 3);
    ammo[KindConcrete] = 2, ammo[KindBomb] = 1, selectedWeapon = KindConcrete;
    fireStep(true), delayStep();  // frame F: the shot, then the frame's delay step and ring
    const Particle& mote = particles.front();  // speed, y and x rolls
    ASSERT_TRUE(particles.size() == 1 && mote.x == mouseX + 4 + r[2] % 4 && mote.y == mouseY + 9 + r[1] % 6);
    expectFlight(mote, 90, (r[0] % 20) / 10.0 + 0.5);
    for (int f = 0; f <= 935; ++f) {
        if (f > 0) delayStep();
        ASSERT_EQ(ringFrame(true, false, KindBomb) + ringFrame(true, false, KindConcrete), 0) << "F + " << f;
    }
    delayStep();  // F + 936; then no mote once the delay is over
    const int looks = ringFrame(true, false, KindBomb) * 100 + ringFrame(true, false, KindConcrete) * 10 + ringFrame(true, false, KindFlame);
    delayStep();
    EXPECT_TRUE(looks == 110 && particles.size() == 937u) << looks;
}

TEST_F(World, MovingMouseLeavesATrailWithTheCursorsLook) {
    pointerStep(W / 2, H / 2);
    ASSERT_TRUE(marked(W / 2, H / 2, 12, 24) && particles.empty()) << "a still mouse leaves none";
    cursorAnim = 4, pointerStep(330, 240);
    ASSERT_EQ(particles.size(), 1u);
    EXPECT_TRUE(particles.back().x == 320.0f && particles.back().animIndex == 4 && particles.back().life == 20.0f && marked(330, 240, 12, 24));
    expectFlight(particles.back(), 0, 2);
    leaveTrail(330, 240, 327, 236);  // 5 px up and left
    expectFlight(particles.back(), 126.93, 1);  // atan2 in the game's own degrees
    const struct { int hp, half, count, want; } looks[] = {{6, 6, 12, 0}, {1, 6, 12, 10}, {0, 6, 12, 10}, {6, 7, 14, 2}};
    for (const auto& l : looks) EXPECT_EQ(cursorLook(l.hp, l.half, l.count), l.want) << l.hp;
}

// The score server's bound on a round's flies, held against rounds played by
// the game's own code: every fly beaten as it appears until a number of kills,
// then stings until the round is lost (10,000 kills take ~105,800 frames).
TEST_F(World, ScoreBoundHoldsForRoundsPlayedByTheGameAndRefusesTheImpossible) {
    for (int32_t killUntil : {0, 250, 10000}) {
        for (unsigned seed : {1u, 2u}) {
            SetUp(), roundRng.seed(seed);
            for (bool lost = false; !lost;) {
                lost = playBlock();
                for (auto& f : flies)
                    if (kills < killUntil) f->setHP(0);
                worldRules();
            }
            while (!flies.empty()) worldRules();
            EXPECT_TRUE(kills >= killUntil && possibleScore(kills, roundTicks)) << kills << " flies in " << roundTicks << " frames";
        }
    }
    EXPECT_TRUE(!possibleScore(INT32_MAX, 1) && !possibleScore(0, 0) && possibleScore(0, 1)) << "no round lasts no frame";
}

}  // namespace

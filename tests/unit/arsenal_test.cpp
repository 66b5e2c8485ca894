// The arsenal: drop table and roll, pick-up, firing, the delays with their
// energy motes, and the weapon ring with its arming and HUD line.
#include <cmath>
#include <cstdlib>
#include <tuple>

#include "weaponfix.h"
#include "world/airstrike.h"
#include "world/armageddon.h"
#include "world/bomb.h"
#include "world/bzykolot.h"
#include "world/concrete.h"

using namespace weaponfix;

namespace {

class Arsenal : public World {};

// ---- Drops ----------------------------------------------------------------------

TEST_F(Arsenal, DropTableRowsAndTheirEdges) {
    const struct {
        int32_t r, kind;
    } rows[] = {{0, KindBzykolot}, {1, KindBzykolot}, {2, KindConcrete},  {4, KindConcrete},
                {5, KindArmageddon}, {9, KindArmageddon}, {10, KindAirstrike}, {19, KindAirstrike},
                {20, KindFlame},   {39, KindFlame},   {40, KindBomb},     {69, KindBomb},
                {70, -1},          {149, -1}};
    for (const auto& row : rows) EXPECT_EQ(dropKind(row.r), row.kind) << "r = " << row.r;
}

TEST_F(Arsenal, DropTableKeepsTheRareKindsRare) {
    // One Bzykolot held: the two best rolls fall through to the concrete row.
    ammo[KindBzykolot] = 1;
    EXPECT_EQ(dropKind(0), KindConcrete);
    EXPECT_EQ(dropKind(1), KindConcrete);
    ammo[KindConcrete] = 1;
    EXPECT_EQ(dropKind(0), KindConcrete);
    // Two concretes held: the concrete row gives armageddons.
    ammo[KindConcrete] = 2;
    EXPECT_EQ(dropKind(0), KindArmageddon);
    EXPECT_EQ(dropKind(4), KindArmageddon);
    ammo[KindBzykolot] = 0;
    EXPECT_EQ(dropKind(1), KindBzykolot);
    EXPECT_EQ(dropKind(2), KindArmageddon);
}

// Share of 20000 dead flies that drop something at this round time.
double dropShare(int32_t ticks) {
    roundTicks = ticks;
    drops.clear();
    srand(1234);
    for (int i = 0; i < 20000; ++i) dropRoll(100.0f, 100.0f);
    return static_cast<double>(drops.size()) / 20000.0;
}

TEST_F(Arsenal, DropsGrowRarerAsTheRoundGoesOn) {
    EXPECT_NEAR(dropShare(0), 70.0 / 150.0, 0.015);
    EXPECT_NEAR(dropShare(3000), 70.0 / 250.0, 0.015);
    EXPECT_NEAR(dropShare(29), 70.0 / 150.0, 0.015);  // 29 / 30 truncates to 0
}

TEST_F(Arsenal, DropRollsTheKindThenTheSpeed) {
    srand(21);
    int32_t r1 = 0, r2 = 0;
    // Find a seed whose first roll drops something.
    unsigned seed = 21;
    for (;; ++seed) {
        srand(seed);
        r1 = rand();
        r2 = rand();
        if (r1 % 150 < 70) break;
    }
    srand(seed);
    dropRoll(123.9f, -45.7f);
    ASSERT_EQ(drops.size(), 1u);
    const WeaponDrop& d = drops.front();
    EXPECT_EQ(d.weaponType, dropKind(r1 % 150));
    EXPECT_EQ(d.pickupDelay, 30);
    EXPECT_EQ(d.life, 1000);
    EXPECT_EQ(d.x, 123);
    EXPECT_EQ(d.y, -45);
    EXPECT_NEAR(d.vel.y, -((r2 % 20) / 10.0 + 0.5), 1e-4);
    EXPECT_EQ(d.sprite, findSprite("drop.bmp"));
}

// ---- Pick-up --------------------------------------------------------------------

TEST_F(Arsenal, CrateIsPickedUpOnlyAfterThirtyFrames) {
    // A big first cursor look, so the crate stays under it while it bobs.
    cursorSprite->anims[0] = Anim{1, 0, 0, 200, 200, 100, 100, 100, 0};
    WeaponDrop crate(findSprite("drop.bmp"), mouseX, mouseY, gravity, drag, 90.0f, 0.5f, 1000);
    crate.weaponType = KindFlame;
    crate.pickupDelay = 30;
    addDrop(crate);
    for (int frame = 1; frame <= 30; ++frame) {
        worldPass();
        ASSERT_EQ(ammo[KindFlame], 0) << "frame " << frame;
    }
    worldPass();
    EXPECT_EQ(ammo[KindFlame], 1);
    EXPECT_TRUE(drops.empty());
    EXPECT_EQ(started("drop.wav"), 1);
    int sparks = 0;
    for (const Particle& p : particles) sparks += p.sprite == findSprite("iskra.bmp");
    EXPECT_EQ(sparks, 10);
}

TEST_F(Arsenal, PickUpTestUsesTheFirstCursorLookWhateverTheHealth) {
    cursorSprite->anims[0] = Anim{1, 0, 0, 40, 40, 0, 0, 100, 0};
    cursorSprite->anims[10] = Anim{1, 0, 0, 2, 2, 0, 0, 100, 0};
    cursorAnim = 10;
    WeaponDrop crate(findSprite("drop.bmp"), mouseX + 30, mouseY + 30, gravity, drag, 90.0f, 0.5f, 1000);
    crate.pickupDelay = 0;
    EXPECT_TRUE(cursorTouches(crate));
    // Drop box 20 x 20 centred: its left edge exactly on the cursor box's right edge.
    crate.x = static_cast<float>(mouseX + 40 + 10);
    EXPECT_FALSE(cursorTouches(crate));
    crate.x -= 0.01f;
    EXPECT_TRUE(cursorTouches(crate));
    crate.pickupDelay = 1;
    EXPECT_FALSE(cursorTouches(crate));
}

TEST_F(Arsenal, PickUpAddsToTheStockAndThrowsTenSparks) {
    srand(8);
    std::vector<int> r(20);
    for (int& v : r) v = rand();
    srand(8);
    WeaponDrop crate(findSprite("drop.bmp"), 200, 150, gravity, drag, 90.0f, 0.5f, 1000);
    crate.weaponType = KindBzykolot;
    ammo[KindBzykolot] = 4;  // no upper limit
    pickUp(crate);
    EXPECT_EQ(ammo[KindBzykolot], 5);
    ASSERT_EQ(particles.size(), 10u);
    int i = 0;
    for (const Particle& p : particles) {
        const double speed = (r[2 * i] % 20) / 10.0 + 0.5;
        const double angle = (r[2 * i + 1] % 360) * 0.01745;
        EXPECT_NEAR(p.vel.x, std::cos(angle) * speed, 1e-4);
        EXPECT_NEAR(p.vel.y, std::sin(-angle) * speed, 1e-4);
        EXPECT_EQ(p.life, 20);
        ++i;
    }
}

// ---- Firing -------------------------------------------------------------------

TEST_F(Arsenal, HeldClickFiresEverySixtyTwoFrames) {
    std::vector<int> shots;
    for (int frame = 1; frame <= 200; ++frame) {
        const size_t before = weapons.size();
        fireStep(true);
        if (weapons.size() != before) shots.push_back(frame);
        delayStep();
    }
    EXPECT_EQ(shots, (std::vector<int>{1, 63, 125, 187}));
    for (auto& w : weapons) {
        auto* e = dynamic_cast<Explosion*>(w.get());
        ASSERT_NE(e, nullptr);
        EXPECT_EQ(e->damage, 5);
        EXPECT_EQ(e->timer, kBlastLife);
        EXPECT_EQ(e->x, mouseX);
        EXPECT_EQ(e->y, mouseY);
    }
    EXPECT_EQ(started("explosion00.wav"), 4);
}

TEST_F(Arsenal, ClickIsRefusedWhileTheRingIsOpenButAnArmedWeaponFires) {
    ringOpen = true;
    fireStep(true);
    EXPECT_TRUE(weapons.empty());
    EXPECT_EQ(fireDelay, 0);
    fireStep(false);
    EXPECT_TRUE(weapons.empty());

    ammo[KindBomb] = 2;
    selectedWeapon = KindBomb;
    hoverWeapon = KindBomb;
    fireDelay = 40;
    fireStep(true);
    ASSERT_EQ(all<Bomb>().size(), 1u);
    EXPECT_EQ(ammo[KindBomb], 1);
    EXPECT_EQ(fireDelay, kClickDelay);
    EXPECT_EQ(weaponDelay, 125);
    EXPECT_EQ(selectedWeapon, -1);
    EXPECT_EQ(hoverWeapon, -1);
    EXPECT_FALSE(ringOpen);
    // Disarmed: the next press is a plain click again, held back by the delay.
    fireStep(true);
    EXPECT_EQ(weapons.size(), 1u);
}

TEST_F(Arsenal, EachKindIsBuiltWhereAndAsTheFiringTableSays) {
    mouseX = 200;
    mouseY = 100;
    for (int32_t kind = 0; kind < 6; ++kind) ASSERT_TRUE(launchWeapon(kind)) << kind;
    ASSERT_EQ(weapons.size(), 6u);
    auto it = weapons.begin();
    auto* bomb = dynamic_cast<Bomb*>((it++)->get());
    auto* flame = dynamic_cast<Flame*>((it++)->get());
    auto* strike = dynamic_cast<Airstrike*>((it++)->get());
    auto* block = dynamic_cast<Concrete*>((it++)->get());
    auto* meteor = dynamic_cast<Armageddon*>((it++)->get());
    auto* field = dynamic_cast<Bzykolot*>((it++)->get());
    ASSERT_TRUE(bomb && flame && strike && block && meteor && field);
    EXPECT_EQ(std::make_pair(bomb->x, bomb->y), std::make_pair(200.0f, 100.0f));
    EXPECT_EQ(bomb->timer, 126);
    EXPECT_EQ(std::make_pair(flame->x, flame->y), std::make_pair(200.0f, static_cast<float>(H + 8)));
    EXPECT_EQ(flame->timer, 624);
    EXPECT_EQ(flame->anim, nullptr);
    EXPECT_EQ(std::make_pair(strike->x, strike->y), std::make_pair(296.0f, -48.0f));
    EXPECT_EQ(std::make_tuple(strike->gen, strike->targetX, strike->targetY, strike->vel.y),
              std::make_tuple(0, 200, 100, 5.0f));
    EXPECT_EQ(std::make_pair(block->x, block->y), std::make_pair(200.0f, -64.0f));
    EXPECT_EQ(std::make_pair(meteor->x, meteor->y), std::make_pair(332.0f, -32.0f));
    EXPECT_EQ(std::make_tuple(meteor->gen, meteor->targetX, meteor->targetY, meteor->vel.y),
              std::make_tuple(0, 200, 100, 8.0f));
    EXPECT_EQ(std::make_pair(field->x, field->y), std::make_pair(200.0f, 100.0f));
    EXPECT_EQ(field->anim, nullptr);
    for (auto& w : weapons) EXPECT_FALSE(w->finished);
    EXPECT_EQ(weaponDelay, 625);  // the last one's
    EXPECT_EQ(started("flame.wav"), 1);
}

TEST_F(Arsenal, MissingProjectileSpriteBuildsNothing) {
    Sprite* bomb = sprites["granat.bmp"];
    sprites.erase("granat.bmp");
    testutil::CaptureStdout log;
    EXPECT_FALSE(launchWeapon(KindBomb));
    EXPECT_NE(log.stop().find("FAIL: Object.Object: Null sprite"), std::string::npos);
    EXPECT_TRUE(weapons.empty());
    sprites["granat.bmp"] = bomb;
}

// ---- Delays ---------------------------------------------------------------------

TEST_F(Arsenal, DelayStepRaisesOneEnergyMotePerFrameWhileRecharging) {
    srand(31);
    const int r1 = rand(), r2 = rand(), r3 = rand();
    srand(31);
    fireDelay = 2;
    weaponDelay = 2;
    delayStep();
    EXPECT_EQ(fireDelay, 1);
    EXPECT_EQ(weaponDelay, 1);
    ASSERT_EQ(particles.size(), 1u);
    const Particle& mote = particles.front();
    EXPECT_EQ(mote.sprite, findSprite("energia.bmp"));
    EXPECT_EQ(mote.x, mouseX + 4 + r3 % 4);
    EXPECT_EQ(mote.y, mouseY + 9 + r2 % 6);
    EXPECT_NEAR(mote.vel.y, -((r1 % 20) / 10.0 + 0.5), 1e-4);
    EXPECT_EQ(mote.accel.y, lift.y);
    EXPECT_EQ(mote.life, 50);
    delayStep();
    delayStep();
    EXPECT_EQ(fireDelay, 0);
    EXPECT_EQ(weaponDelay, 0);
    EXPECT_EQ(particles.size(), 2u);
    // A new round starts both at -1: nothing to count down, no motes.
    resetArsenal();
    delayStep();
    EXPECT_EQ(weaponDelay, -1);
    EXPECT_EQ(particles.size(), 2u);
}

// ---- The ring -------------------------------------------------------------------

// Red channel of the screen at (x, y): the icon looks are 0x10, 0x20, 0x30.
int redAt(int32_t x, int32_t y) {
    Uint8 r, g, b;
    SDL_LockSurface(screen);
    const Uint32 pixel = static_cast<Uint32*>(screen->pixels)[y * screen->pitch / 4 + x];
    SDL_UnlockSurface(screen);
    SDL_GetRGB(pixel, screen->format, &r, &g, &b);
    return r;
}

// One ring frame on a black screen; returns icon i's look.
int ringFrame(bool right, bool left, int32_t i = 0) {
    SDL_FillRect(screen, nullptr, 0);
    ringStep(right, left);
    int32_t ix, iy;
    ringIconAt(i, ringX, ringY, ix, iy);
    return redAt(ix, iy) / 0x10 - 1;
}

TEST_F(Arsenal, RingIconsSitFortyPixelsAroundTheCentre) {
    // The sum is truncated, not the offset: 200 - 19.96 gives 180.
    const int32_t expected[6][2] = {{0, 40}, {34, 20}, {34, -20}, {0, -40}, {-35, -21}, {-35, 19}};
    for (int32_t i = 0; i < 6; ++i) {
        int32_t ix, iy;
        ringIconAt(i, 300, 200, ix, iy);
        EXPECT_EQ(ix - 300, expected[i][0]) << i;
        EXPECT_EQ(iy - 200, expected[i][1]) << i;
    }
}

TEST_F(Arsenal, RingOpensAtTheCursorFollowsWithinFortyAndClosesWithAFullUpdate) {
    ringFrame(true, false);
    EXPECT_TRUE(ringOpen);
    EXPECT_EQ(std::make_pair(ringX, ringY), std::make_pair(mouseX, mouseY));
    const int32_t cx = mouseX, cy = mouseY;
    mouseX = cx + 40;
    mouseY = cy - 55;
    ringFrame(true, false);
    EXPECT_EQ(ringX, cx);       // 40 away: stays
    EXPECT_EQ(ringY, cy - 15);  // 55 away: pulled to 40
    fullUpdate = false;
    ringFrame(false, false);
    EXPECT_FALSE(ringOpen);
    EXPECT_TRUE(fullUpdate);
    // Shut already: nothing more to present.
    fullUpdate = false;
    ringFrame(false, false);
    EXPECT_FALSE(fullUpdate);
}

TEST_F(Arsenal, RingShowsTheHudLineUnderItsCentre) {
    kills = 7;
    roundTicks = 620;
    ringFrame(true, false);
    EXPECT_EQ(hudText.text, "007    010");
    EXPECT_EQ(hudText.left, ringX - 48);
    EXPECT_EQ(hudText.top, ringY + 68);
}

TEST_F(Arsenal, PressAndReleaseOnAnAvailableIconArmsIt) {
    ammo[KindAirstrike] = 1;
    EXPECT_EQ(ringFrame(true, false, KindAirstrike), 1);
    EXPECT_EQ(ringFrame(true, false, KindBomb), 0);  // no stock
    int32_t ix, iy;
    ringIconAt(KindAirstrike, ringX, ringY, ix, iy);
    mouseX = ix + 15;  // the click box's edge
    mouseY = iy - 15;
    EXPECT_EQ(ringFrame(true, true, KindAirstrike), 2);
    EXPECT_EQ(hoverWeapon, KindAirstrike);
    // The right button may go up while the left is held: the ring stays.
    EXPECT_EQ(ringFrame(false, true, KindAirstrike), 2);
    ringFrame(false, false, KindAirstrike);
    EXPECT_EQ(selectedWeapon, KindAirstrike);
    EXPECT_EQ(hoverWeapon, -1);
    // Armed: the right button no longer opens the ring, the next press fires.
    ringFrame(true, false);
    EXPECT_FALSE(ringOpen);
    fireStep(true);
    EXPECT_EQ(all<Airstrike>().size(), 1u);
    EXPECT_EQ(ammo[KindAirstrike], 0);
}

TEST_F(Arsenal, MovingOffThePressedIconArmsNothing) {
    ammo[KindBomb] = 1;
    ringFrame(true, false);
    int32_t ix, iy;
    ringIconAt(KindBomb, ringX, ringY, ix, iy);
    mouseX = ix;
    mouseY = iy;
    ringFrame(true, true);
    ASSERT_EQ(hoverWeapon, KindBomb);
    mouseY = iy - 16;  // just off its box
    ringFrame(true, true);
    EXPECT_EQ(hoverWeapon, -1);
    mouseY = iy;
    ringFrame(true, false);
    EXPECT_EQ(selectedWeapon, -1);
}

TEST_F(Arsenal, ReleaseOnAnotherIconArmsNothing) {
    // Pressed on the stocked flame, released in one jump on the empty bomb
    // (an icon checked before the pressed one): arming the bomb would fire a
    // weapon with no stock.
    ammo[KindFlame] = 1;
    ringFrame(true, false);
    int32_t bx, by, fx, fy;
    ringIconAt(KindBomb, ringX, ringY, bx, by);
    ringIconAt(KindFlame, ringX, ringY, fx, fy);
    mouseX = fx;
    mouseY = fy;
    ringFrame(true, true);
    ASSERT_EQ(hoverWeapon, KindFlame);
    mouseX = bx;
    mouseY = by;
    ringFrame(true, false);
    EXPECT_EQ(selectedWeapon, -1);
    EXPECT_EQ(hoverWeapon, -1);
    fireStep(true);
    EXPECT_EQ(ammo[KindBomb], 0);
}

TEST_F(Arsenal, PressOnAnUnavailableIconDoesNothing) {
    ringFrame(true, false);
    int32_t ix, iy;
    ringIconAt(KindConcrete, ringX, ringY, ix, iy);
    mouseX = ix;
    mouseY = iy;
    EXPECT_EQ(ringFrame(true, true, KindConcrete), 0);
    EXPECT_EQ(hoverWeapon, -1);
    ringFrame(true, false);
    EXPECT_EQ(selectedWeapon, -1);
}

TEST_F(Arsenal, ConcreteDelaysTheRingForNineHundredThirtySevenFrames) {
    ammo[KindConcrete] = 2;
    ammo[KindBomb] = 1;
    selectedWeapon = KindConcrete;
    // Frame F: the shot, then the frame's delay step and ring.
    fireStep(true);
    delayStep();
    EXPECT_EQ(ringFrame(true, false, KindConcrete), 0);
    for (int f = 1; f <= 935; ++f) {
        delayStep();
        ASSERT_EQ(ringFrame(true, false, KindBomb), 0) << "F + " << f;
        ASSERT_EQ(ringFrame(true, false, KindConcrete), 0) << "F + " << f;
    }
    delayStep();  // F + 936
    EXPECT_EQ(ringFrame(true, false, KindBomb), 1);
    EXPECT_EQ(ringFrame(true, false, KindConcrete), 1);
    EXPECT_EQ(ringFrame(true, false, KindFlame), 0);
    delayStep();
    size_t motes = 0;
    for (const Particle& p : particles) motes += p.sprite == findSprite("energia.bmp");
    EXPECT_EQ(motes, 937u);
}

}  // namespace

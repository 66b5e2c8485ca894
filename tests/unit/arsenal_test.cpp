// The arsenal: drops, pick-up, firing, the delays and the weapon ring.
#include <cmath>
#include <cstdlib>

#include "weaponfix.h"
#include "world/bomb.h"

using namespace weaponfix;

namespace {

class Arsenal : public World {};

TEST_F(Arsenal, DropTableAndTheRareKindRules) {
    const struct { int32_t bzykolots, concretes, r, kind; } rows[] = {
        {0, 0, 0, KindBzykolot},    {0, 0, 1, KindBzykolot},   {0, 0, 2, KindConcrete}, {0, 0, 4, KindConcrete},
        {0, 0, 5, KindArmageddon},  {0, 0, 9, KindArmageddon}, {0, 0, 10, KindAirstrike}, {0, 0, 19, KindAirstrike},
        {0, 0, 20, KindFlame},      {0, 0, 39, KindFlame},     {0, 0, 40, KindBomb},    {0, 0, 69, KindBomb},
        {0, 0, 70, -1},             {0, 0, 149, -1},
        {1, 0, 0, KindConcrete},    {1, 1, 1, KindConcrete},    // a Bzykolot held: its rolls fall through
        {1, 2, 0, KindArmageddon},  {0, 2, 4, KindArmageddon},  // two concretes held: that row gives armageddons
        {0, 2, 1, KindBzykolot}};
    for (const auto& row : rows) {
        ammo[KindBzykolot] = row.bzykolots;
        ammo[KindConcrete] = row.concretes;
        EXPECT_EQ(dropKind(row.r), row.kind) << "r " << row.r << " held " << row.bzykolots << "," << row.concretes;
    }
}

TEST_F(Arsenal, DropsGrowRarerAsTheRoundGoesOn) {
    const int32_t rows[][2] = {{0, 150}, {29, 150}, {3000, 250}};  // roundTicks, 150 + roundTicks / 30
    for (auto [ticks, m] : rows) {
        roundTicks = ticks;
        drops.clear();
        srand(1234);
        for (int i = 0; i < 20000; ++i) dropRoll(100.0f, 100.0f);
        EXPECT_NEAR(drops.size() / 20000.0, 70.0 / m, 0.015) << ticks;
    }
}

TEST_F(Arsenal, DropRollsKindThenSpeedAndIsPickedUpAfterThirtyFramesWithTenSparks) {
    cursorSprite->anims[0] = Anim{1, 0, 0, 200, 200, 100, 100, 100, 0};  // keeps the bobbing crate under it
    std::vector<int> r(22);
    unsigned seed = 21;
    do {
        srand(++seed);
        for (int& v : r) v = rand();
    } while (r[0] % 150 >= 70);
    srand(seed);
    dropRoll(mouseX + 0.9f, mouseY - 0.9f);
    ASSERT_EQ(drops.size(), 1u);
    const WeaponDrop& d = drops.front();
    const int32_t kind = d.weaponType;
    EXPECT_EQ(kind, dropKind(r[0] % 150));
    EXPECT_NEAR(d.vel.y, -((r[1] % 20) / 10.0 + 0.5), 1e-4);
    EXPECT_EQ(std::make_tuple(d.x, d.y, d.life), std::make_tuple(float(mouseX), float(mouseY - 1), 1000.0f));
    ammo[kind] = 4;  // no upper limit
    for (int frame = 1; frame <= 30; ++frame) {
        worldPass();
        ASSERT_EQ(ammo[kind], 4) << frame;
    }
    worldPass();
    EXPECT_EQ(std::make_tuple(ammo[kind], drops.size(), started("drop.wav")), std::make_tuple(5, 0u, 1));
    ASSERT_EQ(particles.size(), 10u);
    int i = 2;
    for (const Particle& p : particles) {  // speed roll, then angle roll
        const double speed = (r[i] % 20) / 10.0 + 0.5, angle = (r[i + 1] % 360) * 0.01745;
        EXPECT_TRUE(p.sprite == findSprite("iskra.bmp") && p.life == 20);
        EXPECT_NEAR(p.vel.x, std::cos(angle) * speed, 1e-4);
        EXPECT_NEAR(p.vel.y, std::sin(-angle) * speed, 1e-4);
        i += 2;
    }
}

TEST_F(Arsenal, PickUpTestUsesTheFirstCursorLookWhateverTheHealth) {
    cursorSprite->anims[0] = Anim{1, 0, 0, 40, 40, 0, 0, 100, 0};
    cursorSprite->anims[10] = Anim{1, 0, 0, 2, 2, 0, 0, 100, 0};
    cursorAnim = 10;
    WeaponDrop crate(findSprite("drop.bmp"), mouseX + 30, mouseY + 30, gravity, drag, 90.0f, 0.5f, 1000);
    EXPECT_TRUE(cursorTouches(crate));
    crate.x = static_cast<float>(mouseX + 40 + 10);  // its 20 px box's left edge on the cursor box's right edge
    EXPECT_FALSE(cursorTouches(crate));
    crate.x -= 0.01f;
    EXPECT_TRUE(cursorTouches(crate));
    crate.pickupDelay = 1;
    EXPECT_FALSE(cursorTouches(crate));
}

TEST_F(Arsenal, HeldClickFiresEverySixtyTwoFrames) {
    std::vector<int> shots;
    for (int frame = 1; frame <= 200; ++frame) {
        const size_t before = weapons.size();
        fireStep(true);
        if (weapons.size() != before) shots.push_back(frame);
        delayStep();
    }
    EXPECT_EQ(shots, (std::vector<int>{1, 63, 125, 187}));
    for (Explosion* e : all<Explosion>()) {
        EXPECT_EQ(e->damage, 5);
        EXPECT_EQ(std::make_pair(e->x, e->y), std::make_pair(float(mouseX), float(mouseY)));
    }
    EXPECT_EQ(started("explosion00.wav"), 4);
}

TEST_F(Arsenal, ClickIsRefusedWhileTheRingIsOpenButAnArmedWeaponFires) {
    ringOpen = true;
    fireStep(true);
    EXPECT_EQ(std::make_pair(weapons.size(), fireDelay), std::make_pair(0ul, 0));
    ammo[KindBomb] = 2;
    selectedWeapon = hoverWeapon = KindBomb;
    fireDelay = 40;
    fireStep(true);
    EXPECT_EQ(std::make_tuple(all<Bomb>().size(), ammo[KindBomb], fireDelay), std::make_tuple(1u, 1, 62));
    EXPECT_EQ(std::make_tuple(selectedWeapon, hoverWeapon, ringOpen), std::make_tuple(-1, -1, false));
    fireStep(true);  // a plain click again, held back by the delay
    EXPECT_EQ(weapons.size(), 1u);
}

TEST_F(Arsenal, EachKindSetsItsDelayAndAMissingSpriteBuildsNothing) {
    const int32_t delays[] = {125, 312, 187, 937, 500, 625};
    for (int32_t kind = 0; kind < 6; ++kind) {
        ASSERT_TRUE(launchWeapon(kind)) << kind;
        EXPECT_EQ(weaponDelay, delays[kind]) << kind;
    }
    Sprite* bomb = sprites["granat.bmp"];
    sprites.erase("granat.bmp");
    testutil::CaptureStdout log;
    EXPECT_FALSE(launchWeapon(KindBomb));
    EXPECT_NE(log.stop().find("FAIL: Object.Object: Null sprite"), std::string::npos);
    EXPECT_EQ(weapons.size(), 6u);
    sprites["granat.bmp"] = bomb;
}

// One ring frame on a black screen; returns the look of icon i (the looks are red 0x10, 0x20, 0x30).
int ringFrame(bool right, bool left, int32_t i = 0) {
    SDL_FillRect(screen, nullptr, 0);
    ringStep(right, left);
    int32_t ix, iy;
    ringIconAt(i, ringX, ringY, ix, iy);
    Uint8 r, g, b;
    SDL_GetRGB(static_cast<Uint32*>(screen->pixels)[iy * screen->pitch / 4 + ix], screen->format, &r, &g, &b);
    return r / 0x10 - 1;
}

TEST_F(Arsenal, RingIconsSitFortyPixelsAroundTheCentre) {
    // The sum is truncated, not the offset: 200 - 19.96 gives 180.
    const int32_t expected[6][2] = {{0, 40}, {34, 20}, {34, -20}, {0, -40}, {-35, -21}, {-35, 19}};
    for (int32_t i = 0; i < 6; ++i) {
        int32_t ix, iy;
        ringIconAt(i, 300, 200, ix, iy);
        EXPECT_EQ(std::make_pair(ix - 300, iy - 200), std::make_pair(expected[i][0], expected[i][1])) << i;
    }
}

TEST_F(Arsenal, RingOpensAtTheCursorFollowsWithinFortyShowsTheHudLineAndClosesWithAFullUpdate) {
    kills = 7;
    roundTicks = 620;
    const int32_t cx = mouseX, cy = mouseY;
    ringFrame(true, false);
    EXPECT_EQ(std::make_tuple(ringOpen, ringX, ringY), std::make_tuple(true, cx, cy));
    mouseX = cx + 40;
    mouseY = cy - 55;
    ringFrame(true, false);
    EXPECT_EQ(std::make_pair(ringX, ringY), std::make_pair(cx, cy - 15));  // 40 away stays, 55 is pulled to 40
    EXPECT_EQ(hudText.text, "007    010");
    EXPECT_EQ(std::make_pair(hudText.left, hudText.top), std::make_pair(cx - 48, cy - 15 + 68));
    for (bool closing : {true, false}) {  // a full update once, as the ring shuts
        fullUpdate = false;
        ringFrame(false, false);
        EXPECT_EQ(std::make_pair(ringOpen, fullUpdate), std::make_pair(false, closing));
    }
}

TEST_F(Arsenal, RingArmsOnPressAndReleaseOnTheSameAvailableIcon) {
    // Opened at the centre; pressed at an icon + (dx, dy), held there moved by heldDy, released on an icon.
    const struct { const char* what; int32_t stocked, press, dx, dy, heldDy, release, hover, armed; } rows[] = {
        {"pressed on its box's corner", KindAirstrike, KindAirstrike, 15, -15, 0, KindAirstrike, KindAirstrike, KindAirstrike},
        {"moved off it while held", KindBomb, KindBomb, 0, 0, -16, KindBomb, KindBomb, -1},
        // Mended: the bomb, checked before the flame, was armed with no stock.
        {"released on another icon", KindFlame, KindFlame, 0, 0, 0, KindBomb, KindFlame, -1},
        {"no stock", KindFlame, KindConcrete, 0, 0, 0, KindConcrete, -1, -1}};
    auto moveTo = [](int32_t icon, int32_t dx, int32_t dy) {
        ringIconAt(icon, ringX, ringY, mouseX, mouseY);
        mouseX += dx;
        mouseY += dy;
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        resetArsenal();
        weaponDelay = 0;
        ammo[row.stocked] = 1;
        mouseX = W / 2;
        mouseY = H / 2;
        EXPECT_EQ(ringFrame(true, false, row.press), row.press == row.stocked ? 1 : 0);
        moveTo(row.press, row.dx, row.dy);
        EXPECT_EQ(ringFrame(true, true, row.press), row.hover >= 0 ? 2 : 0);
        EXPECT_EQ(hoverWeapon, row.hover);
        moveTo(row.press, row.dx, row.dy + row.heldDy);
        ringFrame(false, true);  // the right button may go up while a pressed icon is held
        EXPECT_EQ(ringOpen, row.hover >= 0);
        moveTo(row.release, 0, 0);
        ringFrame(true, false);
        EXPECT_EQ(selectedWeapon, row.armed);
        ringFrame(true, false);  // armed: the right button no longer opens the ring
        EXPECT_EQ(ringOpen, row.armed < 0);
        fireStep(true);
        EXPECT_EQ(ammo[row.stocked], row.armed >= 0 ? 0 : 1);
    }
}

TEST_F(Arsenal, ConcreteDelaysTheRingForNineHundredThirtySevenFramesWithARisingMoteEach) {
    srand(31);
    const int r1 = rand(), r2 = rand(), r3 = rand();
    srand(31);
    ammo[KindConcrete] = 2;
    ammo[KindBomb] = 1;
    selectedWeapon = KindConcrete;
    // Frame F: the shot, then the frame's delay step and ring.
    fireStep(true);
    delayStep();
    ASSERT_EQ(particles.size(), 1u);
    const Particle& mote = particles.front();
    EXPECT_EQ(mote.sprite, findSprite("energia.bmp"));
    EXPECT_EQ(std::make_pair(mote.x, mote.y), std::make_pair(float(mouseX + 4 + r3 % 4), float(mouseY + 9 + r2 % 6)));
    EXPECT_NEAR(mote.vel.y, -((r1 % 20) / 10.0 + 0.5), 1e-4);
    EXPECT_EQ(mote.accel.y, lift.y);
    EXPECT_EQ(mote.life, 50);
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
    EXPECT_EQ(particles.size(), 937u);
    resetArsenal();  // a new round: both delays at -1, no motes
    delayStep();
    EXPECT_EQ(std::make_pair(fireDelay, weaponDelay), std::make_pair(-1, -1));
    EXPECT_EQ(particles.size(), 937u);
}

}  // namespace

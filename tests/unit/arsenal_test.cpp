// The arsenal: drops, pick-up, firing, the delays and the weapon ring.
#include <cmath>
#include <cstdlib>

#include "weaponfix.h"
#include "world/bomb.h"

using namespace weaponfix;

namespace {

class Arsenal : public World {};

TEST_F(Arsenal, DropTableRarityAndTheRareKindRules) {
    const struct { int32_t bzykolots, concretes, r, kind; } rows[] = {
        {0, 0, 1, KindBzykolot},    {0, 0, 2, KindConcrete},    {0, 0, 4, KindConcrete}, {0, 0, 5, KindArmageddon},
        {0, 0, 9, KindArmageddon},  {0, 0, 10, KindAirstrike},  {0, 0, 19, KindAirstrike}, {0, 0, 20, KindFlame},
        {0, 0, 39, KindFlame},      {0, 0, 40, KindBomb},       {0, 0, 69, KindBomb},    {0, 0, 70, -1},
        {1, 0, 0, KindConcrete},    {1, 1, 1, KindConcrete},    // a Bzykolot held: its rolls fall through
        {1, 2, 0, KindArmageddon},  {0, 2, 4, KindArmageddon},  // two concretes held: that row gives armageddons
        {0, 2, 1, KindBzykolot}};
    for (const auto& row : rows) {
        ammo[KindBzykolot] = row.bzykolots;
        ammo[KindConcrete] = row.concretes;
        EXPECT_EQ(dropKind(row.r), row.kind) << "r " << row.r << " held " << row.bzykolots << "," << row.concretes;
    }
    resetArsenal();
    for (auto [ticks, m] : {std::pair{0, 150}, {3000, 250}}) {  // rolls % (150 + roundTicks / 30)
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
    EXPECT_EQ(std::make_tuple(kind, d.x, d.y), std::make_tuple(dropKind(r[0] % 150), float(mouseX), float(mouseY - 1)));
    EXPECT_NEAR(d.vel.y, -((r[1] % 20) / 10.0 + 0.5), 1e-4);
    ammo[kind] = 4;  // no upper limit
    for (int frame = 1; frame <= 30; ++frame) {
        worldPass();
        ASSERT_EQ(ammo[kind], 4) << frame;
    }
    worldPass();
    EXPECT_EQ(std::make_tuple(ammo[kind], drops.size(), started("drop.wav"), particles.size()),
              std::make_tuple(5, 0u, 1, 10u));
    auto p = particles.begin();
    for (int i = 2; i < 22; i += 2, ++p) {  // speed roll, then angle roll
        const double speed = (r[i] % 20) / 10.0 + 0.5, angle = (r[i + 1] % 360) * 0.01745;
        EXPECT_NEAR(p->vel.x, std::cos(angle) * speed, 1e-4) << i;
        EXPECT_NEAR(p->vel.y, -std::sin(angle) * speed, 1e-4) << i;
    }
}

TEST_F(Arsenal, PickUpTestUsesTheFirstCursorLookWhateverTheHealth) {
    cursorSprite->anims[0] = Anim{1, 0, 0, 40, 40, 0, 0, 100, 0};
    cursorSprite->anims[10] = Anim{1, 0, 0, 2, 2, 0, 0, 100, 0};
    cursorAnim = 10;
    // The crate's 20 px box from its left edge on the cursor box's right edge to 0.01 px inside it.
    WeaponDrop crate(findSprite("drop.bmp"), mouseX + 50, mouseY + 30, gravity, drag, 90.0f, 0.5f, 1000);
    EXPECT_FALSE(cursorTouches(crate));
    crate.x -= 0.01f;
    EXPECT_TRUE(cursorTouches(crate));
    crate.pickupDelay = 1;
    EXPECT_FALSE(cursorTouches(crate));
}

TEST_F(Arsenal, HeldClickFiresEverySixtyTwoFramesButNotWhileTheRingIsOpen) {
    std::vector<int> shots;
    for (int frame = 1; frame <= 200; ++frame) {
        const size_t before = weapons.size();
        fireStep(true);
        if (weapons.size() != before) shots.push_back(frame);
        delayStep();
    }
    EXPECT_EQ(shots, (std::vector<int>{1, 63, 125, 187}));
    clearObjects();
    fireDelay = 0;
    ringOpen = true;
    fireStep(true);
    EXPECT_EQ(std::make_pair(weapons.size(), fireDelay), std::make_pair(0ul, 0));
    ammo[KindBomb] = 2;  // an armed weapon fires whatever the ring and the delay
    selectedWeapon = hoverWeapon = KindBomb;
    fireDelay = 40;
    fireStep(true);
    EXPECT_EQ(std::make_tuple(all<Bomb>().size(), ammo[KindBomb], fireDelay, selectedWeapon, hoverWeapon, ringOpen),
              std::make_tuple(1u, 1, 62, -1, -1, false));
}

TEST_F(Arsenal, AMissingSpriteNameIsRegistered) {
    // Kept without a sprite, as every lookup of the game does.
    EXPECT_TRUE(findSprite("absent.bmp") == nullptr && sprites.count("absent.bmp") == 1);
    sprites.erase("absent.bmp");
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
    for (int32_t i = 0, ix, iy; i < 6; ++i) {
        ringIconAt(i, 300, 200, ix, iy);
        EXPECT_EQ(std::make_pair(ix - 300, iy - 200), std::make_pair(expected[i][0], expected[i][1])) << i;
    }
}

TEST_F(Arsenal, RingOpensAtTheCursorFollowsWithinFortyShowsTheHudLineAndClosesWithAFullUpdate) {
    kills = 7, roundTicks = 620;
    const int32_t cx = mouseX, cy = mouseY;
    ringFrame(true, false);
    EXPECT_EQ(std::make_tuple(ringOpen, ringX, ringY), std::make_tuple(true, cx, cy));
    mouseX = cx + 40, mouseY = cy - 55;
    ringFrame(true, false);
    EXPECT_EQ(std::make_pair(ringX, ringY), std::make_pair(cx, cy - 15));  // 40 away stays, 55 is pulled to 40
    EXPECT_EQ(hudText.text, "007    010");
    for (bool closing : {true, false}) {  // a full update once, as the ring shuts
        fullUpdate = false;
        ringFrame(false, false);
        EXPECT_EQ(std::make_pair(ringOpen, fullUpdate), std::make_pair(false, closing));
    }
}

TEST_F(Arsenal, RingArmsOnPressAndReleaseOnTheSameAvailableIcon) {
    // Opened at the centre; pressed at an icon + (dx, dy), held there moved by heldDy, released on an icon.
    const struct { const char* what; int32_t stocked, press, dx, dy, heldDy, release, hover, armed; } rows[] = {
        {"pressed on its box's corner", KindAirstrike, KindAirstrike, 15, -15, 0, KindAirstrike, KindAirstrike,
         KindAirstrike},
        {"moved off it while held", KindBomb, KindBomb, 0, 0, -16, KindBomb, KindBomb, -1},
        // Mended: the bomb, checked before the flame, was armed with no stock.
        {"released on another icon", KindFlame, KindFlame, 0, 0, 0, KindBomb, KindFlame, -1},
        {"no stock", KindFlame, KindConcrete, 0, 0, 0, KindConcrete, -1, -1}};
    auto moveTo = [](int32_t icon, int32_t dx, int32_t dy) {
        ringIconAt(icon, ringX, ringY, mouseX, mouseY);
        mouseX += dx, mouseY += dy;
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        resetArsenal();
        weaponDelay = 0;
        ammo[row.stocked] = 1;
        mouseX = W / 2, mouseY = H / 2;
        ringFrame(true, false);
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
    }
}

TEST_F(Arsenal, ConcreteDelaysTheRingForNineHundredThirtySevenFramesWithARisingMoteEach) {
    srand(31);
    const int r1 = rand(), r2 = rand(), r3 = rand();
    srand(31);
    ammo[KindConcrete] = 2, ammo[KindBomb] = 1;
    selectedWeapon = KindConcrete;
    // Frame F: the shot, then the frame's delay step and ring.
    fireStep(true);
    delayStep();
    ASSERT_EQ(particles.size(), 1u);
    const Particle& mote = particles.front();
    EXPECT_EQ(std::make_pair(mote.x, mote.y), std::make_pair(float(mouseX + 4 + r3 % 4), float(mouseY + 9 + r2 % 6)));
    EXPECT_NEAR(mote.vel.y, -((r1 % 20) / 10.0 + 0.5), 1e-4);
    for (int f = 0; f <= 935; ++f) {
        if (f > 0) delayStep();
        ASSERT_EQ(ringFrame(true, false, KindBomb) + ringFrame(true, false, KindConcrete), 0) << "F + " << f;
    }
    delayStep();  // F + 936
    EXPECT_EQ(std::make_tuple(ringFrame(true, false, KindBomb), ringFrame(true, false, KindConcrete),
                              ringFrame(true, false, KindFlame)), std::make_tuple(1, 1, 0));
    delayStep();
    EXPECT_EQ(particles.size(), 937u);  // no mote once the delay is over
}

}  // namespace

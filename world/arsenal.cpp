#include "world/arsenal.h"

#include <memory>

#include "base/portmath.h"
#include "base/rng.h"
#include "world/airstrike.h"
#include "world/armageddon.h"
#include "world/bomb.h"
#include "world/bzykolot.h"
#include "world/concrete.h"
#include "world/fx.h"
#include "world/objects.h"
#include "world/round.h"

int32_t ammo[kWeaponKinds] = {};
int32_t selectedWeapon = -1;
int32_t hoverWeapon = -1;
bool ringOpen = false;
int32_t ringX = 0, ringY = 0;
int32_t fireDelay = 0;
int32_t weaponDelay = 0;
uint32_t ringLooks[kWeaponKinds] = {};

void resetArsenal() {
    for (int32_t& n : ammo) n = 0;
    selectedWeapon = -1;
    hoverWeapon = -1;
    ringOpen = false;
    fireDelay = -1;
    weaponDelay = -1;
}

// ---- Firing -------------------------------------------------------------------

bool launchWeapon(int32_t kind) {
    if (kind < 0 || kind >= kWeaponKinds) return false;
    weaponDelay = kWeaponDelays[kind];
    std::unique_ptr<Weapon> shot;
    switch (kind) {
    case KindBomb: {
        auto bomb = std::make_unique<Bomb>(0, mouseX, mouseY, findSheet("granat.bmp"), gravity, drag, false);
        bomb->timer = 126;
        shot = std::move(bomb);
        break;
    }
    case KindFlame: {
        auto flame = std::make_unique<Flame>(0, mouseX, fieldH + 8, nullptr, gravity, drag, true);
        // Burns twice as long as the flame's delay.
        flame->timer = 2 * kWeaponDelays[KindFlame];
        fxSound("flame.wav");
        shot = std::move(flame);
        break;
    }
    case KindAirstrike: {
        auto strike = std::make_unique<Airstrike>(0, mouseX + 96, kStrikeTop, findSheet("airstrike.bmp"),
                                                  gravity, drag, false);
        strike->timer = 0;
        strike->gen = 0;
        strike->targetX = mouseX;
        strike->targetY = mouseY;
        strike->vel.y = kStrikeSpeed;
        shot = std::move(strike);
        break;
    }
    case KindConcrete: {
        auto block = std::make_unique<Concrete>(0, mouseX, -64, findSheet("kurczak.bmp"), gravity, drag, false);
        block->timer = 0;
        shot = std::move(block);
        break;
    }
    case KindArmageddon:
        shot = makeMeteor(mouseX, mouseY, 0, findSheet("meteor.bmp"), gravity, drag);
        break;
    case KindBzykolot: {
        auto field = std::make_unique<Bzykolot>(0, mouseX, mouseY, nullptr, gravity, drag, true);
        field->timer = 0;
        field->gen = 0;
        shot = std::move(field);
        break;
    }
    }
    shot->finished = false;
    return addWeapon(std::move(shot));
}

void fireStep(bool leftHeld) {
    if (!leftHeld) return;
    if (selectedWeapon < 0) {
        if (fireDelay >= 1 || ringOpen) return;
        fireDelay = kClickDelay;
        spawnExplosion(mouseX, mouseY, findSheet("wybuch01.bmp"), gravity, drag, kClickDamage, true);
        return;
    }
    const int32_t kind = selectedWeapon;
    fireDelay = kClickDelay;
    launchWeapon(kind);
    if (kind >= 0 && kind < kWeaponKinds) ammo[kind] -= 1;
    selectedWeapon = -1;
    hoverWeapon = -1;
    ringOpen = false;
}

// ---- Drops and pick-ups ---------------------------------------------------------

int32_t dropKind(int32_t r) {
    if (r <= 1 && ammo[KindBzykolot] == 0) return KindBzykolot;
    if (r <= 4) return (ammo[KindConcrete] == 0 || ammo[KindConcrete] == 1) ? KindConcrete : KindArmageddon;
    if (r <= 9) return KindArmageddon;
    if (r <= 19) return KindAirstrike;
    if (r <= 39) return KindFlame;
    if (r <= 69) return KindBomb;
    return -1;
}

void dropRoll(float fx, float fy) {
    // Pick-ups grow rarer as the round goes on.
    const int32_t m = roundTicks / 30 + 150;
    const int32_t kind = dropKind(roll() % m);
    if (kind < 0) return;
    const float speed = static_cast<float>(roll() % 20) / 10.0f + 0.5f;
    WeaponDrop crate(findSheet("drop.bmp"), static_cast<int32_t>(fx), static_cast<int32_t>(fy), gravity,
                     drag, 90.0f, speed, 1000);
    crate.weaponType = kind;
    crate.pickupDelay = 30;
    addDrop(crate);
}

bool cursorTouches(const WeaponDrop& drop) {
    if (drop.pickupDelay > 0 || !drop.anim || !cursorSheet || cursorSheet->anims.empty()) return false;
    // Always the cursor's first look: the catching box does not shrink as health goes.
    const Anim& c = cursorSheet->anims[0];
    return boxesOverlap(static_cast<float>(mouseX - c.hotX), static_cast<float>(mouseY - c.hotY),
                        static_cast<float>(c.w), static_cast<float>(c.h),
                        drop.x - static_cast<float>(drop.anim->hotX),
                        drop.y - static_cast<float>(drop.anim->hotY),
                        static_cast<float>(drop.anim->w), static_cast<float>(drop.anim->h));
}

void pickUp(const WeaponDrop& drop) {
    fxSound("drop.wav");
    Sheet* spark = findSheet("iskra.bmp");
    for (int i = 0; i < 10; ++i) {
        const int32_t r1 = roll();
        const int32_t r2 = roll();
        Particle p(spark, static_cast<int32_t>(drop.x), static_cast<int32_t>(drop.y), gravity, drag,
                   static_cast<float>(r2 % 360), static_cast<float>(r1 % 20) / 10.0f + 0.5f, 20);
        addParticle(p);
    }
    if (drop.weaponType >= 0 && drop.weaponType < kWeaponKinds) ammo[drop.weaponType] += 1;
}

// ---- Delays and the ring -------------------------------------------------------

void delayStep() {
    if (fireDelay > 0) fireDelay -= 1;
    if (weaponDelay <= 0) return;
    weaponDelay -= 1;
    // A mote rising from the cursor: the arsenal is recharging.
    const int32_t r1 = roll();
    const int32_t r2 = roll();
    const int32_t r3 = roll();
    Particle mote(findSheet("energia.bmp"), mouseX + 4 + r3 % 4, mouseY + 9 + r2 % 6, lift, drag, 90.0f,
                  static_cast<float>(r1 % 20) / 10.0f + 0.5f, 50);
    addParticle(mote);
}

void ringIconAt(int32_t i, int32_t cx, int32_t cy, int32_t& ix, int32_t& iy) {
    const double a = i * kPi / 3;
    ix = static_cast<int32_t>(cx + 40 * portableSin(a));
    iy = static_cast<int32_t>(cy + 40 * portableCos(a));
}

// Keeps the ring centre within 40 px of the cursor on one axis.
static void follow(int32_t& centre, int32_t cursor) {
    if (centre - 40 > cursor) {
        centre = cursor + 40;
    } else if (centre + 40 < cursor) {
        centre = cursor - 40;
    }
}

void ringStep(bool rightHeld, bool leftHeld) {
    const bool shown = (rightHeld && selectedWeapon < 0) || hoverWeapon >= 0;
    if (!shown) {
        if (ringOpen) {
            fxWholeScreen();
            ringOpen = false;
        }
        return;
    }
    if (!ringOpen) {
        ringX = mouseX;
        ringY = mouseY;
    }
    ringOpen = true;
    fxMark(ringX - 56, ringY - 56, 112, 144);
    follow(ringX, mouseX);
    follow(ringY, mouseY);
    for (int32_t i = 0; i < kWeaponKinds; ++i) {
        const bool available = ammo[i] != 0 && weaponDelay <= 0;
        uint32_t look = available ? 1 : 0;
        int32_t ix, iy;
        ringIconAt(i, ringX, ringY, ix, iy);
        const bool on = ix - 15 <= mouseX && mouseX <= ix + 15 && iy - 15 <= mouseY && mouseY <= iy + 15;
        if (on && leftHeld) {
            if (available) {
                hoverWeapon = i;
                look = 2;
            } else {
                look = 0;
            }
        } else if (on) {
            // Armed on release, and only on the icon that was pressed: a release
            // on another icon must not arm a kind that may have no stock.
            if (hoverWeapon == i) {
                selectedWeapon = i;
                hoverWeapon = -1;
            }
        } else if (hoverWeapon == i) {
            hoverWeapon = -1;
        }
        ringLooks[i] = look;
    }
    fxMark(ringX - 56, ringY - 56, 112, 144);
}

// Weapon stock, drops, pick-ups, the weapon ring and firing.
#pragma once
#include <cstdint>

#include "media/text.h"

class WeaponDrop;
struct Sprite;

enum WeaponKind : int32_t {
    KindBomb = 0,
    KindFlame = 1,
    KindAirstrike = 2,
    KindConcrete = 3,
    KindArmageddon = 4,
    KindBzykolot = 5,
};
constexpr int32_t kWeaponKinds = 6;  // WeaponKind runs 0 to kWeaponKinds - 1

// ---- Weapon state -------------------------------------------------------------
extern int32_t ammo[kWeaponKinds];         // stock per WeaponKind
extern int32_t selectedWeapon;             // armed kind, fired by the next left press; -1 none
extern int32_t hoverWeapon;                // ring icon the left button went down on; -1 none
extern bool ringOpen;                      // the ring is shown
extern int32_t ringX, ringY;               // ring centre, anchor of the HUD line
extern int32_t fireDelay;                  // frames until the plain click may fire again
extern int32_t weaponDelay;                // frames until the ring's icons are available again
extern Sprite* weaponIcons[kWeaponKinds];  // the ring's icons by WeaponKind, from start-up
extern Text hudText;                       // "font_00.bmp": the ring's HUD line

// The icons' sprite names, by WeaponKind.
constexpr const char* kIconNames[kWeaponKinds] = {"wep_bomb.bmp",     "wep_flame.bmp",      "wep_airstrike.bmp",
                                                  "wep_concrete.bmp", "wep_armageddon.bmp", "wep_bzykolot.bmp"};

void firingRule();                   // StatePlay, after the play block
void dropRoll(float fx, float fy);   // once per dead fly
bool cursorTouches(const WeaponDrop& drop);  // pick-up test
void pickUp(const WeaponDrop& drop);         // take it: sound, sparks, stock
void delayStep();                    // every frame after the world pass
void weaponRing();                   // every frame after the delay step

// ---- The rules behind them, drivable without a mouse ---------------------------

// Frames between two plain clicks.
constexpr int32_t kClickDelay = 62;
// weaponDelay set by firing each WeaponKind.
constexpr int32_t kWeaponDelays[kWeaponKinds] = {125, 312, 187, 937, 500, 625};

// The firing rule with the left button's state given (gameState is checked by
// firingRule). Plain click every 62 frames and never while the ring is open;
// an armed weapon fires at once and disarms.
void fireStep(bool leftHeld);
// Creates weapon `kind` at the cursor, sets weaponDelay and appends it;
// false when its object could not be built (missing sprite).
bool launchWeapon(int32_t kind);
// The kind a drop roll r gives with the current stock, or -1 for none.
int32_t dropKind(int32_t r);
// The ring with the buttons' state given: opening, following the cursor,
// press-and-release arming on an available icon, the icons and the HUD line.
void ringStep(bool rightHeld, bool leftHeld);
// Centre of ring icon i around (cx, cy): 40 px at angle i * kPi / 3, truncated.
void ringIconAt(int32_t i, int32_t cx, int32_t cy, int32_t& ix, int32_t& iy);
// Back to the state of a new round: no stock, nothing armed, ring closed,
// both delays -1.
void resetArsenal();

// The weapon arsenal's rules: stock, drops, pick-ups, firing, the two delays
// and the weapon ring (its drawing is the game's).
#pragma once
#include <cstdint>

class WeaponDrop;

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
extern int32_t ammo[kWeaponKinds];       // stock per WeaponKind
extern int32_t selectedWeapon;           // armed kind, fired by the next left press; -1 none
extern int32_t hoverWeapon;              // ring icon the left button went down on; -1 none
extern bool ringOpen;                    // the ring is shown
extern int32_t ringX, ringY;             // ring centre, anchor of the HUD line
extern int32_t fireDelay;                // frames until the plain click may fire again
extern int32_t weaponDelay;              // frames until the ring's icons are available again
extern uint32_t ringLooks[kWeaponKinds];  // look of each icon this frame: 0 unavailable, 1 available, 2 pressed

// ---- Firing -------------------------------------------------------------------
// Frames between two plain clicks.
constexpr int32_t kClickDelay = 62;
// weaponDelay set by firing each WeaponKind.
constexpr int32_t kWeaponDelays[kWeaponKinds] = {125, 312, 187, 937, 500, 625};

// The firing rule with the left button's state given (StatePlay only, after
// the play block). Plain click every 62 frames and never while the ring is
// open; an armed weapon fires at once and disarms.
void fireStep(bool leftHeld);
// Creates weapon `kind` at the cursor, sets weaponDelay and appends it;
// false when its object could not be built (missing sprite).
bool launchWeapon(int32_t kind);

// ---- Drops and pick-ups ---------------------------------------------------------
// The kind a drop roll r gives with the current stock, or -1 for none.
int32_t dropKind(int32_t r);
void dropRoll(float fx, float fy);           // once per dead fly
bool cursorTouches(const WeaponDrop& drop);  // pick-up test
void pickUp(const WeaponDrop& drop);         // take it: sound, sparks, stock

// ---- Delays and the ring ---------------------------------------------------------
// Every frame after the world pass: the two delays, and a rising mote while
// the ring waits.
void delayStep();
// The ring with the buttons' state given, every frame after the delay step:
// opening, following the cursor, press-and-release arming on an available
// icon, each icon's look in ringLooks.
void ringStep(bool rightHeld, bool leftHeld);
// Centre of ring icon i around (cx, cy): 40 px at angle i * kPi / 3, truncated.
void ringIconAt(int32_t i, int32_t cx, int32_t cy, int32_t& ix, int32_t& iy);
// Back to the state of a new round: no stock, nothing armed, ring closed,
// both delays -1.
void resetArsenal();

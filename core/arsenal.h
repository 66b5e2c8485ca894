// Weapon stock, drops, pick-ups, the weapon ring and firing.
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

// ---- Weapon state -------------------------------------------------------------
extern int32_t ammo[6];         // stock per WeaponKind
extern int32_t selectedWeapon;  // armed kind, fired by the next left press; -1 none
extern int32_t hoverWeapon;     // ring icon the left button went down on; -1 none
extern bool ringOpen;           // the ring is shown
extern int32_t ringX, ringY;    // ring centre, anchor of the HUD line
extern int32_t fireDelay;       // frames until the plain click may fire again
extern int32_t weaponDelay;     // frames until the ring's icons are available again

void firingRule();                   // StatePlay, after the play block
void dropRoll(float fx, float fy);   // once per dead fly
bool cursorTouches(const WeaponDrop& drop);  // pick-up test
void pickUp(const WeaponDrop& drop);         // take it: sound, sparks, stock
void delayStep();                    // every frame after the world pass
void weaponRing();                   // every frame after the delay step

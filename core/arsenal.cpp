// Placeholder until the arsenal lands: keeps the game linkable.
#include "core/arsenal.h"

int32_t ammo[6] = {0, 0, 0, 0, 0, 0};
int32_t selectedWeapon = -1;
int32_t hoverWeapon = -1;
bool ringOpen = false;
int32_t ringX = 0, ringY = 0;
int32_t fireDelay = 0;
int32_t weaponDelay = 0;

void firingRule() {}
void dropRoll(float, float) {}
bool cursorTouches(const WeaponDrop&) { return false; }
void pickUp(const WeaponDrop&) {}
void delayStep() {}
void weaponRing() {}

// The arsenal as the game runs it: firing on the frame's left button, and the
// weapon ring's rules followed by its icons and HUD line drawn. The rules
// themselves are world/arsenal's.
#pragma once
#include "media/text.h"
#include "world/arsenal.h"

struct Sprite;

extern Sprite* weaponIcons[kWeaponKinds];  // the ring's icons by WeaponKind, from start-up
extern Text hudText;                       // "font_00.bmp": the ring's HUD line

// The icons' sprite names, by WeaponKind.
constexpr const char* kIconNames[kWeaponKinds] = {"wep_bomb.bmp",     "wep_flame.bmp",      "wep_airstrike.bmp",
                                                  "wep_concrete.bmp", "wep_armageddon.bmp", "wep_bzykolot.bmp"};

void firingRule();  // StatePlay, after the play block: fireStep with the frame's left button
void weaponRing();  // every frame after the delay step: ringStep, then drawRing
// While the ring is open: its six icons in their looks around (ringX, ringY)
// and the HUD line "%03d    %03d" of kills and roundTicks / 62 under it.
void drawRing();

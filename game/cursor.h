// The program's own cursor as the game shows it; the pointer's rules (its
// position, trail and look) are world/round's.
#pragma once
#include <cstdint>

struct Sprite;

// ---- Cursor -----------------------------------------------------------------------
extern Sprite* cursorSprite;  // "kursor.bmp", from start-up

void cursorHead();  // the frame's pointer into the rules: old box, position, trail
void cursorDraw();  // the look for the next frame, then the cursor drawn last

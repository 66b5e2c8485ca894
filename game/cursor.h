// Mouse position, the program's own cursor and its trail.
#pragma once
#include <cstdint>

struct Sprite;

// ---- Mouse and cursor -----------------------------------------------------------
extern int32_t mouseX, mouseY;    // read once per frame
extern int32_t cursorAnim;        // cursor look from health, set at the end of each frame
extern Sprite* cursorSprite;      // "kursor.bmp", from start-up
extern int32_t halfCursorAnims;   // half the cursor sprite's animation count

void cursorHead();  // mark old area, read the mouse, leave a trail particle
void cursorDraw();  // choose the look and draw the cursor last

// The mouse moved from (ox, oy) to (nx, ny): mark the new area and send one
// cursor image (look cursorAnim) flying on from the old position.
void leaveTrail(int32_t ox, int32_t oy, int32_t nx, int32_t ny);
// The cursor's look for health hp: 2 * (half - hp), at most count - 2.
int32_t cursorLook(int32_t hp, int32_t half, int32_t count);

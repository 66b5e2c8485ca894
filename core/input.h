// Mouse position, the program's own cursor and its trail.
#pragma once
#include <cstdint>

// ---- Mouse state ------------------------------------------------------------
extern int32_t mouseX, mouseY;  // read once per frame
extern int32_t cursorAnim;      // cursor look from health, set at the end of each frame

void cursorHead();  // mark old area, read the mouse, leave a trail particle
void cursorDraw();  // choose the look and draw the cursor last

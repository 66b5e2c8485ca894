// The main menu: start, scores, quit.
#pragma once
#include <cstdint>

// ---- Menu state -------------------------------------------------------------
extern int32_t menuChoice;  // button under the cursor while the left button is held; -1 none

void menuFrame();  // StateMenu's block

// Button under (x, y) for screen halves hw, hh: 0 start, 1 scores, 2 quit,
// -1 none. Every box spans hh - 95 <= y < hh; start hw - 79 <= x < hw - 48,
// scores hw - 15 <= x <= hw + 15, quit hw + 48 < x <= hw + 79.
int32_t menuHit(int32_t x, int32_t y, int32_t hw, int32_t hh);
// One frame of menu input: while held, menuChoice follows the cursor; once
// released, the last menuChoice acts (start, scores, quit).
void menuInput(bool leftHeld, int32_t x, int32_t y);

// The main menu: start, scores, quit.
#pragma once
#include <cstdint>

// ---- Menu state -------------------------------------------------------------
extern int32_t menuChoice;  // button under the cursor while the left button is held; -1 none

void menuFrame();  // StateMenu's block

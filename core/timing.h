// Frame timing and the drawing budget kept in "upds".
#pragma once
#include <cstdint>

// Rectangle presentations that fit into one ~16 ms window; 0 without a screen.
int32_t benchmark();
// Sets maxUpdates from "upds", or measures it and rewrites the file.
void getMaxUpdates();
// Present, once-per-second debug line, reset dirtyCount.
void presentFrame();
// Waits out the rest of the 16 ms frame (skipped while right Shift is held).
void paceFrame();

// Dirty rectangles: the parts of the screen presented at the end of a frame.
#pragma once
#include <SDL/SDL.h>
#include <cstdint>
#include <vector>

// ---- Dirty-rectangle state ------------------------------------------------
extern std::vector<SDL_Rect> dirtyRects;  // maxUpdates entries, allocated once at start-up
extern int32_t dirtyCount;                // requests this frame not dropped by clipping
extern bool fullUpdate;                   // present the whole screen this frame
extern int32_t maxUpdates;                // update budget (capacity of dirtyRects); 1000 until measured
// Where the screen surface may hold anything but black: every box the last
// frame marked (also those past the budget), or anywhere (drawnAll) on a new
// window.
extern std::vector<SDL_Rect> drawnRects;
extern bool drawnAll;
extern bool screenBlack;  // a new window cleared whole, nothing drawn or presented since

// Records a changed box of the screen (clipped to `screen`); the request that
// would fill the last entry switches the frame to a full flip.
void markDirty(int32_t x, int32_t y, int32_t w, int32_t h);
// Sends the frame to the display: the whole screen when fullUpdate (which it
// clears), otherwise the dirty rectangles. Returns the frame's dirtyCount,
// which starts again from 0. Remembers what was drawn for clearDrawn.
int32_t presentDirty();
// Clears to black what the last frame drew: every box it marked, or the whole
// screen when this frame is already to be presented whole before anything is
// drawn (something invalidated the screen); nothing on a new window, which its
// set-up left black. Every drawing
// is marked, so the screen is then as black as a whole clear leaves it.
void clearDrawn();

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
// The last frame's drawing could not be recorded (or the window is new): the
// next clear takes the whole screen.
extern bool drawnAll;
extern bool screenBlack;  // a new window cleared whole, nothing drawn or presented since

// Records a changed box of the screen (clipped to `screen`) in dirtyRects;
// the request that would fill the last entry sets fullUpdate (which then no
// longer means a whole flip, see presentPlan).
void markDirty(int32_t x, int32_t y, int32_t w, int32_t h);
// What changed is kept in tiles of kTile x kTile pixels: every tile drawn on
// this frame, and every tile cleared at its start (drawn on the last). Whole
// tiles are cleared and presented, each once however much overlaps in it.
constexpr int32_t kTile = 16;
// Records that the box of the screen (clipped to it) may have been drawn on.
// Everything drawn on the screen goes through Sprite::print, which calls it.
void markDrawn(int32_t x, int32_t y, int32_t w, int32_t h);
// What presentDirty sends: true for the whole screen (fullUpdate set by
// something that invalidated the screen rather than by the budget, a whole
// clear, or boxes that would cost more than a flip); otherwise `boxes` gets
// the changed tiles merged into rectangles. Every pixel that changed since the
// last frame is in them, so the display shows what a whole flip would.
bool presentPlan(std::vector<SDL_Rect>& boxes);
// Sends the frame to the display as presentPlan says; fullUpdate is cleared.
// Returns the frame's dirtyCount, which starts again from 0. Remembers what
// was drawn for clearDrawn.
int32_t presentDirty();
// Clears to black what the last frame drew: every tile it drew on, or
// the whole screen when this frame is already to be presented whole before
// anything is drawn (something invalidated the screen); nothing on a new
// window, which its set-up left black. Every drawing is recorded, so the
// screen is then as black as a whole clear leaves it.
void clearDrawn();

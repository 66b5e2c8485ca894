// Dirty rectangles: what changed on the screen this frame.
#include "media/dirty.h"

#include "media/blit.h"
#include "media/video.h"

std::vector<SDL_Rect> dirtyRects;
int32_t dirtyCount = 0;
bool fullUpdate = false;
int32_t maxUpdates = 1000;
std::vector<SDL_Rect> drawnRects;
bool drawnAll = true;

void markDirty(int32_t x, int32_t y, int32_t w, int32_t h) {
    const int32_t n = ++dirtyCount;
    if (fullUpdate) return;  // the whole screen goes out anyway; only the count grows
    if (n >= maxUpdates || static_cast<size_t>(n) > dirtyRects.size()) {
        fullUpdate = true;
        return;
    }
    // Without a screen nothing is visible, so every box clips away.
    const int32_t sw = screenW();
    const int32_t sh = screenH();
    // Clipped in 64 bits: a box far off screen must not wrap round onto it.
    int64_t cx = x, cy = y, cw = w, ch = h;
    if (cx + cw > sw) cw = sw - cx;
    if (cx < 0) {
        cw += cx;
        cx = 0;
    }
    if (cy + ch > sh) ch = sh - cy;
    if (cy < 0) {
        ch += cy;
        cy = 0;
    }
    if (cw <= 0 || ch <= 0) {
        dirtyCount = n - 1;
        return;
    }
    SDL_Rect& r = dirtyRects[n - 1];
    r.x = static_cast<Sint16>(cx);
    r.y = static_cast<Sint16>(cy);
    r.w = static_cast<Uint16>(cw);
    r.h = static_cast<Uint16>(ch);
}

int32_t presentDirty() {
    drawnAll = fullUpdate;
    if (fullUpdate) {
        fullUpdate = false;
        SDL_Flip(screen);
    } else {
        SDL_UpdateRects(screen, dirtyCount, dirtyRects.data());
        // Capacity grows once to the budget; no allocation per frame after that.
        drawnRects.assign(dirtyRects.begin(), dirtyRects.begin() + dirtyCount);
    }
    const int32_t count = dirtyCount;
    dirtyCount = 0;
    return count;
}

void clearDrawn() {
    if (drawnAll || fullUpdate) {
        clearBlack(screen, nullptr);
        return;
    }
    for (const SDL_Rect& r : drawnRects) clearBlack(screen, &r);
}

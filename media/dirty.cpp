// Dirty rectangles: what changed on the screen this frame.
#include "media/dirty.h"

#include <new>

#include "media/blit.h"
#include "media/video.h"

std::vector<SDL_Rect> dirtyRects;
int32_t dirtyCount = 0;
bool fullUpdate = false;
int32_t maxUpdates = 1000;
std::vector<SDL_Rect> drawnRects;
bool drawnAll = true;
bool screenBlack = false;

// This frame's boxes, every one, whether presented one by one or not; the
// next frame clears them. Grows to the busiest frame, then only reused.
static std::vector<SDL_Rect> drawing;
static bool drawingLost = false;  // a box could not be kept: clear everything

// The box clipped to the screen; false when nothing of it is on screen.
static bool clipToScreen(int32_t x, int32_t y, int32_t w, int32_t h, SDL_Rect& r) {
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
    if (cw <= 0 || ch <= 0) return false;
    r.x = static_cast<Sint16>(cx);
    r.y = static_cast<Sint16>(cy);
    r.w = static_cast<Uint16>(cw);
    r.h = static_cast<Uint16>(ch);
    return true;
}

void markDirty(int32_t x, int32_t y, int32_t w, int32_t h) {
    const int32_t n = ++dirtyCount;
    SDL_Rect r;
    const bool visible = clipToScreen(x, y, w, h, r);
    if (visible) {
        try {
            drawing.push_back(r);
        } catch (const std::bad_alloc&) {
            drawingLost = true;
        }
    }
    if (fullUpdate) return;  // the whole screen goes out anyway; only the count grows
    if (n >= maxUpdates || static_cast<size_t>(n) > dirtyRects.size()) {
        fullUpdate = true;
        return;
    }
    if (!visible) {
        dirtyCount = n - 1;
        return;
    }
    dirtyRects[n - 1] = r;
}

int32_t presentDirty() {
    if (fullUpdate) {
        fullUpdate = false;
        SDL_Flip(screen);
    } else {
        SDL_UpdateRects(screen, dirtyCount, dirtyRects.data());
    }
    drawnRects.swap(drawing);
    drawing.clear();
    drawnAll = drawingLost;
    screenBlack = false;
    drawingLost = false;
    const int32_t count = dirtyCount;
    dirtyCount = 0;
    return count;
}

void clearDrawn() {
    if (screenBlack) return;
    if (drawnAll || fullUpdate) {
        clearBlack(screen, nullptr);
        return;
    }
    for (const SDL_Rect& r : drawnRects) clearBlack(screen, &r);
}

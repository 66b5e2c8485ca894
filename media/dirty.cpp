// Dirty rectangles: what changed on the screen this frame.
#include "media/dirty.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "media/blit.h"
#include "media/video.h"

std::vector<SDL_Rect> dirtyRects;
int32_t dirtyCount = 0;
bool fullUpdate = false;
int32_t maxUpdates = 1000;
bool drawnAll = true;
bool screenBlack = false;

namespace {

// The screen in tiles, one byte each: touched by this frame's boxes
// (drawing) and by the last frame's (drawn, cleared at this frame's start).
struct Tiles {
    int32_t w = 0, h = 0;      // in tiles
    int32_t pxW = 0, pxH = 0;  // the screen they were made for
    std::vector<uint8_t> drawing, drawn;
};
Tiles tiles;
bool drawingLost = false;  // a box could not be kept: clear everything
bool budgetFull = false;   // fullUpdate was set by the budget alone
bool clearedAll = false;   // this frame started with a whole clear
std::vector<SDL_Rect> planned;  // presentDirty's boxes; grows to the busiest frame

// Presenting costs per pixel and per box: under X11 (MIT-SHM) each box is a
// request of its own, and scattered boxes copy slower than one whole screen.
// A box is reckoned as this many pixels more (chosen from runs under Xvfb at
// 1920x1080 and 3840x2160); a frame is flipped whole when its boxes would
// cost as much as the whole screen.
constexpr int64_t kBoxPixels = 4096;
// Changed tiles this close in a row go out in one box: the gap costs less
// than another request.
constexpr int32_t kGapTiles = 8;

// Tiles for the screen as it is now; false without memory for them. A new
// size forgets the old record, so the next frame clears everything.
bool tilesFit() {
    const int32_t w = screenW(), h = screenH();
    if (w == tiles.pxW && h == tiles.pxH) return true;
    tiles = Tiles();
    drawingLost = true;
    try {
        const size_t n = static_cast<size_t>((w + kTile - 1) / kTile) * ((h + kTile - 1) / kTile);
        tiles.drawing.assign(n, 0);
        tiles.drawn.assign(n, 0);
    } catch (const std::bad_alloc&) {
        tiles = Tiles();
        return false;
    }
    tiles.w = (w + kTile - 1) / kTile;
    tiles.h = (h + kTile - 1) / kTile;
    tiles.pxW = w;
    tiles.pxH = h;
    return true;
}

// The box of tiles from (tx, ty), tw x th tiles, in pixels clipped to the screen.
SDL_Rect tileBox(int32_t tx, int32_t ty, int32_t tw, int32_t th) {
    const int32_t x = tx * kTile, y = ty * kTile;
    return SDL_Rect{static_cast<Sint16>(x), static_cast<Sint16>(y),
                    static_cast<Uint16>(std::min(tw * kTile, tiles.pxW - x)),
                    static_cast<Uint16>(std::min(th * kTile, tiles.pxH - y))};
}

// The first tile from tx on (or n) changed in row a or row b; eight at a time
// over the unchanged stretches, which are most of a screen.
int32_t nextChanged(const uint8_t* a, const uint8_t* b, int32_t tx, int32_t n) {
    for (; tx + 8 <= n; tx += 8) {
        uint64_t wa, wb;
        memcpy(&wa, a + tx, 8);
        memcpy(&wb, b + tx, 8);
        if (wa | wb) break;
    }
    while (tx < n && !(a[tx] | b[tx])) ++tx;
    return tx;
}

}  // namespace

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
    if (fullUpdate) return;  // the whole screen goes out anyway; only the count grows
    if (n >= maxUpdates || static_cast<size_t>(n) > dirtyRects.size()) {
        fullUpdate = true;
        budgetFull = true;
        return;
    }
    if (!visible) {
        dirtyCount = n - 1;
        return;
    }
    dirtyRects[n - 1] = r;
}

void markDrawn(int32_t x, int32_t y, int32_t w, int32_t h) {
    SDL_Rect r;
    if (!clipToScreen(x, y, w, h, r) || !tilesFit()) return;
    const int32_t tx = r.x / kTile, tw = (r.x + r.w - 1) / kTile - tx + 1;
    for (int32_t ty = r.y / kTile; ty <= (r.y + r.h - 1) / kTile; ++ty)
        memset(&tiles.drawing[static_cast<size_t>(ty) * tiles.w + tx], 1, static_cast<size_t>(tw));
}

bool presentPlan(std::vector<SDL_Rect>& boxes) {
    boxes.clear();
    if ((fullUpdate && !budgetFull) || clearedAll || drawingLost || !screen || screen->w != tiles.pxW ||
        screen->h != tiles.pxH)
        return true;
    // Runs of changed tiles row by row (across short gaps); a run right below
    // a box of the row above, as wide, lengthens that box instead of starting
    // another.
    static std::vector<size_t> open, next;  // boxes reaching the row above / this row, left to right
    open.clear();
    int64_t area = 0;
    const int64_t screenArea = static_cast<int64_t>(screen->w) * screen->h;
    try {
        for (int32_t ty = 0; ty < tiles.h; ++ty) {
            const uint8_t* a = &tiles.drawing[static_cast<size_t>(ty) * tiles.w];
            const uint8_t* b = &tiles.drawn[static_cast<size_t>(ty) * tiles.w];
            next.clear();
            size_t k = 0;
            for (int32_t tx = nextChanged(a, b, 0, tiles.w); tx < tiles.w; tx = nextChanged(a, b, tx, tiles.w)) {
                int32_t end = tx + 1;
                for (int32_t x = end; x < tiles.w && x - end < kGapTiles; ++x)
                    if (a[x] | b[x]) end = x + 1;
                const SDL_Rect run = tileBox(tx, ty, end - tx, 1);
                area += static_cast<int64_t>(run.w) * run.h;
                while (k < open.size() && boxes[open[k]].x < run.x) ++k;
                if (k < open.size() && boxes[open[k]].x == run.x && boxes[open[k]].w == run.w) {
                    boxes[open[k]].h = static_cast<Uint16>(boxes[open[k]].h + run.h);
                    next.push_back(open[k]);
                } else {
                    if (static_cast<int64_t>(boxes.size() + 1) * kBoxPixels >= screenArea) return true;
                    boxes.push_back(run);
                    next.push_back(boxes.size() - 1);
                }
                tx = end;
            }
            open.swap(next);
        }
    } catch (const std::bad_alloc&) {
        return true;
    }
    // Much changed, or in many pieces: one whole flip costs less.
    return area + static_cast<int64_t>(boxes.size()) * kBoxPixels >= screenArea;
}

int32_t presentDirty() {
    if (!screen && !fullUpdate)  // nothing to show; SDL is asked as it always was
        SDL_UpdateRects(screen, dirtyCount, dirtyRects.data());
    else if (presentPlan(planned))
        SDL_Flip(screen);
    else
        SDL_UpdateRects(screen, static_cast<int>(planned.size()), planned.data());
    if (tilesFit()) {
        tiles.drawn.swap(tiles.drawing);
        std::fill(tiles.drawing.begin(), tiles.drawing.end(), 0);
    }
    drawnAll = drawingLost;
    screenBlack = false;
    drawingLost = false;
    fullUpdate = false;
    budgetFull = false;
    clearedAll = false;
    const int32_t count = dirtyCount;
    dirtyCount = 0;
    return count;
}

void clearDrawn() {
    if (screenBlack) return;
    if (drawnAll || fullUpdate || tiles.pxW != screenW() || tiles.pxH != screenH()) {
        clearBlack(screen, nullptr);
        clearedAll = true;
        return;
    }
    // Runs of tiles, each cleared once.
    for (int32_t ty = 0; ty < tiles.h; ++ty) {
        const uint8_t* row = &tiles.drawn[static_cast<size_t>(ty) * tiles.w];
        for (int32_t tx = nextChanged(row, row, 0, tiles.w); tx < tiles.w; tx = nextChanged(row, row, tx, tiles.w)) {
            int32_t end = tx + 1;
            while (end < tiles.w && row[end]) ++end;
            const SDL_Rect box = tileBox(tx, ty, end - tx, 1);
            clearBlack(screen, &box);
            tx = end;
        }
    }
}

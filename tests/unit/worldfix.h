// Shared set-up for the tests of the world objects, the round and the menu: a
// dummy-driver screen, the dirty-rectangle array and sprites built by hand, so
// no pack is needed. Header-only: each test file is its own executable.
#pragma once
#include <SDL/SDL.h>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "core/arsenal.h"
#include "core/game.h"
#include "core/input.h"
#include "core/round.h"
#include "media/sprite.h"
#include "scores/menu.h"
#include "world/dirty.h"
#include "world/objects.h"
#include "world/weapon.h"

namespace worldfix {

constexpr int kScreenW = 640;
constexpr int kScreenH = 480;

// Forgets this frame's dirty rectangles.
inline void resetDirty() {
    dirtyCount = 0;
    fullUpdate = false;
}

// Opens the dummy video driver at 640 x 480 (once per process), sets `screen`
// and allocates `dirtyRects` with the default budget.
inline void openScreen() {
    if (screen == nullptr) {
        SDL_Init(SDL_INIT_VIDEO);
        screen = SDL_SetVideoMode(kScreenW, kScreenH, 32, SDL_SWSURFACE);
    }
    if (dirtyRects == nullptr) {
        // Never freed: the lists' destructors still mark rectangles at exit.
        maxUpdates = 1000;
        dirtyRects = new SDL_Rect[1000];
    }
    resetDirty();
}

// An animation of `frames` frames of w x h from the bitmap's top-left corner.
inline Anim anim(int32_t frames, int32_t w, int32_t h, int32_t hotX = 0, int32_t hotY = 0,
                 int32_t speed = 100, int32_t loopFrame = 0) {
    return Anim{frames, 0, 0, w, h, hotX, hotY, speed, loopFrame};
}

// A sprite with these animations over an opaque white bitmap large enough for
// all of them; kept for the whole process.
inline Sprite* sprite(const std::vector<Anim>& anims) {
    // Never freed: reachable from here until the process ends.
    static auto* keep = new std::vector<Sprite*>;
    auto* s = new Sprite;
    s->anims = anims;
    int w = 1, h = 1;
    for (const Anim& a : anims) {
        if (a.x + a.frames * a.w > w) w = a.x + a.frames * a.w;
        if (a.y + a.h > h) h = a.y + a.h;
    }
    s->bitmap = SDL_CreateRGBSurface(SDL_SWSURFACE | SDL_SRCALPHA, w, h, 32, 0x00ff0000,
                                     0x0000ff00, 0x000000ff, 0xff000000);
    SDL_FillRect(s->bitmap, nullptr, 0xffffffff);
    keep->push_back(s);
    return s;
}

// `count` animations of one w x h frame each, speed 100.
inline Sprite* plainSprite(int32_t count, int32_t w = 4, int32_t h = 4) {
    return sprite(std::vector<Anim>(static_cast<size_t>(count), anim(1, w, h)));
}

// Moves SDL's pointer (the dummy driver takes a warp as a motion) and the
// frame's mouseX, mouseY.
inline void putMouse(int32_t x, int32_t y) {
    SDL_WarpMouse(static_cast<Uint16>(x), static_cast<Uint16>(y));
    SDL_PumpEvents();
    mouseX = x;
    mouseY = y;
}

// Empty lists and a round just started, in StatePlay, with the mouse at (x, y).
inline void freshWorld(int32_t mouseAtX = 320, int32_t mouseAtY = 240) {
    openScreen();
    running = true;
    clearObjects();
    resetRound();
    gameState = StatePlay;
    subState = 0;
    cursorAnim = 0;
    // Twelve cursor looks of 12 x 24 with the hot spot at the tip.
    static Sprite* cursor = plainSprite(12, 12, 24);
    cursorSprite = cursor;
    halfCursorAnims = 6;
    putMouse(mouseAtX, mouseAtY);
    resetDirty();
}

}  // namespace worldfix

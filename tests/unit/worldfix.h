// Shared set-up for the world, round and menu tests: a dummy-driver screen and
// hand-made sprites, so no pack is needed.
#pragma once
#include <SDL/SDL.h>
#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

#include "game/arsenal.h"
#include "game/cursor.h"
#include "game/game.h"
#include "game/menu.h"
#include "game/round.h"
#include "game/roundend.h"
#include "game/scorescreen.h"
#include "media/dirty.h"
#include "media/events.h"
#include "media/sprite.h"
#include "media/video.h"
#include "world/objects.h"
#include "world/weapon.h"

namespace worldfix {

constexpr int kScreenW = 640, kScreenH = 480;
const Vec2 kZero{0.0f, 0.0f};

inline void resetDirty() {
    dirtyCount = 0;
    fullUpdate = false;
}

// Once per process.
inline void openScreen() {
    if (screen == nullptr) {
        SDL_Init(SDL_INIT_VIDEO);
        screen = SDL_SetVideoMode(kScreenW, kScreenH, 32, SDL_SWSURFACE);
    }
    if (dirtyRects.empty()) dirtyRects.resize(maxUpdates = 1000);
    resetDirty();
}

inline Anim anim(int32_t frames, int32_t w, int32_t h, int32_t hotX = 0, int32_t hotY = 0,
                 int32_t speed = 100, int32_t loopFrame = 0) {
    return Anim{frames, 0, 0, w, h, hotX, hotY, speed, loopFrame};
}

// Gives `s` the animations over an opaque white bitmap.
inline Sprite* paintWhite(Sprite* s, const std::vector<Anim>& anims) {
    s->anims = anims;
    int w = 1, h = 1;
    for (const Anim& a : anims) {
        w = std::max(w, a.frames * a.w);
        h = std::max(h, a.h);
    }
    s->bitmap = SDL_CreateRGBSurface(SDL_SWSURFACE | SDL_SRCALPHA, w, h, 32, 0x00ff0000,
                                     0x0000ff00, 0x000000ff, 0xff000000);
    SDL_FillRect(s->bitmap, nullptr, 0xffffffff);
    return s;
}

// A white sprite kept for the whole process.
inline Sprite* sprite(const std::vector<Anim>& anims) {
    static auto* keep = new std::vector<std::unique_ptr<Sprite>>;
    return paintWhite(keep->emplace_back(std::make_unique<Sprite>()).get(), anims);
}

inline Sprite* plainSprite(int32_t count, int32_t w = 4, int32_t h = 4) {
    return sprite(std::vector<Anim>(static_cast<size_t>(count), anim(1, w, h)));
}

// A white sprite of `count` looks in the registry under `name`, made once.
inline Sprite* registered(const char* name, int32_t count, int32_t w = 4, int32_t h = 4) {
    std::unique_ptr<Sprite>& slot = sprites[name];
    if (!slot) paintWhite((slot = std::make_unique<Sprite>()).get(), std::vector<Anim>(static_cast<size_t>(count), anim(1, w, h)));
    return slot.get();
}

// SDL's pointer (the dummy driver takes a warp as a motion) and the frame's copy.
inline void putMouse(int32_t x, int32_t y) {
    SDL_WarpMouse(static_cast<Uint16>(x), static_cast<Uint16>(y));
    SDL_PumpEvents();
    mouseX = x;
    mouseY = y;
}

// Empty lists, a round in StatePlay, twelve 12 x 24 cursor looks, the mouse at (x, y).
inline void freshWorld(int32_t mouseAtX = 320, int32_t mouseAtY = 240) {
    openScreen();
    running = true;
    resetRound();
    gameState = StatePlay;
    cursorAnim = 0;
    static Sprite* cursor = plainSprite(12, 12, 24);
    cursorSprite = cursor;
    halfCursorAnims = 6;
    putMouse(mouseAtX, mouseAtY);
    resetDirty();
}

// A living fly in `flies` with 10 x 10 heading animations and maxSpeed 2.
inline Mucha* liveFly(float x, float y, int32_t hp = 50, int32_t anims = 64) {
    static Sprite* s64 = plainSprite(64, 10, 10);
    auto f = std::make_unique<Mucha>(0, 0, 0, anims == 64 ? s64 : plainSprite(anims, 10, 10), gravity, drag);
    f->x = x;
    f->y = y;
    f->hp = hp;
    f->maxSpeed = 2;
    Mucha* raw = f.get();
    addFly(std::move(f));
    return raw;
}

}  // namespace worldfix

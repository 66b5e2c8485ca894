// What the world's rules announce to whoever shows them: boxes of the screen
// that change, sounds that start, the whole screen to present. The game passes
// them to its dirty rectangles and its mixer; a round run without a screen
// (the checker, the server) sets no sink, and they go nowhere.
#pragma once
#include <cstdint>

class WorldFx {
public:
    virtual ~WorldFx() = default;
    // A box an object covers changed (it marks its old and its new one).
    virtual void mark(int32_t x, int32_t y, int32_t w, int32_t h) = 0;
    // The last box of an object being destroyed.
    virtual void gone(int32_t x, int32_t y, int32_t w, int32_t h) = 0;
    // The sound effect of that name starts.
    virtual void sound(const char* name) = 0;
    // The whole screen is to be presented this frame.
    virtual void wholeScreen() = 0;
};

// ---- The world's sink ----------------------------------------------------------
extern WorldFx* worldFx;  // null: the rules run unseen and unheard

inline void fxMark(int32_t x, int32_t y, int32_t w, int32_t h) {
    if (worldFx) worldFx->mark(x, y, w, h);
}
inline void fxGone(int32_t x, int32_t y, int32_t w, int32_t h) {
    if (worldFx) worldFx->gone(x, y, w, h);
}
inline void fxSound(const char* name) {
    if (worldFx) worldFx->sound(name);
}
inline void fxWholeScreen() {
    if (worldFx) worldFx->wholeScreen();
}

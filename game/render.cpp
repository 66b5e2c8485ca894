#include "game/render.h"

#include <cmath>

#include "media/dirty.h"
#include "media/events.h"
#include "media/sound.h"
#include "media/sprite.h"
#include "world/fx.h"
#include "world/objects.h"
#include "world/weapon.h"

namespace {

class GameFx : public WorldFx {
public:
    void mark(int32_t x, int32_t y, int32_t w, int32_t h) override { markDirty(x, y, w, h); }
    // Once the loop has stopped nothing is presented any more.
    void gone(int32_t x, int32_t y, int32_t w, int32_t h) override {
        if (running) markDirty(x, y, w, h);
    }
    void sound(const char* name) override { PlaySound(name); }
    void wholeScreen() override { fullUpdate = true; }
};

GameFx gameFx;

}  // namespace

void showWorld() { worldFx = &gameFx; }

void drawObject(const Object& o) {
    // Every sheet in the game's world is a sprite of the registry.
    Sprite::print(static_cast<Sprite*>(o.sprite), o.animIndex, o.frame, static_cast<int32_t>(floorf(o.x)),
                  static_cast<int32_t>(floorf(o.y)));
}

void drawWorld() {
    for (const auto& w : weapons)
        if (w->shown) drawObject(*w);
    for (const auto& f : flies)
        if (f->shown) drawObject(*f);
    for (const Particle& p : particles)
        if (p.shown) drawObject(p);
    for (const WeaponDrop& d : drops)
        if (d.shown) drawObject(d);
}

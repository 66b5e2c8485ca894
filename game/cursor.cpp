// The program's own cursor: position, trail, look by health.
#include "game/cursor.h"

#include <SDL/SDL.h>
#include <cmath>

#include "game/round.h"
#include "media/dirty.h"
#include "media/sprite.h"
#include "world/objects.h"

int32_t mouseX = 0, mouseY = 0;
int32_t cursorAnim = 0;
Sprite* cursorSprite = nullptr;
int32_t halfCursorAnims = 0;

void leaveTrail(int32_t ox, int32_t oy, int32_t nx, int32_t ny) {
    markDirty(nx, ny, 12, 24);
    double dx = ox - nx;
    double dy = oy - ny;
    double distance = sqrt(dx * dx + dy * dy);
    // Particles count angles with y pointing up, hence oy - ny.
    double angle = atan2(static_cast<double>(oy - ny), static_cast<double>(nx - ox)) * kRadToDeg;
    Particle trail(cursorSprite, ox, oy, gravity, drag, static_cast<float>(angle),
                   static_cast<float>(distance / 5), 20);
    trail.setAnim(static_cast<uint32_t>(cursorAnim));
    addParticle(trail);
}

void cursorHead() {
    markDirty(mouseX, mouseY, 12, 24);
    int32_t ox = mouseX, oy = mouseY;
    SDL_GetMouseState(&mouseX, &mouseY);
    if (mouseX != ox || mouseY != oy) leaveTrail(ox, oy, mouseX, mouseY);
}

int32_t cursorLook(int32_t hp, int32_t half, int32_t count) {
    int32_t look = 2 * (half - hp);
    return look > count - 2 ? count - 2 : look;
}

void cursorDraw() {
    cursorAnim = cursorLook(health, halfCursorAnims, animCount(cursorSprite));
    Sprite::print(cursorSprite, static_cast<uint32_t>(cursorAnim), 0, mouseX, mouseY);
}

#include "world/concrete.h"

#include "base/rng.h"
#include "world/fx.h"
#include "world/objects.h"

void Concrete::move() {
    if (!anim || y >= static_cast<float>(fieldH + anim->h)) {
        finished = true;
        return;
    }
    markBox(*this);
    vel.y = vel.y + accel.y;
    y = y + vel.y;
    for (auto& fly : flies) {
        if (fly->getHP() < 1 || !collides(*fly, *this)) continue;
        if (vel.y >= kBounceSpeed) {
            vel.y = -kBounceSpeed;
            fxSound("boing.wav");
        }
        fly->setHP(0);
        spawnDebris(static_cast<int32_t>(fly->x), static_cast<int32_t>(fly->y), accel, drag);
    }
    markBox(*this);
    animate();
}

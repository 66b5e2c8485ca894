#include "world/concrete.h"

#include "media/sound.h"
#include "media/sprite.h"
#include "media/video.h"
#include "world/objects.h"

void Concrete::move() {
    if (!anim || y >= static_cast<float>(screenH() + anim->h)) {
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
            PlaySound("boing.wav");
        }
        fly->setHP(0);
        spawnDebris(static_cast<int32_t>(fly->x), static_cast<int32_t>(fly->y), accel, drag);
    }
    markBox(*this);
    draw();
}

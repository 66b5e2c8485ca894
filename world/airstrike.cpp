#include "world/airstrike.h"

#include <memory>

#include "base/hash.h"
#include "base/rng.h"
#include "world/fx.h"
#include "world/objects.h"

void Airstrike::move() {
    if (timer < kStrikeGap) {
        timer = timer + 1;
    } else if (gen < kStrikeLast) {
        auto next = std::make_unique<Airstrike>(0, targetX + 64, kStrikeTop, sprite, accel, drag, false);
        next->finished = false;
        next->timer = 0;
        next->gen = gen + 1;
        next->targetX = targetX - 32;
        next->targetY = targetY;
        next->vel.y = kStrikeSpeed;
        addWeapon(std::move(next));
        gen = kStrikeReleased;
    }
    if (y < static_cast<float>(targetY)) {
        markBox(*this);
        vel.y = vel.y + accel.y;
        y = y + vel.y;
        markBox(*this);
        animate();
    } else {
        finished = true;
    }
    for (auto& fly : flies) {
        if (fly->getHP() >= 1 && collides(*fly, *this)) {
            fly->setHP(0);
            finished = true;
        }
    }
    if (!finished) return;
    const int32_t bx = static_cast<int32_t>(x);
    const int32_t by = static_cast<int32_t>(y);
    spawnExplosion(bx, by, findSheet("wybuch01.bmp"), accel, drag, kStrikeDamage, true);
    spawnDebris(bx, by, accel, drag);
}

void Airstrike::hashInto(Hash& h) const {
    Weapon::hashInto(h);
    h.add(gen), h.add(targetX), h.add(targetY);
}

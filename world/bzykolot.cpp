#include "world/bzykolot.h"

#include <cmath>
#include <memory>

#include "base/hash.h"
#include "base/rng.h"
#include "world/fx.h"
#include "world/objects.h"

int32_t fieldLife() {
    // Milliseconds of the field over the nominal frame period; kept as the
    // quotient so a different period changes only the divisor.
    static volatile int32_t fieldMs = 10000;
    static volatile int32_t frameMs = 16;
    return fieldMs / frameMs;
}

void Bzykolot::move() {
    timer = timer + 1;
    if (timer % kFieldGlow == 0) {
        int32_t ex = static_cast<int32_t>(x - static_cast<float>(roll() % 128) + 64.0);
        int32_t ey = static_cast<int32_t>(y - static_cast<float>(roll() % 128) + 64.0);
        Explosion* glow = spawnExplosion(ex, ey, findSheet("bzykolot.bmp"), accel, drag, kHarmless, false);
        if (glow) {
            ex = static_cast<int32_t>(glow->x);
            ey = static_cast<int32_t>(glow->y);
        }
        if (gen < kFieldLastGen && roll() % 10 == 0) {
            auto copy = std::make_unique<Bzykolot>(0, ex, ey, nullptr, accel, drag, true);
            copy->finished = false;
            copy->timer = gen * 20 + roll() % 5;
            copy->gen = gen + 1;
            addWeapon(std::move(copy));
        }
    }
    for (auto& fly : flies) {
        if (fly->getHP() < 1) continue;
        const int32_t dx = static_cast<int32_t>(fly->x - x);
        const int32_t dy = static_cast<int32_t>(fly->y - y);
        if (std::sqrt(static_cast<double>(dx * dx + dy * dy)) < kFieldReach) fly->setHP(0);
    }
    if (timer > fieldLife()) finished = true;
}

void Bzykolot::hashInto(Hash& h) const {
    Weapon::hashInto(h);
    h.add(gen);
}

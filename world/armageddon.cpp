#include "world/armageddon.h"

#include <memory>

#include "base/hash.h"
#include "base/rng.h"
#include "world/fx.h"
#include "world/objects.h"

std::unique_ptr<Armageddon> makeMeteor(int32_t tx, int32_t ty, int32_t gen, Sheet* sprite,
                                       const Vec2& accel, const Vec2& drag) {
    auto meteor = std::make_unique<Armageddon>(0, tx + ty + 32, kMeteorTop, sprite, accel, drag, false);
    meteor->gen = gen;
    meteor->finished = false;
    meteor->timer = 0;
    meteor->targetX = tx;
    meteor->targetY = ty;
    meteor->vel.y = kMeteorSpeed;
    if (roll() % 3 == 1) fxSound("fireball.wav");
    return meteor;
}

// A point within 24 px either way of the meteor, x roll first.
static void nearMeteor(const Armageddon& m, int32_t& ex, int32_t& ey) {
    ex = static_cast<int32_t>(m.x - static_cast<float>(roll() % 48) + 24.0);
    ey = static_cast<int32_t>(m.y - static_cast<float>(roll() % 48) + 24.0);
}

void Armageddon::move() {
    if (y < static_cast<float>(targetY)) {
        markBox(*this);
        vel.y = vel.y + accel.y;
        y = y + vel.y;
        x = x - vel.y;
        animate();
    } else if (timer > 29) {
        finished = true;
    } else {
        timer = timer + 1;
        // Harmless, silent dust where it landed.
        if (timer % 10 == 0) {
            int32_t ex, ey;
            nearMeteor(*this, ex, ey);
            spawnExplosion(ex, ey, findSheet("wybuch01.bmp"), accel, drag, kHarmless, false);
        }
    }
    markBox(*this);
    for (auto& fly : flies) {
        if (fly->getHP() < 1 || !collides(*fly, *this)) continue;
        fly->setHP(0);
        int32_t ex, ey;
        nearMeteor(*this, ex, ey);
        spawnExplosion(ex, ey, findSheet("wybuch01.bmp"), accel, drag, kMeteorDamage, true);
        finished = true;
    }
    if (timer <= 4 && !finished) {
        timer = timer + 1;
        return;
    }
    if (gen < kRainLast) {
        const int32_t tx = rollMod(fieldW - 64) + 32;
        const int32_t r = rollMod(fieldH - 64);
        const int32_t ty = r + 32;
        auto next = makeMeteor(tx, ty, gen + 1, sprite, accel, drag);
        addWeapon(std::move(next));
        gen = kRainPassed;
    }
}

void Armageddon::hashInto(Hash& h) const {
    Weapon::hashInto(h);
    h.add(gen), h.add(targetX), h.add(targetY);
}

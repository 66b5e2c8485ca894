#include "world/bomb.h"

#include <algorithm>

#include "base/rng.h"
#include "world/fx.h"
#include "world/objects.h"

void Bomb::move() {
    markBox(*this);
    if (!countDown()) return;
    const int32_t n = timer;
    if (n == kBombFuse) {
        const int32_t count = animCount(sprite);
        if (count > 0) setAnim(static_cast<uint32_t>(std::min(1, count - 1)));
    } else if (n < kBombWaves && n % 5 == 0) {
        const int32_t spreadX = fieldW / 10;
        const int32_t spreadY = fieldH / 10;
        Sheet* blast = findSheet("wybuch01.bmp");
        for (int i = 0; i < 5; ++i) {
            const int32_t ex = static_cast<int32_t>(
                x - static_cast<float>(rollMod(2 * spreadX)) + static_cast<float>(spreadX));
            const int32_t ey = static_cast<int32_t>(
                y - static_cast<float>(rollMod(2 * spreadY)) + static_cast<float>(spreadY));
            spawnExplosion(ex, ey, blast, accel, drag, kBombDamage, true);
        }
    }
    if (timer > kBombHidden) animate();
}

void Flame::move() {
    if (!countDown()) return;
    const int32_t half = fieldW / 10;
    const float rise = static_cast<float>(fieldH / 90);
    Sheet* fire = findSheet("particle.bmp");
    for (int i = 0; i < 10; ++i) {
        const float speed = rise + static_cast<float>(roll() % 20) / 10.0f + 0.5f;
        const int32_t px = static_cast<int32_t>(x + static_cast<float>(rollMod(2 * half)) -
                                                static_cast<float>(half));
        const int32_t py = static_cast<int32_t>(y);
        Particle p(fire, px, py, accel, drag, 90.0f, speed, 200);
        randomPair(p);
        addParticle(p);
    }
    const float left = x - static_cast<float>(half);
    const float right = x + static_cast<float>(half);
    for (auto& fly : flies) {
        if (fly->getHP() >= 1 && fly->x > left && fly->x < right) fly->setHP(fly->getHP() - kFlameDamage);
    }
}

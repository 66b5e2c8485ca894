#include "world/bomb.h"

#include <algorithm>
#include <cstdlib>

#include "media/sound.h"
#include "media/sprite.h"
#include "media/video.h"
#include "world/objects.h"

void Bomb::move() {
    markBox(*this);
    if (!countDown()) return;
    const int32_t n = timer;
    if (n == kBombFuse) {
        const int32_t count = animCount(sprite);
        if (count > 0) setAnim(static_cast<uint32_t>(std::min(1, count - 1)));
    } else if (n < kBombWaves && n % 5 == 0) {
        const int32_t spreadX = screenW() / 10;
        const int32_t spreadY = screenH() / 10;
        Sprite* blast = findSprite("wybuch01.bmp");
        for (int i = 0; i < 5; ++i) {
            const int32_t ex = static_cast<int32_t>(
                x - static_cast<float>(rollMod(2 * spreadX)) + static_cast<float>(spreadX));
            const int32_t ey = static_cast<int32_t>(
                y - static_cast<float>(rollMod(2 * spreadY)) + static_cast<float>(spreadY));
            spawnExplosion(ex, ey, blast, accel, drag, kBombDamage, true);
        }
    }
    if (timer > kBombHidden) draw();
}

void Flame::move() {
    if (!countDown()) return;
    const int32_t half = screenW() / 10;
    const float rise = static_cast<float>(screenH() / 90);
    Sprite* fire = findSprite("particle.bmp");
    for (int i = 0; i < 10; ++i) {
        const float speed = rise + static_cast<float>(std::rand() % 20) / 10.0f + 0.5f;
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

#include "world/weapon.h"

#include <cmath>
#include <memory>

#include "base/hash.h"
#include "base/rng.h"
#include "world/fx.h"
#include "world/objects.h"

int32_t rollMod(int32_t n) { return roll() % (n > 0 ? n : 1); }

void markBox(const Object& o) {
    if (!o.anim) return;
    fxMark(static_cast<int32_t>(o.x) - o.anim->hotX, static_cast<int32_t>(o.y) - o.anim->hotY,
           o.anim->w, o.anim->h);
}

Explosion* spawnExplosion(int32_t x, int32_t y, Sheet* sprite, const Vec2& accel,
                          const Vec2& drag, int32_t damage, bool loud) {
    auto blast = std::make_unique<Explosion>(0, x, y, sprite, accel, drag, false);
    if (!blast->ok()) return nullptr;
    blast->finished = false;
    blast->timer = kBlastLife;
    blast->damage = damage;
    if (loud) fxSound("explosion00.wav");
    Explosion* raw = blast.get();
    if (!addWeapon(std::move(blast))) return nullptr;
    const int32_t count = animCount(sprite);
    const int32_t r = roll();
    if (count > 0) raw->setAnim(static_cast<uint32_t>(r % count));
    return raw;
}

void randomPair(Particle& p) {
    const int32_t count = animCount(p.sprite);
    const int32_t r = roll();
    if (count > 0) p.setAnim(static_cast<uint32_t>((r % count) & ~1));
}

void spawnDebris(int32_t x, int32_t y, const Vec2& accel, const Vec2& drag) {
    Sheet* sprite = findSheet("particle.bmp");
    for (int i = 0; i < 10; ++i) {
        const float speed = static_cast<float>(roll() % 20) / 10.0f + 0.5f;
        const float angle = static_cast<float>(roll() % 360);
        Particle p(sprite, x, y, accel, drag, angle, speed, 50);
        randomPair(p);
        addParticle(p);
    }
}

void Explosion::move() {
    markBox(*this);
    // In its last update the box just marked erases the last drawn frame.
    if (!countDown()) return;
    animate();
    if (damage < 0) return;
    for (auto& fly : flies) {
        if (fly->getHP() < 1) continue;
        const float dx = fly->x - x;
        const float dy = fly->y - y;
        const int32_t d = static_cast<int32_t>(std::sqrt(dx * dx + dy * dy));
        if (d <= kBlastReach) fly->setHP(fly->getHP() - damage);
    }
}

void Weapon::hashInto(Hash& h) const {
    Object::hashInto(h);
    h.add(finished), h.add(timer);
}

void Explosion::hashInto(Hash& h) const {
    Weapon::hashInto(h);
    h.add(damage);
}

// Particles: velocity with a terminal-speed band, acceleration and drag.
#include "world/particle.h"

#include "base/hash.h"
#include "base/portmath.h"
#include "world/fx.h"

Particle::Particle(Sheet* sprite, int32_t x, int32_t y, const Vec2& accel, const Vec2& drag,
                   float angle, float speed, int32_t life)
    : Object(0, x, y, sprite, accel, drag, false), life(static_cast<float>(life)) {
    // Degrees, counter-clockwise on screen: y is negated because it grows downward.
    vel.x = static_cast<float>(portableCos(kDegToRad * angle) * speed);
    vel.y = static_cast<float>(portableSin(-kDegToRad * angle) * speed);
}

static void markParticle(const Particle& p) {
    if (p.anim == nullptr) return;
    fxMark(static_cast<int32_t>(p.x - static_cast<float>(p.anim->hotX)),
           static_cast<int32_t>(p.y - static_cast<float>(p.anim->hotY)), p.anim->w, p.anim->h);
}

Particle::~Particle() {
    if (anim == nullptr) return;
    fxGone(static_cast<int32_t>(x - static_cast<float>(anim->hotX)),
           static_cast<int32_t>(y - static_cast<float>(anim->hotY)), anim->w, anim->h);
}

void Particle::move() {
    markParticle(*this);
    if (!(life > 0)) return;
    if (accel.x != 0 && (vel.x < maxVel.x - 1 || vel.x > maxVel.x + 1)) vel.x += accel.x;
    if (accel.y != 0 && (vel.y < maxVel.y - 1 || vel.y > maxVel.y + 1)) vel.y += accel.y;
    // Drag may carry a slow particle across zero; the next update pulls it back.
    if (vel.x > 0)
        vel.x -= drag.x;
    else if (vel.x < 0)
        vel.x += drag.x;
    if (vel.y > 0)
        vel.y -= drag.y;
    else if (vel.y < 0)
        vel.y += drag.y;
    x += vel.x;
    y += vel.y;
    markParticle(*this);
}

void Particle::hashInto(Hash& h) const {
    Object::hashInto(h);
    h.add(life), h.add(advanced);
}

void WeaponDrop::hashInto(Hash& h) const {
    Particle::hashInto(h);
    h.add(weaponType), h.add(pickupDelay);
}

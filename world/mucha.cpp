// The fly. The float/double mix below is deliberate: it decides which heading
// animation shows and when a fly stops accelerating.
#include "world/mucha.h"

#include <cmath>
#include <cstdio>

#include "base/hash.h"
#include "base/portmath.h"
#include "base/rng.h"
#include "world/fx.h"
#include "world/objects.h"
#include "world/round.h"

int32_t kills = 0;

void countKill() { kills += 1; }

void resetKills() { kills = 0; }

// The fly's box with its top-left corner floored, as the fly is drawn.
static void markFly(const Mucha& f) {
    fxMark(static_cast<int32_t>(floorf(f.x) - static_cast<float>(f.anim->hotX)),
           static_cast<int32_t>(floorf(f.y) - static_cast<float>(f.anim->hotY)), f.anim->w, f.anim->h);
}

Mucha::~Mucha() {
    if (anim == nullptr) return;
    fxGone(static_cast<int32_t>(x - static_cast<float>(anim->hotX)),
           static_cast<int32_t>(y - static_cast<float>(anim->hotY)), anim->w, anim->h);
}

void Mucha::setHP(int32_t n) {
    if (hp >= 1 && n < 1) {
        countKill();
        fxSound("flybuzz.wav");
    }
    hp = n;
}

void Mucha::stun(int32_t n) {
    stunned = true;
    stunTime = n >= 0 ? n : 40 + roll() % 40;
}

bool Mucha::hitsOtherFly() const {
    if (stunned) return false;
    for (const auto& other : flies) {
        if (other.get() == this) continue;
        if (collides(*this, *other)) return true;
    }
    return false;
}

// Knocked or dead: falls faster and spins with the fall.
static void tumble(Mucha& f) {
    f.vel.y = static_cast<float>(f.vel.y + 0.2);
    f.angle = static_cast<float>(f.angle + f.vel.y * kPi / 180.0 * 0.5);
}

static void dampX(Mucha& f) {
    if (f.vel.x > 1.0)
        f.vel.x = static_cast<float>(f.vel.x - 0.5);
    else if (f.vel.x < -1.0)
        f.vel.x = static_cast<float>(f.vel.x + 0.5);
    else
        f.vel.x = 0;
}

void Mucha::move() {
    if (anim == nullptr) {
        printf("FAIL: Mucha.move: Null Anim\n");
        return;
    }
    markFly(*this);

    if (hp < 1) {
        tumble(*this);
        dampX(*this);
    } else if (stunned) {
        tumble(*this);
        if (stunTime <= 0) {
            stunned = false;
            vel = Vec2{0.0f, 0.0f};
        }
        stunTime -= 1;
        dampX(*this);
    } else {
        // The pointer as this frame's input gives it.
        angle = static_cast<float>(portableAtan2(static_cast<double>(mouseY - static_cast<int32_t>(y)),
                                                 static_cast<double>(static_cast<int32_t>(x) - mouseX)));
        // No clamp: float rounding can leave ten steps just short of maxSpeed,
        // and then an eleventh step overshoots it.
        if (maxSpeed > speed) speed = static_cast<float>(speed + maxSpeed / 10.0);
        vel.x = static_cast<float>(portableCos(static_cast<double>(angle)) * speed);
        vel.y = static_cast<float>(portableSin(static_cast<double>(angle)) * speed);
    }

    if (sprite != nullptr) {
        const int32_t count = animCount(sprite);
        int32_t d = static_cast<int32_t>(static_cast<float>(angle * 180) / kPi + 180);
        int32_t s = (d * 32) / 360;
        s = s % count;
        uint32_t i = static_cast<uint8_t>(2 * s + (hp < 1 ? 1 : 0));
        if (i >= static_cast<uint32_t>(count)) i %= static_cast<uint32_t>(count);
        animIndex = static_cast<uint8_t>(i);
        anim = &sprite->anims[i];
    }

    // Chasing, vel points from the cursor to the fly on x, hence the minus.
    x -= vel.x;
    y += vel.y;
    markFly(*this);
}

void Mucha::hashInto(Hash& h) const {
    Object::hashInto(h);
    h.add(hp), h.add(angle), h.add(speed), h.add(maxSpeed), h.add(stunned), h.add(stunTime);
}

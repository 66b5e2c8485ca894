// Short-lived visual objects, and the falling weapon pick-ups.
#pragma once
#include "world/object.h"

class Particle : public Object {
public:
    // angle in degrees, counter-clockwise with 90 pointing up; speed in px/update.
    Particle(Sheet* sprite, int32_t x, int32_t y, const Vec2& accel, const Vec2& drag, float angle,
             float speed, int32_t life);
    Particle(const Particle&) = default;
    Particle& operator=(const Particle&) = default;
    // Its last box goes to the sink as gone.
    ~Particle() override;

    void move() override;  // terminal speed band, drag, step
    void hashInto(Hash& h) const override;

    Vec2 maxVel{10.0f, 10.0f};  // acceleration stops within 1 of this per axis
    float life;                 // updates left; lowered by the world pass
    bool advanced = false;      // switched to its ending animation
};

// A particle carrying a weapon; the creator sets weaponType and pickupDelay.
class WeaponDrop : public Particle {
public:
    using Particle::Particle;

    int32_t weaponType = 0;   // a WeaponKind
    int32_t pickupDelay = 0;  // frames before it can be picked up (30 at creation)

    void hashInto(Hash& h) const override;
};

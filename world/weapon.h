// Weapons at work: one object per shot in `weapons`, moved once per frame
// until it sets `finished`.
#pragma once
#include "world/object.h"

class Particle;

class Weapon : public Object {
public:
    using Object::Object;

    // The count-down clocks (explosion, bomb, flame): lowers `timer` by one and
    // returns true while the weapon lives; when it was already 0 or less, sets
    // `finished` and returns false.
    bool countDown() {
        const int32_t t = timer;
        timer = t - 1;
        if (t > 0) return true;
        finished = true;
        return false;
    }

    void hashInto(Hash& h) const override;

    bool finished = false;  // done; the world pass removes it next frame
    int32_t timer = 0;      // the weapon's own clock
};

// The common damaging blast: hurts every living fly within 63 px per update
// for 32 updates.
class Explosion : public Weapon {
public:
    using Weapon::Weapon;
    void move() override;
    void hashInto(Hash& h) const override;

    int32_t damage = 0;  // per update; negative: no damage step at all
};

// ---- Helpers shared by the weapon classes -----------------------------------

// Blast reach: a fly whose truncated distance is at most this is hit.
constexpr int32_t kBlastReach = 63;
// Updates an explosion lives before the one in which it finishes.
constexpr int32_t kBlastLife = 32;

// ---- Damages, hit points per update ----------------------------------------------
constexpr int32_t kClickDamage = 5;    // the plain click's explosion
constexpr int32_t kBombDamage = 15;    // each explosion of the bomb's waves
constexpr int32_t kStrikeDamage = 25;  // the explosion of an airstrike bomb
constexpr int32_t kMeteorDamage = 40;  // the explosion of a meteor that hit a fly
constexpr int32_t kFlameDamage = 2;    // the flame, to every living fly in its column
constexpr int32_t kHarmless = 0;       // dust and glows: an explosion only to look at
// roll() % n; an n below 1 counts as 1 so a tiny screen cannot divide by zero
// (the number is still drawn, keeping the order of the rolls).
int32_t rollMod(int32_t n);
// Marks the object's box dirty: trunc(x) - hotX, trunc(y) - hotY, w, h.
// Nothing without a current animation.
void markBox(const Object& o);
// Builds an explosion at (x, y) with `timer` 32 and `damage`, plays
// "explosion00.wav" when `loud`, appends it to `weapons` and then gives it the
// animation roll() % animCount. Returns it, or null when it was refused
// (missing sprite; no sound, no roll then).
Explosion* spawnExplosion(int32_t x, int32_t y, Sheet* sprite, const Vec2& accel,
                          const Vec2& drag, int32_t damage, bool loud);
// Draws one number and makes the particle start at a random flying animation:
// (r % animCount) rounded down to an even index.
void randomPair(Particle& p);
// Ten "particle.bmp" particles at (x, y), life 50: speed roll, angle roll and
// animation roll for each in turn (the concrete and the airstrike).
void spawnDebris(int32_t x, int32_t y, const Vec2& accel, const Vec2& drag);

// The armageddon: a rain of 76 meteors, each falling down-left at 45 degrees
// onto its target point, each creating the next shortly after it starts.
#pragma once
#include <memory>

#include "world/weapon.h"

class Armageddon : public Weapon {
public:
    using Weapon::Weapon;
    void move() override;
    void hashInto(Hash& h) const override;

    int32_t gen = 0;      // place in the rain, 0 first; 100 once it has created the next
    int32_t targetX = 0;  // target point; the diagonal path passes through it
    int32_t targetY = 0;  // the meteor lands when y reaches this
};

// Last meteor of the rain and the gen of one that has created its successor.
constexpr int32_t kRainLast = 75;
constexpr int32_t kRainPassed = 100;
// Start height and speed (per axis) of every meteor.
constexpr int32_t kMeteorTop = -32;
constexpr float kMeteorSpeed = 8.0f;

// Builds a meteor aimed at (tx, ty) from (tx + ty + 32, -32), so that moving
// left as far as it falls it passes through the target. Rolls for the
// "fireball.wav" whoosh (roll() % 3 == 1). Not yet appended.
std::unique_ptr<Armageddon> makeMeteor(int32_t tx, int32_t ty, int32_t gen, Sheet* sprite,
                                       const Vec2& accel, const Vec2& drag);

// The concrete: a heavy block dropped from above the cursor that crushes every
// living fly it touches and bounces off them while falling fast. No timer.
#pragma once
#include "world/weapon.h"

class Concrete : public Weapon {
public:
    using Weapon::Weapon;
    void move() override;
};

// Falling at least this fast (px/update) a contact bounces the block up at
// the same speed.
constexpr float kBounceSpeed = 2.0f;

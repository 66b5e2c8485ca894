// The bomb (a grenade at the cursor that sets off twelve waves of five
// explosions) and the flame (an invisible emitter under the cursor that throws
// up fire and scorches its column). Both count `timer` down.
#pragma once
#include "world/weapon.h"

class Bomb : public Weapon {
public:
    using Weapon::Weapon;
    void move() override;
};

class Flame : public Weapon {
public:
    using Weapon::Weapon;
    void move() override;
};

// The bomb's clock: it switches to its fuse look at this value and is last
// drawn above kBombHidden; its waves come at multiples of 5 below kBombWaves.
constexpr int32_t kBombFuse = 96;
constexpr int32_t kBombHidden = 30;
constexpr int32_t kBombWaves = 60;

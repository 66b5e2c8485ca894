// The Bzykolot weapon: an invisible field that kills every living fly within
// 96 px for ten seconds, shows itself with harmless glows every 35 updates and
// may spread copies of itself up to three generations away.
#pragma once
#include "world/weapon.h"

class Bzykolot : public Weapon {
public:
    using Weapon::Weapon;
    void move() override;
    void hashInto(Hash& h) const override;

    int32_t gen = 0;  // 0 from the firing switch, parent's + 1 for a copy
};

// Kill radius: a fly closer than this (truncated components) dies.
constexpr double kFieldReach = 96.0;
// A glow every this many updates.
constexpr int32_t kFieldGlow = 35;
// Copies of this generation spawn no further copies.
constexpr int32_t kFieldLastGen = 3;
// Updates a field lives: ten seconds of 16 ms frames.
int32_t fieldLife();

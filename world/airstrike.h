// The airstrike: a line of seven bombs falling one after another across the
// cursor's height, each bomb an object that releases the next.
#pragma once
#include "world/weapon.h"

class Airstrike : public Weapon {
public:
    using Weapon::Weapon;
    void move() override;
    void hashInto(Hash& h) const override;

    int32_t gen = 0;      // place in the line, 0 first; 10 once it has released the next
    int32_t targetX = 0;  // the next bomb starts at targetX + 64
    int32_t targetY = 0;  // height at which the bomb explodes
};

// Last bomb of the line, and the value a bomb's gen takes once it has released.
constexpr int32_t kStrikeLast = 6;
constexpr int32_t kStrikeReleased = 10;
// Updates a bomb falls before it releases the next one.
constexpr int32_t kStrikeGap = 10;
// Start height and speed of every bomb.
constexpr int32_t kStrikeTop = -48;
constexpr float kStrikeSpeed = 5.0f;

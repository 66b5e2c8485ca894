// Weapons at work: one object per shot in `weapons`, moved once per frame
// until it sets `finished`.
#pragma once
#include "world/object.h"

class Weapon : public Object {
public:
    using Object::Object;

    bool finished = false;  // done; the world pass removes it next frame
    int32_t timer = 0;      // the weapon's own clock
};

// The common damaging blast: hurts every living fly within 63 px per update
// for 32 updates.
class Explosion : public Weapon {
public:
    using Weapon::Weapon;
    void move() override;

    int32_t damage = 0;  // per update; negative: no damage step at all
};

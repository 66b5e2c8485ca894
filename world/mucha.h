// The fly: chases the cursor, tumbles when stunned, falls spinning when dead.
#pragma once
#include <cstdint>

#include "world/object.h"

// ---- Flies beaten -------------------------------------------------------------
// Flies beaten this round: every living fly set below 1 hit point counts one
// (setHP), a sting one more (countKill). The game changes it only through the
// two functions below.
extern int32_t kills;

void countKill();   // one more beaten fly
void resetKills();  // a new round, or a score sent

class Mucha : public Object {
public:
    using Object::Object;
    // Its last box goes to the sink as gone.
    ~Mucha() override;

    // Chases the frame's pointer (mouseX, mouseY), tumbles or falls; picks the
    // look of its heading.
    void move() override;
    void hashInto(Hash& h) const override;

    // A living fly set below 1 counts a kill (countKill) and buzzes; then hp = n.
    void setHP(int32_t n);
    int32_t getHP() const { return hp; }
    // n >= 0 stuns for n updates, otherwise for 40 + roll() % 40.
    void stun(int32_t n);
    bool isStunned() const { return stunned; }
    // False when stunned; else whether this fly's box overlaps any other fly's.
    bool hitsOtherFly() const;

    int32_t hp = 0;
    float angle = 0.0f;     // heading, radians
    float speed = 0.0f;     // chasing speed, px/update
    float maxSpeed = 0.0f;
    bool stunned = false;   // knocked; for a dead fly: handled by the world pass
    int32_t stunTime = 0;   // updates left stunned
};

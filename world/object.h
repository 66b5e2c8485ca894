// Everything on the playfield: a float position, a sprite's animations with a
// current one and a frame, three vectors and four virtual operations. The
// rules move and animate objects; drawing them is the game's separate step.
#pragma once
#include <cstdint>
#include <string>

#include "base/sheet.h"

class Hash;

struct Vec2 {
    float x;
    float y;
};

// ---- The world's constants ----------------------------------------------------
// The forces the game hands to the objects it creates, px/update².
inline constexpr Vec2 gravity{0.0f, 0.04f};
inline constexpr Vec2 drag{0.01f, 0.01f};
inline constexpr Vec2 lift{-0.0f, -0.04f};
// The game's own pi. Every angle rule rounds with it, so it is not M_PI.
inline constexpr double kPi = 3.14;
// Radians to degrees as the cursor trail takes them: 180 / kPi in one factor.
inline constexpr double kRadToDeg = 180 / kPi;
static_assert(kRadToDeg == 57.324840764331206);
// Degrees to radians in the particle constructor (not kPi / 180).
inline constexpr double kDegToRad = 0.01745;

class Object {
public:
    // A null sprite without noAnim logs "FAIL: Object.Object: Null sprite" and
    // leaves the object broken (ok() false): it must not be used or listed.
    Object(uint32_t tag, int32_t x, int32_t y, Sheet* sprite, const Vec2& accel, const Vec2& drag,
           bool noAnim = false);
    // Virtual so a weapon list can own any weapon class through Weapon*.
    virtual ~Object() = default;

    virtual void move();
    // What drawing once did to the object: steps the animation (8-bit
    // accumulator) and marks it shown, so the frame's drawing step draws its
    // current frame at floorf(x, y). Nothing without a current animation.
    void animate();
    // Strict box overlap of a and b; the receiver takes no part.
    virtual bool collides(const Object& a, const Object& b) const;
    // Adds every field a rule reads to the world's checksum.
    virtual void hashInto(Hash& h) const;

    // Makes animation index (mod animCount) current; frame and frameTime stay.
    void setAnim(uint32_t index);
    bool ok() const { return ok_; }

    uint32_t tag;
    uint8_t animIndex = 0;
    uint8_t frame = 0;
    uint8_t animSpeed = 0;  // 0: the animation's own speed
    uint8_t frameTime = 0;  // hundredths of a frame
    bool shown = false;     // animated by this frame's world pass: the drawing step draws it
    Anim* anim = nullptr;   // current animation of sprite, not owned
    float x, y;             // hot spot position
    Sheet* sprite;          // not owned
    Vec2 accel;
    Vec2 drag;
    Vec2 vel{0.0f, 0.0f};

private:
    bool ok_ = true;
};

// Strict overlap of two boxes given by left, top, width, height, tested in the
// order right of a > left of b, right of b > left of a, then the same for the
// bottoms; boxes that only share an edge do not overlap.
bool boxesOverlap(float aLeft, float aTop, float aW, float aH, float bLeft, float bTop, float bW,
                  float bH);

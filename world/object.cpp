// Object base: construction, the 8-bit animation step, box collisions.
#include "world/object.h"

#include <cstdio>

#include "base/hash.h"

Object::Object(uint32_t tag, int32_t x, int32_t y, Sheet* sprite, const Vec2& accel,
               const Vec2& drag, bool noAnim)
    : tag(tag), x(static_cast<float>(x)), y(static_cast<float>(y)), sprite(sprite), accel(accel),
      drag(drag) {
    if (sprite == nullptr && !noAnim) {
        printf("FAIL: Object.Object: Null sprite\n");
        ok_ = false;
        return;
    }
    // A sprite without animations leaves anim null: such an object is kept
    // but never drawn.
    if (!noAnim && sprite != nullptr && animCount(sprite) > 0) {
        animIndex = 0;
        anim = &sprite->anims[0];
    }
}

void Object::move() {}

void Object::animate() {
    if (anim == nullptr) return;
    int32_t step = animSpeed != 0 ? animSpeed : anim->speed;
    // The accumulator is 8 bits wide on purpose: a step above 100 can wrap it.
    frameTime = static_cast<uint8_t>(frameTime + step);
    if (frameTime > 100) {
        frame = static_cast<uint8_t>(frame + 1);
        frameTime = static_cast<uint8_t>(frameTime - 100);
    }
    if (frame >= anim->frames) frame = static_cast<uint8_t>(anim->loopFrame);
    shown = true;
}

bool boxesOverlap(float aLeft, float aTop, float aW, float aH, float bLeft, float bTop, float bW,
                  float bH) {
    // Strict: boxes that only share an edge do not overlap.
    return aLeft + aW > bLeft && bLeft + bW > aLeft && aTop + aH > bTop && bTop + bH > aTop;
}

bool Object::collides(const Object& a, const Object& b) const {
    if (a.anim == nullptr || b.anim == nullptr) return false;
    return boxesOverlap(a.x - static_cast<float>(a.anim->hotX), a.y - static_cast<float>(a.anim->hotY),
                        static_cast<float>(a.anim->w), static_cast<float>(a.anim->h),
                        b.x - static_cast<float>(b.anim->hotX), b.y - static_cast<float>(b.anim->hotY),
                        static_cast<float>(b.anim->w), static_cast<float>(b.anim->h));
}

void Object::hashInto(Hash& h) const {
    h.add(static_cast<uint32_t>(animIndex | frame << 8 | animSpeed << 16 | frameTime << 24));
    h.add(x), h.add(y), h.add(vel.x), h.add(vel.y), h.add(accel.x), h.add(accel.y);
    h.add(anim == nullptr);
}

void Object::setAnim(uint32_t index) {
    if (sprite == nullptr) return;
    int32_t count = animCount(sprite);
    if (count <= 0) return;
    if (index >= static_cast<uint32_t>(count)) index %= static_cast<uint32_t>(count);
    animIndex = static_cast<uint8_t>(index);
    anim = &sprite->anims[animIndex];
}

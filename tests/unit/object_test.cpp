// The object base: animation stepping, drawing at floored positions, box
// collisions, setAnim, and the lists refusing objects without a sprite.
#include <gtest/gtest.h>

#include "testutil.h"
#include "worldfix.h"

using namespace worldfix;

namespace {

struct EndCounter : Object {
    using Object::Object;
    void onAnimEnd() override { ++ends; }
    int ends = 0;
};

const Vec2 kZero{0.0f, 0.0f};

class ObjectTest : public ::testing::Test {
protected:
    void SetUp() override { freshWorld(); }
};

// (frame, frameTime) after each draw.
std::vector<std::pair<int, int>> stepping(int32_t speed, int draws, uint8_t override = 0) {
    Sprite* s = sprite({anim(50, 2, 2, 0, 0, speed)});
    Object o(0, 10, 10, s, kZero, kZero);
    o.animSpeed = override;
    std::vector<std::pair<int, int>> seen;
    for (int i = 0; i < draws; ++i) {
        o.draw();
        seen.emplace_back(o.frame, o.frameTime);
    }
    return seen;
}

}  // namespace

TEST_F(ObjectTest, AnimationStepsWithItsSpeedAndTheEightBitAccumulator) {
    using V = std::vector<std::pair<int, int>>;
    // 100: the second draw advances, then every draw.
    EXPECT_EQ(stepping(100, 4), (V{{0, 100}, {1, 100}, {2, 100}, {3, 100}}));
    // 50: the third draw advances, then every second one.
    EXPECT_EQ(stepping(50, 5), (V{{0, 50}, {0, 100}, {1, 50}, {1, 100}, {2, 50}}));
    // 200 wraps the 8-bit accumulator: 100 + 200 = 300 -> 44, no advance.
    EXPECT_EQ(stepping(200, 4), (V{{1, 100}, {1, 44}, {2, 144}, {2, 88}}));
    // A non-zero override wins over the animation's own speed.
    EXPECT_EQ(stepping(100, 3, 50), (V{{0, 50}, {0, 100}, {1, 50}}));
}

TEST_F(ObjectTest, FrameCountJumpsToLoopFrameAndCallsOnAnimEndInTheSameDraw) {
    Sprite* s = sprite({anim(3, 2, 2, 0, 0, 100, 1)});
    EndCounter o(0, 10, 10, s, kZero, kZero);
    std::vector<int> frames;
    for (int i = 0; i < 6; ++i) {
        o.draw();
        frames.push_back(o.frame);
        if (i == 3) {
            EXPECT_EQ(o.ends, 1) << "the wrap calls onAnimEnd at once";
        }
    }
    EXPECT_EQ(frames, (std::vector<int>{0, 1, 2, 1, 2, 1}));
    EXPECT_EQ(o.ends, 2);
}

TEST_F(ObjectTest, DrawsAtFlooredPositionSoMinusHalfIsMinusOne) {
    // Two columns: left black, right white. Drawn at floorf(-0.5) = -1 the
    // white column lands on screen column 0; truncation would put black there.
    Sprite* s = sprite({anim(1, 2, 1)});
    SDL_Rect left{0, 0, 1, 1};
    SDL_FillRect(s->bitmap, &left, SDL_MapRGBA(s->bitmap->format, 0, 0, 0, 255));
    SDL_FillRect(screen, nullptr, SDL_MapRGB(screen->format, 255, 0, 0));
    Object o(0, 0, 5, s, kZero, kZero);
    o.x = -0.5f;
    o.draw();
    SDL_LockSurface(screen);
    Uint32 px = static_cast<Uint32*>(screen->pixels)[5 * screen->pitch / 4 + 0];
    SDL_UnlockSurface(screen);
    Uint8 r, g, b;
    SDL_GetRGB(px, screen->format, &r, &g, &b);
    EXPECT_EQ((int)r + g + b, 255 * 3) << "screen column 0 shows the sprite's column 1";
}

TEST_F(ObjectTest, CollidesOnlyOnRealOverlapWithHotSpots) {
    Sprite* s = sprite({anim(1, 10, 10, 5, 5)});
    Object a(0, 100, 100, s, kZero, kZero);  // box 95..105
    Object b(0, 110, 100, s, kZero, kZero);  // box 105..115: shares the edge
    EXPECT_FALSE(a.collides(a, b));
    EXPECT_FALSE(a.collides(b, a));
    b.x = 109.75f;  // a quarter pixel of overlap
    EXPECT_TRUE(a.collides(a, b));
    EXPECT_TRUE(b.collides(b, a));
    b.x = 100.0f;
    b.y = 90.0f;  // shares the top edge
    EXPECT_FALSE(a.collides(a, b));
    b.y = 90.001f;
    EXPECT_TRUE(a.collides(a, b));
    // The receiver takes no part.
    Object far(0, 500, 400, s, kZero, kZero);
    EXPECT_TRUE(far.collides(a, b));
}

TEST_F(ObjectTest, SetAnimWrapsTheIndexAndKeepsTheFrame) {
    Sprite* s = sprite({anim(4, 2, 2), anim(4, 3, 3), anim(4, 5, 5)});
    Object o(0, 10, 10, s, kZero, kZero);
    o.frame = 2;
    o.frameTime = 37;
    o.setAnim(5);
    EXPECT_EQ(o.animIndex, 2);
    EXPECT_EQ(o.anim, &s->anims[2]);
    EXPECT_EQ(o.frame, 2);
    EXPECT_EQ(o.frameTime, 37);
    o.setAnim(1);
    EXPECT_EQ(o.anim->w, 3);

    Object none(0, 0, 0, nullptr, kZero, kZero, true);
    none.setAnim(1);
    EXPECT_EQ(none.anim, nullptr);
    EXPECT_EQ(none.animIndex, 0);
}

TEST_F(ObjectTest, MissingSpriteIsLoggedAndRefusedByEveryList) {
    testutil::CaptureStdout cap;
    Particle p(nullptr, 1, 2, kZero, kZero, 0, 1, 10);
    WeaponDrop d(nullptr, 1, 2, kZero, kZero, 0, 1, 10);
    auto fly = std::make_unique<Mucha>(0, 1, 2, nullptr, kZero, kZero);
    auto weapon = std::make_unique<Weapon>(0, 1, 2, nullptr, kZero, kZero);
    std::string log = cap.stop();
    EXPECT_FALSE(p.ok());
    EXPECT_FALSE(addParticle(p));
    EXPECT_FALSE(addDrop(d));
    EXPECT_FALSE(addFly(std::move(fly)));
    EXPECT_FALSE(addWeapon(std::move(weapon)));
    EXPECT_TRUE(particles.empty() && drops.empty() && flies.empty() && weapons.empty());
    std::string line = "FAIL: Object.Object: Null sprite\n";
    size_t n = 0;
    for (size_t at = log.find(line); at != std::string::npos; at = log.find(line, at + 1)) ++n;
    EXPECT_EQ(n, 4u) << log;

    // Built without animation, a null sprite is fine.
    auto bare = std::make_unique<Weapon>(0, 1, 2, nullptr, kZero, kZero, true);
    EXPECT_TRUE(bare->ok());
    EXPECT_TRUE(addWeapon(std::move(bare)));
    EXPECT_EQ(weapons.size(), 1u);
}

TEST_F(ObjectTest, WorldPassDropsAMissingBloodSpriteAndGoesOn) {
    // No "krew.bmp": two flies bump, no blood is made, both are still stunned.
    sprites.erase("krew.bmp");
    Sprite* fs = plainSprite(64, 10, 10);
    for (int i = 0; i < 2; ++i) {
        auto f = std::make_unique<Mucha>(0, 300, 100, fs, gravity, drag);
        f->hp = 50;
        f->maxSpeed = 2;
        addFly(std::move(f));
    }
    testutil::CaptureStdout cap;
    worldPass();
    std::string log = cap.stop();
    EXPECT_TRUE(particles.empty());
    EXPECT_NE(log.find("FAIL: Object.Object: Null sprite"), std::string::npos);
    for (auto& f : flies) EXPECT_TRUE(f->isStunned());
}

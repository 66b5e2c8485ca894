// The object base: animation stepping, floored drawing, box collisions, and the
// one gate that refuses objects without a sprite.
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

class ObjectTest : public ::testing::Test {
protected:
    void SetUp() override { freshWorld(); }
};

}  // namespace

TEST_F(ObjectTest, AnimationStepsWithItsSpeedAndTheEightBitAccumulator) {
    using V = std::vector<std::pair<int, int>>;  // (frame, frameTime) after each draw
    struct Row { int speed, override; V want; } rows[] = {
        {100, 0, {{0, 100}, {1, 100}, {2, 100}, {3, 100}}},
        {50, 0, {{0, 50}, {0, 100}, {1, 50}, {1, 100}, {2, 50}}},
        {200, 0, {{1, 100}, {1, 44}, {2, 144}, {2, 88}}},  // 100 + 200 wraps to 44
        {100, 50, {{0, 50}, {0, 100}, {1, 50}}}};           // a non-zero override wins
    for (const Row& r : rows) {
        SCOPED_TRACE(r.speed);
        Object o(0, 10, 10, sprite({anim(50, 2, 2, 0, 0, r.speed)}), kZero, kZero);
        o.animSpeed = static_cast<uint8_t>(r.override);
        V seen;
        for (size_t i = 0; i < r.want.size(); ++i) {
            o.draw();
            seen.emplace_back(o.frame, o.frameTime);
        }
        EXPECT_EQ(seen, r.want);
    }
}

TEST_F(ObjectTest, FrameCountJumpsToLoopFrameAndCallsOnAnimEndInTheSameDraw) {
    EndCounter o(0, 10, 10, sprite({anim(3, 2, 2, 0, 0, 100, 1)}), kZero, kZero);
    std::vector<int> frames, ends;
    for (int i = 0; i < 6; ++i) {
        o.draw();
        frames.push_back(o.frame);
        ends.push_back(o.ends);
    }
    EXPECT_EQ(frames, (std::vector<int>{0, 1, 2, 1, 2, 1}));
    EXPECT_EQ(ends, (std::vector<int>{0, 0, 0, 1, 1, 2}));
}

TEST_F(ObjectTest, DrawsAtFlooredPositionSoMinusHalfIsMinusOne) {
    // Left column black, right white: at floorf(-0.5) = -1 the white one lands on column 0.
    Sprite* s = sprite({anim(1, 2, 1)});
    SDL_Rect left{0, 0, 1, 1};
    SDL_FillRect(s->bitmap, &left, SDL_MapRGBA(s->bitmap->format, 0, 0, 0, 255));
    SDL_FillRect(screen, nullptr, 0);
    Object o(0, 0, 5, s, kZero, kZero);
    o.x = -0.5f;
    o.draw();
    EXPECT_EQ(static_cast<Uint32*>(screen->pixels)[5 * screen->pitch / 4] & 0xffffff, 0xffffffu);
}

TEST_F(ObjectTest, CollidesOnlyOnRealOverlapWithHotSpots) {
    Sprite* s = sprite({anim(1, 10, 10, 5, 5)});
    Object a(0, 100, 100, s, kZero, kZero), b(0, 0, 0, s, kZero, kZero);
    Object far(0, 500, 400, s, kZero, kZero);
    struct Row { float bx, by; bool hit; } rows[] = {  // a's box: 95..105 both ways
        {110, 100, false}, {109.75f, 100, true}, {90, 100, false}, {90.25f, 100, true},
        {100, 90, false}, {100, 90.001f, true}, {100, 110, false}, {100, 109.9f, true}};
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message() << r.bx << "," << r.by);
        b.x = r.bx;
        b.y = r.by;
        EXPECT_EQ(a.collides(a, b), r.hit);
        EXPECT_EQ(far.collides(b, a), r.hit) << "the receiver takes no part";
    }
}

TEST_F(ObjectTest, MissingSpriteIsLoggedAndRefusedByEveryListAndTheWorldPassGoesOn) {
    testutil::CaptureStdout cap;
    EXPECT_FALSE(addParticle(Particle(nullptr, 1, 2, kZero, kZero, 0, 1, 10)));
    EXPECT_FALSE(addDrop(WeaponDrop(nullptr, 1, 2, kZero, kZero, 0, 1, 10)));
    EXPECT_FALSE(addFly(std::make_unique<Mucha>(0, 1, 2, nullptr, kZero, kZero)));
    EXPECT_FALSE(addWeapon(std::make_unique<Weapon>(0, 1, 2, nullptr, kZero, kZero)));
    EXPECT_TRUE(addWeapon(std::make_unique<Weapon>(0, 1, 2, nullptr, kZero, kZero, true))) << "no anim wanted";
    // Two flies bump without "krew.bmp": no blood, both still stunned.
    sprites.erase("krew.bmp");
    liveFly(300, 100);
    liveFly(300, 100);
    worldPass();
    std::string want;
    for (int i = 0; i < 4 + 10; ++i) want += "FAIL: Object.Object: Null sprite\n";
    EXPECT_EQ(cap.stop(), want);
    EXPECT_TRUE(particles.empty() && drops.empty() && weapons.size() == 1);
    EXPECT_TRUE(flies.size() == 2 && flies.front()->isStunned() && flies.back()->isStunned());
}

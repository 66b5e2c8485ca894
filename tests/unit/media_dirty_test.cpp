// Drawing: dirty rectangles (budget edge, clipping, boxes off screen, 32-bit wrap); the sprite blend and BMP
// decoder against SDL's own: every alpha at clipped boxes, good and damaged BMPs (scene --verify checks clears).
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <vector>

#include "media/blit.h"
#include "media/bmp.h"
#include "media/dirty.h"
#include "media/video.h"

namespace {

constexpr int W = 320, H = 200;

class DirtyTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0) << SDL_GetError();
        ASSERT_NE(screen = SDL_SetVideoMode(W, H, 32, 0), nullptr) << SDL_GetError();
    }
    static void TearDownTestSuite() { SDL_Quit(); }
    void SetUp() override {
        dirtyRects.assign(1000, SDL_Rect{-1, -1, 0, 0});
        maxUpdates = 1000;
        dirtyCount = 0;
        fullUpdate = false;
        srand(7);
    }
};

using Box = std::vector<int>;

TEST_F(DirtyTest, ClipsOrDropsEachBox) {
    // x, y, w, h, then the stored box (none when its width is 0); left, right, top, bottom
    const int rows[][8] = {
        {10, 20, 30, 40, 10, 20, 30, 40}, {-5, 10, 20, 8, 0, 10, 15, 8}, {W - 10, 10, 20, 8, W - 10, 10, 10, 8},
        {10, -3, 8, 20, 10, 0, 8, 17}, {10, H - 4, 8, 20, 10, H - 4, 8, 4}, {-50, -60, W + 100, H + 200, 0, 0, W, H},
        {INT_MIN / 2, INT_MIN / 2, INT_MAX, INT_MAX, 0, 0, W, H},
        {-20, 10, 20, 5}, {W, 10, 20, 5}, {10, -8, 5, 8}, {10, H, 5, 5},  // touching an edge from outside
        {-30, 10, 20, 5}, {W + 50, 10, 5, 5}, {10, 10, 0, 5}, {10, 10, 5, -3},
        {INT_MAX - 2, 10, 100, 5}, {INT_MIN, 10, 100, 5}, {10, INT_MIN, 5, INT_MAX}};
    for (const auto& r : rows) {
        SCOPED_TRACE(::testing::Message() << r[0] << "," << r[1] << " " << r[2] << "x" << r[3]);
        SetUp();
        markDirty(r[0], r[1], r[2], r[3]);
        const SDL_Rect& d = dirtyRects[0];
        const Box none{0, 0, -1, -1, 0, 0};  // no entry taken, as SetUp left it
        EXPECT_EQ((Box{dirtyCount, fullUpdate, d.x, d.y, d.w, d.h}), (r[6] ? Box{1, 0, r[4], r[5], r[6], r[7]} : none));
    }
}

TEST_F(DirtyTest, BudgetEdgeSwitchesToFullFlip) {
    for (int i = 0; i < 999; ++i) markDirty(i % W, 0, 1, 1);
    EXPECT_EQ((Box{dirtyCount, fullUpdate, dirtyRects[998].x}), (Box{999, 0, 998 % W}));
    markDirty(5, 5, 5, 5);          // the 1000th would fill the last entry, which is never written
    markDirty(-100, -100, 10, 10);  // and after the switch every request counts, even one clipped away
    EXPECT_EQ((Box{dirtyCount, fullUpdate, dirtyRects[999].x}), (Box{1001, 1, -1}));
    SetUp(), maxUpdates = 0;  // a budget of 0 (benchmark without a screen) flips every frame
    markDirty(0, 0, 4, 4);
    EXPECT_EQ((Box{dirtyCount, fullUpdate}), (Box{1, 1}));
}

SDL_Surface* randomSurface(int w, int h, int bits = 32) {
    SDL_Surface* s = SDL_CreateRGBSurface(SDL_SWSURFACE, w, h, bits, 0xff0000, 0xff00, 0xff, 0);
    for (int i = 0; i < s->pitch * h; ++i) static_cast<Uint8*>(s->pixels)[i] = static_cast<Uint8>(rand());
    return s;
}

bool same(const SDL_Surface* a, const SDL_Surface* b) {
    return a && b && a->w == b->w && a->h == b->h && a->pitch == b->pitch && a->flags == b->flags &&
           memcmp(a->pixels, b->pixels, static_cast<size_t>(a->pitch) * a->h) == 0;
}

TEST_F(DirtyTest, BlendsAndClipsAsSdlDoes) {
    // Loaded as sprites are; every alpha in each row, shifted for the pixels after groups of 4; clear and opaque rows.
    SDL_Surface* raw = randomSurface(259, 40, 24);
    SDL_Surface* sp = SDL_DisplayFormatAlpha(raw);
    for (int y = 0; y < sp->h; ++y)
        for (int x = 0; x < sp->w; ++x)
            static_cast<Uint8*>(sp->pixels)[y * sp->pitch + x * 4 + 3] = Uint8(y < 4 ? y % 2 * 255 : x + y*67);
    // source box, then where it goes
    const int rows[][6] = {{0, 0, 259, 40, 0, 0},     {0, 0, 259, 40, -30, -7}, {0, 0, 259, 40, W - 20, H - 9},
                           {-5, -3, 40, 20, 10, 12},  {250, 30, 40, 20, 3, 4},  {10, 2, 33, 17, 50, 30},
                           {0, 0, 64, 32, W, 0},      {0, 0, 64, 32, -64, 5},   {300, 0, 10, 10, 5, 5},
                           {0, 0, 259, 40, 32760, 0}, {100, 4, 3, 36, 5, 5},    {0, 0, 64, 32, W - 63, H - 31}};
    for (const auto& r : rows) {
        SCOPED_TRACE(::testing::Message() << r[0] << "," << r[1] << " " << r[2] << "x" << r[3] << " at " << r[4]);
        SDL_Surface* plain = randomSurface(W, H);
        SDL_Surface* ours = SDL_ConvertSurface(plain, plain->format, SDL_SWSURFACE);
        SDL_Rect s1{Sint16(r[0]), Sint16(r[1]), Uint16(r[2]), Uint16(r[3])}, s2 = s1;
        SDL_Rect d1{Sint16(r[4]), Sint16(r[5]), 0, 0}, d2 = d1;
        SDL_UpperBlit(sp, &s1, plain, &d1);
        blitAlpha(sp, &s2, ours, &d2);
        EXPECT_TRUE(same(plain, ours));
        EXPECT_EQ((Box{d1.x, d1.y, d1.w, d1.h}), (Box{d2.x, d2.y, d2.w, d2.h}));
        for (SDL_Surface* s : {plain, ours}) SDL_FreeSurface(s);
    }
    for (SDL_Surface* s : {sp, raw}) SDL_FreeSurface(s);
}

TEST_F(DirtyTest, DecodesBmpAsSdlOrLeavesItToSdl) {
    // w, h (negative: top-down), byte to set (-1 none), its value, bytes cut off the end, decoded here
    const int rows[][6] = {
        {5, 3, -1, 0, 0, 1},  {2, -2, -1, 0, 0, 1},  {4, 1, -1, 0, 0, 1},    {7, 4, 10, 50, 0, 1},  // offset moved
        {5, 3, -1, 0, 1, 0},  {5, 3, 10, 104, 0, 0}, {5, 3, 13, 128, 0, 0}, {5, 3, 20, 1, 0, 0},  // short, offset
        {5, 3, 24, 1, 0, 0},  {5, 3, 14, 12, 0, 0},  {5, 3, 28, 32, 0, 0},  {5, 3, 30, 1, 0, 0},
        {5, 3, 0, 'X', 0, 0}, {5, 3, -1, 0, 40, 0},  {1, 1, 10, 20, 24, 0}};  // header cut short: SDL not asked
    for (const auto& r : rows) {
        SCOPED_TRACE(::testing::Message() << r[0] << "x" << r[1] << " [" << r[2] << "]=" << r[3] << " -" << r[4]);
        std::vector<unsigned char> b(54 + ((r[0] * 3 + 3) & ~3) * std::abs(r[1]));
        for (auto& c : b) c = static_cast<unsigned char>(rand());
        const int fields[][3] = {{0, 2, 'B' | 'M' << 8}, {10, 4, 54}, {14, 4, 40}, {18, 4, r[0]},
                                 {22, 4, r[1]},          {28, 2, 24}, {30, 4, 0}};
        for (const auto& f : fields)
            for (int i = 0; i < f[1]; ++i) b[f[0] + i] = static_cast<unsigned char>(f[2] >> 8 * i);
        if (r[2] >= 0) b[r[2]] = static_cast<unsigned char>(r[3]);
        b.resize(b.size() - r[4]);
        SDL_Surface* ours = decodeBmp24(b.data(), b.size());
        SDL_Surface* loaded = b.size() < 54 ? nullptr : SDL_LoadBMP_RW(SDL_RWFromMem(b.data(), int(b.size())), 1);
        SDL_Surface* sdl = loaded ? SDL_DisplayFormatAlpha(loaded) : nullptr;
        EXPECT_EQ(ours != nullptr, r[5] == 1);
        EXPECT_TRUE(!ours || same(ours, sdl)) << "decoded what SDL refuses, or otherwise";
        for (SDL_Surface* s : {ours, loaded, sdl}) SDL_FreeSurface(s);
    }
}

}  // namespace

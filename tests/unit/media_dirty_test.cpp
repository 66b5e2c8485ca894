// Drawing against SDL's own: the marked boxes and their budget, the tiles cleared and presented, the sprite
// blend at clipped boxes, the BMP decoder and a BMP header's claims against its bytes.
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

TEST_F(DirtyTest, BudgetEdgeSetsFullUpdateAndEveryRequestCountsOn) {
    for (int i = 0; i < 999; ++i) markDirty(i % W, 0, 1, 1);
    EXPECT_EQ((Box{dirtyCount, fullUpdate, dirtyRects[998].x}), (Box{999, 0, 998 % W}));
    markDirty(5, 5, 5, 5);          // the 1000th would fill the last entry, which is never written
    markDirty(-100, -100, 10, 10);  // and after the switch every request counts, even one clipped away
    EXPECT_EQ((Box{dirtyCount, fullUpdate, dirtyRects[999].x}), (Box{1001, 1, -1}));
    EXPECT_EQ((Box{presentDirty(), dirtyCount}), (Box{1001, 0})) << "the frame's count, then the next frame's from 0";
}

// Frame by frame: a new window is cleared and flipped whole (twice: the
// second frame makes the tiles); then the 16-pixel tiles drawn on go out, and
// are cleared and go out again next frame; a screen invalidated flips whole,
// the budget running out does not; boxes that would cost more than a flip do.
TEST_F(DirtyTest, PresentsTheTilesDrawnOnAndClearsThemNextFrame) {
    std::vector<SDL_Rect> boxes;
    auto frame = [&](const std::vector<Box>& drawn, int dirty = 0) {
        clearDrawn();
        for (const Box& d : drawn) markDrawn(d[0], d[1], d[2], d[3]);
        for (int i = 0; i < dirty; ++i) markDirty(0, 0, 1, 1);
        Box out{presentPlan(boxes)};
        for (const SDL_Rect& b : boxes) out.insert(out.end(), {b.x, b.y, b.w, b.h});
        presentDirty();
        return out;
    };
    SDL_FillRect(screen, nullptr, 0xffffff);
    EXPECT_EQ(frame({}), Box{1});
    EXPECT_EQ(static_cast<Uint32*>(screen->pixels)[W * H - 1], 0u);
    EXPECT_EQ(frame({{20, 20, 5, 5}}), Box{1});
    EXPECT_EQ(frame({{20, 20, 5, 5}, {282, 190, 20, 40}}), (Box{0, 16, 16, 16, 16, 272, 176, 32, 24}));
    static_cast<Uint32*>(screen->pixels)[20 * W + 20] = static_cast<Uint32*>(screen->pixels)[20 * W + 40] = 0xffffff;
    EXPECT_EQ(frame({}), (Box{0, 16, 16, 16, 16, 272, 176, 32, 24}));
    EXPECT_EQ(std::make_pair(static_cast<Uint32*>(screen->pixels)[20 * W + 20], static_cast<Uint32*>(screen->pixels)[20 * W + 40]),
              std::make_pair(0u, 0xffffffu)) << "only the tiles drawn on are cleared";
    maxUpdates = 2;
    EXPECT_EQ(frame({}, 3), Box{0});
    fullUpdate = true, static_cast<Uint32*>(screen->pixels)[20 * W + 40] = 0xffffff;
    EXPECT_EQ(frame({}), Box{1});
    EXPECT_EQ(static_cast<Uint32*>(screen->pixels)[20 * W + 40], 0u) << "an invalidated screen is cleared whole";
    std::vector<Box> scattered;  // rows apart, more than 8 tiles apart in a row: a box each
    for (int i = 0; i < 15; ++i) scattered.push_back({i % 3 * 144, i / 3 * 32, 1, 1});
    const Box few = frame(std::vector<Box>(scattered.begin(), scattered.begin() + 14));
    EXPECT_TRUE(few[0] == 0 && few.size() == 1 + 4 * 14);
    static_cast<Uint32*>(screen->pixels)[0] = 0xffffff, frame({});
    EXPECT_EQ(static_cast<Uint32*>(screen->pixels)[0], 0u) << "the first column of tiles is cleared too";
    EXPECT_EQ(frame(scattered)[0], 1);
}

// A frame's ink: its pixels of alpha above 0, in the sheet's coordinates; without alpha, the whole frame.
TEST_F(DirtyTest, InkBoxBoundsTheFramesPixelsAboveAlphaZero) {
    SDL_Surface* s = SDL_CreateRGBSurface(SDL_SWSURFACE | SDL_SRCALPHA, 8, 6, 32, 0xff0000, 0xff00, 0xff, 0xff000000);
    SDL_FillRect(s, nullptr, 0x00ffffff);
    for (auto [x, y] : {std::pair{2, 1}, {5, 3}, {7, 5}}) static_cast<Uint32*>(s->pixels)[y * s->pitch / 4 + x] = 0x01000000;
    auto ink = [s](Box r) { SDL_Rect b = inkBox(s, {Sint16(r[0]), Sint16(r[1]), Uint16(r[2]), Uint16(r[3])}); return Box{b.x, b.y, b.w, b.h}; };
    const std::pair<Box, Box> rows[] = {{{0, 0, 8, 6}, {2, 1, 6, 5}}, {{0, 0, 7, 5}, {2, 1, 4, 3}}, {{3, -1, 4, 9}, {5, 3, 1, 1}},
                                        {{0, 2, 2, 4}, {0, 0, 0, 0}}, {{8, 0, 4, 4}, {0, 0, 0, 0}}};
    for (const auto& [frame, want] : rows) EXPECT_EQ(ink(frame), want) << frame[0] << "," << frame[1];
    SDL_SetAlpha(s, 0, 0);
    EXPECT_EQ(ink({-2, 4, 20, 9}), (Box{0, 4, 8, 2}));
    SDL_FreeSurface(s);
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
                           {0, 0, 259, 40, 32760, 0}, {100, 4, 3, 36, 5, 5},    {0, 0, 64, 32, W - 63, H - 31}, {7, 0, 1, 40, 9, 9}, {30, 4, 13, 36, 7, 3}};  // 13: 8, 4 (alpha 254 at 41,7) and 1 at a time
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
    SDL_Rect beyond{Sint16(W + 10), 10, 5, 5};  // right of the screen: nothing to clear
    clearBlack(screen, &beyond);
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

// A header claiming a depth SDL cannot convert, or more pixels than the
// bytes could hold at its depth, is refused; the old header's sizes are 16-bit.
TEST_F(DirtyTest, BmpHeaderMustFitItsBytes) {
    auto fits = [](int header, int w, int h, int bits, size_t size) {
        std::vector<unsigned char> b(std::max<size_t>(size, 30));
        const int at[] = {14, header == 12 ? 18 : 18, header == 12 ? 20 : 22, header == 12 ? 24 : 28};
        const int value[] = {header, w, h, bits}, bytes[] = {4, header == 12 ? 2 : 4, header == 12 ? 2 : 4, 2};
        for (int f = 0; f < 4; ++f)
            for (int i = 0; i < bytes[f]; ++i) b[at[f] + i] = static_cast<unsigned char>(value[f] >> 8 * i);
        return bmpFitsItsBytes(b.data(), size);
    };
    for (int bits = 0; bits <= 33; ++bits)
        EXPECT_EQ(fits(40, 4, 2, bits, 32), bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32) << bits;
    // header, w, h, bits, size, fits: the pixels' bits against the file's, the old header, too short for a header
    const int rows[][6] = {{40, 16, 16, 1, 32, 1}, {40, 16, 16, 1, 31, 0}, {40, -16, -16, 1, 32, 1}, {40, 8, 4, 32, 128, 1},
                           {40, 8, 4, 32, 127, 0}, {40, 1 << 30, 1 << 30, 32, 30, 0}, {12, 512, 2, 1, 128, 1}, {12, 2, 512, 1, 127, 0},
                           {12, 1, 1, 24, 26, 1}, {12, 1, 1, 24, 25, 0}, {40, 1, 1, 24, 29, 0}, {40, 1, 1, 24, 30, 1}};
    for (const auto& r : rows) EXPECT_EQ(fits(r[0], r[1], r[2], r[3], size_t(r[4])), r[5] == 1) << r[0] << " " << r[1] << "x" << r[2] << " " << r[4];
}

}  // namespace

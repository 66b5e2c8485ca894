// The sprite blend, the black clear and the bitmap decoder against SDL's own:
// every alpha value over random colours, at boxes clipped on each side, and
// well-formed or damaged BMPs must give the same bytes or fail as SDL fails.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "media/blit.h"
#include "media/bmp.h"

namespace {

constexpr int W = 96, H = 64;

SDL_Surface* randomSurface(int w, int h) {
    SDL_Surface* s = SDL_CreateRGBSurface(SDL_SWSURFACE, w, h, 32, 0xff0000, 0xff00, 0xff, 0);
    for (int i = 0; i < s->pitch / 4 * h; ++i) static_cast<Uint32*>(s->pixels)[i] = rand() << 16 ^ rand();
    return s;
}

bool sameBytes(const SDL_Surface* a, const SDL_Surface* b) {
    return memcmp(a->pixels, b->pixels, static_cast<size_t>(a->pitch) * a->h) == 0;
}

TEST(Blit, BlendsAndClipsAsSdlDoes) {
    ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0) << SDL_GetError();
    ASSERT_NE(SDL_SetVideoMode(W, H, 32, 0), nullptr) << SDL_GetError();
    srand(7);
    // 259 wide: every alpha value and a tail that is not a whole group of pixels.
    SDL_Surface* raw = SDL_CreateRGBSurface(SDL_SWSURFACE, 259, 40, 24, 0xff0000, 0xff00, 0xff, 0);
    for (int i = 0; i < raw->pitch * raw->h; ++i) static_cast<Uint8*>(raw->pixels)[i] = static_cast<Uint8>(rand());
    SDL_Surface* sprite = SDL_DisplayFormatAlpha(raw);  // as the sprites are loaded
    for (int y = 0; y < sprite->h; ++y)
        for (int x = 0; x < sprite->w; ++x) {
            Uint8* px = static_cast<Uint8*>(sprite->pixels) + y * sprite->pitch + 4 * x;
            // Every value in each row, shifted so the single pixels after the
            // groups of four see many; runs of clear and opaque rows too.
            px[3] = static_cast<Uint8>(y < 4 ? (y & 1) * 255 : x + 67 * y);
        }
    // source box, then where it goes
    const int rows[][6] = {
        {0, 0, 259, 40, 0, 0},      {0, 0, 259, 40, -30, -7},  {0, 0, 259, 40, W - 20, H - 9},
        {-5, -3, 40, 20, 10, 12},   {250, 30, 40, 20, 3, 4},   {10, 2, 33, 17, 50, 30},
        {0, 0, 64, 32, W, 0},       {0, 0, 64, 32, -64, 5},    {300, 0, 10, 10, 5, 5},
        {0, 0, 259, 40, 32760, 0},  {100, 4, 3, 36, 5, 5},     {0, 0, 64, 32, W - 63, H - 31},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(::testing::Message() << r[0] << "," << r[1] << " " << r[2] << "x" << r[3] << " at " << r[4]
                                          << "," << r[5]);
        SDL_Surface* plain = randomSurface(W, H);
        SDL_Surface* ours = SDL_ConvertSurface(plain, plain->format, SDL_SWSURFACE);
        SDL_Rect s1{Sint16(r[0]), Sint16(r[1]), Uint16(r[2]), Uint16(r[3])}, s2 = s1;
        SDL_Rect d1{Sint16(r[4]), Sint16(r[5]), 0, 0}, d2 = d1;
        SDL_UpperBlit(sprite, &s1, plain, &d1);
        blitAlpha(sprite, &s2, ours, &d2);
        EXPECT_TRUE(sameBytes(plain, ours));
        EXPECT_EQ((std::vector<int>{d1.x, d1.y, d1.w, d1.h}), (std::vector<int>{d2.x, d2.y, d2.w, d2.h}));

        SDL_Rect box{Sint16(r[4]), Sint16(r[5]), Uint16(r[2]), Uint16(r[3])};
        SDL_FillRect(plain, &box, 0);
        clearBlack(ours, &box);
        EXPECT_TRUE(sameBytes(plain, ours)) << "clear";
        SDL_FreeSurface(plain);
        SDL_FreeSurface(ours);
    }
    SDL_FreeSurface(sprite);
    SDL_FreeSurface(raw);
    SDL_Quit();
}

// A 24-bit BMP of w x h (negative: top-down) random pixels.
std::vector<unsigned char> bmp(int w, int h) {
    const int pitch = (w * 3 + 3) & ~3, rows = h < 0 ? -h : h;
    std::vector<unsigned char> b(54 + pitch * rows);
    for (auto& c : b) c = static_cast<unsigned char>(rand());
    const int fields[][3] = {{0, 2, 'B' | 'M' << 8}, {10, 4, 54}, {14, 4, 40}, {18, 4, w},
                             {22, 4, h},          {26, 2, 1},  {28, 2, 24}, {30, 4, 0}};
    for (const auto& f : fields)
        for (int i = 0; i < f[1]; ++i) b[f[0] + i] = static_cast<unsigned char>(f[2] >> 8 * i);
    return b;
}

TEST(Bmp, DecodesAsSdlOrLeavesItToSdl) {
    ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0) << SDL_GetError();
    ASSERT_NE(SDL_SetVideoMode(W, H, 32, 0), nullptr) << SDL_GetError();
    srand(3);
    // w, h, byte to set (-1 none), its value, bytes cut off the end, decoded here
    const int rows[][6] = {
        {5, 3, -1, 0, 0, 1},  {2, -2, -1, 0, 0, 1}, {4, 1, -1, 0, 0, 1},   {7, 4, 10, 50, 0, 1},  // offset moved
        {5, 3, -1, 0, 1, 0},  {5, 3, 10, 104, 0, 0}, {5, 3, 13, 128, 0, 0}, {5, 3, 20, 1, 0, 0},  // short, offsets, width
        {5, 3, 24, 1, 0, 0},  {5, 3, 14, 12, 0, 0},   {5, 3, 28, 32, 0, 0},  {5, 3, 30, 1, 0, 0},
        {5, 3, 0, 'X', 0, 0}, {5, 3, -1, 0, 40, 0},   {1, 1, 10, 20, 24, 0},  // the header cut short
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(::testing::Message() << r[0] << "x" << r[1] << " [" << r[2] << "]=" << r[3] << " -" << r[4]);
        std::vector<unsigned char> b = bmp(r[0], r[1]);
        if (r[2] >= 0) b[r[2]] = static_cast<unsigned char>(r[3]);
        b.resize(b.size() - r[4]);
        SDL_Surface* ours = decodeBmp24(b.data(), b.size());
        // (SDL reads a header cut short from beyond the bytes.)
        SDL_Surface* loaded =
            b.size() < 54 ? nullptr : SDL_LoadBMP_RW(SDL_RWFromMem(b.data(), static_cast<int>(b.size())), 1);
        SDL_Surface* sdl = loaded ? SDL_DisplayFormatAlpha(loaded) : nullptr;
        EXPECT_EQ(ours != nullptr, r[5] == 1);
        if (ours) {
            ASSERT_NE(sdl, nullptr) << "decoded what SDL refuses";
            EXPECT_EQ((std::vector<int>{ours->w, ours->h, ours->pitch, int(ours->flags)}),
                      (std::vector<int>{sdl->w, sdl->h, sdl->pitch, int(sdl->flags)}));
            EXPECT_TRUE(sameBytes(ours, sdl));
        }
        for (SDL_Surface* s : {ours, loaded, sdl}) SDL_FreeSurface(s);
    }
    SDL_Quit();
}

}  // namespace

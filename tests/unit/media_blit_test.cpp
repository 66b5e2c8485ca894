// The sprite blend and the black clear against SDL's own: every alpha value
// over random colours, at boxes clipped on each side, must give the same bytes.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "media/blit.h"

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

}  // namespace

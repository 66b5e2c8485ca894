// The generated graphics pack as the game loads it: the fly looks where it flies.
#include <gtest/gtest.h>

#include <cmath>

#include "media/sprite.h"
#include "media/video.h"
#include "testutil.h"

namespace {

std::string pack(const char* file) { return std::string(std::getenv("BUILD_DIR")) + "/run/data/" + file; }

// Animation 2k shows the fly heading into sector k (k * 11.25 degrees counter-
// clockwise from "right", y up): its red eyes must lie that way from the centre.
TEST(Packs, TheFlyFacesItsDirectionOfTravel) {
    ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0);
    ASSERT_NE(screen = SDL_SetVideoMode(64, 64, 32, 0), nullptr);
    testutil::CaptureStdout quiet;
    Sprite::load(pack("gfx.pkf").c_str(), sprites);
    const Sprite* fly = findSprite("mucha01.bmp");
    ASSERT_EQ(animCount(fly), 64);
    SDL_Surface* s = fly->bitmap;
    for (int k = 0; k < 32; ++k) {
        const Anim& a = fly->anims[2 * k];
        double sx = 0, sy = 0, n = 0;
        for (int i = 0; i < a.w * a.h; ++i) {
            Uint8 r, g, b, al;
            const int x = a.x + i % a.w, y = a.y + i / a.w;
            SDL_GetRGBA(*reinterpret_cast<Uint32*>(static_cast<Uint8*>(s->pixels) + y * s->pitch + 4 * x), s->format, &r, &g, &b, &al);
            if (al > 160 && r > 120 && r > 2 * g && r > 2 * b) sx += i % a.w + 0.5 - a.hotX, sy += i / a.w + 0.5 - a.hotY, ++n;
        }
        ASSERT_GT(n, 4) << "sector " << k;
        const double deg = std::atan2(-sy / n, sx / n) * 180 / M_PI;
        EXPECT_LT(std::fabs(std::fmod(deg - (k + 0.5) * 11.25 + 720 + 180, 360.0) - 180), 12.0) << "sector " << k;
    }
}

}  // namespace

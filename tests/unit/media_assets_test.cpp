// The generated packs as the game loads them: the fly looks
// where it flies, and every sound of assets/assets.txt decodes, is loud enough
// and is one the mixer plays.
#include <gtest/gtest.h>

#include <cmath>

#include "base/resfile.h"
#include "media/sound.h"
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

TEST(Packs, EverySoundDecodesIsAudibleAndCanBePlayed) {
    std::istringstream table(testutil::readFile(std::string(std::getenv("SRC_DIR")) + "/assets/assets.txt"));
    Resfile sfx;
    int sounds = 0;
    for (std::string kind, name, maker, line; std::getline(table, line);) {
        int rate = 0, channels = 0, bits = 0;
        if (!(std::istringstream(line) >> kind >> name >> maker >> rate >> channels >> bits) || kind != "sound") continue;
        const auto bytes = sfx.load(pack("sfx.pkf").c_str(), name.c_str(), -1);
        SDL_AudioSpec wav;
        Uint8* buf = nullptr;
        Uint32 len = 0;
        ASSERT_TRUE(bytes && SDL_LoadWAV_RW(SDL_RWFromConstMem(bytes->data(), int(bytes->size())), 1, &wav, &buf, &len)) << name;
        EXPECT_EQ((std::vector<int>{wav.freq, wav.channels, wav.format}),
                  (std::vector<int>{rate, channels, bits == 8 ? AUDIO_U8 : AUDIO_S16LSB})) << name;
        int peak = 0;  // at least a third of full scale
        for (Uint32 i = 0; i + 1 < len; i += bits / 8)
            peak = std::max(peak, bits == 8 ? std::abs(buf[i] - 128) * 256 : std::abs(int16_t(buf[i] | buf[i + 1] << 8)));
        EXPECT_TRUE(peak > 32767 / 3 && convertibleWav(wav)) << name << ": peak " << peak;
        SDL_FreeWAV(buf);
        ++sounds;
    }
    EXPECT_EQ(sounds, 7);
}

}  // namespace

// The generated packs as the game loads them, against assets/assets.txt: every
// sprite and font whole and as the table says, the fly looking where it flies,
// and every sound decodable, audible and playable.
#include <gtest/gtest.h>

#include <array>
#include <cmath>

#include "base/parser.h"
#include "base/resfile.h"
#include "media/sound.h"
#include "media/sprite.h"
#include "media/video.h"
#include "testutil.h"

namespace {

struct Row {
    std::string kind, name;
    std::vector<int32_t> v;  // the numbers after kind, name and maker (or font file)
};

std::string pack(const char* file) { return std::string(std::getenv("BUILD_DIR")) + "/run/data/" + file; }

class Packs : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0);
        ASSERT_NE(screen = SDL_SetVideoMode(64, 64, 32, 0), nullptr);
        testutil::CaptureStdout cap;
        Sprite::load(pack("gfx.pkf").c_str(), sprites);
        log_ = cap.stop();
        Parser lines(testutil::readFile(std::string(std::getenv("SRC_DIR")) + "/assets/assets.txt"), "\n\r");
        for (int32_t i = 0; i < lines.count(); ++i) {
            Parser f(lines.show(i), " \t");
            if (f.count() == 0 || f.show(0)[0] == '#') continue;
            rows_.push_back({f.show(0), f.show(1), {}});
            for (int32_t k = 3; k < f.count(); ++k) rows_.back().v.push_back(f.val(k));
        }
    }
    // Colour and alpha of a pixel of a loaded sprite.
    static std::array<int, 4> pixel(const Sprite* s, int x, int y) {
        Uint8 c[4];
        SDL_GetRGBA(*reinterpret_cast<Uint32*>(static_cast<Uint8*>(s->bitmap->pixels) + y * s->bitmap->pitch + 4 * x),
                    s->bitmap->format, &c[0], &c[1], &c[2], &c[3]);
        return {c[0], c[1], c[2], c[3]};
    }
    static std::string log_;
    static std::vector<Row> rows_;
};
std::string Packs::log_;
std::vector<Row> Packs::rows_;

TEST_F(Packs, EverySpriteAndFontIsWholeAndAsTheTableSays) {
    // Only the window icon goes without an alpha plane.
    EXPECT_TRUE(log_.find("FAIL: Sprite") == std::string::npos &&
                log_.find("Nie znaleziono") == log_.find("Nie znaleziono ikona.smt/") &&
                log_.find("Nie znaleziono", log_.find("Nie znaleziono") + 1) == std::string::npos) << log_;
    ASSERT_EQ(rows_.size(), 33u);
    for (const Row& r : rows_) {
        if (r.kind == "sound") continue;
        const Sprite* s = findSprite(r.name);
        ASSERT_TRUE(s && s->bitmap) << r.name;
        const bool font = r.kind == "font";
        ASSERT_EQ(animCount(s), font ? 95 : r.v[0]) << r.name;
        for (size_t a = 0; a < s->anims.size(); ++a) {
            const Anim& l = s->anims[a];
            const size_t at = r.v.size() == 11 && (a & 1) ? 8 : 5;  // the ending's numbers or the look's
            const std::vector<int> want = font ? std::vector<int>{1, 0, 0, r.v[1], a >= 16 && a <= 25 ? r.v[2] : l.w}
                                               : std::vector<int>{r.v[at], r.v[3], r.v[4], r.v[2], r.v[1]};
            EXPECT_EQ((std::vector<int>{l.frames, l.hotX, l.hotY, l.h, l.w}), want) << r.name << " animation " << a;
            EXPECT_TRUE(font || (l.speed == r.v[at + 1] && l.loopFrame == r.v[at + 2])) << r.name << " " << a;
            EXPECT_TRUE(l.x >= 0 && l.y >= 0 && l.x + l.frames * l.w <= s->bitmap->w && l.y + l.h <= s->bitmap->h &&
                        l.w >= 1 && (!font || l.w <= r.v[3]))
                << r.name << " animation " << a;
        }
    }
}

// Animation 2k shows the fly heading into sector k (k * 11.25 degrees counter-
// clockwise from "right", y up): its red eyes must lie that way from the centre.
TEST_F(Packs, FlyFacesItsDirectionOfTravel) {
    const Sprite* fly = findSprite("mucha01.bmp");
    ASSERT_EQ(animCount(fly), 64);
    for (int k = 0; k < 32; ++k) {
        const Anim& a = fly->anims[2 * k];
        double sx = 0, sy = 0, n = 0;
        for (int i = 0; i < a.w * a.h; ++i) {
            const auto [r, g, b, al] = pixel(fly, a.x + i % a.w, a.y + i / a.w);
            if (al > 160 && r > 120 && r > 2 * g && r > 2 * b) sx += i % a.w + 0.5 - a.hotX, sy += i / a.w + 0.5 - a.hotY, ++n;
        }
        ASSERT_GT(n, 4) << "sector " << k;
        const double deg = std::atan2(-sy / n, sx / n) * 180 / M_PI;
        EXPECT_LT(std::fabs(std::fmod(deg - (k + 0.5) * 11.25 + 720 + 180, 360.0) - 180), 12.0) << "sector " << k;
    }
}

TEST_F(Packs, EverySoundDecodesIsAudibleAndCanBePlayed) {
    Resfile sfx;
    for (const Row& r : rows_) {
        if (r.kind != "sound") continue;
        const auto bytes = sfx.load(pack("sfx.pkf").c_str(), r.name.c_str(), -1);
        SDL_AudioSpec wav;
        Uint8* buf = nullptr;
        Uint32 len = 0;
        ASSERT_TRUE(bytes && SDL_LoadWAV_RW(SDL_RWFromConstMem(bytes->data(), int(bytes->size())), 1, &wav, &buf, &len))
            << r.name << ": " << SDL_GetError();
        EXPECT_EQ((std::vector<int>{wav.freq, wav.channels, wav.format}),
                  (std::vector<int>{r.v[0], r.v[1], r.v[2] == 8 ? AUDIO_U8 : AUDIO_S16LSB})) << r.name;
        int peak = 0;  // loud enough to hear: at least a third of full scale
        for (Uint32 i = 0; i + 1 < len; i += r.v[2] / 8)
            peak = std::max(peak, r.v[2] == 8 ? std::abs(buf[i] - 128) * 256 : std::abs(int16_t(buf[i] | buf[i + 1] << 8)));
        EXPECT_GT(peak, 32767 / 3) << r.name;
        EXPECT_TRUE(convertibleWav(wav)) << r.name;
        SDL_FreeWAV(buf);
    }
}

}  // namespace

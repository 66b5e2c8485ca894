// The generated packs against assets/assets.txt, read by the game's own sprite
// loader, and the table against the numbers the game's code hard-wires; then
// pictures that must say something, and WAVs that decode, are audible and play.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>
#include <set>

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

class Packs : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO | SDL_INIT_AUDIO), 0);
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
    static void TearDownTestSuite() {
        testutil::CaptureStdout quiet;
        Sprite::clear(sprites);
        SDL_Quit();
    }
    static std::string pack(const char* file) { return std::string(std::getenv("BUILD_DIR")) + "/run/data/" + file; }
    static const std::vector<int32_t>& row(const std::string& name) {
        for (const Row& r : rows_)
            if (r.name == name) return r.v;
        ADD_FAILURE() << name << " is not in the table";
        static const std::vector<int32_t> none(11, 0);
        return none;
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

TEST_F(Packs, EverySpriteAndFontIsCompleteAndMatchesTheTable) {
    // No loading step failed; only the window icon goes without an alpha plane.
    const size_t missing = log_.find("Nie znaleziono");
    EXPECT_TRUE(log_.find("FAIL: Sprite") == std::string::npos && missing == log_.find("Nie znaleziono ikona.smt/") &&
                log_.find("Nie znaleziono", missing + 1) == std::string::npos)
        << log_;
    for (const Row& r : rows_) {
        if (r.kind != "sprite" && r.kind != "font") continue;
        SCOPED_TRACE(r.name);
        const Sprite* s = findSprite(r.name);
        ASSERT_TRUE(s && s->bitmap);
        const bool font = r.kind == "font", paired = r.v.size() == 11;
        ASSERT_EQ(animCount(s), font ? 95 : r.v[0]);
        for (size_t a = 0; a < s->anims.size(); ++a) {
            SCOPED_TRACE("animation " + std::to_string(a));
            const Anim& l = s->anims[a];
            if (font) {  // character 32 + a: one frame, hot (0, 0), line high; digits all alike
                EXPECT_EQ((std::vector<int>{l.frames, l.hotX, l.hotY, l.h}), (std::vector<int>{1, 0, 0, r.v[1]}));
                EXPECT_TRUE(a >= 16 && a <= 25 ? l.w == r.v[2] : l.w >= 1 && l.w <= r.v[3]) << l.w;
                int ink = 0;
                for (int i = 0; i < l.w * l.h; ++i) ink += pixel(s, l.x + i % l.w, l.y + i / l.w)[3] > 128;
                EXPECT_TRUE(a == 0 || ink > 0) << "every visible character draws something";
            } else {
                const size_t at = paired && (a & 1) ? 8 : 5;  // the ending's numbers or the look's
                EXPECT_EQ((std::vector<int>{l.frames, l.speed, l.loopFrame, l.w, l.h, l.hotX, l.hotY}),
                          (std::vector<int>{r.v[at], r.v[at + 1], r.v[at + 2], r.v[1], r.v[2], r.v[3], r.v[4]}));
                EXPECT_LT(l.loopFrame, l.frames);
            }
            EXPECT_TRUE(l.x >= 0 && l.y >= 0 && l.x + l.frames * l.w <= s->bitmap->w && l.y + l.h <= s->bitmap->h);
            for (size_t b = 0; b < a; ++b) {
                const Anim& p = s->anims[b];
                EXPECT_TRUE(p.x + p.frames * p.w <= l.x || l.x + l.frames * l.w <= p.x || p.y + p.h <= l.y ||
                            l.y + l.h <= p.y)
                    << "overlaps animation " << b;
            }
        }
    }
}

// The numbers the game's code hard-wires: anims, w, h, hotX, hotY; centred hot
// spots; frames; particle endings within their lives.
TEST_F(Packs, TableKeepsTheGeometryTheGameCodeReliesOn) {
    const std::vector<int> icon{3, 30, 30, 15, 15}, button{1, 32, 96, 16, 96};
    for (const auto& [name, want] : std::initializer_list<std::pair<const char*, std::vector<int>>>{
             {"kursor.bmp", {12, 12, 24, 0, 0}}, {"mucha01.bmp", {64, 32, 32, 16, 16}},
             {"ikona.bmp", {1, 32, 32, 16, 16}}, {"wep_bomb.bmp", icon}, {"wep_flame.bmp", icon},
             {"wep_airstrike.bmp", icon}, {"wep_concrete.bmp", icon}, {"wep_armageddon.bmp", icon},
             {"wep_bzykolot.bmp", icon}, {"menu_start.bmp", button}, {"menu_wyniki.bmp", button},
             {"menu_koniec.bmp", button}})
        EXPECT_EQ(std::vector<int>(row(name).begin(), row(name).begin() + 5), want) << name;
    for (const char* n : {"wybuch01.bmp", "bzykolot.bmp", "granat.bmp", "airstrike.bmp", "kurczak.bmp", "meteor.bmp",
                          "particle.bmp", "krew.bmp", "iskra.bmp", "energia.bmp", "drop.bmp"})
        EXPECT_TRUE(row(n)[3] == row(n)[1] / 2 && row(n)[4] == row(n)[2] / 2) << n << " is centred";
    EXPECT_TRUE(row("mucha01.bmp")[5] >= 2 && row("menu_start.bmp")[5] >= 2) << "wing beat; released and pressed";
    const std::vector<int32_t>& panel = row("hiscores.bmp");
    EXPECT_TRUE(panel[1] <= 522 && panel[2] <= 266 && panel[3] == 0 && panel[4] == 0);
    for (auto [n, most] : {std::pair<const char*, int>{"kursor.bmp", 20}, {"particle.bmp", 50}, {"krew.bmp", 50},
                           {"iskra.bmp", 20}, {"energia.bmp", 50}})
        EXPECT_TRUE(row(n).size() == 11 && row(n)[0] % 2 == 0 && row(n)[8] <= most) << n << ": pairs, ending";
}

// Widest pen run under the bitmap-text rules (space and missing glyphs advance
// 12, glyphs w + 1, tabs to multiples of 48, wrap after a space beyond wrapW).
int textWidth(const Sprite* font, const std::string& text, int wrapW) {
    int x = 0, widest = 0;
    for (unsigned char c : text) {
        if (c == '\n') x = 0;
        else if (c == '\t') x = (x + 1) / 48 * 48 + 48;
        else x += c > 32 && c - 32 < animCount(font) ? font->anims[c - 32].w + 1 : 12;
        widest = std::max(widest, x);
        if (c == ' ' && x > wrapW) x = 0;
    }
    return widest;
}

TEST_F(Packs, FontsFitTheHudAndThePanel) {
    const Sprite *hud = findSprite("font_00.bmp"), *panel = findSprite("font_00a.bmp");
    ASSERT_TRUE(animCount(hud) && animCount(panel));
    // The weapon ring repaints 104 x 20 pixels for its counters line.
    EXPECT_LE(hud->anims[0].h, 20);
    EXPECT_LE(textWidth(hud, "000    000", 96), 104);
    // Eleven lines of the score table inside the 266-pixel panel, text at +5.
    EXPECT_LE(panel->anims[0].h * 11 + 5, 266);
    for (const char* t : {
             "Pokonanych much: 9999\nPrzetrwano: 99999s\n\nNie udalo sie wyslac. Wyslac ponownie? (Enter/Escape)",
             "Pokonanych much: 9999\nPrzetrwano: 99999s\n\nWpisz nick: Kot_w_butach_2024_mistrz_much_x",
             "Muchy:\n01.\t Kot_w_butach_2024_mistrz_much_x\t 2147483647\n",
         })
        EXPECT_LE(textWidth(panel, t, 448), 512) << t;
}

// Animation 2k shows the fly heading into sector k (k * 11.25 degrees counter-
// clockwise from "right", y up): its red eyes must lie that way from the centre.
TEST_F(Packs, FlyFacesItsDirectionOfTravel) {
    const Sprite* fly = findSprite("mucha01.bmp");
    ASSERT_EQ(animCount(fly), 64);
    for (int k = 0; k < 32; ++k) {
        const Anim& a = fly->anims[2 * k];
        double sx = 0, sy = 0, n = 0;
        for (int x = 0; x < a.w; ++x)
            for (int y = 0; y < a.h; ++y) {
                const auto [r, g, b, al] = pixel(fly, a.x + x, a.y + y);
                if (al > 160 && r > 120 && r > 2 * g && r > 2 * b) sx += x + 0.5 - a.hotX, sy += y + 0.5 - a.hotY, ++n;
            }
        ASSERT_GT(n, 4) << "sector " << k;
        const double deg = std::atan2(-sy / n, sx / n) * 180 / M_PI;
        EXPECT_LT(std::fabs(std::fmod(deg - (k + 0.5) * 11.25 + 720 + 180, 360.0) - 180), 12.0)
            << "sector " << k << ": eyes at " << deg << " degrees";
    }
}

// Each cursor look has its tip at the hot spot, where the game's repainted box
// starts. The icon is keyed on exactly (255, 0, 255): a near-magenta would show.
TEST_F(Packs, CursorTipsAtTheHotSpotAndTheIconKeyedOnMagenta) {
    const Sprite *c = findSprite("kursor.bmp"), *icon = findSprite("ikona.bmp");
    ASSERT_EQ(animCount(c), 12);
    for (int j = 0; j < 12; j += 2) {
        const Anim& a = c->anims[j];
        EXPECT_GT(std::max(pixel(c, a.x, a.y)[3], pixel(c, a.x + 1, a.y + 1)[3]), 128) << "look " << j / 2;
    }
    ASSERT_TRUE(icon && icon->bitmap->w == 32 && icon->bitmap->h == 32);
    int keyed = 0, nearKey = 0;
    for (int i = 0; i < 32 * 32; ++i) {
        const auto [r, g, b, a] = pixel(icon, i % 32, i / 32);
        keyed += r == 255 && g == 0 && b == 255;
        nearKey += r == 255 && b == 255 && g != 0;
    }
    EXPECT_TRUE(keyed > 0 && keyed < 100) << keyed << " pixels: transparent corners, mostly picture";
    EXPECT_EQ(nearKey, 0);
}

TEST_F(Packs, EverySoundTheGameNamesDecodesIsAudibleAndCanBePlayed) {
    Resfile sfx;
    std::set<std::vector<int>> formats;
    for (const char* name :
         {"hit.wav", "drop.wav", "flame.wav", "explosion00.wav", "fireball.wav", "flybuzz.wav", "boing.wav"}) {
        SCOPED_TRACE(name);
        const std::vector<int32_t>& v = row(name);  // rate, channels, bits
        const auto bytes = sfx.load(pack("sfx.pkf").c_str(), name, -1);
        SDL_AudioSpec wav;
        Uint8* buf = nullptr;
        Uint32 len = 0;
        ASSERT_TRUE(bytes && SDL_LoadWAV_RW(SDL_RWFromConstMem(bytes->data(), int(bytes->size())), 1, &wav, &buf, &len))
            << SDL_GetError();
        const std::vector<int> format{wav.freq, wav.channels, wav.format};
        EXPECT_EQ(format, (std::vector<int>{v[0], v[1], v[2] == 8 ? AUDIO_U8 : AUDIO_S16LSB}));
        formats.insert(format);
        // Loud enough to hear: the peak reaches at least a third of full scale.
        int peak = 0;
        for (Uint32 i = 0; i + 1 < len; i += v[2] / 8)
            peak = std::max(peak, v[2] == 8 ? std::abs(buf[i] - 128) * 256
                                            : std::abs(int16_t(buf[i] | buf[i + 1] << 8)));
        EXPECT_GT(peak, 32767 / 3);
        EXPECT_TRUE(convertibleWav(wav)) << "PlaySound would drop it";
        SDL_FreeWAV(buf);
    }
    EXPECT_GE(formats.size(), 3u) << "the packs exercise the conversion";
}

}  // namespace

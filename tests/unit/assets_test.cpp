// The generated packs against the asset table and the geometry the game's
// code relies on: entries and companions present, animation texts read the
// way the sprite loader reads them, alpha planes and bitmaps of the right
// size, fonts that fit the HUD and the panel, the fly's headings, the
// cursor's six looks, and WAVs that SDL decodes and can convert.
#include <SDL/SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "media/resfile.h"
#include "scores/parser.h"

namespace {

std::string env(const char* name) {
    const char* v = std::getenv(name);
    return v ? v : "";
}
std::string gfxPack() { return env("BUILD_DIR") + "/run/data/gfx.pkf"; }
std::string sfxPack() { return env("BUILD_DIR") + "/run/data/sfx.pkf"; }

// ---- The table, read with the same tokenizer the game uses ---------------

struct Row {
    std::string kind, name;
    std::vector<int32_t> v;  // numeric fields after the name (and maker/ttf)
};

std::vector<Row> readTable() {
    std::ifstream in(env("SRC_DIR") + "/assets/assets.txt");
    std::stringstream ss;
    ss << in.rdbuf();
    Parser lines(ss.str(), "\n\r"), fields("", " \t");
    std::vector<Row> rows;
    for (int32_t i = 0; i < lines.count(); ++i) {
        fields.setText(lines.show(i));
        if (fields.count() == 0 || fields.show(0)[0] == '#') continue;
        Row r{fields.show(0), fields.show(1), {}};
        // kind, name and maker (or font file) come before the numbers
        for (int32_t f = 3; f < fields.count(); ++f) r.v.push_back(fields.val(f));
        rows.push_back(r);
    }
    return rows;
}

const Row* findRow(const std::vector<Row>& rows, const std::string& name) {
    for (const Row& r : rows)
        if (r.name == name) return &r;
    return nullptr;
}

// ---- Pack access -----------------------------------------------------------

struct Entry {
    std::unique_ptr<char[]> bytes;
    uint32_t size = 0;
    bool ok() const { return bytes != nullptr; }
};

Entry load(Resfile& pack, const std::string& packName, const std::string& name) {
    Entry e;
    e.bytes.reset(pack.load(packName.c_str(), name.c_str(), -1));
    e.size = e.bytes ? pack.size() : 0;
    return e;
}

struct AnimLine {
    int32_t frames, x, y, w, h, hotX, hotY, speed, loop;
};

// Reads an animation text exactly like the sprite loader: lines split at
// "\n\r", fields at " \t", 7 to 9 fields, "#" lines are comments.
std::vector<AnimLine> parseAnims(const char* text) {
    Parser lines(text, "\n\r"), f("", " \t");
    std::vector<AnimLine> out;
    for (int32_t i = 0; i < lines.count(); ++i) {
        f.setText(lines.show(i));
        if (f.count() < 7 || f.show(0) == "#") continue;
        AnimLine a{f.val(0), f.val(1), f.val(2), f.val(3), f.val(4), f.val(5), f.val(6),
                   f.count() >= 8 ? f.val(7) : 100, f.count() >= 9 ? f.val(8) : 0};
        out.push_back(a);
    }
    return out;
}

// One sprite out of the graphics pack: decoded bitmap, alpha plane, animations.
struct LoadedSprite {
    SDL_Surface* bmp = nullptr;
    Entry alpha;
    std::vector<AnimLine> anims;
    ~LoadedSprite() {
        if (bmp) SDL_FreeSurface(bmp);
    }
    // Straight colour and alpha of one bitmap pixel.
    void pixel(int x, int y, uint8_t& r, uint8_t& g, uint8_t& b, uint8_t& a) const {
        const uint8_t* p = static_cast<const uint8_t*>(bmp->pixels) + y * bmp->pitch + x * bmp->format->BytesPerPixel;
        uint32_t v = 0;
        for (int i = 0; i < bmp->format->BytesPerPixel; ++i) v |= uint32_t(p[i]) << (8 * i);
        SDL_GetRGB(v, bmp->format, &r, &g, &b);
        a = alpha.ok() ? uint8_t(alpha.bytes[y * bmp->w + x]) : 255;
    }
};

class Packs : public ::testing::Test {
protected:
    static void SetUpTestSuite() { SDL_Init(SDL_INIT_VIDEO | SDL_INIT_AUDIO); }
    static void TearDownTestSuite() { SDL_Quit(); }

    bool loadSprite(const std::string& name, LoadedSprite& s) {
        Entry bmp = load(gfx_, gfxPack(), name);
        if (!bmp.ok()) return false;
        s.bmp = SDL_LoadBMP_RW(SDL_RWFromMem(bmp.bytes.get(), int(bmp.size)), 1);
        if (!s.bmp) return false;
        std::string base = name.substr(0, name.size() - 3);
        s.alpha = load(gfx_, "", base + "smt");
        Entry txt = load(gfx_, "", base + "txt");
        if (!txt.ok()) return false;
        s.anims = parseAnims(txt.bytes.get());
        return true;
    }

    Resfile gfx_, sfx_;
    std::vector<Row> rows_ = readTable();
};

// ---- Table and packs agree -------------------------------------------------

TEST_F(Packs, EverySpriteHasItsCompanionsAndTheTablesGeometry) {
    int sprites = 0;
    for (const Row& r : rows_) {
        if (r.kind != "sprite") continue;
        ++sprites;
        SCOPED_TRACE(r.name);
        LoadedSprite s;
        ASSERT_TRUE(loadSprite(r.name, s)) << SDL_GetError();
        EXPECT_EQ(s.bmp->format->BitsPerPixel, 24);
        bool paired = r.v.size() == 11;
        ASSERT_EQ(int(s.anims.size()), r.v[0]);
        for (size_t a = 0; a < s.anims.size(); ++a) {
            SCOPED_TRACE("animation " + std::to_string(a));
            const AnimLine& l = s.anims[a];
            bool end = paired && (a & 1);
            EXPECT_EQ(l.frames, r.v[end ? 8 : 5]);
            EXPECT_EQ(l.speed, r.v[end ? 9 : 6]);
            EXPECT_EQ(l.loop, r.v[end ? 10 : 7]);
            EXPECT_LT(l.loop, l.frames);
            EXPECT_EQ(l.w, r.v[1]);
            EXPECT_EQ(l.h, r.v[2]);
            EXPECT_EQ(l.hotX, r.v[3]);
            EXPECT_EQ(l.hotY, r.v[4]);
            // Every frame of the row lies inside the decoded bitmap.
            EXPECT_GE(l.x, 0);
            EXPECT_GE(l.y, 0);
            EXPECT_LE(l.x + l.frames * l.w, s.bmp->w);
            EXPECT_LE(l.y + l.h, s.bmp->h);
        }
        if (r.name == "ikona.bmp") {
            EXPECT_FALSE(s.alpha.ok()) << "the window icon is colour keyed";
        } else {
            ASSERT_TRUE(s.alpha.ok());
            EXPECT_EQ(s.alpha.size, uint32_t(s.bmp->w * s.bmp->h));
        }
    }
    EXPECT_GE(sprites, 24);
}

TEST_F(Packs, AnimationRowsDoNotOverlap) {
    for (const Row& r : rows_) {
        if (r.kind != "sprite" && r.kind != "font") continue;
        SCOPED_TRACE(r.name);
        LoadedSprite s;
        ASSERT_TRUE(loadSprite(r.name, s));
        for (size_t a = 0; a < s.anims.size(); ++a)
            for (size_t b = a + 1; b < s.anims.size(); ++b) {
                const AnimLine &p = s.anims[a], &q = s.anims[b];
                bool apart = p.x + p.frames * p.w <= q.x || q.x + q.frames * q.w <= p.x ||
                             p.y + p.h <= q.y || q.y + q.h <= p.y;
                EXPECT_TRUE(apart) << "animations " << a << " and " << b;
            }
    }
}

// The numbers the game's code hard-wires: the table must keep to them.
TEST_F(Packs, GeometryTheGameCodeReliesOn) {
    struct Want {
        const char* name;
        int anims, w, h, hotX, hotY;
    } wants[] = {
        {"kursor.bmp", 12, 12, 24, 0, 0},       {"mucha01.bmp", 64, -1, -1, -2, -2},
        {"wep_bomb.bmp", 3, 30, 30, 15, 15},    {"wep_flame.bmp", 3, 30, 30, 15, 15},
        {"wep_airstrike.bmp", 3, 30, 30, 15, 15}, {"wep_concrete.bmp", 3, 30, 30, 15, 15},
        {"wep_armageddon.bmp", 3, 30, 30, 15, 15}, {"wep_bzykolot.bmp", 3, 30, 30, 15, 15},
        {"menu_start.bmp", 1, 32, 96, 16, 96},  {"menu_wyniki.bmp", 1, 32, 96, 16, 96},
        {"menu_koniec.bmp", 1, 32, 96, 16, 96}, {"ikona.bmp", 1, 32, 32, -2, -2},
    };
    for (const Want& w : wants) {
        SCOPED_TRACE(w.name);
        LoadedSprite s;
        ASSERT_TRUE(loadSprite(w.name, s));
        ASSERT_EQ(int(s.anims.size()), w.anims);
        for (const AnimLine& l : s.anims) {
            if (w.w > 0) {
                EXPECT_EQ(l.w, w.w);
            }
            if (w.h > 0) {
                EXPECT_EQ(l.h, w.h);
            }
            if (w.hotX == -2) {  // centred
                EXPECT_EQ(l.hotX, l.w / 2);
                EXPECT_EQ(l.hotY, l.h / 2);
            } else {
                EXPECT_EQ(l.hotX, w.hotX);
                EXPECT_EQ(l.hotY, w.hotY);
            }
        }
    }
    LoadedSprite cursor, buttons, panel;
    ASSERT_TRUE(loadSprite("kursor.bmp", cursor));
    for (size_t a = 1; a < cursor.anims.size(); a += 2) EXPECT_LE(cursor.anims[a].frames, 20);
    ASSERT_TRUE(loadSprite("menu_start.bmp", buttons));
    EXPECT_GE(buttons.anims[0].frames, 2);
    ASSERT_TRUE(loadSprite("hiscores.bmp", panel));
    EXPECT_LE(panel.anims[0].w, 522);
    EXPECT_LE(panel.anims[0].h, 266);
    EXPECT_EQ(panel.anims[0].hotX, 0);
    EXPECT_EQ(panel.anims[0].hotY, 0);
    // Particle endings must fit the lives their creators give them.
    struct Ending {
        const char* name;
        int maxFrames;
    } endings[] = {{"particle.bmp", 50}, {"krew.bmp", 50}, {"iskra.bmp", 20}, {"energia.bmp", 50}};
    for (const Ending& e : endings) {
        SCOPED_TRACE(e.name);
        LoadedSprite s;
        ASSERT_TRUE(loadSprite(e.name, s));
        ASSERT_GE(s.anims.size(), 2u);
        EXPECT_EQ(s.anims.size() % 2, 0u);
        for (size_t a = 1; a < s.anims.size(); a += 2) EXPECT_LE(s.anims[a].frames, e.maxFrames);
    }
}

TEST_F(Packs, WindowIconIsKeyedOnMagenta) {
    LoadedSprite icon;
    ASSERT_TRUE(loadSprite("ikona.bmp", icon));
    ASSERT_EQ(icon.bmp->w, 32);
    ASSERT_EQ(icon.bmp->h, 32);
    int keyed = 0, nearKey = 0;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            uint8_t r, g, b, a;
            icon.pixel(x, y, r, g, b, a);
            if (r == 255 && g == 0 && b == 255) ++keyed;
            else if (r == 255 && b == 255) ++nearKey;  // would vanish under the key too
        }
    EXPECT_GT(keyed, 0) << "the corners are transparent";
    EXPECT_LT(keyed, 100) << "the icon is mostly picture";
    EXPECT_EQ(nearKey, 0);
}

// ---- Fonts -------------------------------------------------------------------

// Widest pen run of a text under the bitmap-text rules (space and missing
// glyphs advance spaceWidth, glyphs w + 1, tabs to multiples of 4 spaces from
// x 0, wrap after a space beyond wrapWidth).
int textWidth(const std::vector<AnimLine>& font, const std::string& text, int spaceW, unsigned wrapW) {
    int x = 0, widest = 0;
    for (unsigned char c : text) {
        if (c == '\n') {
            x = 0;
            continue;
        }
        if (c == ' ') x += spaceW;
        else if (c == '\t') x = ((x + 1) / (4 * spaceW)) * 4 * spaceW + 4 * spaceW;
        else if (c - 32 >= 0 && size_t(c - 32) < font.size()) x += font[c - 32].w + 1;
        else x += spaceW;
        widest = std::max(widest, x);
        if (c == ' ' && unsigned(x) > wrapW) x = 0;
    }
    return widest;
}

TEST_F(Packs, FontsHaveEveryGlyphAndFitTheirBoxes) {
    for (const Row& r : rows_) {
        if (r.kind != "font") continue;
        SCOPED_TRACE(r.name);
        LoadedSprite s;
        ASSERT_TRUE(loadSprite(r.name, s));
        ASSERT_EQ(s.anims.size(), 95u);
        int lineH = r.v[1], digitW = r.v[2], maxW = r.v[3];
        for (size_t k = 0; k < s.anims.size(); ++k) {
            const AnimLine& g = s.anims[k];
            SCOPED_TRACE(std::string(1, char(32 + k)));
            EXPECT_EQ(g.frames, 1);
            EXPECT_EQ(g.hotX, 0);
            EXPECT_EQ(g.hotY, 0);
            EXPECT_EQ(g.h, lineH);
            EXPECT_GE(g.w, 1);
            EXPECT_LE(g.w, maxW);
            if (k >= 16 && k <= 25) {
                EXPECT_EQ(g.w, digitW);
            }
            // Something is drawn for every visible character.
            if (k == 0) continue;
            int ink = 0;
            for (int y = 0; y < g.h; ++y)
                for (int x = 0; x < g.w; ++x) {
                    uint8_t cr, cg, cb, ca;
                    s.pixel(g.x + x, g.y + y, cr, cg, cb, ca);
                    ink += ca > 128;
                }
            EXPECT_GT(ink, 0);
        }
    }
    LoadedSprite hud, panel;
    ASSERT_TRUE(loadSprite("font_00.bmp", hud));
    ASSERT_TRUE(loadSprite("font_00a.bmp", panel));
    // The weapon ring repaints 104 x 20 pixels for its counters line.
    EXPECT_LE(hud.anims[0].h, 20);
    EXPECT_LE(textWidth(hud.anims, "999    999", 12, 96), 104);
    EXPECT_LE(textWidth(hud.anims, "000    000", 12, 96), 104);
    // Eleven lines of the score table inside the 266-pixel panel, text at +5.
    EXPECT_LE(panel.anims[0].h * 11 + 5, 266);
    // The panel's texts stay inside its 512 pixels.
    const char* texts[] = {
        "Pokonanych much: 9999\nPrzetrwano: 99999s\n\nNie udalo sie wyslac. Wyslac ponownie? (Enter/Escape)",
        "Pokonanych much: 9999\nPrzetrwano: 99999s\n\nWpisz nick: Kot_w_butach_2024_mistrz_much_x",
        "Nie udalo sie pobrac wynikow.",
        "Muchy:\n01.\t Kot_w_butach_2024_mistrz_much_x\t 2147483647\n10.\t Zzzzz\t 1\n",
    };
    for (const char* t : texts) EXPECT_LE(textWidth(panel.anims, t, 12, 448), 512) << t;
}

// ---- The pictures say what they must ------------------------------------------

// Animation 2k shows the fly heading into sector k (k * 11.25 degrees counter-
// clockwise from "right", y up): its red eyes must lie that way from the centre.
TEST_F(Packs, FlyFacesItsDirectionOfTravel) {
    LoadedSprite fly;
    ASSERT_TRUE(loadSprite("mucha01.bmp", fly));
    int sectors = int(fly.anims.size()) / 2;
    for (int k = 0; k < sectors; ++k) {
        SCOPED_TRACE("sector " + std::to_string(k));
        const AnimLine& a = fly.anims[2 * k];
        double sx = 0, sy = 0, n = 0;
        for (int y = 0; y < a.h; ++y)
            for (int x = 0; x < a.w; ++x) {
                uint8_t r, g, b, al;
                fly.pixel(a.x + x, a.y + y, r, g, b, al);
                if (al > 160 && r > 120 && r > 2 * g && r > 2 * b) {
                    sx += x + 0.5 - a.hotX;
                    sy += y + 0.5 - a.hotY;
                    ++n;
                }
            }
        ASSERT_GT(n, 4);
        double deg = std::atan2(-sy / n, sx / n) * 180 / M_PI;
        double want = (k + 0.5) * 360.0 / sectors;
        double diff = std::fmod(deg - want + 720 + 180, 360.0) - 180;
        EXPECT_LT(std::fabs(diff), 12.0) << "eyes at " << deg << " degrees";
    }
}

// The six looks must tell health apart at a glance: their mean colours differ.
TEST_F(Packs, CursorLooksAreClearlyDifferent) {
    LoadedSprite c;
    ASSERT_TRUE(loadSprite("kursor.bmp", c));
    std::vector<std::array<double, 3>> means;
    for (size_t j = 0; j < 6; ++j) {
        const AnimLine& a = c.anims[2 * j];
        double m[3] = {0, 0, 0}, n = 0;
        int tipAlpha = 0;
        for (int y = 0; y < a.h; ++y)
            for (int x = 0; x < a.w; ++x) {
                uint8_t r, g, b, al;
                c.pixel(a.x + x, a.y + y, r, g, b, al);
                if (x < 2 && y < 2) tipAlpha = std::max<int>(tipAlpha, al);
                if (al < 200) continue;
                m[0] += r; m[1] += g; m[2] += b; ++n;
            }
        EXPECT_GT(tipAlpha, 128) << "the tip is at the hot spot (0, 0), look " << j;
        ASSERT_GT(n, 40);
        means.push_back({m[0] / n, m[1] / n, m[2] / n});
    }
    for (size_t i = 0; i < means.size(); ++i)
        for (size_t j = i + 1; j < means.size(); ++j) {
            double d = std::sqrt(std::pow(means[i][0] - means[j][0], 2) + std::pow(means[i][1] - means[j][1], 2) +
                                 std::pow(means[i][2] - means[j][2], 2));
            EXPECT_GT(d, 20) << "looks " << i << " and " << j;
        }
    // Each crumbling end ends (nearly) invisible.
    for (size_t j = 0; j < 6; ++j) {
        const AnimLine& a = c.anims[2 * j + 1];
        int last = a.frames - 1, opaque = 0;
        for (int y = 0; y < a.h; ++y)
            for (int x = 0; x < a.w; ++x) {
                uint8_t r, g, b, al;
                c.pixel(a.x + last * a.w + x, a.y + y, r, g, b, al);
                opaque += al > 64;
            }
        EXPECT_EQ(opaque, 0) << "look " << j;
    }
}

// ---- Sounds ------------------------------------------------------------------------

TEST_F(Packs, EverySoundDecodesConvertsAndIsAudible) {
    std::set<std::string> formats;
    int sounds = 0;
    for (const Row& r : rows_) {
        if (r.kind != "sound") continue;
        ++sounds;
        SCOPED_TRACE(r.name);
        Entry e = load(sfx_, sfxPack(), r.name);
        ASSERT_TRUE(e.ok());
        SDL_AudioSpec spec;
        Uint8* buf = nullptr;
        Uint32 len = 0;
        ASSERT_TRUE(SDL_LoadWAV_RW(SDL_RWFromMem(e.bytes.get(), int(e.size)), 1, &spec, &buf, &len))
            << SDL_GetError();
        EXPECT_EQ(int(spec.freq), r.v[0]);
        EXPECT_EQ(int(spec.channels), r.v[1]);
        EXPECT_EQ(spec.format, r.v[2] == 8 ? AUDIO_U8 : AUDIO_S16LSB);
        formats.insert(std::to_string(spec.freq) + "/" + std::to_string(spec.channels) + "/" +
                       std::to_string(spec.format));
        // Loud enough to hear: the peak reaches at least a third of full scale.
        int peak = 0;
        if (spec.format == AUDIO_U8)
            for (Uint32 i = 0; i < len; ++i) peak = std::max(peak, std::abs(int(buf[i]) - 128) * 256);
        else
            for (Uint32 i = 0; i + 1 < len; i += 2) peak = std::max(peak, std::abs(int(int16_t(buf[i] | buf[i + 1] << 8))));
        EXPECT_GT(peak, 32767 / 3);
        EXPECT_GT(len / (spec.channels * (r.v[2] / 8)), Uint32(spec.freq / 20)) << "at least 50 ms";
        // The game converts every sound to 22050 Hz stereo 16-bit when it plays it.
        SDL_AudioCVT cvt;
        EXPECT_GE(SDL_BuildAudioCVT(&cvt, spec.format, spec.channels, spec.freq, AUDIO_S16LSB, 2, 22050), 0);
        SDL_FreeWAV(buf);
    }
    EXPECT_EQ(sounds, 7);
    EXPECT_GE(formats.size(), 3u) << "the packs exercise the conversion";
}

TEST_F(Packs, GameNamesAreAllPresent) {
    const char* gfx[] = {"kursor.bmp", "mucha01.bmp", "wybuch01.bmp", "bzykolot.bmp", "granat.bmp",
                         "airstrike.bmp", "kurczak.bmp", "meteor.bmp", "particle.bmp", "krew.bmp",
                         "iskra.bmp", "energia.bmp", "drop.bmp", "wep_bomb.bmp", "wep_flame.bmp",
                         "wep_airstrike.bmp", "wep_concrete.bmp", "wep_armageddon.bmp", "wep_bzykolot.bmp",
                         "menu_start.bmp", "menu_wyniki.bmp", "menu_koniec.bmp", "hiscores.bmp",
                         "font_00.bmp", "font_00a.bmp", "ikona.bmp"};
    for (const char* n : gfx) {
        EXPECT_NE(findRow(rows_, n), nullptr) << n;
        EXPECT_TRUE(load(gfx_, gfxPack(), n).ok()) << n;
    }
    const char* sfx[] = {"hit.wav", "drop.wav", "flame.wav", "explosion00.wav", "fireball.wav", "flybuzz.wav",
                         "boing.wav"};
    for (const char* n : sfx) {
        EXPECT_NE(findRow(rows_, n), nullptr) << n;
        EXPECT_TRUE(load(sfx_, sfxPack(), n).ok()) << n;
    }
}

}  // namespace

// Sprites from packs written here, then sprites and bitmap text drawn and
// read back from the screen.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>

#include "media/sprite.h"
#include "media/text.h"
#include "media/video.h"
#include "testutil.h"

using testutil::CaptureStdout;
using Lines = std::vector<std::string>;

namespace {

// A 24-bit BMP file of w x h pixels coloured 0xRRGGBB by `colour` of the column.
std::string bmp(int w, int h, const std::function<Uint32(int x)>& colour = [](int) { return 0x123456u; }) {
    SDL_Surface* s = SDL_CreateRGBSurface(SDL_SWSURFACE, w, h, 24, 0xff0000, 0x00ff00, 0x0000ff, 0);
    for (int i = 0; i < w * h; ++i) {
        Uint8* p = static_cast<Uint8*>(s->pixels) + i / w * s->pitch + 3 * (i % w);
        p[0] = Uint8(colour(i % w)), p[1] = Uint8(colour(i % w) >> 8), p[2] = Uint8(colour(i % w) >> 16);
    }
    const std::string path = testutil::tempDir("bmp") + "/x.bmp";
    SDL_SaveBMP(s, path.c_str());
    SDL_FreeSurface(s);
    return testutil::readFile(path);
}

// Pixel (x, y) of a 32-bit surface: its alpha, or its colour without alpha.
Uint32 pixel(SDL_Surface* s, int x, int y, bool alpha = false) {
    Uint8 r, g, b, a;
    SDL_GetRGBA(*reinterpret_cast<const Uint32*>(static_cast<Uint8*>(s->pixels) + y * s->pitch + 4 * x), s->format, &r,
                &g, &b, &a);
    return alpha ? a : Uint32(r << 16 | g << 8 | b);
}

// A surface of w x h whose column x has colour 0x100 * x + 0x40.
SDL_Surface* columns(int w, int h) {
    SDL_Surface* s = SDL_CreateRGBSurface(SDL_SWSURFACE | SDL_SRCALPHA, w, h, 32, 0xff0000, 0xff00, 0xff, 0xff000000);
    for (int x = 0; x < w; ++x) {
        SDL_Rect col{Sint16(x), 0, 1, Uint16(h)};
        SDL_FillRect(s, &col, 0xff000000u | (0x100u * x + 0x40));
    }
    return s;
}

class SpriteTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0);
        ASSERT_NE(screen = SDL_SetVideoMode(320, 200, 32, 0), nullptr) << SDL_GetError();
    }
    void TearDown() override {
        CaptureStdout quiet;
        Sprite::clear(registry);
    }
    // Loads the pack into `registry`; returns the sprite library's log lines.
    static Lines load(const std::vector<testutil::PackEntry>& entries) {
        static int serial = 0;  // a fresh name: the reader keeps a pack it already has open
        const std::string path = testutil::tempDir("gfx") + "/gfx" + std::to_string(++serial) + ".pkf";
        testutil::writePack(lastPack = path, entries);
        CaptureStdout cap;
        Sprite::load(path.c_str(), registry);
        Lines out;
        std::istringstream in(cap.stop());
        for (std::string line; std::getline(in, line);)
            if (line.find("Sprite.") != std::string::npos) out.push_back(line);
        return out;
    }
    // Whether the rules' reading of the pack, without pixels, gives every
    // sprite the animations the library gave it.
    static bool rulesAgree(const std::string& pack) {
        PackSheets sheets;
        CaptureStdout quiet;  // the rules' reading logs nothing
        if (!sheets.load(pack, nullptr) || sheetDigest(sheets.all()) != sheetDigest(spriteSheets(registry)) ||
            !quiet.stop().empty())
            return false;
        for (const auto& [name, sprite] : registry) {
            const Sheet* s = sheets.find(name);
            auto same = [](const Anim& a, const Anim& b) { return memcmp(&a, &b, sizeof a) == 0; };
            if (sprite && (!s || !std::equal(s->anims.begin(), s->anims.end(), sprite->anims.begin(), sprite->anims.end(), same)))
                return false;
        }
        return true;
    }
    static SpriteMap registry;
    static std::string lastPack;
};
SpriteMap SpriteTest::registry;
std::string SpriteTest::lastPack;

// An OS/2 bitmap (the 12-byte header) of 2 x 2 pixels, 24 bits.
std::string coreBmp() {
    std::string b = "BM" + std::string(8, '\0') + std::string("\x1a\0\0\0\x0c\0\0\0\x02\0\x02\0\x01\0\x18\0", 16);
    b += std::string(16, '\x40');  // two rows of 6 bytes, padded to 8
    b[2] = char(b.size());
    return b;
}

TEST_F(SpriteTest, FailedStepsStopTheSpriteNotTheLoadAndWithoutAlphaMagentaIsKeyedOut) {
    const Uint32 row[] = {0xff00ff, 0xfffeff, 0xff80ff, 0xffffff, 0xfe00ff, 0xff00fe, 0x000000};
    std::string twoBits = bmp(2, 2);
    twoBits[28] = 2;  // a depth SDL has no palette for
    registry["absent.bmp"];  // a look-up of a name not present
    EXPECT_EQ(load({{"key.bmp", bmp(7, 1, [&](int x) { return row[x]; })}, {"key.txt", "1 0 0 7 1 0 0"},
                    {"noanim.bmp", bmp(2, 2)}, {"badalpha.bmp", bmp(2, 2)}, {"badalpha.smt", ""},
                    {"badalpha.txt", "1 0 0 2 2 0 0"}, {"broken.bmp", "BM but not a bitmap"}, {"ok.bmp", bmp(2, 2)},
                    {"ok.smt", "\x01\x02\x03\x04"}, {"ok.txt", "1 0 0 2 2 0 0"}, {"notes.TXT", "x"}, {"BM", "x"},
                    {"os2.bmp", coreBmp()}, {"os2.smt", "\x01\x02\x03\x04"}, {"os2.txt", "1 0 0 2 2 0 0"},
                    {"odd.bmp", twoBits}, {"odd.txt", "1 0 0 2 2 0 0"}}),
              (Lines{"INFO: Sprite.load: Czyszczenie mapy", "FAIL: Sprite.clear: NULL (absent.bmp)",
                     "OK  : Sprite.load: Skasowano grafiki",
                     "FAIL: Sprite.loadAnim: Nie udalo sie wczytac informacji o animacjach (noanim.txt)",
                     "FAIL: Sprite.load: Nie wczytano animacji",
                     "FAIL: Sprite.loadAlpha: Niezgodne wielkosci obrazow (badalpha.smt)",
                     "FAIL: Sprite.load: Nie wczytano alfy",
                     "FAIL: Sprite.loadGfx: Nie udalo sie wczytac grafiki (broken.bmp)",
                     "FAIL: Sprite.load: Nie wczytano grafiki",
                     "FAIL: Sprite.loadGfx: Nie udalo sie wczytac grafiki (odd.bmp)",
                     "FAIL: Sprite.load: Nie wczytano grafiki", "OK  : Sprite.load: Grafiki wczytane"}));
    ASSERT_EQ(registry.size(), 7u) << "each stays registered with what it got";
    EXPECT_EQ(animCount(registry["os2.bmp"].get()), 1);
    EXPECT_TRUE(rulesAgree(lastPack));
    EXPECT_TRUE(registry["badalpha.bmp"]->mask.empty() && !animCount(registry["badalpha.bmp"].get()));
    EXPECT_EQ(registry["ok.bmp"]->mask, std::vector<uint8_t>(4, 0));
    const Uint8 keyed[] = {0, 0, 0, 255, 255, 255, 255};  // red and blue 255, green below 255
    for (int x = 0; x < 7; ++x) EXPECT_EQ(pixel(registry["key.bmp"]->bitmap, x, 0, true), keyed[x]) << x;
    for (int i = 0; i < 4; ++i) EXPECT_EQ(pixel(registry["ok.bmp"]->bitmap, i % 2, i / 2, true), Uint32(i + 1)) << i;
}

TEST_F(SpriteTest, AnimationLinesCommentsAndLineEnds) {
    const std::string text = "1 2 3 4 5 6\n"                 // 6 fields: reported, skipped
                             "1 2 3 4 5 6 7\n"               // speed 100, loop 0
                             "1 2 3 4 5 6 7 8\r\n"
                             "1 2 3 4 5 6 7 8 9 10 11 12\r\n\r\n"  // fields after the ninth ignored
                             "2 2 3 4 5 6 7 8 9\n"          // exactly nine: the loop frame read
                             "# 1 2 3 4 5 6\n"               // a comment
                             "#1 2 3 4 5 6 7\n"              // not a comment: first field reads 0
                             "\t-4\t+5  x 7 8 9 10\n";
    const std::string shortLine = "FAIL: Sprite.loadAnim: Brak wszystkich wymaganych informacji o animacji (an.txt)";
    EXPECT_EQ(load({{"an.bmp", bmp(4, 4)}, {"an.txt", text + std::string("\0" "9 9 9 9 9 9 9\n", 15)}}),
              (Lines{shortLine, "OK  : Sprite.load: Grafiki wczytane"}));
    std::vector<std::vector<int32_t>> got;  // text after a zero byte is not read
    for (const Anim& a : registry["an.bmp"]->anims)
        got.push_back({a.frames, a.x, a.y, a.w, a.h, a.hotX, a.hotY, a.speed, a.loopFrame});
    EXPECT_EQ(got, (std::vector<std::vector<int32_t>>{{1, 2, 3, 4, 5, 6, 7, 100, 0}, {1, 2, 3, 4, 5, 6, 7, 8, 0},
                                                      {1, 2, 3, 4, 5, 6, 7, 8, 9}, {2, 2, 3, 4, 5, 6, 7, 8, 9}, {0, 2, 3, 4, 5, 6, 7, 100, 0},
                                                      {-4, 5, 0, 7, 8, 9, 10, 100, 0}}));
    EXPECT_TRUE(rulesAgree(lastPack));
    EXPECT_EQ(load({{"lone.bmp", bmp(2, 2)}}).back(), "OK  : Sprite.load: Grafiki wczytane") << "a pack of one entry";
    CaptureStdout quiet;
    Sprite::load(TEST_BUILD_DIR "/run/data/gfx.pkf", registry);
    EXPECT_TRUE(rulesAgree(TEST_BUILD_DIR "/run/data/gfx.pkf")) << "the game's own pack";
}

TEST_F(SpriteTest, PrintPlacesTheHotSpotTakesTheFrameAndRefusesBadIndices) {
    // Animation 0: 32 x 32 hot at the centre; animation 1: 8 x 4 from x 10, hot at the corner.
    Sprite sprite;
    sprite.bitmap = columns(128, 32);
    sprite.anims = {Anim{4, 0, 0, 32, 32, 16, 16, 100, 0}, Anim{3, 10, 0, 8, 4, 0, 0, 100, 0}};
    struct Row { int anim, frame, x, y, px, py; Uint32 colour; } rows[] = {  // print call, screen pixel, 0: black
        {0, 0, 100, 50, 84, 34, 0x000040}, {0, 0, 100, 50, 115, 65, 0x001f40}, {0, 0, 100, 50, 83, 34, 0},
        {0, 0, 100, 50, 84, 33, 0},        {0, 0, 100, 50, 116, 65, 0},        {0, 0, 100, 50, 115, 66, 0},
        {1, 2, 40, 40, 40, 40, 0x001a40},  {1, 2, 40, 40, 47, 43, 0x002140},  {1, 2, 40, 40, 48, 40, 0},
        {1, 2, 40, 40, 47, 44, 0},         {2, 0, 50, 50, 50, 50, 0},          {-1, 0, 50, 50, 50, 50, 0}};
    CaptureStdout cap;
    for (const Row& r : rows) {
        SDL_FillRect(screen, nullptr, 0);
        Sprite::print(&sprite, uint32_t(r.anim), r.frame, r.x, r.y);
        EXPECT_EQ(pixel(screen, r.px, r.py), r.colour) << r.anim << "/" << r.frame << ", pixel " << r.px << "," << r.py;
    }
    EXPECT_TRUE(!Sprite::getAnim(&sprite, 2) && !Sprite::getAnim(&sprite, -1) && Sprite::getAnim(&sprite, 1) == &sprite.anims[1]);
    EXPECT_EQ(cap.stop(), "FAIL: Sprite.print: Brak animacji 2\nFAIL: Sprite.print: Brak animacji -1\n"
                          "FAIL: Sprite.getAnim: Nie ma takiej animacji (2)\nFAIL: Sprite.getAnim: Nie ma takiej animacji (-1)\n");
}

// Glyph k of the font is 6 x 10 pixels ('i' 0 wide) in a colour of its own,
// so the place of every drawn character can be found on the screen.
TEST_F(SpriteTest, TextLayout) {
    Sprite font;
    font.bitmap = columns(8 * 91, 10);  // ' ' to 'z'
    for (int k = 0; k < 91; ++k) font.anims.push_back(Anim{1, 8 * k, 0, k == 'i' - 32 ? 0 : 6, 10, 0, 0, 100, 0});
    // Where character c's glyph starts: the column colour of its own first column.
    auto at = [&](int x, int y, char c) { return x >= 0 && y >= 0 && pixel(screen, x, y) == 0x100u * 8 * (c - 32) + 0x40; };
    struct Row { int left, top; std::string text; char c; int x, y; } rows[] = {
        {30, 20, "AB\nC", 'B', 37, 20},  // width + 1
        {30, 20, "AB\nC", 'C', 30, 30},  // line height from the space glyph
        {0, 0, "\tA", 'A', 48, 0},       // tab stops every 4 spaces from screen x 0
        {46, 0, "\tA", 'A', 48, 0},
        {47, 0, "\tA", 'A', 96, 0},
        {0, 0, std::string(12, 'A') + " B", 'B', 96, 0},  // wrap after a space that passes 96
        {0, 0, std::string(12, 'A') + "i B", 'B', 0, 10},
        {0, 0, std::string(20, 'A') + " B", 'A', 133, 0},
        {0, 0, "A{\r\xc3" "B", 'B', 43, 0},  // missing glyphs and controls advance a space
    };
    for (const Row& r : rows) {
        SDL_FillRect(screen, nullptr, 0);
        Text t(r.left, r.top, &font, r.text.c_str(), 96, 12, 0);
        t.draw();
        EXPECT_TRUE(at(r.x, r.y, r.c) && !at(r.x - 1, r.y, r.c) && !at(r.x, r.y - 1, r.c)) << r.text << ": " << r.c;
    }
    SDL_FillRect(screen, nullptr, 0);
    Text tabless(3, 0, &font, "", 96, 0, 14);
    tabless.setText(std::string("\tA\0B", 4).c_str());
    tabless.draw();
    EXPECT_TRUE(at(3, 0, 'A') && tabless.lineHeight == 14) << "no space width: a tab neither moves nor divides by zero";
    CaptureStdout cap;  // no font: logged, and drawn as nothing
    EXPECT_EQ((Text(0, 0, nullptr, "x", 96, 12, 0).draw(), cap.stop()), "FAIL: Text.Text: Null sprite\n");
    SDL_FreeSurface(font.bitmap);
    font.bitmap = nullptr;
}

}  // namespace

// Sprite library against packs written here, then drawing read back from the screen.
#include <gtest/gtest.h>

#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "media/sprite.h"
#include "media/video.h"
#include "testutil.h"

using testutil::CaptureStdout;
using testutil::PackEntry;
using Lines = std::vector<std::string>;

namespace {

const std::string kLoaded = "OK  : Sprite.load: Grafiki wczytane";

// A 24-bit BMP file of w x h pixels coloured 0xRRGGBB by `colour`.
std::string bmp(int w, int h, const std::function<Uint32(int x)>& colour) {
    SDL_Surface* s = SDL_CreateRGBSurface(SDL_SWSURFACE, w, h, 24, 0xff0000, 0x00ff00, 0x0000ff, 0);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            Uint8* p = static_cast<Uint8*>(s->pixels) + y * s->pitch + 3 * x;
            const Uint32 c = colour(x);
            p[0] = c & 0xff, p[1] = c >> 8 & 0xff, p[2] = c >> 16 & 0xff;
        }
    const std::string path = testutil::tempDir("bmp") + "/x.bmp";
    SDL_SaveBMP(s, path.c_str());
    SDL_FreeSurface(s);
    return testutil::readFile(path);
}
std::string solid(int w, int h) {
    return bmp(w, h, [](int) { return 0x123456u; });
}

// The sprite library's lines of a log (the pack reader's left out).
Lines spriteLines(const std::string& log) {
    Lines out;
    std::istringstream in(log);
    for (std::string line; std::getline(in, line);)
        if (line.find("Sprite.") != std::string::npos) out.push_back(line);
    return out;
}

// Pixel (x, y) of a 32-bit surface: its alpha, or its colour without alpha.
Uint32 pixel(SDL_Surface* s, int x, int y, bool alpha = false) {
    Uint8 r, g, b, a;
    const Uint8* p = static_cast<Uint8*>(s->pixels) + y * s->pitch + 4 * x;
    SDL_GetRGBA(*reinterpret_cast<const Uint32*>(p), s->format, &r, &g, &b, &a);
    return alpha ? a : (r << 16 | g << 8 | b);
}

class SpriteTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0);
        ASSERT_NE(screen = SDL_SetVideoMode(200, 120, 32, 0), nullptr) << SDL_GetError();
    }
    void TearDown() override {
        CaptureStdout quiet;
        Sprite::clear(registry);
    }
    // Loads the pack into `registry` under a fresh name (the reader keeps a pack it already has open); returns the log.
    static std::string load(const std::vector<PackEntry>& entries) {
        static int serial = 0;
        const std::string path = testutil::tempDir("gfx") + "/gfx" + std::to_string(++serial) + ".pkf";
        testutil::writePack(path, entries);
        CaptureStdout cap;
        Sprite::load(path.c_str(), registry);
        return cap.stop();
    }
    static SpriteMap registry;
};
SpriteMap SpriteTest::registry;

TEST_F(SpriteTest, FailedStepsStopTheSpriteButNotTheLoadAndWithoutAnAlphaPlaneMagentaIsKeyedOut) {
    // Red 255 and blue 255 with any green below 255 is keyed out.
    const Uint32 row[] = {0xff00ff, 0xfffeff, 0xff80ff, 0xffffff, 0xfe00ff, 0xff00fe, 0x000000};
    const Uint8 keyed[] = {0, 0, 0, 255, 255, 255, 255};
    const std::string log = load({{"key.bmp", bmp(7, 1, [&](int x) { return row[x]; })},
                                  {"key.txt", "1 0 0 7 1 0 0"},
                                  {"noanim.bmp", solid(2, 2)},
                                  {"badalpha.bmp", solid(2, 2)},
                                  {"badalpha.smt", "abc"},  // 3 bytes for 4 pixels
                                  {"badalpha.txt", "1 0 0 2 2 0 0"},
                                  {"broken.bmp", "BM but not a bitmap"},
                                  {"ok.bmp", solid(2, 2)},
                                  {"ok.txt", "1 0 0 2 2 0 0"},
                                  {"notes.TXT", "x"}, {"BM", "x"}, {"upper.BMP", "x"}});  // not bitmaps
    EXPECT_EQ(spriteLines(log), (Lines{
                                    "FAIL: Sprite.loadAnim: Nie udalo sie wczytac informacji o animacjach (noanim.txt)",
                                    "FAIL: Sprite.load: Nie wczytano animacji",
                                    "FAIL: Sprite.loadAlpha: Niezgodne wielkosci obrazow (badalpha.smt)",
                                    "FAIL: Sprite.load: Nie wczytano alfy",
                                    "FAIL: Sprite.loadGfx: Nie udalo sie wczytac grafiki (broken.bmp)",
                                    "FAIL: Sprite.load: Nie wczytano grafiki",
                                    kLoaded,
                                }));
    // Each stays registered with what it got.
    ASSERT_EQ(registry.size(), 5u);
    EXPECT_TRUE(registry["badalpha.bmp"]->mask.empty() && !animCount(registry["badalpha.bmp"].get()));
    EXPECT_EQ(animCount(registry["ok.bmp"].get()), 1);
    for (int x = 0; x < 7; ++x) EXPECT_EQ(pixel(registry["key.bmp"]->bitmap, x, 0, true), keyed[x]) << x;
}

TEST_F(SpriteTest, LoadClearsTheRegistryAndReadsAnimationLinesCommentsAndLineEnds) {
    registry["absent.bmp"];  // a look-up of a name not present
    const std::string text =
        "1 2 3 4 5 6\n"                 // 6 fields: reported, skipped
        "1 2 3 4 5 6 7\n"               // speed 100, loop 0
        "1 2 3 4 5 6 7 8\r\n"           // loop 0
        "1 2 3 4 5 6 7 8 9\r\n\r\n"
        "1 2 3 4 5 6 7 8 9 10 11 12\n"  // fields after the ninth ignored
        "# 1 2 3 4 5 6\n"               // a comment
        "# short comment\n"             // reported like any short line
        "#1 2 3 4 5 6 7\n"              // not a comment: first field reads 0
        "\t-4\t+5  x 7 8 9 10\n\n";     // tabs, signs, a field without digits
    const std::string log = load({{"an.bmp", solid(4, 4)}, {"an.txt", text + std::string("\0" "9 9 9 9 9 9 9\n", 15)}});
    const std::string shortLine = "FAIL: Sprite.loadAnim: Brak wszystkich wymaganych informacji o animacji (an.txt)";
    EXPECT_EQ(spriteLines(log), (Lines{"INFO: Sprite.load: Czyszczenie mapy", "FAIL: Sprite.clear: NULL (absent.bmp)",
                                       "OK  : Sprite.load: Skasowano grafiki", shortLine, shortLine, kLoaded}));
    ASSERT_EQ(registry.size(), 1u);
    const std::vector<std::vector<int32_t>> want = {
        {1, 2, 3, 4, 5, 6, 7, 100, 0}, {1, 2, 3, 4, 5, 6, 7, 8, 0},  {1, 2, 3, 4, 5, 6, 7, 8, 9},
        {1, 2, 3, 4, 5, 6, 7, 8, 9},   {0, 2, 3, 4, 5, 6, 7, 100, 0}, {-4, 5, 0, 7, 8, 9, 10, 100, 0},
    };
    std::vector<std::vector<int32_t>> got;  // text after a zero byte is not read
    for (const Anim& a : registry["an.bmp"]->anims)
        got.push_back({a.frames, a.x, a.y, a.w, a.h, a.hotX, a.hotY, a.speed, a.loopFrame});
    EXPECT_EQ(got, want);
}

TEST_F(SpriteTest, AlphaIsWrittenThroughTheRealPitchAndAlphaByte) {
    load({{"pad.bmp", solid(3, 2)}, {"pad.smt", std::string("\x01\x02\x03\x04\x05\x06", 6)}});
    // 8 bytes of padding per row, alpha in the lowest byte, a guard area after the bitmap.
    const int pitch = 3 * 4 + 8;
    std::vector<Uint8> memory(pitch * 2 + 64, 0x11);
    Sprite s;
    s.bitmap = SDL_CreateRGBSurfaceFrom(memory.data(), 3, 2, 32, pitch, 0xff000000, 0xff0000, 0xff00, 0xff);
    CaptureStdout cap;
    EXPECT_TRUE(Sprite::loadAlpha("pad.smt", &s));
    cap.stop();
    for (size_t i = 0; i < memory.size(); ++i) {
        const size_t row = i / pitch, col = i % pitch;
        const bool alphaByte = row < 2 && col < 12 && col % 4 == 0;  // byte 0 of each pixel (little endian)
        EXPECT_EQ(memory[i], alphaByte ? Uint8(1 + row * 3 + col / 4) : 0x11) << "byte " << i;
    }
}

TEST_F(SpriteTest, PrintPlacesTheHotSpotTakesTheFrameAndRefusesBadIndices) {
    // Column x has colour 0x100 * x + 0x40. Animation 0: 32 x 32 hot at the centre;
    // animation 1: 8 x 4 from x 10, hot at the corner.
    Sprite sprite;
    sprite.bitmap = SDL_CreateRGBSurface(SDL_SWSURFACE | SDL_SRCALPHA, 128, 32, 32, 0xff0000, 0xff00, 0xff, 0xff000000);
    for (int x = 0; x < 128; ++x) {
        SDL_Rect col{Sint16(x), 0, 1, 32};
        SDL_FillRect(sprite.bitmap, &col, 0xff000000u | (0x100u * x + 0x40));
    }
    sprite.anims = {Anim{4, 0, 0, 32, 32, 16, 16, 100, 0}, Anim{3, 10, 0, 8, 4, 0, 0, 100, 0}};
    struct Row { int anim, frame, x, y, px, py; Uint32 colour; } rows[] = {  // print call, screen pixel, 0: black
        {0, 0, 100, 50, 84, 34, 0x000040}, {0, 0, 100, 50, 115, 65, 0x001f40}, {0, 0, 100, 50, 83, 34, 0},
        {0, 0, 100, 50, 84, 33, 0},        {0, 0, 100, 50, 116, 65, 0},        {0, 0, 100, 50, 115, 66, 0},
        {1, 2, 40, 40, 40, 40, 0x001a40},  {1, 2, 40, 40, 47, 43, 0x002140},  // frame 2: column 26
        {1, 2, 40, 40, 48, 40, 0},         {2, 0, 50, 50, 50, 50, 0},          {-1, 0, 50, 50, 50, 50, 0}};
    CaptureStdout cap;
    for (const Row& r : rows) {
        SDL_FillRect(screen, nullptr, 0);
        Sprite::print(&sprite, uint32_t(r.anim), r.frame, r.x, r.y);
        EXPECT_EQ(pixel(screen, r.px, r.py), r.colour) << r.anim << "/" << r.frame << ", pixel " << r.px << "," << r.py;
    }
    EXPECT_TRUE(Sprite::getAnim(&sprite, 2) == nullptr && Sprite::getAnim(&sprite, -1) == nullptr);
    EXPECT_EQ(Sprite::getAnim(&sprite, 1), &sprite.anims[1]);
    EXPECT_EQ(cap.stop(),
              "FAIL: Sprite.print: Brak animacji 2\n"
              "FAIL: Sprite.print: Brak animacji -1\n"
              "FAIL: Sprite.getAnim: Nie ma takiej animacji (2)\n"
              "FAIL: Sprite.getAnim: Nie ma takiej animacji (-1)\n");
}

}  // namespace

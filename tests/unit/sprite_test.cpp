// Sprite library against packs written here: alpha planes, the colour key
// family, missing companions, wrong-size alpha, animation lines of every
// length, comments, line ends; then drawing read back from the screen.
#include <gtest/gtest.h>

#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "core/game.h"
#include "media/sprite.h"
#include "testutil.h"

using testutil::CaptureStdout;
using testutil::PackEntry;
using Lines = std::vector<std::string>;

namespace {

constexpr int W = 200, H = 120;
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

Uint8 alphaAt(SDL_Surface* s, int x, int y) {
    Uint8 r, g, b, a;
    SDL_GetRGBA(*reinterpret_cast<Uint32*>(static_cast<Uint8*>(s->pixels) + y * s->pitch + 4 * x), s->format, &r,
                &g, &b, &a);
    return a;
}

class SpriteTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0);
        ASSERT_NE(screen = SDL_SetVideoMode(W, H, 32, 0), nullptr) << SDL_GetError();
    }
    static void TearDownTestSuite() {
        clearQuietly();
        SDL_Quit();
    }
    void SetUp() override { clearQuietly(); }
    static void clearQuietly() {
        CaptureStdout quiet;
        Sprite::clear(registry);
    }
    // Loads the pack into `registry` under a fresh name (the reader keeps a pack
    // it already has open); returns the log.
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

TEST_F(SpriteTest, AlphaPlaneOrMagentaColourKey) {
    const std::string plane = {0, 10, 20, 30, 40, char(255)};
    // Red 255 and blue 255 with any green below 255 is keyed out.
    const Uint32 row[] = {0xff00ff, 0xfffeff, 0xff80ff, 0xffffff, 0xfe00ff, 0xff00fe, 0x000000};
    const Uint8 keyed[] = {0, 0, 0, 255, 255, 255, 255};
    const std::string log = load({{"a.bmp", bmp(3, 2, [](int) { return 0x00ff00u; })},
                                  {"a.smt", plane},
                                  {"a.txt", "1 0 0 3 2 0 0\n"},
                                  {"key.bmp", bmp(7, 1, [&](int x) { return row[x]; })},
                                  {"key.txt", "1 0 0 7 1 0 0"}});
    EXPECT_EQ(spriteLines(log), Lines{kLoaded});
    EXPECT_NE(log.find("FAIL: Resfile.load: Nie znaleziono key.smt/-1 w "), std::string::npos)
        << "a missing alpha plane is the pack's ordinary not-found line";
    Sprite* s = registry["a.bmp"];
    ASSERT_NE(s->mask, nullptr);
    for (int k = 0; k < 6; ++k) {
        EXPECT_EQ(alphaAt(s->bitmap, k % 3, k / 3), Uint8(plane[k])) << "pixel " << k;
        EXPECT_EQ(s->mask[k], 0);
    }
    for (int x = 0; x < 7; ++x) EXPECT_EQ(alphaAt(registry["key.bmp"]->bitmap, x, 0), keyed[x]) << "pixel " << x;
}

TEST_F(SpriteTest, FailedStepsStopTheSpriteButNotTheLoad) {
    const std::string log = load({{"noanim.bmp", solid(2, 2)},
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
    ASSERT_EQ(registry.size(), 4u);
    EXPECT_TRUE(registry["noanim.bmp"]->mask && !animCount(registry["noanim.bmp"]));
    EXPECT_TRUE(registry["badalpha.bmp"]->bitmap && !registry["badalpha.bmp"]->mask);
    EXPECT_EQ(registry["broken.bmp"]->bitmap, nullptr);
    EXPECT_EQ(animCount(registry["ok.bmp"]), 1);
}

TEST_F(SpriteTest, AnimationLinesCommentsAndLineEnds) {
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
    const std::string log = load({{"an.bmp", solid(4, 4)},
                                  {"an.txt", text + std::string("\0" "9 9 9 9 9 9 9\n", 15)},
                                  {"lf.bmp", solid(4, 4)},
                                  {"lf.txt", "4 0 0 32 32 16 16 50 1\n\n2 0 32 8 8 0 0"}});
    const std::string shortLine = "FAIL: Sprite.loadAnim: Brak wszystkich wymaganych informacji o animacji (an.txt)";
    EXPECT_EQ(spriteLines(log), (Lines{shortLine, shortLine, kLoaded}));
    const std::vector<std::vector<int32_t>> want = {
        {1, 2, 3, 4, 5, 6, 7, 100, 0}, {1, 2, 3, 4, 5, 6, 7, 8, 0},  {1, 2, 3, 4, 5, 6, 7, 8, 9},
        {1, 2, 3, 4, 5, 6, 7, 8, 9},   {0, 2, 3, 4, 5, 6, 7, 100, 0}, {-4, 5, 0, 7, 8, 9, 10, 100, 0},
    };
    const Sprite* s = registry["an.bmp"];
    ASSERT_EQ(s->anims.size(), want.size()) << "text after a zero byte is not read";
    for (size_t i = 0; i < want.size(); ++i) {
        const Anim& a = s->anims[i];
        EXPECT_EQ((std::vector<int32_t>{a.frames, a.x, a.y, a.w, a.h, a.hotX, a.hotY, a.speed, a.loopFrame}),
                  want[i])
            << "line " << i;
    }
    ASSERT_EQ(animCount(registry["lf.bmp"]), 2);
    EXPECT_EQ(registry["lf.bmp"]->anims[1].y, 32);
}

TEST_F(SpriteTest, LoadingClearsTheRegistryFirst) {
    load({{"one.bmp", solid(1, 1)}, {"one.txt", "1 0 0 1 1 0 0"}});
    registry["absent.bmp"];  // a look-up of a name not present
    EXPECT_EQ(spriteLines(load({{"two.bmp", solid(1, 1)}, {"two.txt", "1 0 0 1 1 0 0"}})),
              (Lines{"INFO: Sprite.load: Czyszczenie mapy", "FAIL: Sprite.clear: NULL (absent.bmp)",
                     "OK  : Sprite.load: Skasowano grafiki", kLoaded}));
    EXPECT_EQ(registry.size(), 1u);
    EXPECT_EQ(registry.count("two.bmp"), 1u);
}

TEST_F(SpriteTest, AlphaIsWrittenThroughTheRealPitchAndAlphaByte) {
    load({{"pad.bmp", solid(3, 2)}, {"pad.smt", std::string("\x01\x02\x03\x04\x05\x06", 6)}});
    // 8 bytes of padding per row, alpha in the lowest byte, and a guard area
    // after the bitmap that catches any write past it.
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
    SDL_FreeSurface(s.bitmap);
}

// ---- Drawing, read back from the screen ----------------------------------------

Uint32 screenAt(int x, int y) {
    return *reinterpret_cast<Uint32*>(static_cast<Uint8*>(screen->pixels) + y * screen->pitch + 4 * x) & 0xffffff;
}

// Column x of the bitmap has colour 0x100 * x + 0x40. Animation 0: frames of
// 32 x 32 hot at the centre; animation 1: frames of 8 x 4 from x 10, hot at the corner.
class PrintTest : public SpriteTest {
protected:
    void SetUp() override {
        sprite.bitmap = SDL_CreateRGBSurface(SDL_SWSURFACE | SDL_SRCALPHA, 128, 32, 32, 0xff0000, 0xff00, 0xff,
                                             0xff000000);
        for (int x = 0; x < 128; ++x) {
            SDL_Rect col{Sint16(x), 0, 1, 32};
            SDL_FillRect(sprite.bitmap, &col, 0xff000000u | (0x100u * x + 0x40));
        }
        sprite.anims = {Anim{4, 0, 0, 32, 32, 16, 16, 100, 0}, Anim{3, 10, 0, 8, 4, 0, 0, 100, 0}};
    }
    void TearDown() override { SDL_FreeSurface(sprite.bitmap); }
    Sprite sprite;
};

TEST_F(PrintTest, PlacementFramesAndClipping) {
    struct Row {
        int anim, frame, x, y;  // print call
        int px, py;             // screen pixel
        Uint32 colour;          // 0: black
    } rows[] = {
        {0, 0, 100, 50, 84, 34, 0x000040},  {0, 0, 100, 50, 115, 65, 0x001f40},
        {0, 0, 100, 50, 83, 34, 0},         {0, 0, 100, 50, 84, 33, 0},
        {0, 0, 100, 50, 116, 65, 0},        {0, 0, 100, 50, 115, 66, 0},
        {1, 2, 40, 40, 40, 40, 0x001a40},   {1, 2, 40, 40, 47, 43, 0x002140},  // frame 2: column 26
        {1, 2, 40, 40, 48, 40, 0},
        {0, 0, 0, 0, 0, 0, 0x001040},       {0, 0, 0, 0, 15, 15, 0x001f40},  // cut at the top left
        {0, 0, 0, 0, 16, 0, 0},
        {0, 0, W, H, W - 1, H - 1, 0x000f40}, {0, 0, W, H, W - 16, H - 16, 0x000040},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(::testing::Message() << "print " << r.anim << "/" << r.frame << " at " << r.x << "," << r.y
                                          << ", pixel " << r.px << "," << r.py);
        SDL_FillRect(screen, nullptr, 0);
        CaptureStdout cap;
        Sprite::print(&sprite, r.anim, r.frame, r.x, r.y);
        EXPECT_EQ(cap.stop(), "");
        EXPECT_EQ(screenAt(r.px, r.py), r.colour);
    }
    SDL_FillRect(screen, nullptr, 0);
    CaptureStdout cap;
    Sprite::print(&sprite, 0, 0, -40, 60);
    Sprite::print(&sprite, 0, 0, W + 16, 60);
    EXPECT_EQ(cap.stop(), "") << "off screen draws nothing and says nothing";
    for (int y = 0; y < H; y += 7)
        for (int x = 0; x < W; x += 7) ASSERT_EQ(screenAt(x, y), 0u);
}

TEST_F(PrintTest, BadIndicesAreRefused) {
    SDL_FillRect(screen, nullptr, 0);
    CaptureStdout cap;
    Sprite::print(&sprite, 2, 0, 50, 50);
    Sprite::print(&sprite, uint32_t(-1), 0, 50, 50);
    EXPECT_EQ(Sprite::getAnim(&sprite, 2), nullptr);
    EXPECT_EQ(Sprite::getAnim(&sprite, -1), nullptr);
    EXPECT_EQ(Sprite::getAnim(&sprite, 1), &sprite.anims[1]);
    EXPECT_EQ(cap.stop(),
              "FAIL: Sprite.print: Brak animacji 2\n"
              "FAIL: Sprite.print: Brak animacji -1\n"
              "FAIL: Sprite.getAnim: Nie ma takiej animacji (2)\n"
              "FAIL: Sprite.getAnim: Nie ma takiej animacji (-1)\n");
    EXPECT_EQ(screenAt(50, 50), 0u);
}

}  // namespace
